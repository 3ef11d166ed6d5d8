#pragma once

#include "PublishClient.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

struct ssh_session_struct;
struct sftp_session_struct;

namespace zk {

// The server's key is not one the known-hosts files vouch for. A key that
// is new may be trusted by the user; a changed one (or one of another type
// than the key known) never is: the old entry has to go first.
class EHostKeyError : public ETcpIpError {
public:
    enum class Kind { Unknown, Changed, OtherType };
    EHostKeyError(Kind kind, const QString &message) : ETcpIpError(message), kind(kind) {}
    Kind kind;
    QString host;           // as the known-hosts files name it: "host" or "[host]:port"
    QString keyType;        // "ssh-ed25519"
    QString fingerprint;    // "SHA256:..." as OpenSSH prints it
    QString knownType;      // of the key known before ("" when it cannot be said)
    QString knownFingerprint;
    QString knownIn;        // the file that holds the old key
};

// The program's own known hosts (OpenSSH's format), in its data folder; the
// user's ~/.ssh/known_hosts is read beside it and never written.
QString ownKnownHostsFile();
QString userKnownHostsFile();

// SFTP over SSH (libssh): the login with the user's agent or keys in
// ~/.ssh, then the password (also as keyboard-interactive); the server's
// key checked against the known-hosts files. libssh blocks, so each call
// runs on a thread of the client's own while the caller waits, pumping the
// window's events; a deadline (or the user giving up) shuts the socket,
// which ends any call at once.
class SftpPublishClient : public PublishClient {
public:
    struct Events {
        std::function<void(const QString &, TTraceLevel)> trace = nullptr;
        std::function<void(const QString &remoteName, qint64 bytes)> moved = nullptr; // of the file under way
        std::function<void(const QString &remoteName, qint64 bytes)> sent = nullptr;
    };
    SftpPublishClient();
    ~SftpPublishClient() override;

    // Connecting, each operation, and an upload without progress give up after this.
    int TimeoutMs = 30000;
    void setEvents(Events events) { m_events = std::move(events); }
    bool isWaiting() const { return m_pumping > 0; }

    void logIn(const PublishSettings &settings) override;
    void trustCertificate(const QString &) override {}
    void enterFolder(const QString &name) override;
    void makeFolder(const QString &name) override;
    void send(QIODevice *file, const QString &remoteName, qint64 from) override;
    bool canResume() const override { return true; }
    bool canTellSizes() const override { return true; }
    std::optional<QByteArray> download(const QString &remoteName, qint64 limit, bool expected = false) override;
    void list(const QString &folder, ServerView &into) override;
    void removeFolder(const QString &name) override;
    bool isSending() const override { return false; }
    void stopWaiting() override {}
    void forgetFile(QIODevice *) override {}
    qint64 remoteSize(const QString &remoteName) override;
    void rename(const QString &from, const QString &to) override;
    void remove(const QString &remoteName) override;
    QString currentFolder() override { return m_folder; }
    void interrupt() override;
    bool isUnsupported(const ETcpIpError &error) const override;
    void close() override;
    int lastReplyCode() const override { return m_replyCode; }
    bool isMissingFolder(const ETcpIpError &error) const override;
    bool isConnectionLost(const ETcpIpError &error) const override;

private:
    class CallThread;
    enum class Limit { Operation, Progress };
    void call(const QString &what, const std::function<void()> &work, Limit limit = Limit::Operation, int limitMs = 0);
    bool keepWaiting(Limit limit);
    void deliverEvents();
    void cutConnection();
    void setOptions(const PublishSettings &settings);
    void connectSocket();
    void checkHostKey(const PublishSettings &settings);
    EHostKeyError hostKeyError(EHostKeyError::Kind kind, const QString &type, const QString &fingerprint);
    QString knownHostsName() const;
    QString knownIn();
    void rememberHostKey();
    void authenticate(const PublishSettings &settings);
    bool passwordLogin(int methods, const QByteArray &password);
    qint64 uploadFrom(QIODevice *file, const QByteArray &path, const QString &name, qint64 from);
    [[noreturn]] void failWrite(const QString &name, const QByteArray &path);
    QByteArray pathOf(const QString &name) const;
    void request(const QString &command, const QString &what, const QString &name,
                 const std::function<int(const char *)> &send);
    [[noreturn]] void failSsh(const QString &what);
    [[noreturn]] void failSftp(const QString &what, const QString &name);
    void note(const QString &line, TTraceLevel level = tt_socket);
    void endSession();

    Events m_events;
    std::unique_ptr<CallThread> m_thread;
    ssh_session_struct *m_ssh = nullptr;
    sftp_session_struct *m_sftp = nullptr;
    std::mutex m_socketLock; // the socket is shut from the waiting thread
    int m_socket = -1;
    int m_limitMs = 30000;      // of the call under way
    qint64 m_callStarted = 0;
    bool m_timedOut = false;
    QString m_server;
    QString m_sending; // the remote name of the file under way
    QString m_folder; // where names are relative to, as the server names it
    int m_replyCode = 0;
    int m_pumping = 0;
    std::atomic<bool> m_interrupted{false};
    std::atomic<bool> m_cut{false};
    std::atomic<qint64> m_movedBytes{0};   // sent since the events last took them
    std::atomic<qint64> m_progressMark{0}; // the clock when enough bytes last moved
    std::mutex m_traceLock;
    QStringList m_traceLines;
};

} // namespace zk
