#include "WebPicture.h"

#include "CheckedFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QMutex>
#include <QPainter>

#include <utility>

namespace zk {

namespace {

// Raised whenever what the copies hold changes, so that old copies are not reused.
constexpr char CopyVersion[] = "web-1";
constexpr int JpegQuality = 85;

QSize shownSize(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() && reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}

// The pixels alone: a fresh image carries none of the original's text or metadata.
QImage withoutMetadata(const QImage &image)
{
    const QImage plain = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QImage clean(plain.size(), plain.format());
    for (int y = 0; y < plain.height(); ++y)
        std::memcpy(clean.scanLine(y), plain.constScanLine(y), size_t(plain.bytesPerLine()));
    return clean;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "webp") == 0)
        writer.setQuality(80);
    if (qstrcmp(format, "jpeg") == 0) {
        writer.setQuality(JpegQuality);
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(true);
    }
    return writer.write(image) ? bytes : QByteArray();
}

// The copies made in this run by the file's name, size and time: the live
// preview rebuilds the page at every key, and reading ten photos again to
// know their digest would cost more than the page.
struct Made {
    QString key;
    WebPicture picture;
};
QMutex madeLock;
QList<Made> made;

QString madeKey(const QFileInfo &file, int maxWidth)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(file.canonicalFilePath())
        .arg(file.size())
        .arg(file.lastModified().toMSecsSinceEpoch())
        .arg(maxWidth);
}

std::optional<WebPicture> madeBefore(const QString &key)
{
    QMutexLocker lock(&madeLock);
    for (const Made &m : std::as_const(made))
        if (m.key == key && QFileInfo::exists(m.picture.path))
            return m.picture;
    return std::nullopt;
}

void remember(const QString &key, const WebPicture &picture)
{
    QMutexLocker lock(&madeLock);
    if (made.size() >= 256)
        made.removeFirst();
    made << Made{key, picture};
}

WebPicture makeWebPicture(const QString &source, int maxWidth, const QString &cacheFolder, bool offerWebp);

} // namespace

WebPicture webPicture(const QString &source, int maxWidth, const QString &cacheFolder, bool offerWebp)
{
    const QString key = madeKey(QFileInfo(source), maxWidth) + u'|' + cacheFolder + (offerWebp ? u'+' : u'-');
    if (const std::optional<WebPicture> known = madeBefore(key))
        return *known;
    const WebPicture picture = makeWebPicture(source, maxWidth, cacheFolder, offerWebp);
    if (picture.error.isEmpty())
        remember(key, picture);
    return picture;
}

bool jpegHasMetadata(const QByteArray &bytes)
{
    if (!bytes.startsWith("\xFF\xD8"))
        return false;
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && uchar(bytes[at]) == 0xFF) {
        const uchar marker = uchar(bytes[at + 1]);
        if (marker == 0xDA) // the picture data begins
            return false;
        if ((marker >= 0xE1 && marker <= 0xEF) || marker == 0xFE)
            return true;
        at += 2 + ((uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3]));
    }
    return false;
}

namespace {

bool canWriteWebp()
{
    static const bool can = QImageWriter::supportedImageFormats().contains("webp");
    return can;
}

// What the cache holds for a picture: its copy (when one is needed) and the
// WebP offered first when it is the smaller file.
WebPicture fromCache(WebPicture result, const QString &copy, const QString &webp)
{
    if (!copy.isEmpty()) {
        result.path = copy;
        result.size = shownSize(copy);
    }
    if (!webp.isEmpty() && QFileInfo(webp).size() < QFileInfo(result.path).size())
        result.webp = webp;
    return result;
}

WebPicture makeWebPicture(const QString &source, int maxWidth, const QString &cacheFolder, bool offerWebp)
{
    WebPicture result{source, shownSize(source), {}, {}};
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray bytes = file.readAll();
    const bool jpeg = bytes.startsWith("\xFF\xD8\xFF");
    const bool png = bytes.startsWith("\x89PNG\r\n\x1A\n");
    if ((!jpeg && !png) || !result.size.isValid())
        return result;
    const bool copyNeeded = result.size.width() > maxWidth || (jpeg && jpegHasMetadata(bytes));
    const bool webpWanted = offerWebp && canWriteWebp();
    if (!copyNeeded && !webpWanted)
        return result;

    QCryptographicHash key(QCryptographicHash::Sha256);
    key.addData(bytes);
    key.addData(QByteArray(CopyVersion) + '|' + QByteArray::number(maxWidth));
    const QString stem = QDir(cacheFolder).filePath(QString::fromLatin1(key.result().toHex().left(40)));
    const QString copy = copyNeeded ? stem + (jpeg ? QStringLiteral(".jpg") : QStringLiteral(".png")) : QString();
    // The WebP is kept even when it is not the smaller: its size says so at every later build.
    const QString webp = webpWanted ? stem + QStringLiteral(".webp") : QString();
    if ((copy.isEmpty() || QFileInfo::exists(copy)) && (webp.isEmpty() || QFileInfo::exists(webp)))
        return fromCache(result, copy, webp);

    QBuffer in(const_cast<QByteArray *>(&bytes));
    in.open(QIODevice::ReadOnly);
    QImageReader reader(&in);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        result.error = QStringLiteral("Nie można odczytać obrazka \"%1\": %2").arg(source, reader.errorString());
        return result;
    }
    if (image.width() > maxWidth)
        image = image.scaledToWidth(maxWidth, Qt::SmoothTransformation);
    image = withoutMetadata(image);
    if (!QDir().mkpath(cacheFolder)) {
        result.error = QStringLiteral("Nie można utworzyć folderu \"%1\"!").arg(cacheFolder);
        return result;
    }
    for (const auto &[path, format] : {std::pair{copy, jpeg ? "jpeg" : "png"}, std::pair{webp, "webp"}}) {
        if (path.isEmpty() || QFileInfo::exists(path))
            continue;
        const QByteArray out = encoded(image, format);
        if (out.isEmpty()) {
            result.error = QStringLiteral("Nie można przygotować obrazka \"%1\" dla sieci.").arg(source);
            return result;
        }
        if (const std::optional<QString> reason = writeFileChecked(path, out)) {
            result.error = QStringLiteral("Nie można zapisać obrazka \"%1\": %2").arg(path, *reason);
            return result;
        }
    }
    return fromCache(result, copy, webp);
}

} // namespace

QColor averageColour(const QString &path)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 64 || size.height() > 64))
        reader.setScaledSize(size.scaled(64, 64, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    double r = 0, g = 0, b = 0;
    const qint64 n = qint64(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            r += qRed(row[x]);
            g += qGreen(row[x]);
            b += qBlue(row[x]);
        }
    }
    return QColor(int(r / n + 0.5), int(g / n + 0.5), int(b / n + 0.5));
}

QByteArray squareIcon(const QString &source, int side)
{
    QImageReader reader(source);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        return {};
    QImage icon(side, side, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    const QImage fitted = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&icon);
    painter.drawImage((side - fitted.width()) / 2, (side - fitted.height()) / 2, fitted);
    painter.end();
    return encoded(icon, "png");
}

} // namespace zk
