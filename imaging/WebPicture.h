#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace zk {

// A picture as it travels with an HTML5 page.
struct WebPicture {
    QString path;  // the file that travels: the original, or a copy made for the web
    QSize size;    // its size in pixels, as browsers show it
    QString error; // Polish; set when the copy could not be made (the original travels then)
    QString webp;  // the same picture as WebP, when it is the smaller file; "" when none
};

// The picture fit for the web: a JPEG or PNG wider than `maxWidth` is
// scaled down to it (smoothly; JPEG at quality 85, PNG stays PNG), a
// JPEG's orientation is applied and its metadata (position, camera) left
// out. The copy is kept in `cacheFolder` under the digest of the original's
// bytes, so it is made once; the original is never touched. GIFs (which
// may move) and pictures that need nothing travel as they are. With
// `offerWebp`, where Qt can write WebP, a WebP copy is made too and given
// when it is smaller than the picture that travels.
WebPicture webPicture(const QString &source, int maxWidth, const QString &cacheFolder, bool offerWebp = false);

// Whether a JPEG's bytes carry metadata segments (EXIF, XMP, IPTC) or a
// comment before its picture data.
bool jpegHasMetadata(const QByteArray &bytes);

// The picture's average colour (its orientation does not matter); invalid
// when it cannot be read.
QColor averageColour(const QString &path);

// A square PNG icon of `side` pixels made from the picture (centred, its
// aspect kept, on a transparent ground), as the bytes of the file.
QByteArray squareIcon(const QString &source, int side);

} // namespace zk
