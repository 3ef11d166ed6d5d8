#pragma once

#include "tcpip.h"

#include <QStringList>
#include <QTimer>

namespace zk {

enum t_ftp_mode { tftp_download = 0, tftp_upload = 1, tftp_getdir = 2 };
using TFTPActionCompleteProc = std::function<void(QObject *sender, t_ftp_mode mode)>;
using TDataTransferProc = std::function<void(QObject *sender, t_ftp_mode mode, qint32 bytes)>;
// Receives a failure raised while a notification was handled (asynchronous
// operation); without one the failure goes on to the application.
using TFTPErrorProc = std::function<void(const ETcpIpError &error)>;

// How the client speaks to the server: in clear text, or explicit FTP over
// TLS (RFC 4217: AUTH TLS before the login, PBSZ 0 and PROT P after it, and
// every data connection secured with the control connection's session).
enum class FtpSecurity { Plain, ExplicitTls };

// TLS could not be had: the server refused AUTH TLS, the handshake failed,
// or the certificate could not be verified and the user has not trusted it.
class ETlsError : public ETcpIpError {
public:
    enum class Kind { Refused, Handshake, Certificate };
    ETlsError(Kind kind, const QString &message) : ETcpIpError(message), kind(kind) {}
    Kind kind;
    QString problem;     // Polish: why the certificate or the handshake failed
    QString fingerprint; // SHA-256 of the server's certificate
    bool changed = false; // another certificate than the one trusted before
};

// The client side of FTP over the TCP layer: log in, change and make
// folders, upload DataStream as a file, download into it, list a folder;
// passive (PASV) or active (PORT) data connections, synchronous or driven
// by socket notifications.
class T_FTP : public T_TcpIp {
    Q_OBJECT
public:
    explicit T_FTP(QObject *parent = nullptr);
    ~T_FTP() override;

    QString URI;
    QString ReplyText;
    QString Username = QStringLiteral("ftp");
    QString Password = QStringLiteral("ftp@example.pl");
    net::SocketHandle ControlSocket = net::NoSocket;
    bool Passive = true;
    quint16 Port = 21;
    t_ftp_mode Mode = tftp_download;
    t_ftp_mode TransferMode = tftp_download;
    QStringList Listing;
    qint64 TransferSize = 0;
    bool Busy = false;
    TFTPActionCompleteProc OnActionComplete;
    TDataTransferProc OnDataReceived;
    TFTPErrorProc OnAsyncError;
    MemoryStream ListingStream;
    bool Async = false;
    qint32 ReplyCode = 0;
    FtpSecurity Security = FtpSecurity::Plain;
    // The SHA-256 fingerprint of a certificate the user chose to trust for
    // this server although it could not be verified.
    QString TrustedFingerprint;
    // The control connection's TLS, once secured.
    const net::TlsDetails &tls() const { return m_tls; }

    void ReadReply();
    void SendCommand(const QString &line) override;
    void OpenSession() override;
    void CloseSession() override;
    void ChangeDir(const QString &folder);
    void MakeDir(const QString &folder);
    void Upload();
    void Download();
    void ListDir(const QString &path);
    void Abort();
    void Run() override;
    void HandleSocketMessage(SocketMessage &message) override;

    bool SendChunk();
    void FinishUpload();
    bool ReceiveChunk();
    void FinishDownload();
    void FinishListing();

    // True after the control connection was lost (dropped, timed out, 421):
    // nothing more is sent until OpenSession logs in again.
    bool sessionLost() const { return m_sessionLost; }
    // A failure after which the control connection cannot be trusted.
    static bool isSessionFailure(const ETcpIpError &error);

    // The address and port a 227 reply announced (traced, not used: the data
    // connection goes to the control connection's server).
    static bool parsePassiveReply(const QString &text, quint32 &address, quint16 &port);

private:
    void beginOperation();
    template <typename Steps> void runTransfer(Steps &&steps);
    void endTransfer(bool sessionFailed);
    void dropSession();
    void closeDataSocket();
    bool askOptional(const QString &command);
    void negotiateUtf8();
    bool offers(const QString &feature) const;
    void checkSizeOnServer();
    void secureControlConnection();
    void secureConnection(net::SocketHandle socket, bool control);
    void secureDataConnection();
    void startStallTimer();
    void stallTimedOut();
    bool takeDataConnection(net::SocketHandle listening, net::SocketHandle accepted, quint32 peer);
    void openDataConnection();
    void acceptDataConnection();
    void waitForFinalReply();
    QString readReplyLine();
    void readReplyLines();
    void readUnaskedReplies();
    void sendLine(const QByteArray &line, const QString &traced);
    [[noreturn]] void fail(qint32 code, const QString &text);
    void closeQuietly(net::SocketHandle &socket);

    quint32 m_serverAddress = net::NoAddress;
    bool m_readingReply = false;
    bool m_sessionLost = false;
    bool m_sendFailed = false;
    qint64 m_sent = 0;               // bytes of the upload the data connection took
    QStringList m_replyLines;         // every line of the last reply
    QDeadlineTimer m_closingBy = QDeadlineTimer::Forever; // while closing: a short limit for ABOR and QUIT
    QTimer *m_stallTimer = nullptr;   // asynchronous transfers: no byte moved for TimeoutMs
    bool m_awaitingAccept = false; // Socket listens for the server's data connection
    net::TlsDetails m_tls;
    QStringList m_features; // what FEAT listed, upper case, first word only
};

} // namespace zk
