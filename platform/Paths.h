#pragma once

#include <QString>

namespace zk {

// The file name of a local path is what follows its last "/", "\" or ":",
// so Windows-style paths work on every platform. A reference typed into a
// page is classified first (References.h): only local paths get here.
QString fileNameOf(const QString &path);

// The folder part of a path, without the file name and without a
// trailing separator ("" when the path has none).
QString folderOf(const QString &path);

// Folder paths throughout the program end with the native separator.
QString withTrailingSeparator(const QString &folder);

} // namespace zk
