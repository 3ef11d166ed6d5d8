#include "FileFilter.h"

namespace zk {

QString caseInsensitivePattern(const QString &pattern)
{
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += u'[' + c.toLower() + c.toUpper() + u']';
        else
            out += c;
    }
    return out;
}

QStringList nameFiltersFromPipeFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts.at(i + 1).split(u';', Qt::SkipEmptyParts))
            patterns << caseInsensitivePattern(p.trimmed());
        out << parts.at(i) + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return out;
}

} // namespace zk
