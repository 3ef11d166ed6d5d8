#pragma once

#include "PublishClient.h"
#include "PublishPlan.h"
#include "SendQueue.h"
#include "SftpClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTemporaryFile>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace zk {

// Why a step failed, in Polish, for the line under the message: our own
// reason where there is one, else the server's reply with its words.
QString reasonFor(const ETcpIpError &error);

// A trace line as the conversation shows it to the user: "> " and the
// command (the password already hidden), "< " and the reply, the TLS in
// use; "" for the socket's own bookkeeping.
QString conversationLine(const QString &line, TTraceLevel level);
// "Wysłano "img/a.gif": 4000 bajtów w 0,02 s (200,0 kB/s)"
QString sentFileLine(const QString &name, qint64 bytes, qint64 ms);

// How far a publication has got, in bytes: the bar's share, and the line
// under it with the speed and the time left.
class TransferProgress {
public:
    void begin(qint64 total);
    void moved(qint64 bytes) { m_current += bytes; }
    void fileDone(qint64 size);
    int percent() const;
    QString text() const;
    // True at most ten times a second, and at the end: when to redraw.
    bool dueForRedraw();

private:
    qint64 m_total = 0;
    qint64 m_done = 0;    // files finished
    qint64 m_current = 0; // of the file under way
    QElapsedTimer m_clock;
    qint64 m_lastRedraw = -1000;
};


// One publication: log in, enter (and, when the user agrees, make) the
// target folder, send the pictures and sounds, the badge, then the pages. The
// publish dialog and the command line both run it; they differ only in how
// they say things and ask. Each file goes up under a temporary name and is
// renamed into place once the server's size for it is right, so a failed
// upload never leaves a partial file under the real name.
enum class HostKeyAnswer { Remember, Once, Cancel };

class PublishRun {
public:
    struct Hooks {
        std::function<void(const QString &)> error = nullptr;   // a failure, in Polish; the run ends
        std::function<bool(const QString &)> confirm = nullptr; // a yes/no question
        std::function<void(const QString &)> sending = nullptr; // the file now being sent (not the badge)
        // The server's certificate could not be verified: the question to
        // trust that very certificate for the server (a "BŁĄD!" box with Yes
        // and No). Yes: `trusted` keeps the fingerprint and the run goes on.
        std::function<bool(const QString &)> trustCertificate = nullptr;
        std::function<void(const QString &server, const QString &fingerprint)> trusted = nullptr;
        // The plan, once the server has been read and before anything is sent.
        std::function<void(const PublishPlan &)> planned = nullptr;
        // The question before deleting many files; `confirm` when not given.
        std::function<bool(const QString &)> confirmDeletion = nullptr;
        // A file that arrived over another connection than the caller's own.
        std::function<void(const QString &path, const QString &remoteName, qint64 bytes)> sentElsewhere = nullptr;
        // An SSH server key that no known-hosts file vouches for: the
        // question, answered by trusting it for good, for this run, or not.
        std::function<HostKeyAnswer(const QString &)> trustHostKey = nullptr;
        // A key that changed since it was known: said with no way to go on
        // (`error` when not given).
        std::function<void(const QString &)> hostKeyChanged = nullptr;
    };
    // A further connection to the same server, for sending several files at once.
    using ClientMaker = std::function<std::unique_ptr<PublishClient>()>;
    // A file that failed because the connection was lost is sent again this
    // many times, each after a fresh login.
    static constexpr int Retries = 3;
    static inline const QString BadgeRemoteName = QStringLiteral("zenanim.gif");

    PublishRun(PublishClient &client, Hooks hooks);
    ~PublishRun();

    // True when every file and the badge arrived; a failure has been said
    // through `error` (nothing is said after a cancel). The folder of
    // `settings` is normalised as the run uses it.
    bool run(PublishSettings &settings, const QStringList &files, const QHash<QString, QString> &remoteNames,
             const QString &badge);
    // The protocol of the next run (the dialog switches between FTP and SFTP).
    void useClient(PublishClient &client);
    // With `maker`, up to the settings' connections send at once.
    void setClientMaker(ClientMaker maker) { m_makeClient = std::move(maker); }
    // Reads the server and makes the plan, then stops: nothing is sent.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // After a run that succeeded: the revision of the record it wrote.
    const QString &writtenRevision() const { return m_writtenRevision; }
    const PublishPlan &plan() const { return m_plan; }
    // Called once the login succeeded (the command line says the TLS in use).
    void setLoggedIn(std::function<void()> loggedIn) { m_loggedIn = std::move(loggedIn); }
    // The user gave up: the run stops at the next step and says no more.
    void cancel();
    bool isCancelled() const { return m_cancelled; }
    // The client reported an asynchronous failure: the wait ends.
    void asyncFailed(const ETcpIpError &error);
    // After a run that succeeded: the folder the files went to, as the
    // server names it ("" when it will not say).
    const QString &folderOnServer() const { return m_folderOnServer; }
    // The name a file travels under until it is complete.
    static QString temporaryNameFor(const QString &remoteName);
    // The record of the publication, under its own or its temporary name.
    static bool isManifest(const QString &remoteName)
    {
        return remoteName == ManifestName || remoteName == temporaryNameFor(ManifestName);
    }
    // The badge, under its own or its temporary name.
    static bool isBadge(const QString &remoteName)
    {
        return remoteName == BadgeRemoteName || remoteName == temporaryNameFor(BadgeRemoteName);
    }
    // QUIT (or ABOR) and the sockets closed, each within the client's short limit; never throws.
    void closeQuietly();

private:
    bool logIn(PublishSettings &settings);
    bool askToTrust(const QString &server, const ETlsError &e);
    bool askAboutHostKey(PublishSettings &settings, const EHostKeyError &e);
    bool namesCanBeSent(const PublishSettings &settings, const QStringList &files, const QHash<QString, QString> &remoteNames);
    bool enterFolders(const PublishSettings &settings);
    QString folderFailureText(const PublishSettings &settings, const QString &piece, const ETcpIpError &e) const;
    void makeRemoteFoldersFor(const QString &remoteName);
    bool readServer(const PublishSettings &settings, PlanInput &in);
    bool readWhatIsThere(const PublishSettings &settings, PlanInput &in); // the record, and sizes or listings
    void serverSizes(PlanInput &in);
    void offerListings(const QStringList &folders);
    void listFolders(const QStringList &folders, ServerView &into);
    qsizetype takeListing(const QString &folder);
    void withdrawListings();
    bool sendPlanned(const PublishSettings &settings, const QString &badge);
    struct LaneGate;
    bool listForTheFirst(LaneGate &gate, const PublishSettings &settings, bool &inFolder);
    void startLanes(const PublishSettings &settings, qsizetype files);
    void openLanes(SendQueue &queue, int wanted);
    void endLanes();
    void sendOnAnotherConnection(const PublishSettings &settings, LaneGate &gate, int connection);
    void takeFinished(SendQueue &queue, QString &failedPath);
    void notePlaced(const LocalFile &file);
    bool sendWithRetries(const PublishSettings &settings, const LocalFile &file, bool isBadge);
    bool reconnect(const PublishSettings &settings);
    bool enterTargetFolder(const PublishSettings &settings); // after a login: the folder of the run
    void deleteOldFiles();
    bool writeManifest(const PublishSettings &settings);
    Manifest nextManifest() const;
    bool queueRecordAhead(QList<QList<LocalFile>> &stages);
    static bool isRecordAhead(const LocalFile &file);
    bool sentIfRecordAhead(SendQueue &queue, const LocalFile &file, PublishRun &on, int connection);
    bool sendRecordAhead(const LocalFile &record);
    bool putRecordAheadInPlace();
    void setBadManifestAside();
    bool waitWhileBusy();
    bool uploadFile(const QString &path, const QString &remoteName, bool isBadge, const QString &sha256 = {});
    qint64 resumableBytes(const QString &temporary, const QString &path, const QString &sha256);
    bool sendAndWait(const QString &path, const QString &remoteName, qint64 from = 0);
    void checkSize(const QString &name, qint64 size);
    void putInPlace(const QString &temporary, const QString &remoteName, const QString &path);
    void removeQuietly(const QString &remoteName);
    bool failed(const QString &path);
    QString withReason(const QString &text, const ETcpIpError &error) const;
    bool fail(const QString &text);

    PublishClient *m_client;
    Hooks m_hooks;
    QSet<QString> m_remoteFoldersMade; // asked for (made, or there already)
    QSet<QString> m_absent;            // the plan's: not on the server when it was read
    bool m_targetMade = false;         // the run made the target folder: it held nothing
    static constexpr qint64 WorthResuming = 256 * 1024; // a larger file goes up under a temporary name, to resume
    QStringList m_foldersCreated;      // made by this run below the target folder
    PublishPlan m_plan;
    PublishJournal m_journal;
    QString m_journalPath;
    QString m_target;  // the folder as the server names it, for the record
    QString m_writtenRevision;
    bool m_dryRun = false;
    bool m_lost = false; // the last failure lost the connection
    bool m_keepsRecord = false; // the server can tell sizes: the plan and the record are made
    ClientMaker m_makeClient;
    std::unique_ptr<LaneGate> m_gate;  // the further connections wait here for the files
    std::vector<std::thread> m_lanes;
    QString m_current; // the file under way, for the failure message
    QString m_reason;  // why it failed
    QStringList m_placed; // files already in their place on the server
    QString m_folderOnServer;
    bool m_cancelled = false;
    bool m_asyncFailed = false;
    bool m_directly = false; // the server cannot rename: files go up under their own names
    std::unique_ptr<QFile> m_uploading; // the file the client reads while it sends
    std::function<void()> m_loggedIn;
    // The record, when it went ahead under its temporary name on another
    // connection (whether it arrived is set from that connection's thread).
    std::unique_ptr<QTemporaryFile> m_recordFile;
    Manifest m_recordAhead;
    std::atomic<bool> m_recordAheadSent{false};
};

} // namespace zk
