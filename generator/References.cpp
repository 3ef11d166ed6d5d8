#include "References.h"

#include <QUrl>

namespace zk {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSchemeChar(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

// The scheme of "scheme:rest", or an empty view. One letter before the
// colon is a drive, not a scheme.
QStringView schemeOf(QStringView ref)
{
    if (ref.isEmpty() || !isAsciiLetter(ref.front()))
        return {};
    qsizetype i = 1;
    while (i < ref.size() && isSchemeChar(ref[i]))
        ++i;
    if (i < 2 || i >= ref.size() || ref[i] != u':')
        return {};
    return ref.first(i);
}

bool startsWithDrive(QStringView ref)
{
    return ref.size() >= 2 && isAsciiLetter(ref[0]) && ref[1] == u':';
}

// "www.onet.pl/index.html" is a host typed without "http://".
bool startsWithWebHost(QStringView ref)
{
    return ref.startsWith(u"www.", Qt::CaseInsensitive) && ref.size() > 4;
}

bool isLocalFileUrl(QStringView ref)
{
    const QStringView rest = ref.mid(5); // after "file:"
    if (!rest.startsWith(u"//"))
        return rest.startsWith(u'/'); // file:/path
    return rest.startsWith(u"///") || rest.startsWith(u"//localhost/", Qt::CaseInsensitive);
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'.';
}

bool isReferenceAttribute(QStringView name)
{
    for (const char16_t *a : {u"src", u"href", u"lowsrc", u"dynsrc", u"background"})
        if (name.compare(QStringView(a), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The attribute name that ends just before position `end` (spaces before
// "=" skipped), or an empty view.
QStringView nameBefore(QStringView line, qsizetype end)
{
    while (end > 0 && line[end - 1].isSpace())
        --end;
    qsizetype start = end;
    while (start > 0 && isNameChar(line[start - 1]))
        --start;
    return line.mid(start, end - start);
}

// The value after the "=" at `equals`; its span, and where scanning goes on.
ReferenceSpan valueAfter(QStringView line, qsizetype equals, qsizetype &next)
{
    qsizetype i = equals + 1;
    while (i < line.size() && line[i].isSpace())
        ++i;
    if (i < line.size() && (line[i] == u'"' || line[i] == u'\'')) {
        const QChar quote = line[i];
        const qsizetype close = line.indexOf(quote, i + 1);
        const qsizetype end = close < 0 ? line.size() : close;
        next = end + 1;
        return {i + 1, end - i - 1};
    }
    qsizetype end = i;
    while (end < line.size() && !line[end].isSpace() && line[end] != u'>')
        ++end;
    next = end;
    return {i, end - i};
}

} // namespace

ReferenceKind classifyReference(QStringView reference)
{
    const QStringView ref = reference.trimmed();
    if (ref.isEmpty() || ref.startsWith(u'#') || ref.startsWith(u'?'))
        return ReferenceKind::Address;
    if (ref.startsWith(u"\\\\") || startsWithDrive(ref))
        return ReferenceKind::LocalPath;
    if (ref.startsWith(u"//"))
        return ReferenceKind::Address;
    if (ref.startsWith(u'/') || ref.startsWith(u'\\'))
        return ReferenceKind::LocalPath;
    const QStringView scheme = schemeOf(ref);
    if (!scheme.isEmpty())
        return scheme.compare(u"file", Qt::CaseInsensitive) == 0 && isLocalFileUrl(ref) ? ReferenceKind::LocalPath
                                                                                          : ReferenceKind::Address;
    if (startsWithWebHost(ref))
        return ReferenceKind::Address;
    return ReferenceKind::Relative;
}

ReferenceParts splitReference(const QString &reference)
{
    const QString ref = reference.trimmed();
    qsizetype cut = ref.size();
    for (QChar c : {QChar(u'?'), QChar(u'#')}) {
        const qsizetype at = ref.indexOf(c);
        if (at >= 0)
            cut = std::min(cut, at);
    }
    return {ref.left(cut), ref.mid(cut)};
}

QString localPathOf(const ReferenceParts &parts)
{
    if (parts.path.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        return QUrl(parts.path).toLocalFile();
    return parts.path;
}

QList<ReferenceSpan> referenceSpans(QStringView line)
{
    QList<ReferenceSpan> spans;
    qsizetype from = 0;
    for (qsizetype eq = line.indexOf(u'='); eq >= 0; eq = line.indexOf(u'=', from)) {
        const QStringView name = nameBefore(line, eq);
        const qsizetype nameStart = name.data() - line.data();
        if (name.isEmpty() || (nameStart > 0 && isNameChar(line[nameStart - 1]))) {
            from = eq + 1;
            continue;
        }
        // Every attribute's value is stepped over whole, so an "=" inside
        // ALT="src=x.gif" is not taken for another attribute.
        const ReferenceSpan value = valueAfter(line, eq, from);
        if (isReferenceAttribute(name))
            spans << value;
    }
    return spans;
}

QStringList referencesInLine(const QString &line)
{
    QStringList refs;
    for (const ReferenceSpan &s : referenceSpans(line))
        refs << line.mid(s.start, s.length);
    return refs;
}

} // namespace zk
