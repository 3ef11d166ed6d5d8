#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <ostream>

// Readable failure messages for Qt values in GoogleTest assertions.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < l.size(); ++i)
        *os << (i ? ", \"" : "\"") << l[i].toStdString() << '"';
    *os << '}';
}
inline void PrintTo(const QColor &c, std::ostream *os) { *os << c.name().toStdString(); }
QT_END_NAMESPACE
