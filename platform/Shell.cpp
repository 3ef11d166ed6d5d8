#include "Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace zk {

static QUrl urlFor(const QString &pathOrAddress)
{
    if (QFileInfo::exists(pathOrAddress))
        return QUrl::fromLocalFile(QFileInfo(pathOrAddress).absoluteFilePath());
    return QUrl::fromUserInput(pathOrAddress);
}

bool DesktopShell::openDocument(const QString &pathOrAddress, QWidget *)
{
    const QUrl url = urlFor(pathOrAddress);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopShell::startProgram(const QString &program, const QStringList &arguments,
                                const QString &workingFolder, QWidget *)
{
    return QProcess::startDetached(program, arguments, workingFolder);
}

} // namespace zk
