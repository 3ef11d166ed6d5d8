#include "Decoders.h"

#include <QFile>

#include <gif_lib.h>

namespace zk {

namespace {

struct GifCloser {
    void operator()(GifFileType *g) const
    {
        int error = 0;
        DGifCloseFile(g, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

DecodeResult failed(const char *why)
{
    return {QImage(), QString::fromLatin1(why)};
}

// Reads the rows of one image in file order; interlaced images come in four passes.
bool readRaster(GifFileType *gif, int width, int height, bool interlaced, std::vector<GifPixelType> &raster)
{
    raster.assign(size_t(width) * size_t(height), 0);
    const auto row = [&](int y) { return DGifGetLine(gif, raster.data() + size_t(y) * size_t(width), width) == GIF_OK; };
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            if (!row(y))
                return false;
        return true;
    }
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            if (!row(y))
                return false;
    return true;
}

} // namespace

DecodeResult decodeGif(const QString &path)
{
    int error = 0;
    GifHandle gif(DGifOpenFileName(QFile::encodeName(path).constData(), &error));
    if (!gif)
        return failed("not a GIF file, or it cannot be read");
    if (gif->SWidth <= 0 || gif->SHeight <= 0 || qint64(gif->SWidth) * gif->SHeight > MaxPicturePixels)
        return failed("GIF screen size is zero or too large");
    int transparent = NO_TRANSPARENT_COLOR;
    GifRecordType record;
    do {
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK)
            return failed("GIF data cut off or damaged");
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK)
                return failed("damaged GIF extension");
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
            }
            while (block)
                if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK)
                    return failed("damaged GIF extension");
        } else if (record == TERMINATE_RECORD_TYPE) {
            return failed("GIF file holds no picture");
        }
    } while (record != IMAGE_DESC_RECORD_TYPE);

    if (DGifGetImageDesc(gif.get()) != GIF_OK)
        return failed("damaged GIF image header");
    const GifImageDesc &desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0 || qint64(desc.Width) * desc.Height > MaxPicturePixels)
        return failed("GIF frame size is zero or too large");
    const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map)
        return failed("GIF without colours");
    std::vector<GifPixelType> raster;
    if (!readRaster(gif.get(), desc.Width, desc.Height, desc.Interlace, raster))
        return failed("GIF data cut off or damaged");

    QImage image(gif->SWidth, gif->SHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < desc.Height; ++y) {
        const int sy = desc.Top + y;
        if (sy < 0 || sy >= gif->SHeight)
            continue;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(sy));
        for (int x = 0; x < desc.Width; ++x) {
            const int sx = desc.Left + x;
            const int index = raster[size_t(y) * size_t(desc.Width) + size_t(x)];
            if (sx < 0 || sx >= gif->SWidth || index == transparent || index >= map->ColorCount)
                continue;
            const GifColorType &c = map->Colors[index];
            line[sx] = qRgb(c.Red, c.Green, c.Blue);
        }
    }
    return {image, {}};
}

} // namespace zk
