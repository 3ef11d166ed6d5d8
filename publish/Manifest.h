#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace zk {

// The record this program keeps on the server, in the target folder, of
// what it wrote there: so that a second computer publishing the same
// project reads the same truth, and nothing it did not write is touched.
inline const QString ManifestName = QStringLiteral(".zentarek-manifest.json");
inline const QString BadManifestName = QStringLiteral(".zentarek-manifest.json.bad");
inline const QString ManifestFormat = QStringLiteral("zentarek-manifest");
inline constexpr int ManifestVersion = 1;
// A manifest is small; a larger "manifest" is not ours and is not read whole.
inline constexpr qint64 ManifestSizeLimit = 8 * 1024 * 1024;

struct ManifestFile {
    qint64 size = 0;
    QString sha256;     // of the bytes sent
    QString comparable; // of the bytes with the build date left out (pages, sitemap)
};

struct Manifest {
    QString revision;
    QDateTime time;
    QString target; // the folder as the server names it
    QMap<QString, ManifestFile> files; // by path relative to the target folder
    QStringList folders;               // the folders this program made there
};

QByteArray manifestJson(const Manifest &manifest);

enum class ManifestState { Valid, Missing, Damaged, OtherFormat, OtherTarget };
struct ManifestRead {
    ManifestState state = ManifestState::Missing;
    Manifest manifest;
};
// `target` is the folder the run publishes to; a manifest written for
// another one (copied along with the files) is not trusted.
ManifestRead readManifest(const QByteArray &bytes, const QString &target);

// A file of the publication as the plan sees it.
struct LocalFile {
    QString path;       // on this computer
    QString remoteName; // relative to the target folder
    ManifestFile record;
};
// Reads the file once, in pieces; an unreadable file has an empty hash.
LocalFile describeLocalFile(const QString &path, const QString &remoteName);
// The bytes that stand for a file when deciding whether it changed: a page's
// build date and the sitemap's date change at every build and do not count.
QByteArray comparableBytes(const QString &remoteName, QByteArray bytes);

// What a publication that did not finish had already placed on the server
// (kept on this computer, in the cache): the next run sends only what is
// left, and continues a large file where it stopped.
struct PublishJournal {
    QString baseRevision; // the manifest the interrupted run started from
    QHash<QString, ManifestFile> placed;
    QString partialName; // the file under way, and what was being sent as it
    QString partialSha256;
};
QString journalPathFor(const QString &server, const QString &target);
PublishJournal readJournal(const QString &path);
// Best effort: a journal that cannot be written only costs a resend.
void writeJournal(const QString &path, const PublishJournal &journal);
void removeJournal(const QString &path);

} // namespace zk
