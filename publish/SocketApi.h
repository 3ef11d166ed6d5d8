#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <functional>

// The only place that calls the operating system's socket functions, so
// that WinSock can stand behind the same names on Windows. Addresses are
// IPv4 in network byte order; handles are -1 for none.
namespace zk::net {

using SocketHandle = int;
constexpr SocketHandle NoSocket = -1;
constexpr quint32 NoAddress = 0xFFFFFFFFu;

int lastError();
extern const int TimedOutError;
extern const int CancelledError; // a wait the pump ended
bool wouldBlock(int error);
bool notConnected(int error);

SocketHandle createTcpSocket(); // close-on-exec
bool setNonBlocking(SocketHandle s, bool on);
// A sender that queues far more than the network takes leaves the work of
// sending it to whoever frees the window: on a link as fast as loopback,
// the receiving server itself, which then spends a fifth more processor time
// on the same bytes (pyftpdlib). With little queued, each send does its own.
void keepUnsentDataSmall(SocketHandle s);
// 0 on success; else the error (wouldBlock() when still connecting).
int connectTo(SocketHandle s, quint32 address, quint16 port);
int pendingError(SocketHandle s); // SO_ERROR after a background connect
bool bindTo(SocketHandle s, quint32 address, quint16 port);
bool boundPort(SocketHandle s, quint16 &port);
bool boundAddress(SocketHandle s, quint32 &address);
bool listenOn(SocketHandle s, int backlog);
SocketHandle acceptFrom(SocketHandle s, quint32 &peerAddress, quint16 &peerPort);
int peerName(SocketHandle s); // 0 connected, else the error
bool isListening(SocketHandle s);
long receiveSome(SocketHandle s, char *buffer, std::size_t size); // -1 with lastError()
long peekSome(SocketHandle s, char *buffer, std::size_t size);    // never blocks
long sendSomeNow(SocketHandle s, const char *data, std::size_t size);  // never blocks
long receiveSomeNow(SocketHandle s, char *buffer, std::size_t size);   // never blocks
void shutdownSending(SocketHandle s);
// Both directions at once: a thread blocked on the socket wakes to its end.
void shutdownBoth(SocketHandle s);
void closeHandle(SocketHandle s);

enum class Wait { Ready, TimedOut, Failed };
Wait waitReadable(SocketHandle s, int timeoutMs);
Wait waitWritable(SocketHandle s, int timeoutMs);

// While a pump is set, every wait (the TLS handshake's and close's too) is
// cut into slices of 20 ms with the pump called between them, so the window
// keeps answering; when the pump returns false the wait ends as Failed with
// lastError() CancelledError. Returns the pump set before.
using WaitPump = std::function<bool()>;
WaitPump setWaitPump(WaitPump pump);

// Progress that counts: a peer that moves a byte now and then must not keep
// a wait alive for ever, so the window starts again only once `MinBytes`
// have moved within it.
class ProgressWindow {
public:
    static constexpr qint64 MinBytes = 1024;
    explicit ProgressWindow(int windowMs) : m_windowMs(windowMs), m_deadline(windowMs) {}
    void moved(qint64 bytes)
    {
        m_moved += bytes;
        if (m_moved >= MinBytes) {
            m_moved = 0;
            m_deadline = QDeadlineTimer(m_windowMs);
        }
    }
    bool hasExpired() const { return m_deadline.hasExpired(); }
    QDeadlineTimer deadline() const { return m_deadline; }
    qint64 remainingTime() const { return m_deadline.remainingTime(); }

private:
    int m_windowMs;
    QDeadlineTimer m_deadline;
    qint64 m_moved = 0;
};

// TLS (OpenSSL) on a connected socket, as the client. After startTls the
// receive, peek, send and wait functions above speak TLS on that socket,
// which stays non-blocking underneath (the waits keep the deadlines);
// shutdownSending and closeHandle send TLS's close_notify first.
struct TlsDetails {
    QString version;     // "TLSv1.3"
    QString cipher;      // "TLS_AES_256_GCM_SHA384"
    bool resumed = false; // the session of `resumeFrom` was taken up
    bool verified = false; // trusted authority, valid dates, the host's name
    QString problem;     // why not, in Polish ("" when verified)
    QString fingerprint; // SHA-256 of the server's certificate, "AB:CD:..."
};
enum class TlsStart { Done, TimedOut, Failed };
// The handshake within timeoutMs; the certificate is checked against the
// system's authorities (SSL_CERT_FILE and SSL_CERT_DIR are honoured) and
// `host`, and the result reported, not enforced: the caller decides.
// `resumeFrom`: a TLS socket whose session this connection takes up.
TlsStart startTls(SocketHandle s, const QString &host, SocketHandle resumeFrom, int timeoutMs, TlsDetails &details,
                  QString &error);
bool hasTls(SocketHandle s);
// The end of what a TLS socket sends: close_notify, then the wait (within
// timeoutMs) for the peer to close its side. Closing at once would let a
// late record of the peer's (a session ticket) reset the connection, and
// the peer lose the end of what it had not read yet.
void finishTls(SocketHandle s, int timeoutMs);
// Decrypted bytes waiting in TLS's buffer, which no socket notifier sees.
bool hasBufferedTlsData(SocketHandle s);

quint32 parseDotted(const QString &text);
quint32 lookupHost(const QString &name);
QString localHostName();

} // namespace zk::net
