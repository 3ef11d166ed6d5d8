#pragma once

#include "Manifest.h"

#include <QSet>

namespace zk {

// What the server holds in the target folder, as far as the run looked.
struct ServerView {
    bool listed = false;            // the folders were listed; else only the publication's files were asked for
    QHash<QString, qint64> files;   // path relative to the target folder -> size (absent: not there)
    QSet<QString> folders;          // folders seen in the listing
};

struct PlanInput {
    QList<LocalFile> files;  // the publication, the badge among them
    ManifestRead manifest;
    ServerView server;
    QString knownRevision;   // the revision this computer last wrote there ("" for none)
    PublishJournal journal;  // what an interrupted run had already placed
    bool everything = false; // "Wyślij wszystko od nowa"
};

// Each file of the publication in one class, what goes and what is deleted,
// and the manifest to write once everything has arrived.
struct PublishPlan {
    QList<LocalFile> toSend;        // folders' files first, pages after, the start page last
    QStringList nowe, zmienione, brakujace, bezZmian, doUsuniecia, nieNasze;
    QStringList foldersToRemove;    // deepest first; each one we made, empty once the deletions are done
    QHash<QString, ManifestFile> toDeleteRecords; // what the record said of each: kept when a deletion does not happen
    QSet<QString> absent;           // of toSend: not in the server's listing of its folder
    QStringList notes;              // said once: how a missing or foreign record was handled
    bool keepBadAside = false;      // the record there is damaged or not ours: kept as BadManifestName
    bool deletionNeedsConsent = false;
    Manifest next;                  // files and folders; the run adds the revision, the time and the folders it made
    qint64 bytesToSend() const;
};

PublishPlan planPublish(const PlanInput &in);

// The folders below the target folder the publication's files need, parents first.
QStringList foldersNeeded(const QStringList &remoteNames);

// The plan as the dialog and the command line show it: the counts, then
// the names of each class (at most `namesShown` a class).
QStringList planLines(const PublishPlan &plan, int namesShown = 10);
// What the message after a publication adds: the counts where anything was
// left or deleted, and the notes; "" for a publication that sent everything.
QString planAfterwards(const PublishPlan &plan);
// The question before deleting many files.
QString deletionQuestion(const PublishPlan &plan);

} // namespace zk
