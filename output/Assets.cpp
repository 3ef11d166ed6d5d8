#include "Assets.h"

#include "AppError.h"

#include <QFile>
#include <QSaveFile>

namespace zk {

PublishFileList::PublishFileList(const QLocale &locale) : m_collator(locale)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool PublishFileList::containsIgnoringCase(const QString &path) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const QString &e) { return e.compare(path, Qt::CaseInsensitive) == 0; });
}

void PublishFileList::add(const QString &path)
{
    if (path.isEmpty() || containsIgnoringCase(path))
        return;
    const auto at = std::upper_bound(m_entries.begin(), m_entries.end(), path,
                                     [this](const QString &a, const QString &b) { return m_collator.compare(a, b) < 0; });
    m_entries.insert(at, path);
}

namespace {

// Only A-Z are lowered, so positions in the copy match the line as typed.
QString lowerAsciiLetters(const QString &line)
{
    QString lower = line;
    for (QChar &c : lower)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return lower;
}

// The value of the attribute `attr` (lower case, with its opening quote)
// that runs up to and including the extension's first occurrence, taking
// the attribute nearest before it, so a second picture on the line names
// its own file. Empty when no such attribute precedes it or the value
// would span a quote.
QString valueEndingIn(const QString &line, const QString &lower, const QString &attr, qsizetype extensionAt,
                      qsizetype valueEnd)
{
    const qsizetype a = lower.lastIndexOf(attr, extensionAt);
    if (a < 0)
        return {};
    const qsizetype start = a + attr.size();
    if (valueEnd < start)
        return {};
    const QString value = line.mid(start, valueEnd - start + 1);
    return value.contains(u'"') ? QString() : value;
}

QString pageLink(const QString &line, const QString &lower)
{
    static const QString href = QStringLiteral("href=\"");
    const qsizetype e = lower.indexOf(QStringLiteral(".htm"));
    if (e < 0)
        return {};
    const bool html = e + 4 < lower.size() && lower.at(e + 4) == u'l';
    const QString value = valueEndingIn(line, lower, href, e, html ? e + 4 : e + 3);
    // "h" not followed by ":" is taken for a web address (http...), not drive h:
    const bool startsWithH = !value.isEmpty() && value.at(0).toLower() == u'h';
    if (startsWithH && (value.size() < 2 || value.at(1) != u':'))
        return {};
    return value;
}

} // namespace

QStringList referencesInLine(const QString &line)
{
    static const QString src = QStringLiteral("src=\"");
    const QString lower = lowerAsciiLetters(line);
    QStringList refs;
    for (const QString &ext : {QStringLiteral(".gif"), QStringLiteral(".jpg"), QStringLiteral(".mid"), QStringLiteral(".wav")}) {
        const qsizetype e = lower.indexOf(ext);
        if (e < 0)
            continue;
        const QString ref = valueEndingIn(line, lower, src, e, e + 3);
        if (!ref.isEmpty())
            refs << ref;
    }
    const QString page = pageLink(line, lower);
    if (!page.isEmpty())
        refs << page;
    return refs;
}

PublishFileList Gen_List(const PageDescription &d, const QLocale &locale)
{
    PublishFileList files(locale);
    if (!d.PopUp_Atrybuty_Tlo_Kolor)
        files.add(d.BackgroundImagePath);
    if (d.Check_Play)
        files.add(d.Edit_Src);
    if (d.Check_Uklad_Logo)
        files.add(d.Edit_Uklad_Logo);
    if (d.Check_Uklad_Odnosniki_Ikona)
        files.add(d.Edit_Uklad_Odnosniki_Ikonka);
    if (d.Check_Uklad_Adresy_Ikona)
        files.add(d.Edit_Uklad_Adresy_Ikona);
    for (const QString &line : d.Edytorek)
        for (const QString &ref : referencesInLine(line))
            files.add(ref);
    return files;
}

void FileCopy(const QString &source, const QString &target)
{
    if (!QFile::exists(source) || QFile::exists(target))
        return;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Nie można otworzyć pliku \"%1\": %2").arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("Nie można utworzyć pliku \"%1\": %2").arg(target, out.errorString()));
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw AppError(QStringLiteral("Nie można odczytać pliku \"%1\": %2").arg(source, in.errorString()));
        if (out.write(chunk) != chunk.size())
            throw AppError(QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(target, out.errorString()));
    }
    if (!out.commit())
        throw AppError(QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(target, out.errorString()));
}

} // namespace zk
