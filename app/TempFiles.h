#pragma once

#include <QString>
#include <functional>

namespace zk {

struct TempFilesReport {
    std::function<void(const QString &path)> cannotDelete;
    std::function<void()> cannotList;
};

using FileRemover = std::function<bool(const QString &path)>;

// Deletes the plain files directly in `folder` (hidden files, special
// files and subfolders stay), reporting each file that cannot be deleted
// and going on with the next. An absent folder is left silently.
void deleteTempFiles(const QString &folder, const TempFilesReport &report,
                     const FileRemover &remove = {});

} // namespace zk
