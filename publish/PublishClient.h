#pragma once

#include "PublishPlan.h"
#include "ftp.h"

#include <optional>

class QIODevice;

namespace zk {

enum class PublishProtocol { Ftp, Sftp };

struct PublishSettings {
    QString server;
    QString user;
    QString password;
    QString folder;
    bool async = false;
    FtpSecurity security = FtpSecurity::ExplicitTls;
    // A certificate the user trusted for this server although it could not
    // be verified (its SHA-256 fingerprint); "" for none.
    QString trustedFingerprint;
    // The revision of the record this computer last wrote in that folder ("" for none).
    QString knownRevision;
    bool everything = false; // send every file, changed or not
    int connections = 1;     // sessions that send at once; 1 sends file by file
    PublishProtocol protocol = PublishProtocol::Ftp; // FTP (with `security`) or SFTP
    // An SSH server key the user accepted for this run ("SHA256:..."), and
    // whether it goes into the program's known hosts.
    QString trustedHostKey = {};
    bool rememberHostKey = false;
};

// One line of a folder listing: MLSD facts or a Unix-style LIST line.
struct ListedName {
    QString name;
    qint64 size = -1;
    bool folder = false;
};
std::optional<ListedName> parseListingLine(const QString &line, bool facts);

// What a publication needs of the protocol that carries it: log in, enter
// and make folders, send a file, close. The run (folders, questions,
// messages, progress, badge) is one code path above it; FTP and FTP over
// TLS stand behind it today, and another protocol (SFTP) would be one more
// class here. Failures are ETcpIpError (ETlsError when TLS could not be had).
class PublishClient {
public:
    virtual ~PublishClient() = default;
    virtual void logIn(const PublishSettings &settings) = 0;
    // Called by logIn as soon as the server accepted the login, before the
    // rest of the session's set-up: further sessions may start from there.
    std::function<void()> authenticated;
    // After an ETlsError about the certificate: the one the user trusted.
    virtual void trustCertificate(const QString &fingerprint) = 0;
    virtual void enterFolder(const QString &name) = 0;
    virtual void makeFolder(const QString &name) = 0;
    // Sends `file` (open, read while it goes) as `remoteName`; with an
    // asynchronous connection it may still be under way when this returns.
    // `from` > 0 continues a file whose first `from` bytes the server has.
    virtual void send(QIODevice *file, const QString &remoteName, qint64 from) = 0;
    // The server can continue a file where an upload stopped.
    virtual bool canResume() const = 0;
    // The server tells a file's size without a listing (SIZE or MLST): the
    // record and the plan need it; without it every file is sent, as always.
    virtual bool canTellSizes() const = 0;
    // The whole of a small file; nothing when the server has no such file.
    // Larger than `limit` fails. `expected`: the file is most likely there,
    // so asking whether it is would be a round trip spent for nothing.
    virtual std::optional<QByteArray> download(const QString &remoteName, qint64 limit, bool expected = false) = 0;
    // Adds what lies directly in `folder` ("" for the target folder) to
    // `into`, paths relative to the target folder.
    virtual void list(const QString &folder, ServerView &into) = 0;
    virtual void removeFolder(const QString &name) = 0;
    virtual bool isSending() const = 0;
    // The transfer under way failed and was reported: stop waiting for it.
    virtual void stopWaiting() = 0;
    // The file given to send() is about to go away.
    virtual void forgetFile(QIODevice *file) = 0;
    // After a send has ended: the size the server keeps for `remoteName`,
    // -1 when it will not say.
    virtual qint64 remoteSize(const QString &remoteName) = 0;
    virtual void rename(const QString &from, const QString &to) = 0;
    virtual void remove(const QString &remoteName) = 0;
    // The folder the files go to, as the server names it ("" when it will not say).
    virtual QString currentFolder() = 0;
    // The user gave up: a wait under way ends at once.
    virtual void interrupt() = 0;
    // The server has no renaming at all (rather than refusing this one).
    virtual bool isUnsupported(const ETcpIpError &error) const = 0;
    // Logs out and closes, within the client's short limit; may throw.
    virtual void close() = 0;
    // The server's last answer, for the messages: its FTP reply code.
    virtual int lastReplyCode() const = 0;
    // The folder named in enterFolder does not exist (rather than any other failure).
    virtual bool isMissingFolder(const ETcpIpError &error) const = 0;
    // The connection cannot be used any more after this failure.
    virtual bool isConnectionLost(const ETcpIpError &error) const = 0;
};

inline constexpr int MaxConnections = 8;

// FTP, in clear text or over TLS (the settings' security), on a T_FTP the
// caller owns (the dialog shows its progress and trace).
class FtpPublishClient : public PublishClient {
public:
    explicit FtpPublishClient(T_FTP &ftp) : m_ftp(ftp) {}
    void logIn(const PublishSettings &settings) override;
    void trustCertificate(const QString &fingerprint) override { m_ftp.TrustedFingerprint = fingerprint; }
    void enterFolder(const QString &name) override { m_ftp.ChangeDir(name); }
    void makeFolder(const QString &name) override { m_ftp.MakeDir(name); }
    void send(QIODevice *file, const QString &remoteName, qint64 from) override;
    bool canResume() const override { return m_ftp.offersRestart(); }
    bool canTellSizes() const override { return m_ftp.offersSizes(); }
    std::optional<QByteArray> download(const QString &remoteName, qint64 limit, bool expected = false) override;
    void list(const QString &folder, ServerView &into) override;
    void removeFolder(const QString &name) override { m_ftp.RemoveDir(name); }
    bool isSending() const override { return m_ftp.Busy; }
    void stopWaiting() override { m_ftp.Busy = false; }
    void forgetFile(QIODevice *file) override;
    qint64 remoteSize(const QString &remoteName) override { return m_ftp.RemoteSize(remoteName); }
    void rename(const QString &from, const QString &to) override { m_ftp.Rename(from, to); }
    void remove(const QString &remoteName) override { m_ftp.Delete(remoteName); }
    QString currentFolder() override { return m_ftp.CurrentDir(); }
    void interrupt() override { m_ftp.Interrupt(); }
    bool isUnsupported(const ETcpIpError &error) const override;
    void close() override { m_ftp.CloseSession(); }
    int lastReplyCode() const override { return m_ftp.ReplyCode; }
    bool isMissingFolder(const ETcpIpError &error) const override;
    bool isConnectionLost(const ETcpIpError &error) const override { return T_FTP::isSessionFailure(error); }

private:
    T_FTP &m_ftp;
};

// A further connection like `like` (its limits and passive mode), owning its T_FTP.
std::unique_ptr<PublishClient> makeFtpClient(const T_FTP &like);

} // namespace zk
