#include "PageOutput.h"

#include "AppError.h"
#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>
#include <thread>

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

QString pageFileNameProblem(const QString &name)
{
    const QString quoted = u'"' + name + u'"';
    if (name.trimmed().isEmpty())
        return QStringLiteral("Podaj nazwę pliku strony, np. \"index.html\"!");
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(u':') || name.contains(QStringLiteral("..")))
        return QStringLiteral("Nazwa pliku strony %1 jest nieprawidłowa: podaj samą nazwę pliku, bez folderów "
                              "i bez znaków / \\ : oraz \"..\"!")
            .arg(quoted);
    if (name.startsWith(u'.') || name.contains(QChar(0)))
        return QStringLiteral("Nazwa pliku strony %1 jest nieprawidłowa: nie może zaczynać się od kropki!").arg(quoted);
    return {};
}

namespace {

QString badgeTarget(const QString &folder)
{
    return folder + BadgeName;
}

bool pageWouldChange(const PageOutput &page, const QString &target)
{
    const QFileInfo existing(target);
    if (!existing.exists())
        return false; // a new file replaces nothing
    QFile file(target);
    if (!existing.isFile() || !file.open(QIODevice::ReadOnly))
        return true;
    return file.readAll() != encodeLines(page.pageLines, page.encoding);
}

void makeFolderFor(const QString &folder, const QString &relativeTarget, QStringList *madeFolders)
{
    const qsizetype slash = relativeTarget.lastIndexOf(u'/');
    if (slash < 0)
        return;
    const QString sub = folder + relativeTarget.left(slash);
    if (QFileInfo(sub).isDir())
        return;
    const QString top = folder + relativeTarget.section(u'/', 0, 0);
    const bool topWasThere = QFileInfo(top).isDir();
    if (!QDir().mkpath(sub))
        throw AppError(QStringLiteral("Nie można utworzyć foldera \"%1\"").arg(QDir::toNativeSeparators(sub)));
    if (madeFolders && !topWasThere)
        *madeFolders << top;
}

void copyAssets(const PageOutput &page, const QString &folder, QStringList *madeFolders)
{
    QList<std::pair<QString, QString>> copies;
    for (const TravellingFile &f : page.files) {
        makeFolderFor(folder, f.target, madeFolders);
        copies.append({f.source, QDir::toNativeSeparators(folder + f.target)});
    }
    if (QFile::exists(page.badgeSourcePath))
        copies.append({page.badgeSourcePath, badgeTarget(folder)});
    copyAllReplacing(copies);
}

} // namespace

QStringList filesThatWouldChange(const PageOutput &page, const QString &folder, const QString &pageName)
{
    QStringList names;
    if (pageWouldChange(page, folder + pageName))
        names << pageName;
    for (const TravellingFile &f : page.files) {
        const QString target = folder + f.target;
        if (QFileInfo::exists(target) && copyWouldChange(f.source, target))
            names << f.target;
    }
    const QString badge = badgeTarget(folder);
    if (QFile::exists(page.badgeSourcePath) && QFileInfo::exists(badge) && copyWouldChange(page.badgeSourcePath, badge))
        names << BadgeName;
    return names;
}

bool writePageWithAssets(const PageOutput &page, const QString &folder, const QString &pageName,
                         const MessageSink &message, QStringList *madeFolders)
{
    // The pictures are copied on the other core while the page is encoded
    // and written: a quarter of a large page's saving. Each copy replaces
    // its file only once whole, so a page that fails leaves no file damaged.
    // A jthread: joined on every way out, an exception of the page's own included.
    std::exception_ptr copyFailure;
    std::jthread copying([&] {
        try {
            copyAssets(page, folder, madeFolders);
        } catch (...) {
            copyFailure = std::current_exception();
        }
    });
    const QString target = folder + pageName;
    const bool saved = SaveEncoded(page.pageLines, target, page.encoding, message);
    copying.join();
    if (!saved) {
        message(QStringLiteral("BŁĄD!"), QStringLiteral("Nie można zapisać pliku \"%1\"!").arg(target));
        return false;
    }
    if (copyFailure)
        std::rethrow_exception(copyFailure);
    return true;
}

QString missingFilesNote(const QStringList &missing)
{
    if (missing.isEmpty())
        return {};
    constexpr int shown = 10;
    QString text = QStringLiteral("Tych plików nie ma na dysku, więc nie zostały skopiowane razem ze stroną:");
    for (qsizetype i = 0; i < missing.size() && i < shown; ++i)
        text += QStringLiteral("\n\"%1\"").arg(missing[i]);
    if (missing.size() > shown)
        text += QStringLiteral("\n(i %1 innych)").arg(missing.size() - shown);
    return text + QStringLiteral("\nStrona odwołuje się do nich, ale po przeniesieniu nie będą się wyświetlać!");
}

QString pageSavedText(const QString &pagePath, int files)
{
    QString text = QStringLiteral("Zapisano stronę: %1").arg(QDir::toNativeSeparators(pagePath));
    if (files <= 0)
        return text;
    // 1 plik, 2-4 pliki (but 12-14 plików), 5 and more plików
    const int tens = files % 100, ones = files % 10;
    const QString noun = files == 1 ? QStringLiteral("plik")
                         : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? QStringLiteral("pliki")
                                                                                 : QStringLiteral("plików");
    return text + QStringLiteral(" i %1 %2").arg(files).arg(noun);
}

} // namespace zk
