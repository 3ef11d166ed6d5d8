#pragma once

#include "PageDescription.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace zk {

// The publishing profile a project carries: never the password.
struct PublishProfile {
    QString server;
    QString user;
    QString folder;
    bool async = false;
    bool tls = true; // FTP over TLS; a project from before TLS says nothing and goes on in clear text
    bool sftp = false; // SFTP (SSH) instead of FTP; `tls` then says nothing
    bool operator==(const PublishProfile &) const = default;
};

// A whole page as the user left it: every control of the three pages, the
// main text exactly as typed, the editor's word wrap, the publishing profile.
struct Project {
    PageDescription page; // `Edytorek` is not used: `mainText` holds the text whole
    QString mainText;
    bool wordWrap = false;
    PublishProfile profile;
    // The file's own object as read: keys a later version wrote survive a save.
    QJsonObject kept;
};

inline const QString ProjectFormatName = QStringLiteral("zentarek-projekt");
inline constexpr int ProjectFormatVersion = 1;
inline constexpr qint64 MaxProjectFileSize = 10 * 1024 * 1024;
inline const QString ProjectExtension = QStringLiteral(".zentarek");

// JSON for the project; file paths inside or below `projectFolder` are
// written relative to it, so the folder can move with its pictures.
QByteArray projectToJson(const Project &project, const QString &projectFolder);

struct ProjectRead {
    std::optional<Project> project;
    QString error; // Polish: what is wrong, when nothing was read
    QStringList notes = {}; // Polish: what was read otherwise than written, for the user
};
// Reads JSON bytes; relative file paths are resolved against `projectFolder`.
ProjectRead projectFromJson(const QByteArray &json, const QString &projectFolder);

// Reads a project file without ever writing to it.
ProjectRead readProjectFile(const QString &path);
// The longest text of a one-line field (what such a field holds).
inline constexpr int MaxFieldLength = 32767;

// Why the project's JSON is too large for the program to read back ("" when it is not).
QString oversizeProblem(const Project &project, qsizetype jsonSize);

// Writes atomically; on failure the Polish reason is returned. A project
// the program would refuse to read is never written.
std::optional<QString> writeProjectFile(const Project &project, const QString &path);

// The local files the project's fields name that do not exist.
QStringList missingProjectFiles(const Project &project);

} // namespace zk
