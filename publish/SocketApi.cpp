#include "SocketApi.h"

#include <QDeadlineTimer>

#include "OpenSslCalls.h"

#include <mutex>
#include <unordered_map>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zk::net {

namespace {
sockaddr_in ipv4(quint32 address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = address;
    return a;
}

// Per thread: a connection of a second thread of the publication waits
// plainly, never through the window's pump.
thread_local WaitPump waitPump;
thread_local bool pumping = false; // a wait inside the pump waits plainly: no pump within a pump

Wait pollOnce(pollfd &p, int timeoutMs)
{
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r > 0)
            return Wait::Ready;
        if (r == 0)
            return Wait::TimedOut;
        if (errno != EINTR)
            return Wait::Failed;
    }
}

Wait pollFor(SocketHandle s, short events, int timeoutMs)
{
    pollfd p{s, events, 0};
    if (!waitPump || pumping || timeoutMs == 0)
        return pollOnce(p, timeoutMs);
    constexpr int Slice = 20;
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    for (;;) {
        const int left = deadline.isForever() ? Slice : int(std::clamp<qint64>(deadline.remainingTime(), 0, Slice));
        const Wait w = pollOnce(p, left);
        if (w != Wait::TimedOut || deadline.hasExpired())
            return w;
        pumping = true;
        const bool goOn = waitPump();
        pumping = false;
        if (!goOn) {
            errno = ECANCELED;
            return Wait::Failed;
        }
    }
}

// ------------------------------------------------------------------- TLS

struct TlsSocket {
    SSL *ssl = nullptr;
    bool broken = false; // a fatal error: no close_notify may follow
};

std::mutex tlsMutex;
std::unordered_map<SocketHandle, TlsSocket> tlsSockets;

SSL *tlsOf(SocketHandle s)
{
    std::lock_guard lock(tlsMutex);
    const auto it = tlsSockets.find(s);
    return it == tlsSockets.end() ? nullptr : it->second.ssl;
}

void markBroken(SocketHandle s)
{
    std::lock_guard lock(tlsMutex);
    const auto it = tlsSockets.find(s);
    if (it != tlsSockets.end())
        it->second.broken = true;
}

// OpenSSL's own socket BIO writes with write(), so a peer that reset the
// connection would end the whole program with SIGPIPE; this one sends with
// MSG_NOSIGNAL and otherwise behaves as the socket BIO does.
int socketOf(BIO *bio)
{
    return int(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int bioWrite(BIO *bio, const char *data, int size)
{
    BIO_clear_retry_flags(bio);
    ssize_t r;
    do
        r = ::send(socketOf(bio), data, size_t(size), MSG_NOSIGNAL);
    while (r < 0 && errno == EINTR);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        BIO_set_retry_write(bio);
    return int(r);
}

int bioRead(BIO *bio, char *data, int size)
{
    BIO_clear_retry_flags(bio);
    ssize_t r;
    do
        r = ::recv(socketOf(bio), data, size_t(size), 0);
    while (r < 0 && errno == EINTR);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        BIO_set_retry_read(bio);
    if (r == 0)
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF); // tells an end without close_notify from a pause
    return int(r);
}

long bioControl(BIO *bio, int command, long, void *)
{
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
    case BIO_C_GET_FD:
        return socketOf(bio);
    default:
        return 0;
    }
}

BIO *socketBio(SocketHandle s)
{
    static BIO_METHOD *const method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "zentarek socket");
        if (m) {
            BIO_meth_set_write(m, bioWrite);
            BIO_meth_set_read(m, bioRead);
            BIO_meth_set_ctrl(m, bioControl);
            BIO_meth_set_create(m, [](BIO *b) {
                BIO_set_init(b, 1);
                return 1;
            });
        }
        return m;
    }();
    BIO *bio = method ? BIO_new(method) : nullptr;
    if (bio)
        BIO_set_data(bio, reinterpret_cast<void *>(intptr_t(s)));
    return bio;
}

SSL_CTX *clientContext()
{
    if (!openSsl().problem.isEmpty())
        return nullptr;
    static SSL_CTX *const context = [] {
        SSL_CTX *c = SSL_CTX_new(TLS_client_method());
        if (!c)
            return c;
        SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(c);
        SSL_CTX_set_verify(c, SSL_VERIFY_NONE, nullptr); // verified, then judged by the caller
        SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return c;
    }();
    return context;
}

// The result of an SSL call as the plain socket calls give it: a count,
// 0 at the end of the stream, or -1 with errno (EAGAIN: not yet).
long tlsResult(SocketHandle s, SSL *ssl, int r)
{
    if (r > 0)
        return r;
    switch (SSL_get_error(ssl, r)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        errno = EAGAIN;
        return -1;
    case SSL_ERROR_ZERO_RETURN: // close_notify
        return 0;
    case SSL_ERROR_SYSCALL:
        ERR_clear_error();
        markBroken(s);
        if (errno == 0 || errno == EAGAIN)
            return 0; // the peer closed without close_notify: an end all the same
        return -1;
    default:
        ERR_clear_error();
        markBroken(s);
        errno = ECONNRESET;
        return -1;
    }
}

void sendCloseNotify(SocketHandle s)
{
    SSL *ssl = nullptr;
    {
        std::lock_guard lock(tlsMutex);
        const auto it = tlsSockets.find(s);
        if (it == tlsSockets.end() || it->second.broken)
            return;
        ssl = it->second.ssl;
        it->second.broken = true; // once
    }
    if (SSL_is_init_finished(ssl))
        SSL_shutdown(ssl); // non-blocking: the alert goes out or is dropped, the close never waits
    ERR_clear_error();
}

QString certificateProblem(long result)
{
    switch (result) {
    case X509_V_OK:
        return {};
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("certyfikat serwera wygasł");
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("certyfikat serwera nie jest jeszcze ważny");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QStringLiteral("certyfikat wystawiono dla innej nazwy serwera");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QStringLiteral("certyfikat podpisał sam serwer, a nie zaufany urząd certyfikacji");
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QStringLiteral("certyfikat wystawił nieznany urząd certyfikacji");
    case X509_V_ERR_CERT_REVOKED:
        return QStringLiteral("certyfikat serwera został unieważniony");
    default:
        return QStringLiteral("certyfikatu nie można zweryfikować (%1)")
            .arg(QString::fromLatin1(X509_verify_cert_error_string(result)));
    }
}

// OpenSSL's reason in Polish; its English words never reach a message.
QString handshakeProblem(unsigned long code)
{
    switch (ERR_GET_REASON(code)) {
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_HTTP_REQUEST:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
        return QStringLiteral("serwer nie odpowiedział szyfrowaniem TLS");
    case SSL_R_UNEXPECTED_EOF_WHILE_READING:
        return QStringLiteral("serwer zamknął połączenie w trakcie uzgadniania szyfrowania");
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
        return QStringLiteral("serwer zna tylko przestarzałe wersje TLS");
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_NO_SHARED_CIPHER:
        return QStringLiteral("serwer i program nie mają wspólnego sposobu szyfrowania");
    default:
        return QStringLiteral("serwer przerwał uzgadnianie szyfrowania (błąd TLS nr %1)").arg(ERR_GET_REASON(code));
    }
}

void describePeer(SSL *ssl, TlsDetails &details)
{
    details.version = QString::fromLatin1(SSL_get_version(ssl));
    details.cipher = QString::fromLatin1(SSL_get_cipher_name(ssl));
    details.resumed = SSL_session_reused(ssl) == 1;
    X509 *certificate = SSL_get1_peer_certificate(ssl);
    if (!certificate) {
        details.problem = QStringLiteral("serwer nie przedstawił certyfikatu");
        return;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) == 1)
        details.fingerprint = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), length).toHex(':').toUpper());
    X509_free(certificate);
    details.problem = certificateProblem(SSL_get_verify_result(ssl));
    details.verified = details.problem.isEmpty();
}

} // namespace

TlsStart startTls(SocketHandle s, const QString &host, SocketHandle resumeFrom, int timeoutMs, TlsDetails &details,
                  QString &error)
{
    SSL_CTX *context = clientContext();
    SSL *ssl = context ? SSL_new(context) : nullptr;
    BIO *bio = ssl ? socketBio(s) : nullptr;
    if (!bio) {
        if (ssl)
            SSL_free(ssl);
        error = openSsl().problem.isEmpty() ? QStringLiteral("nie można przygotować biblioteki OpenSSL") : openSsl().problem;
        return TlsStart::Failed;
    }
    const QByteArray name = host.toUtf8();
    if (parseDotted(host) != NoAddress) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.constData());
    } else {
        SSL_set_tlsext_host_name(ssl, name.constData());
        SSL_set1_host(ssl, name.constData());
    }
    if (SSL *control = tlsOf(resumeFrom)) {
        if (SSL_SESSION *session = SSL_get1_session(control)) {
            SSL_set_session(ssl, session);
            SSL_SESSION_free(session);
        }
    }
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL, 0) | O_NONBLOCK); // for good: the waits below keep the time
    SSL_set_bio(ssl, bio, bio);
    SSL_set_connect_state(ssl);
    {
        std::lock_guard lock(tlsMutex);
        tlsSockets[s] = TlsSocket{ssl, false};
    }
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const int r = SSL_do_handshake(ssl);
        if (r == 1)
            break;
        const int why = SSL_get_error(ssl, r);
        if (why != SSL_ERROR_WANT_READ && why != SSL_ERROR_WANT_WRITE) {
            const unsigned long code = ERR_get_error();
            ERR_clear_error();
            markBroken(s);
            error = code ? handshakeProblem(code) : QStringLiteral("serwer zamknął połączenie w trakcie uzgadniania szyfrowania");
            return TlsStart::Failed;
        }
        const int left = int(std::max<qint64>(0, deadline.remainingTime()));
        const Wait w = pollFor(s, why == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, left);
        if (w != Wait::Ready) {
            markBroken(s);
            error = QStringLiteral("serwer nie dokończył uzgadniania szyfrowania w ciągu %1 s").arg(timeoutMs / 1000.0);
            return w == Wait::TimedOut ? TlsStart::TimedOut : TlsStart::Failed;
        }
    }
    describePeer(ssl, details);
    return TlsStart::Done;
}

bool hasTls(SocketHandle s)
{
    return tlsOf(s) != nullptr;
}

namespace {

// Bytes of ours the server's side has not yet acknowledged; 0 when unknown.
int unacknowledged(SocketHandle s)
{
    int bytes = 0;
    return ::ioctl(s, SIOCOUTQ, &bytes) == 0 ? bytes : 0;
}

} // namespace

// Closing with bytes of the server's still unread would reset the connection
// and could lose the end of the file on its side, so its close is awaited,
// but only while our data is still moving (the time-out without progress)
// and then briefly: its final reply, not its close, says the file arrived.
void finishTls(SocketHandle s, int timeoutMs)
{
    if (!hasTls(s))
        return;
    sendCloseNotify(s);
    ::shutdown(s, SHUT_WR);
    constexpr int AfterDelivery = 500;
    ProgressWindow stalled(timeoutMs);
    QDeadlineTimer closing = QDeadlineTimer::Forever;
    int queued = unacknowledged(s);
    char discard[4096];
    for (;;) { // what comes after our close is of no interest: read raw
        const ssize_t n = ::recv(s, discard, sizeof discard, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return;
        const int now = unacknowledged(s);
        if (now < queued)
            stalled.moved(queued - now);
        queued = now;
        if (queued == 0 && closing.isForever())
            closing = QDeadlineTimer(std::min(AfterDelivery, timeoutMs));
        const qint64 left = queued == 0 ? closing.remainingTime() : stalled.remainingTime();
        if (left == 0)
            return;
        if (n < 0 && pollFor(s, POLLIN, int(std::clamp<qint64>(left, 0, 50))) == Wait::Failed)
            return; // the user gave up
    }
}

bool hasBufferedTlsData(SocketHandle s)
{
    SSL *ssl = tlsOf(s);
    return ssl && SSL_pending(ssl) > 0;
}

namespace {

// Readable for a TLS socket means a byte of data (or the end) is there,
// not only a record of TLS's own, such as a session ticket.
Wait waitFor(SocketHandle s, short events, int timeoutMs)
{
    SSL *ssl = events == POLLIN ? tlsOf(s) : nullptr;
    if (!ssl)
        return pollFor(s, events, timeoutMs);
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    for (;;) {
        if (SSL_pending(ssl) > 0)
            return Wait::Ready;
        const Wait w = pollFor(s, POLLIN, timeoutMs < 0 ? -1 : int(std::max<qint64>(0, deadline.remainingTime())));
        if (w != Wait::Ready)
            return w;
        char byte;
        if (tlsResult(s, ssl, SSL_peek(ssl, &byte, 1)) >= 0 || errno != EAGAIN)
            return Wait::Ready;
        if (deadline.hasExpired())
            return Wait::TimedOut;
    }
}

} // namespace

const int TimedOutError = ETIMEDOUT;
const int CancelledError = ECANCELED;

WaitPump setWaitPump(WaitPump pump)
{
    std::swap(waitPump, pump);
    return pump;
}

int lastError()
{
    return errno;
}

bool wouldBlock(int error)
{
    return error == EWOULDBLOCK || error == EAGAIN || error == EINPROGRESS;
}

bool notConnected(int error)
{
    return error == ENOTCONN;
}

SocketHandle createTcpSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}

bool setNonBlocking(SocketHandle s, bool on)
{
    if (hasTls(s))
        return true; // always non-blocking underneath; the waits keep the time
    const int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

void keepUnsentDataSmall(SocketHandle s)
{
    const int bytes = 32 * 1024;
    ::setsockopt(s, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &bytes, sizeof bytes); // an optimisation: failure costs only speed
}

int connectTo(SocketHandle s, quint32 address, quint16 port)
{
    const sockaddr_in a = ipv4(address, port);
    int r;
    do
        r = ::connect(s, reinterpret_cast<const sockaddr *>(&a), sizeof a);
    while (r < 0 && errno == EINTR);
    return r == 0 ? 0 : errno;
}

int pendingError(SocketHandle s)
{
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) < 0)
        return errno;
    return error;
}

bool bindTo(SocketHandle s, quint32 address, quint16 port)
{
    const sockaddr_in a = ipv4(address, port);
    return ::bind(s, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
}

bool boundPort(SocketHandle s, quint16 &port)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) < 0)
        return false;
    port = ntohs(a.sin_port);
    return true;
}

bool boundAddress(SocketHandle s, quint32 &address)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) < 0)
        return false;
    address = a.sin_addr.s_addr;
    return true;
}

bool listenOn(SocketHandle s, int backlog)
{
    return ::listen(s, backlog) == 0;
}

SocketHandle acceptFrom(SocketHandle s, quint32 &peerAddress, quint16 &peerPort)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    int r;
    do
        r = ::accept4(s, reinterpret_cast<sockaddr *>(&a), &len, SOCK_CLOEXEC);
    while (r < 0 && errno == EINTR);
    peerAddress = a.sin_addr.s_addr;
    peerPort = ntohs(a.sin_port);
    return r;
}

bool isListening(SocketHandle s)
{
    int on = 0;
    socklen_t len = sizeof on;
    return ::getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, &on, &len) == 0 && on != 0;
}

int peerName(SocketHandle s)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    return ::getpeername(s, reinterpret_cast<sockaddr *>(&a), &len) == 0 ? 0 : errno;
}

long receiveSome(SocketHandle s, char *buffer, std::size_t size)
{
    if (SSL *ssl = tlsOf(s))
        return tlsResult(s, ssl, SSL_read(ssl, buffer, int(std::min<std::size_t>(size, INT_MAX))));
    ssize_t r;
    do
        r = ::recv(s, buffer, size, 0);
    while (r < 0 && errno == EINTR);
    return long(r);
}

long peekSome(SocketHandle s, char *buffer, std::size_t size)
{
    if (SSL *ssl = tlsOf(s))
        return tlsResult(s, ssl, SSL_peek(ssl, buffer, int(std::min<std::size_t>(size, INT_MAX))));
    ssize_t r;
    do
        r = ::recv(s, buffer, size, MSG_PEEK | MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return long(r);
}

long sendSomeNow(SocketHandle s, const char *data, std::size_t size)
{
    if (SSL *ssl = tlsOf(s))
        return size == 0 ? 0 : tlsResult(s, ssl, SSL_write(ssl, data, int(std::min<std::size_t>(size, INT_MAX))));
    ssize_t r;
    do
        r = ::send(s, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return long(r);
}

long receiveSomeNow(SocketHandle s, char *buffer, std::size_t size)
{
    if (SSL *ssl = tlsOf(s))
        return tlsResult(s, ssl, SSL_read(ssl, buffer, int(std::min<std::size_t>(size, INT_MAX))));
    ssize_t r;
    do
        r = ::recv(s, buffer, size, MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return long(r);
}

void shutdownSending(SocketHandle s)
{
    sendCloseNotify(s);
    ::shutdown(s, SHUT_WR);
}

void shutdownBoth(SocketHandle s)
{
    ::shutdown(s, SHUT_RDWR);
}

void closeHandle(SocketHandle s)
{
    sendCloseNotify(s);
    SSL *ssl = nullptr;
    {
        std::lock_guard lock(tlsMutex);
        const auto it = tlsSockets.find(s);
        if (it != tlsSockets.end()) {
            ssl = it->second.ssl;
            tlsSockets.erase(it);
        }
    }
    if (ssl) {
        SSL_free(ssl);
        // Bytes left unread (TLS's session tickets on an upload's data
        // connection) would make close() reset the connection, and the
        // server could lose the end of the file still in its buffers.
        char discard[4096];
        for (int i = 0; i < 256 && ::recv(s, discard, sizeof discard, MSG_DONTWAIT) > 0; ++i) {
        }
    }
    ::close(s);
}

Wait waitReadable(SocketHandle s, int timeoutMs)
{
    return waitFor(s, POLLIN, timeoutMs);
}

Wait waitWritable(SocketHandle s, int timeoutMs)
{
    return waitFor(s, POLLOUT, timeoutMs);
}

quint32 parseDotted(const QString &text)
{
    in_addr a{};
    return ::inet_pton(AF_INET, text.toLatin1().constData(), &a) == 1 ? a.s_addr : NoAddress;
}

quint32 lookupHost(const QString &name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    if (::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &result) != 0 || !result)
        return NoAddress;
    const quint32 address = reinterpret_cast<const sockaddr_in *>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return address;
}

QString localHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

} // namespace zk::net
