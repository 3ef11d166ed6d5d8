#include "SocketApi.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
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

Wait waitFor(SocketHandle s, short events, int timeoutMs)
{
    pollfd p{s, events, 0};
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
} // namespace

const int TimedOutError = ETIMEDOUT;

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
    const int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
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
    ssize_t r;
    do
        r = ::recv(s, buffer, size, 0);
    while (r < 0 && errno == EINTR);
    return long(r);
}

long peekSome(SocketHandle s, char *buffer, std::size_t size)
{
    ssize_t r;
    do
        r = ::recv(s, buffer, size, MSG_PEEK | MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return long(r);
}

long sendSomeNow(SocketHandle s, const char *data, std::size_t size)
{
    ssize_t r;
    do
        r = ::send(s, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return long(r);
}

long receiveSomeNow(SocketHandle s, char *buffer, std::size_t size)
{
    ssize_t r;
    do
        r = ::recv(s, buffer, size, MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return long(r);
}

void shutdownSending(SocketHandle s)
{
    ::shutdown(s, SHUT_WR);
}

void closeHandle(SocketHandle s)
{
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
