#include "Decoders.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace zk {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    auto *e = reinterpret_cast<ErrorManager *>(info->err);
    info->err->format_message(info, e->message);
    std::longjmp(e->jump, 1);
}

// Warnings that leave the picture whole: a few junk bytes before a marker
// (as some cameras write), a newer JFIF version, unknown Adobe or ICC data.
bool harmless(int code)
{
    return code == JWRN_EXTRANEOUS_DATA || code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC;
}

void onMessage(j_common_ptr info, int level)
{
    // Any other warning means data cut off or damaged; counted, looked at below.
    if (level < 0 && !harmless(info->err->msg_code))
        ++info->err->num_warnings;
}

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

} // namespace

DecodeResult decodeJpeg(const QString &path)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file)
        return {QImage(), QStringLiteral("the file cannot be opened")};
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    // Declared before setjmp: a jump out of the library must not skip their destructors.
    QImage image;
    std::vector<JSAMPLE> row;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return {QImage(), QString::fromLatin1(errors.message)};
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    if (qint64(info.image_width) * info.image_height > MaxPicturePixels) {
        jpeg_destroy_decompress(&info);
        return {QImage(), QStringLiteral("JPEG picture too large")};
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGBX8888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return {QImage(), QStringLiteral("not enough memory for the picture")};
    }
    row.resize(size_t(info.output_width) * 4);
    // Adobe writes CMYK inverted; so do nearly all programs that write CMYK JPEGs.
    const bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW target = cmyk ? row.data() : image.scanLine(y);
        jpeg_read_scanlines(&info, &target, 1);
        if (!cmyk)
            continue;
        uchar *out = image.scanLine(y);
        for (size_t x = 0; x < info.output_width; ++x) {
            int c = row[x * 4], m = row[x * 4 + 1], ye = row[x * 4 + 2], k = row[x * 4 + 3];
            if (!inverted)
                c = 255 - c, m = 255 - m, ye = 255 - ye, k = 255 - k;
            out[x * 4] = uchar(c * k / 255);
            out[x * 4 + 1] = uchar(m * k / 255);
            out[x * 4 + 2] = uchar(ye * k / 255);
            out[x * 4 + 3] = 255;
        }
    }
    jpeg_finish_decompress(&info);
    const long warnings = errors.base.num_warnings;
    jpeg_destroy_decompress(&info);
    if (warnings > 0)
        return {QImage(), QStringLiteral("JPEG data cut off or damaged")};
    return {image, {}};
}

} // namespace zk
