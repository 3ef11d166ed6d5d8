#pragma once

#include "Encoding.h"

#include <QStringList>

namespace zk {

// The page file name ends in ".html": another extension is replaced, a
// missing one appended (the extension is the text from the last "." after
// the last "/", "\" or ":").
QString normalizePageFileName(const QString &name);

struct PageOutput {
    QStringList pageLines;
    QStringList publishFiles;
    QString encoding;
    QString intermediateFile; // "temp.htm" in the work folder
    QString badgeSourcePath;
};

// Writes the page as `folder` + `pageName` and copies every asset that
// exists beside it under its bare name, then the badge as "zenanim.gif";
// files already there are kept. On a failed write shows
// "Nie można zapisać pliku "<target>"!" after the encoder's own message
// and returns false. A file that cannot be copied raises AppError.
bool writePageWithAssets(const PageOutput &page, const QString &folder, const QString &pageName,
                         const MessageSink &message);

} // namespace zk
