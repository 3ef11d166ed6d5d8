#pragma once

#include "PublishClient.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>

namespace zk {


// One publication: log in, enter (and, when the user agrees, make) the
// target folder, send the pictures and sounds, the badge, then the pages. The
// publish dialog and the command line both run it; they differ only in how
// they say things and ask.
class PublishRun {
public:
    struct Hooks {
        std::function<void(const QString &)> error;   // a failure, in Polish; the run ends
        std::function<bool(const QString &)> confirm; // a yes/no question
        std::function<void(const QString &)> sending; // the file now being sent (not the badge)
        // The server's certificate could not be verified: the question to
        // trust that very certificate for the server (a "BŁĄD!" box with Yes
        // and No). Yes: `trusted` keeps the fingerprint and the run goes on.
        std::function<bool(const QString &)> trustCertificate;
        std::function<void(const QString &server, const QString &fingerprint)> trusted;
    };
    static inline const QString BadgeRemoteName = QStringLiteral("zenanim.gif");

    PublishRun(PublishClient &client, Hooks hooks);
    ~PublishRun();

    // True when every file and the badge arrived; a failure has been said
    // through `error` (nothing is said after a cancel). The folder of
    // `settings` is normalised as the run uses it.
    bool run(PublishSettings &settings, const QStringList &files, const QHash<QString, QString> &remoteNames,
             const QString &badge);
    // Called once the login succeeded (the command line says the TLS in use).
    void setLoggedIn(std::function<void()> loggedIn) { m_loggedIn = std::move(loggedIn); }
    // The user gave up: the run stops at the next step and says no more.
    void cancel();
    bool isCancelled() const { return m_cancelled; }
    // The client reported an asynchronous failure: the wait ends.
    void asyncFailed();
    // QUIT (or ABOR) and the sockets closed, each within the client's short limit; never throws.
    void closeQuietly();

private:
    bool logIn(PublishSettings &settings);
    bool askToTrust(const QString &server, const ETlsError &e);
    bool namesCanBeSent(const PublishSettings &settings, const QStringList &files, const QHash<QString, QString> &remoteNames);
    bool enterFolders(const PublishSettings &settings);
    QString folderFailureText(const PublishSettings &settings, const QString &piece, const ETcpIpError &e) const;
    void makeRemoteFoldersFor(const QString &remoteName);
    bool waitWhileBusy();
    bool uploadFile(const QString &path, const QString &remoteName, bool isBadge);
    bool fail(const QString &text);

    PublishClient &m_client;
    Hooks m_hooks;
    QSet<QString> m_remoteFoldersMade;
    QString m_current; // the file under way, for the failure message
    bool m_cancelled = false;
    bool m_asyncFailed = false;
    std::unique_ptr<QFile> m_uploading; // the file the client reads while it sends
    std::function<void()> m_loggedIn;
};

} // namespace zk
