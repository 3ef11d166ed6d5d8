#include "PictureFile.h"

#include "Decoders.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace zk {

namespace {

bool looksLikeText(const QByteArray &head)
{
    if (head.isEmpty() || head.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(head);
    // A cut multi-byte letter at the end of the sample is still text.
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.isPrint() || c.isSpace() || c == QChar::ReplacementCharacter;
    }) && text.count(QChar::ReplacementCharacter) <= 1;
}

QString kindName(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Gif: return QStringLiteral("GIF");
    case PictureKind::Jpeg: return QStringLiteral("JPEG");
    case PictureKind::Png: return QStringLiteral("PNG");
    default: return QString();
    }
}

PictureKind kindOfName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"gif")
        return PictureKind::Gif;
    if (suffix == u"jpg" || suffix == u"jpeg")
        return PictureKind::Jpeg;
    return PictureKind::Unknown;
}

} // namespace

PictureKind sniffPicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PictureKind::Unknown;
    const QByteArray head = file.read(512);
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return PictureKind::Gif;
    if (head.startsWith("\xFF\xD8\xFF"))
        return PictureKind::Jpeg;
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return PictureKind::Png;
    return looksLikeText(head) ? PictureKind::Text : PictureKind::Unknown;
}

PictureLoad loadPicture(const QString &path)
{
    const QString cannotShow = QStringLiteral("Nie potrafię wyświetlić tego pliku!");
    const QString onlyGifJpeg = QStringLiteral("Nie potrafię wyświetlać innych plików niż GIF lub JPG!");
    const PictureKind named = kindOfName(path);
    if (named == PictureKind::Unknown)
        return {PictureLoad::Outcome::Unsupported, {}, onlyGifJpeg};
    const PictureKind held = sniffPicture(path);
    const QString suffix = u'.' + QFileInfo(path).suffix();
    switch (held) {
    case PictureKind::Png:
        return {PictureLoad::Outcome::Unsupported, {},
                QStringLiteral("Ten plik to obraz PNG, choć jego nazwa kończy się na \"%1\". ").arg(suffix) + onlyGifJpeg};
    case PictureKind::Text:
        return {PictureLoad::Outcome::Unreadable, {},
                QStringLiteral("Ten plik nie jest obrazem, lecz plikiem tekstowym. ") + cannotShow};
    case PictureKind::Unknown:
        return {PictureLoad::Outcome::Unreadable, {}, cannotShow};
    default:
        break;
    }
    const DecodeResult decoded = held == PictureKind::Gif ? decodeGif(path) : decodeJpeg(path);
    if (!decoded.ok())
        return {PictureLoad::Outcome::Unreadable, {}, cannotShow};
    if (held == named)
        return {PictureLoad::Outcome::Shown, decoded.image, {}};
    return {PictureLoad::Outcome::ShownWithNote, decoded.image,
            QStringLiteral("Ten plik to obraz %1, choć jego nazwa kończy się na \"%2\". Przeglądarki go pokażą, "
                           "ale lepiej nadać mu rozszerzenie \"%3\".")
                .arg(kindName(held), suffix, held == PictureKind::Gif ? QStringLiteral(".gif") : QStringLiteral(".jpg"))};
}

} // namespace zk
