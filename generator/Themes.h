#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>

namespace zk {

// A look an HTML5 page can take: a stylesheet that travels with the page.
struct Theme {
    QString id;   // as stored in projects ("prosty")
    QString name; // as the window lists it ("Prosty")
    // The look's own colours, as its stylesheet has them: the text, the
    // links, and the sections' ground that the text lies on.
    QColor text;
    QColor link;
    QColor card;
};

inline const QString DefaultThemeId = QStringLiteral("prosty");

// The looks in the order the window lists them; the simplest first.
const QList<Theme> &themes();
// The look with this id; the simplest one for an id no look has.
const Theme &themeById(const QString &id);
// The name the stylesheet travels under beside the page.
QString themeFileName(const QString &id);
// The whole stylesheet: the layout every look shares, then the look's own.
QByteArray themeStylesheet(const QString &id);

} // namespace zk
