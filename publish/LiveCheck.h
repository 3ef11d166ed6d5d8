#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace zk {

// A file as it went to the server: its bytes here and its name there.
struct SentFile {
    QString localPath;
    QString remoteName; // relative to the page's folder, "/" between folders
};

inline constexpr int LiveCheckDeadlineMs = 15000;

// The files of a publication as they went: each under its remote name (its
// own file name when none is given), the badge (when it exists) as `badgeName`.
QList<SentFile> sentFiles(const QStringList &files, const QHash<QString, QString> &remoteNames, const QString &badge,
                          const QString &badgeName);

// What the web shows under `address` (the page's folder, ending in "/")
// against what was sent, one Polish line a difference: a file missing
// there, other bytes than were sent, or the server unreachable (said once).
// Every file is fetched over HTTP(S), certificates verified, all within
// `deadlineMs` in all; empty when the web shows what was sent.
QStringList liveDifferences(const QString &address, const QList<SentFile> &files, int deadlineMs = LiveCheckDeadlineMs);

// The one "UWAGA!" text for those differences.
QString liveCheckWarning(const QString &address, const QString &folderOnServer, const QStringList &differences);

} // namespace zk
