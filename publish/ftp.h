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

// Where a transfer stands; `Busy` is true in the three middle states.
// Opening: the data connection and the transfer command, before the server's
// 1xx; FinalReply: the data has gone (or the server stopped taking it) and
// the server's word on it is awaited. Lost: the session cannot be used.
enum class FtpTransfer { Idle, Opening, Sending, Receiving, FinalReply, Lost };

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
    // An upload starts at this byte of DataStream (REST); 0 sends it whole.
    qint64 RestartAt = 0;
    // Download() asks SIZE first, for its progress; false when TransferSize is known.
    bool AskSizeFirst = true;
    // A download larger than this fails rather than filling memory; -1 for no limit.
    qint64 DownloadLimit = -1;
    bool Busy = false;
    TFTPActionCompleteProc OnActionComplete;
    TDataTransferProc OnDataReceived;
    // Once the server accepted the user and password, before the session's
    // remaining set-up (features, UTF-8, binary type).
    std::function<void()> OnAuthenticated;
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
    // MLSD (RFC 3659): one line of facts a name, where FEAT offers MLST.
    void ListFacts(const QString &path);
    bool offersFacts() const { return offers(QStringLiteral("MLST")); }
    bool offersSizes() const { return offers(QStringLiteral("SIZE")) || offersFacts(); }
    // REST before STOR continues a file where an earlier upload stopped.
    bool offersRestart() const { return m_restStream; }
    void RemoveDir(const QString &folder);
    void Abort();
    // RNFR and RNTO; DELE; the size the server reports for a file (SIZE where
    // FEAT offers it, else MLST, else the LIST line), -1 when it will not say;
    // the current folder as PWD names it ("" when it will not say).
    void Rename(const QString &from, const QString &to);
    void Delete(const QString &name);
    qint64 RemoteSize(const QString &name);
    QString CurrentDir();
    void Run() override;
    void HandleSocketMessage(SocketMessage &message) override;

    bool SendChunk();
    void FinishUpload();
    bool ReceiveChunk();
    void FinishDownload();
    void FinishListing();

    // True after the control connection was lost (dropped, timed out, 421):
    // nothing more is sent until OpenSession logs in again.
    bool sessionLost() const { return m_state == FtpTransfer::Lost; }
    FtpTransfer transferState() const { return m_state; }
    // The user gave up. In asynchronous operation every wait lets the window
    // work (its events are processed every 20 ms), and a wait under way
    // ends at once after this; the next login clears it.
    void Interrupt() { m_interrupted = true; }
    bool isInterrupted() const { return m_interrupted; }
    // Inside such a wait the window's events are being processed: closing
    // the connection from there must wait until the operation under way unwinds.
    bool isWaiting() const { return m_pumping > 0; }
    // A failure after which the control connection cannot be trusted.
    static bool isSessionFailure(const ETcpIpError &error);

    // The address and port a 227 reply announced (traced, not used: the data
    // connection goes to the control connection's server).
    static bool parsePassiveReply(const QString &text, quint32 &address, quint16 &port);

private:
    class PumpedWaits;
    bool pump();
    void setState(FtpTransfer next);
    void replayDeferred();
    void awaitFinalReply();
    bool finalReplyArrived();
    void handleDataEvent(int event);
    void acceptInBackground();
    void progressMade(qint64 bytes);
    bool sizeFromListing(const QString &name, qint64 &size);
    void beginOperation();
    template <typename Steps> void runTransfer(Steps &&steps);
    void endTransfer(bool sessionFailed);
    void dropSession();
    void closeDataSocket();
    bool askOptional(const QString &command);
    void negotiateUtf8();
    bool offers(const QString &feature) const;
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
    [[noreturn]] void fail(qint32 code, const QString &text, const QString &reason = {});
    void closeQuietly(net::SocketHandle &socket);

    quint32 m_serverAddress = net::NoAddress;
    bool m_readingReply = false;
    FtpTransfer m_state = FtpTransfer::Idle;
    bool m_interrupted = false;
    int m_pumping = 0;
    bool m_handling = false;          // inside HandleSocketMessage
    QList<SocketMessage> m_deferred;  // notifications that came while one was handled or a transfer opened
    qint64 m_stallBytes = 0;          // moved since the stall timer last started
    net::ProgressWindow m_receiving{30000}; // a download's or listing's data
    bool m_receivingWindowed = false;       // a synchronous receive: its deadline follows m_receiving
    qint64 m_sent = 0;               // bytes of the upload the data connection took
    QStringList m_replyLines;         // every line of the last reply
    QDeadlineTimer m_closingBy = QDeadlineTimer::Forever; // while closing: a short limit for ABOR and QUIT
    QTimer *m_stallTimer = nullptr;   // asynchronous transfers: under 1 kB moved in TimeoutMs, or no final reply
    bool m_awaitingAccept = false; // Socket listens for the server's data connection
    net::TlsDetails m_tls;
    QStringList m_features; // what FEAT listed, upper case, first word only
    bool m_restStream = false; // FEAT listed "REST STREAM"
    void listWith(const QString &command, const QString &path);
    void askDownloadSize();
    bool m_listedInAscii = true; // the listing under way switched to TYPE A
};

} // namespace zk
