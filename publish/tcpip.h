#pragma once

#include "AppError.h"
#include "SocketApi.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QEvent>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QIODevice;
class QSocketNotifier;

namespace zk {

// The exception family of the socket layer.
class ETcpIpError : public AppError {
public:
    using AppError::AppError;
    ETcpIpError(const QString &message, const QString &reason) : AppError(message), reason(reason) {}
    // Why, in Polish, for the user; "" where the server's own reply says it.
    QString reason;
};

class ESocketError : public ETcpIpError {
public:
    explicit ESocketError(quint16 errorCode)
        : ETcpIpError(QStringLiteral("Error creating socket")), ErrorCode(errorCode) {}
    quint16 ErrorCode;
};

class EProtocolError : public ETcpIpError {
public:
    EProtocolError(const QString &protocol, quint16 errorCode, const QString &message, const QString &reason = {})
        : ETcpIpError(message, reason), ErrorCode(errorCode), Protocol(protocol) {}
    quint16 ErrorCode;
    QString Protocol;
};

class EProtocolBusy : public ETcpIpError {
public:
    EProtocolBusy() : ETcpIpError(QStringLiteral("Protocol busy")) {}
};

enum TTraceLevel { tt_command = 0, tt_reply = 1, tt_socket = 2 };
using TTraceProc = std::function<void(const QString &s, TTraceLevel level)>;

// Message kinds and socket events, numbered as the Windows notifications.
inline constexpr int WM_QUERYENDSESSION = 0x0011;
inline constexpr int WM_SOCKET_CONTROL = 1280;
inline constexpr int WM_SOCKET_DATA = 1281;
enum SocketEventBits : int { FD_READ = 1, FD_WRITE = 2, FD_ACCEPT = 8, FD_CONNECT = 16, FD_CLOSE = 32 };

struct SocketMessage {
    int Msg = 0;
    qintptr WParam = 0; // the socket
    quint32 LParam = 0; // event in the low word
    qintptr Result = 0;
};

// A block of memory read and written like a file; for an upload it may
// instead read from `device` (an open file), so a big file is streamed from
// disk rather than held in memory.
struct MemoryStream {
    QByteArray data;
    qint64 position = 0;
    QIODevice *device = nullptr;
    void clear() { data.clear(); position = 0; device = nullptr; }
    qint64 size() const;
    qint64 read(char *out, qint64 max);
    void append(const char *bytes, qint64 n) { data.append(bytes, n); }
};

// Ports, counts and addresses as the trace lines write them.
QString AddressText(quint32 address);
quint32 ResolveHost(const QString &text);
quint32 LocalAddress();
int NthPos(QChar separator, const QString &text, int n);

class T_Component : public QObject {
    Q_OBJECT
public:
    explicit T_Component(QObject *parent = nullptr);
    ~T_Component() override;
    virtual void LinkedComponentDestroyed(T_Component *component);
    QList<T_Component *> LinkedComponents;
};

class T_TcpIp;

// The component's hidden receiver of socket notifications: QSocketNotifiers
// on the GUI thread post events with the Windows event numbers, which it
// hands to HandleSocketMessage. A notification is armed again only after
// the component reads (or, for writing, after a send would block), as
// WinSock does.
class SocketNotifyWindow : public QObject {
    Q_OBJECT
public:
    explicit SocketNotifyWindow(T_TcpIp *owner);
    ~SocketNotifyWindow() override;

    void select(net::SocketHandle socket, int message, int eventMask);
    void rearmRead(net::SocketHandle socket);
    void rearmWrite(net::SocketHandle socket);
    void post(int message, net::SocketHandle socket, int event);
    bool isRegistered(net::SocketHandle socket) const { return m_registrations.contains(socket); }

protected:
    void customEvent(QEvent *event) override;

private:
    struct Registration {
        int message = 0;
        int mask = 0;
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
        bool connectPending = true;
        quint64 serial = 0;
    };
    void readReady(net::SocketHandle socket);
    void writeReady(net::SocketHandle socket);
    void drop(net::SocketHandle socket);

    T_TcpIp *m_owner;
    QHash<net::SocketHandle, Registration> m_registrations;
    quint64 m_serial = 0;
};

// One TCP connection at a time, synchronous (blocking, with timeouts) or
// driven by socket notifications, reporting every socket event as a trace.
class T_TcpIp : public T_Component {
    Q_OBJECT
public:
    static constexpr int BufferSize = 32512;

    explicit T_TcpIp(QObject *parent = nullptr);
    ~T_TcpIp() override;

    SocketNotifyWindow *NotifyWindow = nullptr;
    net::SocketHandle Socket = net::NoSocket;
    QString Hostname;
    TTraceProc OnTrace;
    quint16 ConnectPort = 0;
    quint32 HostAddress = net::NoAddress;
    bool EndOfData = false;
    bool DataReady = false;
    MemoryStream DataStream;
    QByteArray Buffer;
    bool WaitForData = false;
    bool Connected = false;
    // Connecting, waiting for a reply and waiting for data give up after this.
    int TimeoutMs = 30000;

    net::SocketHandle CreateSocket();
    void ConnectSocket(net::SocketHandle &socket, quint16 port, quint32 address);
    void ListenSocket(net::SocketHandle &socket, quint16 &port, quint32 localAddress);
    net::SocketHandle AcceptConnection(net::SocketHandle listening, quint32 &peerAddress);
    int SocketState(net::SocketHandle socket);
    void CloseSocket(net::SocketHandle &socket);
    void ReceiveBytes(net::SocketHandle socket, char *buffer, long &count, long size);
    QString ReadLine(net::SocketHandle socket);
    void SendBytes(net::SocketHandle socket, const char *data, long &length);
    void SendText(net::SocketHandle socket, const QByteArray &text);
    // The error of the last SendBytes that sent less than asked (0: none),
    // kept apart from errno, which re-arming a notifier may change.
    int sendError() const { return m_sendError; }
    // Registers the socket for notifications (mask 0: none), as WSAAsyncSelect.
    void AsyncSelect(net::SocketHandle socket, int message, int eventMask);

    virtual void HandleSocketMessage(SocketMessage &message);
    virtual void OpenConnection(net::SocketHandle &socket, quint16 port, quint32 address);
    virtual void Run();
    virtual void SendCommand(const QString &line);
    virtual void OpenSession();
    virtual void CloseSession();
    virtual bool AtEnd(net::SocketHandle socket);

    // Complete lines already received on the control connection.
    bool hasBufferedLine(net::SocketHandle socket) const;
    // Reads what has arrived on `socket` into the line buffer without
    // waiting; false at its end (or on an error).
    bool pullAvailable(net::SocketHandle socket);
    QByteArray bufferedBytes(net::SocketHandle socket) const { return socket == m_lineSocket ? m_lineBuffer : QByteArray(); }
    // While set, every wait for incoming bytes ends by this deadline as well
    // as by TimeoutMs, so a whole reply (not each of its lines) has one limit.
    void setReceiveDeadline(QDeadlineTimer deadline) { m_receiveDeadline = deadline; }
    bool lineTooLong() const { return m_lineTooLong; }

protected:
    void trace(const QString &s, TTraceLevel level = tt_socket) const;
    // Closes a socket as CloseSocket does, without its trace line.
    void closeWithoutTrace(net::SocketHandle &socket);
    // Destruction: the most derived CloseSession while the socket is open.
    void shutDown();
    QString waitingFor = QStringLiteral("data");
    static constexpr qsizetype MaxLine = 8192;

private:
    bool waitUntilReadable(net::SocketHandle socket);
    int receiveWaitMs() const;
    [[noreturn]] void timedOutWaiting() const;
    void throwIfCancelled(net::Wait w) const;
    QDeadlineTimer m_receiveDeadline = QDeadlineTimer::Forever;
    QByteArray m_lineBuffer; // bytes read past the last line of m_lineSocket
    net::SocketHandle m_lineSocket = net::NoSocket;
    bool m_lineTooLong = false;
    bool m_shutDown = false;
    int m_lastError = 0;
    int m_sendError = 0;
};

} // namespace zk
