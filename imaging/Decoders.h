#pragma once

#include <QImage>
#include <QString>

namespace zk {

// Pictures larger than this many pixels are refused before anything is
// allocated for them.
inline constexpr qint64 MaxPicturePixels = 64LL * 1000 * 1000;

struct DecodeResult {
    QImage image;  // null on failure
    QString error; // why, in English, for logs and tests
    bool ok() const { return !image.isNull(); }
};

// The first frame of a GIF file (giflib), on its logical screen.
DecodeResult decodeGif(const QString &path);
// A JPEG file (libjpeg), grayscale, colour and CMYK alike, as RGB.
DecodeResult decodeJpeg(const QString &path);

} // namespace zk

namespace zk {

// The image dialog's GIF decoder object: loads a file and hands out its
// first frame.
class GifImage {
public:
    bool LoadFromFile(const QString &path)
    {
        m_last = decodeGif(path);
        return m_last.ok();
    }
    QImage Bitmap() const { return m_last.image; }
    QString error() const { return m_last.error; }

private:
    DecodeResult m_last;
};

} // namespace zk
