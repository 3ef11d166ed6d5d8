#include "AppPaths.h"

#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace zk {

// A folder counts as usable only when a file can really be created in it:
// permission bits say nothing on a read-only file system or for root.
static bool usableFolder(const QString &folder)
{
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral(".zentarek-probe-XXXXXX"));
    return probe.open();
}

TempFolderChoice chooseTempFolder(const QString &appFolder, const QString &cacheFolder)
{
    const QString besideProgram = appFolder + QStringLiteral("temp");
    if (usableFolder(withTrailingSeparator(besideProgram)))
        return {withTrailingSeparator(besideProgram), true, {}};
    if (!cacheFolder.isEmpty()) {
        const QString fallback = withTrailingSeparator(withTrailingSeparator(cacheFolder) + QStringLiteral("temp"));
        if (usableFolder(fallback))
            return {fallback, true, {}};
    }
    return {withTrailingSeparator(besideProgram), false, besideProgram};
}

AppPaths makeAppPaths(const QString &appFolder, const QString &tempFolder)
{
    AppPaths p;
    p.appFolder = withTrailingSeparator(appFolder);
    p.helpFile = p.appFolder + QStringLiteral("stronarz.hlp");
    p.tempFolder = tempFolder;
    p.pageFilePath = tempFolder + QStringLiteral("index.html");
    p.badgeSourcePath = p.appFolder + QStringLiteral("grafika/animgifs/zen_anim.gif");
    return p;
}

} // namespace zk
