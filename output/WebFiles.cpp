#include "WebFiles.h"

#include "CheckedFile.h"
#include "Html5Page.h"
#include "Themes.h"
#include "WebPicture.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentMap>

namespace zk {

namespace {

constexpr int ColumnWidth = 736; // the looks' text column at its widest
constexpr int IconWidth = 48;    // link and contact icons are shown at 24 px

bool isPictureName(const QString &path)
{
    static const QStringList suffixes{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

// A file made from `bytes`, kept under their digest so each is written once.
QString cachedFile(const QByteArray &bytes, const QString &suffix, const QString &cacheFolder, QStringList &problems)
{
    const QString path = QDir(cacheFolder).filePath(
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(40)) + suffix);
    if (QFileInfo::exists(path))
        return path;
    if (!QDir().mkpath(cacheFolder)) {
        problems << QStringLiteral("Nie można utworzyć folderu \"%1\"!").arg(cacheFolder);
        return {};
    }
    if (const std::optional<QString> reason = writeFileChecked(path, bytes)) {
        problems << QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(path, *reason);
        return {};
    }
    return path;
}

void addMade(AssetPlan &plan, const QByteArray &bytes, const QString &target, const QString &cacheFolder, QStringList &problems)
{
    const QString path = cachedFile(bytes, u'.' + QFileInfo(target).suffix(), cacheFolder, problems);
    if (!path.isEmpty())
        plan.files << TravellingFile{path, target};
}

QByteArray sitemap(const QString &address)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
                          "<url><loc>%1</loc><lastmod>%2</lastmod></url>\n</urlset>\n")
        .arg(address.toHtmlEscaped(), QDate::currentDate().toString(Qt::ISODate))
        .toUtf8();
}

} // namespace

QString webCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/zentarek/strony");
}

void useWebFiles(GeneratorContext &context, const WebFiles &web)
{
    context.pictureSizes = web.pictureSizes;
    context.pageIcons = web.pageIcons;
    context.badgeSize = web.badgeSize;
    context.webpNames = web.webpNames;
}

QStringList webFileNames(const PageDescription &d)
{
    return {themeFileName(d.Lista_Wyglad), FaviconName, TouchIconName, SitemapName, RobotsName};
}

int shownWidth(const QString &pageName, const QStringList &mainLines)
{
    static const QRegularExpression tag(QStringLiteral("<img\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression width(QStringLiteral("\\swidth\\s*=\\s*[\"']?(\\d+)[\"']?(?=[\\s>/])"),
                                          QRegularExpression::CaseInsensitiveOption);
    int widest = 0;
    for (const QString &line : mainLines) {
        if (!line.contains(pageName))
            continue;
        for (auto tags = tag.globalMatch(line); tags.hasNext();) {
            const QString text = tags.next().captured();
            if (!text.contains(pageName))
                continue;
            const QRegularExpressionMatch w = width.match(text);
            widest = std::max(widest, w.hasMatch() ? w.captured(1).toInt() : ColumnWidth);
        }
    }
    return widest == 0 ? ColumnWidth : std::min(widest, ColumnWidth);
}

WebFiles prepareWebFiles(AssetPlan &plan, const PageDescription &d, const QString &pageName, const QString &badgeSource,
                         const QString &cacheFolder)
{
    WebFiles web;
    const QString pictures = cacheFolder + QStringLiteral("/obrazki");
    QStringList mainLines;
    for (const QString &line : d.Edytorek)
        mainLines << shortenAssetPaths(line, plan.pageNames);
    const QString logo = d.Check_Atrybuty_Naglowki && d.Check_Uklad_Logo ? pageReference(d.Edit_Uklad_Logo, plan.pageNames) : QString();
    const QStringList icons{d.Check_Uklad_Odnosniki_Ikona ? pageReference(d.Edit_Uklad_Odnosniki_Ikonka, plan.pageNames) : QString(),
                            d.Check_Uklad_Adresy_Ikona ? pageReference(d.Edit_Uklad_Adresy_Ikona, plan.pageNames) : QString()};
    QSet<QString> targets;
    for (const TravellingFile &f : std::as_const(plan.files))
        targets.insert(f.target.toLower());
    // Each photo is decoded, scaled and encoded on its own core: ten of them are most of a build.
    struct Job {
        qsizetype file;
        int width;
        bool icon;
    };
    QList<Job> jobs;
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        const TravellingFile &f = plan.files[i];
        if (!isPictureName(f.source) && !isPictureName(f.target))
            continue;
        const bool icon = icons.contains(f.target) && f.target != logo;
        jobs << Job{i, icon ? IconWidth : 2 * shownWidth(f.target, mainLines), icon};
    }
    const QList<WebPicture> made = QtConcurrent::blockingMapped(jobs, [&](const Job &job) {
        return webPicture(plan.files[job.file].source, job.width, pictures, !job.icon);
    });
    QList<TravellingFile> webps;
    for (qsizetype j = 0; j < jobs.size(); ++j) {
        TravellingFile &f = plan.files[jobs[j].file];
        const WebPicture &picture = made[j];
        if (!picture.error.isEmpty())
            web.problems << picture.error;
        f.source = picture.path;
        if (picture.size.isValid())
            web.pictureSizes.insert(f.target, picture.size);
        if (!picture.webp.isEmpty()) {
            const QString stem = f.target.left(f.target.size() - QFileInfo(f.target).suffix().size()) + QStringLiteral("webp");
            const QString name = targets.contains(stem.toLower()) ? f.target + QStringLiteral(".webp") : stem;
            targets.insert(name.toLower());
            webps << TravellingFile{picture.webp, name};
            web.webpNames.insert(f.target, name);
        }
    }
    plan.files << webps;
    for (const TravellingFile &f : plan.files)
        if (!web.pictureSizes.contains(f.target) && f.target.endsWith(QStringLiteral(".gif"), Qt::CaseInsensitive))
            web.pictureSizes.insert(f.target, QImageReader(f.source).size());

    addMade(plan, themeStylesheet(d.Lista_Wyglad), themeFileName(d.Lista_Wyglad), cacheFolder, web.problems);
    const QString logoSource = logo.isEmpty() ? QString() : plan.sourceFor(logo);
    if (!logoSource.isEmpty()) {
        const QByteArray small = squareIcon(logoSource, 32);
        const QByteArray large = squareIcon(logoSource, 180);
        if (!small.isEmpty() && !large.isEmpty()) {
            addMade(plan, small, FaviconName, cacheFolder, web.problems);
            addMade(plan, large, TouchIconName, cacheFolder, web.problems);
            web.pageIcons = true;
        }
    }
    const QString address = pageWebAddress(d);
    if (!address.isEmpty()) {
        const QString page = pageName.compare(QStringLiteral("index.html"), Qt::CaseInsensitive) == 0 ? address : address + pageName;
        addMade(plan, sitemap(page), SitemapName, cacheFolder, web.problems);
        addMade(plan, QStringLiteral("User-agent: *\nAllow: /\nSitemap: %1%2\n").arg(address, SitemapName).toUtf8(), RobotsName,
                cacheFolder, web.problems);
    }
    if (!badgeSource.isEmpty())
        web.badgeSize = QImageReader(badgeSource).size();
    return web;
}

} // namespace zk
