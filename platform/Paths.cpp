#include "Paths.h"

#include <QDir>

namespace zk {

static qsizetype lastSeparator(const QString &path)
{
    qsizetype best = -1;
    for (QChar sep : {QChar('/'), QChar('\\'), QChar(':')})
        best = std::max(best, path.lastIndexOf(sep));
    return best;
}

QString fileNameOf(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

QString folderOf(const QString &path)
{
    const qsizetype sep = lastSeparator(path);
    return sep < 0 ? QString() : path.left(sep);
}

QString withTrailingSeparator(const QString &folder)
{
    const QString sep = QDir::separator();
    if (folder.isEmpty() || folder.endsWith(sep) || folder.endsWith(u'/'))
        return folder;
    return folder + sep;
}

} // namespace zk
