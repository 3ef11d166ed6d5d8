#pragma once

#include "Assets.h"
#include "Encoding.h"

#include <QStringList>

namespace zk {

// The page file name ends in ".html": another extension is replaced, a
// missing one appended (the extension is the text from the last "." after
// the last "/", "\" or ":").
QString normalizePageFileName(const QString &name);

// Why a page file name cannot be used ("" when it can): it must be one
// plain file name, neither empty nor hidden, with no folder in it.
QString pageFileNameProblem(const QString &name);

inline const QString BadgeName = QStringLiteral("zenanim.gif");

struct PageOutput {
    QStringList pageLines;
    QList<TravellingFile> files;
    QString encoding;
    QString badgeSourcePath;
};

// The files in `folder` that writing the page as `pageName` with its files
// would replace by different content, by their names relative to the folder.
QStringList filesThatWouldChange(const PageOutput &page, const QString &folder, const QString &pageName);

// Writes the page as `folder` + `pageName` and, at the same time, copies
// every file that travels with it into its place (subfolders made as
// needed), then the badge as "zenanim.gif"; a file already there is
// replaced only when it differs. On a failed write shows "Nie można zapisać
// pliku "<target>"!" after the encoder's own message and returns false. A
// file that cannot be copied raises AppError once the page is written.
// `madeFolders` collects the folders it created. `message` is called on
// the calling thread only.
bool writePageWithAssets(const PageOutput &page, const QString &folder, const QString &pageName,
                         const MessageSink &message, QStringList *madeFolders = nullptr);

// The one "UWAGA!" note about local files the page names that do not exist.
QString missingFilesNote(const QStringList &missing);

// What the status bar says after the page was saved: its path and how many
// files went with it ("Zapisano stronę: …/index.html i 3 pliki").
QString pageSavedText(const QString &pagePath, int files);

} // namespace zk
