#pragma once

#include "Assets.h"
#include "PageGenerator.h"

#include <QHash>
#include <QSize>

namespace zk {

// What an HTML5 page's files came to, for the generator.
struct WebFiles {
    QHash<QString, QSize> pictureSizes; // by the name the page uses
    bool pageIcons = false;             // the icons made from the logo travel
    QSize badgeSize;
    QHash<QString, QString> webpNames; // a picture's name -> its WebP copy's
    QStringList problems; // pictures that travel as they are, and why
};

// Where the copies made for web pages are kept between builds.
QString webCacheFolder();

// Readies the plan of an HTML5 page for the web: pictures travel as copies
// made for it (at most twice the width the page shows them at), the look's
// stylesheet travels beside the page, the logo gives the page its icons and,
// with the page's web address, a sitemap and robots.txt travel too.
WebFiles prepareWebFiles(AssetPlan &plan, const PageDescription &description, const QString &pageName,
                         const QString &badgeSource, const QString &cacheFolder = webCacheFolder());

// Hands the generator what the files came to.
void useWebFiles(GeneratorContext &context, const WebFiles &web);

// The names in the page's folder that an HTML5 page's own files take.
QStringList webFileNames(const PageDescription &description);

// The widest a picture is shown at, in CSS pixels: the page's column, or
// less when a tag of the editor's lines sets a smaller width for it.
int shownWidth(const QString &pageName, const QStringList &mainLines);

} // namespace zk
