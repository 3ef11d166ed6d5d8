#include "TempFiles.h"

#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zk {

void deleteTempFiles(const QString &folder, const TempFilesReport &report, const FileRemover &remove)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isExecutable())
        return;
    if (!info.isReadable()) {
        if (report.cannotList)
            report.cannotList();
        return;
    }
    const QDir dir(folder);
    const QString base = withTrailingSeparator(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString path = base + name;
        const bool removed = remove ? remove(path) : QFile::remove(path);
        if (!removed && report.cannotDelete)
            report.cannotDelete(path);
    }
}

} // namespace zk
