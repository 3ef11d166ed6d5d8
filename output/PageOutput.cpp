#include "PageOutput.h"

#include "Assets.h"
#include "Paths.h"

namespace zk {

QString normalizePageFileName(const QString &name)
{
    const qsizetype nameStart = name.size() - fileNameOf(name).size();
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool hasExtension = dot >= nameStart;
    if (hasExtension && QStringView(name).mid(dot) == u".html")
        return name;
    return (hasExtension ? name.left(dot) : name) + QStringLiteral(".html");
}

bool writePageWithAssets(const PageOutput &page, const QString &folder, const QString &pageName,
                         const MessageSink &message)
{
    const QString target = folder + pageName;
    if (!SaveEncoded(page.pageLines, {target, page.intermediateFile}, page.encoding, message)) {
        message(QStringLiteral("BŁĄD!"), QStringLiteral("Nie można zapisać pliku \"%1\"!").arg(target));
        return false;
    }
    for (const QString &asset : page.publishFiles)
        FileCopy(asset, folder + fileNameOf(asset));
    FileCopy(page.badgeSourcePath, folder + QStringLiteral("zenanim.gif"));
    return true;
}

} // namespace zk
