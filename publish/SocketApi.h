#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>

// The only place that calls the operating system's socket functions, so
// that WinSock can stand behind the same names on Windows. Addresses are
// IPv4 in network byte order; handles are -1 for none.
namespace zk::net {

using SocketHandle = int;
constexpr SocketHandle NoSocket = -1;
constexpr quint32 NoAddress = 0xFFFFFFFFu;

int lastError();
extern const int TimedOutError;
bool wouldBlock(int error);
bool notConnected(int error);

SocketHandle createTcpSocket(); // close-on-exec
bool setNonBlocking(SocketHandle s, bool on);
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
void closeHandle(SocketHandle s);

enum class Wait { Ready, TimedOut, Failed };
Wait waitReadable(SocketHandle s, int timeoutMs);
Wait waitWritable(SocketHandle s, int timeoutMs);

quint32 parseDotted(const QString &text);
quint32 lookupHost(const QString &name);
QString localHostName();

} // namespace zk::net
