#pragma once

#include "PageGenerator.h"

namespace zk {

// Files an HTML5 page may have beside it besides the user's own.
inline const QString FaviconName = QStringLiteral("favicon-32.png");
inline const QString TouchIconName = QStringLiteral("apple-touch-icon.png");
inline const QString SitemapName = QStringLiteral("sitemap.xml");
inline const QString RobotsName = QStringLiteral("robots.txt");

// The HTML5 document: sections as header, main, nav, aside and footer, the
// look's stylesheet, the user's colours and alignments as CSS, the tags
// for search engines and link previews. `mainLines` receives the editor's
// lines as the page carries them.
QStringList html5Page(const PageDescription &description, const GeneratorContext &context, QStringList &mainLines);

// The page's web address as given, ending in "/" (a file name kept), or ""
// when none is given or it is not an http(s) address.
QString pageWebAddress(const PageDescription &description);

// The line with every IMG tag naming a travelling picture given its width
// and height (when the tag sets neither; the missing one when it sets one),
// so nothing moves while pictures load, and, when `lazy`, loading="lazy";
// a picture with a WebP copy is offered as that first, in a PICTURE element.
QString webImageTags(const QString &line, const QHash<QString, QSize> &sizes, const QHash<QString, QString> &webp, bool lazy);

// The line with every TABLE tag reachable by the keyboard (tabindex="0"),
// since the look lets a wide table scroll inside its box.
QString focusableTables(const QString &line);

// Whether the user kept the colour a fresh page starts with (the look's own
// colour is used then).
bool isDefaultColour(const QColor &colour, const QColor &fresh);

} // namespace zk
