#include "Themes.h"

#include <QFile>

namespace zk {

namespace {

QByteArray resource(const QString &name)
{
    QFile f(QStringLiteral(":/themes/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

const QList<Theme> &themes()
{
    static const QList<Theme> all{
        {QStringLiteral("prosty"), QStringLiteral("Prosty"), QColor(0x1f2328), QColor(0x0a58ca), QColor(0xffffff)},
        {QStringLiteral("elegancki"), QStringLiteral("Elegancki"), QColor(0x2b2622), QColor(0x8a3b12), QColor(0xfffdf9)},
        {QStringLiteral("ciemny"), QStringLiteral("Ciemny"), QColor(0xe8e6e3), QColor(0x7fd4ff), QColor(0x181b21)}};
    return all;
}

const Theme &themeById(const QString &id)
{
    for (const Theme &t : themes())
        if (t.id == id)
            return t;
    return themes().first();
}

QString themeFileName(const QString &id)
{
    return QStringLiteral("zentarek-%1.css").arg(themeById(id).id);
}

QByteArray themeStylesheet(const QString &id)
{
    return resource(QStringLiteral("wspolne.css")) + '\n' + resource(themeById(id).id + QStringLiteral(".css"));
}

} // namespace zk
