#pragma once

#include <QList>
#include <QString>

namespace zk {

// What a reference typed into a page points at.
enum class ReferenceKind {
    Address,   // a web or other non-file address, an anchor, or nothing: never touched
    LocalPath, // an absolute path on this machine (/…, X:\…, \\…, file:///…): travels with the page
    Relative,  // relative to the page's folder: never rewritten, travels to the same place
};

ReferenceKind classifyReference(QStringView reference);

// A local path or relative reference split into the file part and the
// "?query" or "#anchor" that follows it (kept when the name is rewritten).
struct ReferenceParts {
    QString path;
    QString suffix;
};
ReferenceParts splitReference(const QString &reference);

// The file a LocalPath reference names: a file URL decoded, else the text itself.
QString localPathOf(const ReferenceParts &parts);

// Where one attribute value that names another file sits in a line.
struct ReferenceSpan {
    qsizetype start = 0;
    qsizetype length = 0;
};

// Every SRC, HREF, LOWSRC, DYNSRC and BACKGROUND value of a line, in any
// letter case, quoted with " or ' or unquoted, in line order.
QList<ReferenceSpan> referenceSpans(QStringView line);

// The values of those attributes, as typed.
QStringList referencesInLine(const QString &line);

} // namespace zk
