#pragma once

#include <QString>

namespace zk {

// Paths every output command builds on; set once while the main window
// is created. Folders end with the separator.
struct AppPaths {
    QString appFolder;
    QString helpFile;
    QString tempFolder; // where Preview and Publish write the page and its files
    QString pageFilePath;
    QString badgeSourcePath;
};

struct TempFolderChoice {
    QString folder;      // the temporary folder in use, with its separator
    bool created = true; // false: neither place could be made
    QString failedFolder; // the folder beside the program, for the message
};

// The temporary folder is AppFolder + "temp/" when it can be created and
// written there; otherwise, silently, the per-user cache folder + "temp/".
TempFolderChoice chooseTempFolder(const QString &appFolder, const QString &cacheFolder);

AppPaths makeAppPaths(const QString &appFolder, const QString &tempFolder);

} // namespace zk
