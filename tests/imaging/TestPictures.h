#pragma once

#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <cstdio>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

namespace zk::testing {

// A GIF of `frames` frames, frame i filled with colour index i (red, blue,
// green, ...); row y of an interlaced one gets index y % 3 instead.
inline bool writeGif(const QString &path, int width, int height, int frames = 1, bool interlaced = false)
{
    int error = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    if (!gif)
        return false;
    GifColorType colours[4] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 255, 255}};
    ColorMapObject *map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, frames > 1);
    bool ok = EGifPutScreenDesc(gif, width, height, 2, 0, map) == GIF_OK;
    for (int f = 0; f < frames && ok; ++f) {
        if (frames > 1) {
            GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 10, NO_TRANSPARENT_COLOR};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr) == GIF_OK;
        std::vector<GifPixelType> line(static_cast<size_t>(width));
        // An interlaced image is written in its four passes.
        std::vector<int> order;
        if (interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (int y = start[p]; y < height; y += step[p])
                    order.push_back(y);
        } else {
            for (int y = 0; y < height; ++y)
                order.push_back(y);
        }
        for (int y : order) {
            std::fill(line.begin(), line.end(), GifPixelType(interlaced ? y % 3 : f % 3));
            ok = ok && EGifPutLine(gif, line.data(), width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

inline bool writeJpeg(const QString &path, const QImage &image, bool progressive = false)
{
    QImageWriter writer(path, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(95);
    return writer.write(image);
}

// A CMYK JPEG filled with one (inverted, Adobe-style) CMYK colour.
inline bool writeCmykJpeg(const QString &path, int width, int height, const unsigned char cmyk[4])
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, JCS_YCCK);
    info.write_Adobe_marker = TRUE;
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 4);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 4; ++c)
            row[size_t(x) * 4 + size_t(c)] = cmyk[c];
    while (info.next_scanline < info.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
    return true;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

} // namespace zk::testing
