#include "tcpip.h"

#include "CheckedFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QSocketNotifier>
#include <QStringDecoder>

#include <cstring>

namespace zk {

using namespace net;

qint64 MemoryStream::size() const
{
    return device ? device->size() : qint64(data.size());
}

qint64 MemoryStream::read(char *out, qint64 max)
{
    if (device) {
        if (device->pos() != position && !device->seek(position))
            return -1;
        const qint64 n = device->read(out, max);
        if (n > 0)
            position += n;
        return n;
    }
    const qint64 n = std::max<qint64>(0, std::min(max, qint64(data.size()) - position));
    if (n > 0)
        std::memcpy(out, data.constData() + position, size_t(n));
    position += n;
    return n;
}

QString AddressText(quint32 address)
{
    const auto *b = reinterpret_cast<const unsigned char *>(&address); // network order: first octet first
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

quint32 ResolveHost(const QString &text)
{
    if (text.isEmpty())
        return NoAddress;
    const quint32 dotted = parseDotted(text);
    if (dotted != NoAddress)
        return dotted;
    return lookupHost(text);
}

quint32 LocalAddress()
{
    const quint32 a = lookupHost(localHostName());
    return a != NoAddress ? a : parseDotted(QStringLiteral("127.0.0.1"));
}

int NthPos(QChar separator, const QString &text, int n)
{
    int found = 0;
    for (int i = 0; i < text.size(); ++i)
        if (text.at(i) == separator && ++found == n)
            return i + 1;
    return int(text.size()) + 1;
}

// ---------------------------------------------------------------- T_Component

T_Component::T_Component(QObject *parent) : QObject(parent) {}

T_Component::~T_Component()
{
    for (T_Component *c : LinkedComponents)
        if (c)
            c->LinkedComponentDestroyed(this);
}

void T_Component::LinkedComponentDestroyed(T_Component *) {}

// --------------------------------------------------------- SocketNotifyWindow

namespace {
class SocketEvent : public QEvent {
public:
    static QEvent::Type kind()
    {
        static const int type = QEvent::registerEventType();
        return QEvent::Type(type);
    }
    SocketEvent(int message, SocketHandle socket, int event, quint64 serial)
        : QEvent(kind()), message(message), socket(socket), event(event), serial(serial) {}
    int message;
    SocketHandle socket;
    int event;
    quint64 serial; // of the registration it was posted for
};

} // namespace

SocketNotifyWindow::SocketNotifyWindow(T_TcpIp *owner) : QObject(owner), m_owner(owner) {}

SocketNotifyWindow::~SocketNotifyWindow()
{
    for (Registration &r : m_registrations) {
        delete r.read;
        delete r.write;
    }
}

void SocketNotifyWindow::drop(SocketHandle socket)
{
    const auto it = m_registrations.find(socket);
    if (it == m_registrations.end())
        return;
    delete it->read;
    delete it->write;
    m_registrations.erase(it);
}

void SocketNotifyWindow::select(SocketHandle socket, int message, int eventMask)
{
    drop(socket);
    if (socket == NoSocket)
        return;
    setNonBlocking(socket, eventMask != 0);
    if (eventMask == 0)
        return;
    Registration r;
    r.serial = ++m_serial;
    r.message = message;
    r.mask = eventMask;
    if (eventMask & (FD_READ | FD_ACCEPT | FD_CLOSE)) {
        r.read = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        connect(r.read, &QSocketNotifier::activated, this, [this, socket] { readReady(socket); });
    }
    if (eventMask & (FD_WRITE | FD_CONNECT)) {
        r.write = new QSocketNotifier(socket, QSocketNotifier::Write, this);
        connect(r.write, &QSocketNotifier::activated, this, [this, socket] { writeReady(socket); });
    }
    m_registrations.insert(socket, r);
}

void SocketNotifyWindow::readReady(SocketHandle socket)
{
    const auto it = m_registrations.find(socket);
    if (it == m_registrations.end())
        return;
    it->read->setEnabled(false); // armed again when the component reads
    int event = FD_READ;
    // Only a listening socket accepts: a data connection the server has
    // already closed is not connected either, and must read as a close.
    if (it->mask & FD_ACCEPT && isListening(socket)) {
        event = FD_ACCEPT;
    } else {
        char byte;
        const long n = peekSome(socket, &byte, 1);
        if (n == 0 || (n < 0 && !wouldBlock(lastError())))
            event = FD_CLOSE;
        else if (n < 0) {
            it->read->setEnabled(true);
            return;
        }
    }
    if (!(it->mask & event))
        event = FD_READ;
    post(it->message, socket, event);
}

void SocketNotifyWindow::writeReady(SocketHandle socket)
{
    const auto it = m_registrations.find(socket);
    if (it == m_registrations.end())
        return;
    it->write->setEnabled(false); // armed again when a send would block
    if (it->connectPending) {
        it->connectPending = false;
        if (it->mask & FD_CONNECT)
            post(it->message, socket, FD_CONNECT);
    }
    if (it->mask & FD_WRITE)
        post(it->message, socket, FD_WRITE);
}

void SocketNotifyWindow::rearmRead(SocketHandle socket)
{
    const auto it = m_registrations.find(socket);
    if (it == m_registrations.end() || !it->read)
        return;
    if (hasBufferedTlsData(socket) && it->mask & FD_READ)
        post(it->message, socket, FD_READ); // already decrypted: the socket itself may stay quiet
    else
        it->read->setEnabled(true);
}

void SocketNotifyWindow::rearmWrite(SocketHandle socket)
{
    const auto it = m_registrations.find(socket);
    if (it != m_registrations.end() && it->write)
        it->write->setEnabled(true);
}

void SocketNotifyWindow::post(int message, SocketHandle socket, int event)
{
    const auto it = m_registrations.constFind(socket);
    if (it != m_registrations.constEnd())
        QCoreApplication::postEvent(this, new SocketEvent(message, socket, event, it->serial));
}

// A socket closed (and its number perhaps given to a new one) after the
// event was posted: the event is stale.
void SocketNotifyWindow::customEvent(QEvent *event)
{
    if (event->type() != SocketEvent::kind())
        return;
    const auto *e = static_cast<SocketEvent *>(event);
    const auto it = m_registrations.constFind(e->socket);
    if (it == m_registrations.constEnd() || it->serial != e->serial)
        return;
    SocketMessage m{e->message, e->socket, quint32(e->event), 0};
    m_owner->HandleSocketMessage(m);
}

// -------------------------------------------------------------------- T_TcpIp

T_TcpIp::T_TcpIp(QObject *parent) : T_Component(parent), Buffer(BufferSize, '\0')
{
    NotifyWindow = new SocketNotifyWindow(this);
}

T_TcpIp::~T_TcpIp()
{
    shutDown();
}

void T_TcpIp::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    OnTrace = nullptr; // destruction produces no trace lines
    try {
        if (Socket != NoSocket)
            CloseSession();
    } catch (const std::exception &) {
        // the peer is gone; the sockets are closed all the same below
    }
    CloseSocket(Socket);
}

void T_TcpIp::trace(const QString &s, TTraceLevel level) const
{
    if (OnTrace)
        OnTrace(s, level);
}

SocketHandle T_TcpIp::CreateSocket()
{
    return createTcpSocket();
}

void T_TcpIp::AsyncSelect(SocketHandle socket, int message, int eventMask)
{
    NotifyWindow->select(socket, message, eventMask);
}

void T_TcpIp::ConnectSocket(SocketHandle &socket, quint16 port, quint32 address)
{
    const bool background = NotifyWindow->isRegistered(socket);
    if (!background)
        setNonBlocking(socket, true); // so that connecting can time out
    int error = connectTo(socket, address, port);
    bool timedOut = false;
    if (!background && wouldBlock(error)) {
        const Wait w = waitWritable(socket, TimeoutMs);
        timedOut = w == Wait::TimedOut;
        error = w == Wait::Ready ? pendingError(socket) : (timedOut ? TimedOutError : lastError());
    }
    if (!background)
        setNonBlocking(socket, false);
    if (error == 0) {
        trace(QStringLiteral("Opened output socket %1 to host %2 successfully; ID %3").arg(port).arg(AddressText(address)).arg(socket));
        return;
    }
    if (background && wouldBlock(error))
        return;
    CloseSocket(socket);
    trace(QStringLiteral("Failed to open output socket %1 to host %2").arg(port).arg(AddressText(address)));
    if (timedOut)
        throw ETcpIpError(QStringLiteral("Timed out after %1 s connecting to host %2 port %3")
                              .arg(TimeoutMs / 1000.0).arg(Hostname.isEmpty() ? AddressText(address) : Hostname).arg(port),
                          QStringLiteral("serwer nie odpowiedział w ciągu %1 s na próbę połączenia (port %2)")
                              .arg(TimeoutMs / 1000.0).arg(port));
    m_lastError = error;
}

void T_TcpIp::ListenSocket(SocketHandle &socket, quint16 &port, quint32 localAddress)
{
    CloseSocket(socket);
    socket = CreateSocket();
    if (!bindTo(socket, localAddress, port)) {
        trace(QStringLiteral("Failed to bind socket %1 for local ip %2").arg(port).arg(AddressText(localAddress)));
        CloseSocket(socket);
        return;
    }
    trace(QStringLiteral("Bound to socket %1 for local ip %2").arg(port).arg(AddressText(localAddress)));
    quint16 bound = 0;
    if (boundPort(socket, bound))
        port = bound;
    if (!listenOn(socket, 2)) {
        CloseSocket(socket);
        trace(QStringLiteral("Failed to set input socket %1 to listening mode").arg(port));
        return;
    }
    trace(QStringLiteral("Set input socket %1 to listening mode sucessfully; ID %2").arg(port).arg(socket));
}

SocketHandle T_TcpIp::AcceptConnection(SocketHandle listening, quint32 &peerAddress)
{
    quint16 peerPort = 0;
    if (!NotifyWindow->isRegistered(listening) && waitReadable(listening, TimeoutMs) != Wait::Ready) {
        trace(QStringLiteral("No incoming connection found on socket ID %1").arg(listening));
        return NoSocket;
    }
    const SocketHandle s = acceptFrom(listening, peerAddress, peerPort);
    if (s == NoSocket) {
        trace(QStringLiteral("No incoming connection found on socket ID %1").arg(listening));
        return NoSocket;
    }
    trace(QStringLiteral("Incoming connection found on socket ID %1; generated socket ID %2").arg(listening).arg(s));
    return s;
}

int T_TcpIp::SocketState(SocketHandle socket)
{
    if (socket == NoSocket)
        return 0;
    const int error = peerName(socket);
    if (error == 0)
        return 2;
    return notConnected(error) ? 1 : 3;
}

void T_TcpIp::CloseSocket(SocketHandle &socket)
{
    if (socket == NoSocket)
        return;
    const SocketHandle closed = socket;
    closeWithoutTrace(socket);
    trace(QStringLiteral("Closed socket ID %1").arg(closed));
}

void T_TcpIp::closeWithoutTrace(SocketHandle &socket)
{
    if (socket == NoSocket)
        return;
    NotifyWindow->select(socket, 0, 0);
    closeHandle(socket);
    if (socket == m_lineSocket) { // the number may come back for another connection
        m_lineSocket = NoSocket;
        m_lineBuffer.clear();
    }
    socket = NoSocket;
}

int T_TcpIp::receiveWaitMs() const
{
    if (m_receiveDeadline.isForever())
        return TimeoutMs;
    return int(std::clamp<qint64>(m_receiveDeadline.remainingTime(), 0, TimeoutMs));
}

void T_TcpIp::timedOutWaiting() const
{
    const QString reason = waitingFor == QLatin1String("the final reply") ? QStringLiteral("serwer nie potwierdził odebrania pliku w ciągu %1 s")
                           : waitingFor == QLatin1String("a reply")     ? QStringLiteral("serwer nie odpowiedział w ciągu %1 s")
                                                                        : QStringLiteral("serwer przysłał mniej niż 1 kB danych w ciągu %1 s");
    throw ETcpIpError(QStringLiteral("Timed out after %1 s waiting for %2 from host %3")
                          .arg(TimeoutMs / 1000.0)
                          .arg(waitingFor, Hostname.isEmpty() ? AddressText(HostAddress) : Hostname),
                      reason.arg(TimeoutMs / 1000.0));
}

void T_TcpIp::throwIfCancelled(Wait w) const
{
    if (w == Wait::Failed && lastError() == CancelledError)
        throw ETcpIpError(QStringLiteral("Cancelled by the user"), QStringLiteral("przerwane przez użytkownika"));
}

bool T_TcpIp::waitUntilReadable(SocketHandle socket)
{
    const Wait w = waitReadable(socket, receiveWaitMs());
    if (w == Wait::TimedOut)
        timedOutWaiting();
    throwIfCancelled(w);
    return w == Wait::Ready;
}

void T_TcpIp::ReceiveBytes(SocketHandle socket, char *buffer, long &count, long size)
{
    QByteArray own;
    if (!buffer) {
        own.resize(size);
        buffer = own.data();
    }
    const bool background = NotifyWindow->isRegistered(socket);
    do {
        count = receiveSomeNow(socket, buffer, size_t(size));
        if (!background && count < 0 && wouldBlock(lastError())) {
            // Nothing there yet on a blocking socket: wait, but not for ever.
            if (!waitUntilReadable(socket)) {
                count = -1;
                EndOfData = true;
                break;
            }
            count = receiveSome(socket, buffer, size_t(size));
        }
        if (count <= 0) {
            const int error = lastError();
            const bool noDataYet = count < 0 && wouldBlock(error);
            if (noDataYet) {
                NotifyWindow->rearmRead(socket);
                if (WaitForData) {
                    DataReady = false;
                    // The deadline moves on while data arrives on the data connection.
                    const QDeadlineTimer ownDeadline(TimeoutMs);
                    while (!DataReady && WaitForData) {
                        if (m_receiveDeadline.isForever() ? ownDeadline.hasExpired() : m_receiveDeadline.hasExpired())
                            timedOutWaiting();
                        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
                    }
                } else {
                    waitUntilReadable(socket);
                }
            } else {
                EndOfData = true;
            }
        } else {
            if (OnTrace)
                trace(QStringLiteral("Received %1 bytes on socket ID %2").arg(count).arg(socket));
            NotifyWindow->rearmRead(socket);
        }
    } while (!EndOfData && count <= 0);
}

// Servers that speak UTF-8 (RFC 2640) send it; older ones send bytes of
// some 8-bit set, shown as Latin-1 rather than lost.
static QString decodeLine(const QByteArray &line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(line);
    return utf8.hasError() ? QString::fromLatin1(line) : text;
}

bool T_TcpIp::hasBufferedLine(SocketHandle socket) const
{
    return socket == m_lineSocket && m_lineBuffer.contains('\n');
}

bool T_TcpIp::pullAvailable(SocketHandle socket)
{
    if (socket != m_lineSocket) {
        m_lineSocket = socket;
        m_lineBuffer.clear();
    }
    char chunk[4096];
    while (m_lineBuffer.size() <= 4 * MaxLine) { // more is refused by ReadLine anyway
        const long n = receiveSomeNow(socket, chunk, sizeof chunk);
        if (n <= 0)
            return n < 0 && wouldBlock(lastError());
        m_lineBuffer.append(chunk, n);
    }
    return true;
}

QString T_TcpIp::ReadLine(SocketHandle socket)
{
    if (socket != m_lineSocket) {
        m_lineSocket = socket;
        m_lineBuffer.clear();
    }
    m_lineTooLong = false;
    char chunk[4096];
    for (;;) {
        const qsizetype lf = m_lineBuffer.indexOf('\n');
        if (lf >= 0) {
            QByteArray line = m_lineBuffer.left(lf);
            m_lineBuffer.remove(0, lf + 1);
            line.replace('\r', QByteArray());
            return decodeLine(line);
        }
        if (m_lineBuffer.size() > MaxLine) {
            // Refused at once: reading on would let a server that sends an
            // endless line keep the client busy for ever.
            m_lineTooLong = true;
            m_lineBuffer.clear();
            return {};
        }
        if (AtEnd(socket)) {
            m_lineBuffer.clear();
            return {};
        }
        long count = 0;
        ReceiveBytes(socket, chunk, count, sizeof chunk);
        if (count > 0)
            m_lineBuffer.append(chunk, count);
        else if (AtEnd(socket)) {
            m_lineBuffer.clear();
            return {};
        }
    }
}

void T_TcpIp::SendBytes(SocketHandle socket, const char *data, long &length)
{
    const bool background = NotifyWindow->isRegistered(socket);
    const size_t size = size_t(std::max(0L, length));
    if (background) {
        length = sendSomeNow(socket, data, size);
        m_sendError = length < 0 ? lastError() : 0; // before anything else can change errno
        if (length < 0 && wouldBlock(m_sendError))
            NotifyWindow->rearmWrite(socket);
    } else {
        // A full socket is waited on, but never for longer than TimeoutMs, and
        // a send never blocks: the wait is the only place time passes.
        // The whole piece goes out before the call returns, as a blocking
        // send would: a slow reader then gets few large writes, not many
        // small ones with the file read again between them.
        ProgressWindow deadline(TimeoutMs); // a kilobyte moved starts the wait again
        size_t sent = 0;
        while (sent < size) {
            const long n = sendSomeNow(socket, data + sent, size - sent);
            if (n > 0) {
                sent += size_t(n);
                deadline.moved(n);
                continue;
            }
            if (n == 0 || !wouldBlock(lastError()))
                break;
            const Wait w = waitWritable(socket, int(std::max<qint64>(0, deadline.remainingTime())));
            throwIfCancelled(w);
            if (w != Wait::Ready)
                throw ETcpIpError(
                    QStringLiteral("Timed out after %1 s sending to host %2").arg(TimeoutMs / 1000.0).arg(Hostname),
                    QStringLiteral("przesyłanie ustało: w ciągu %1 s serwer przyjął mniej niż 1 kB").arg(TimeoutMs / 1000.0));
        }
        m_sendError = sent < size ? lastError() : 0;
        length = sent > 0 ? long(sent) : (size == 0 ? 0 : -1);
    }
    if (OnTrace)
        trace(QStringLiteral("Sent %1 bytes on socket ID %2").arg(length).arg(socket));
}

void T_TcpIp::SendText(SocketHandle socket, const QByteArray &text)
{
    long length = long(text.size());
    SendBytes(socket, text.constData(), length);
}

void T_TcpIp::HandleSocketMessage(SocketMessage &message)
{
    if (message.Msg == WM_SOCKET_CONTROL && (message.LParam & 0xFFFF) == FD_READ)
        DataReady = true;
    else if (message.Msg == WM_QUERYENDSESSION)
        message.Result = 1;
}

void T_TcpIp::OpenConnection(SocketHandle &socket, quint16 port, quint32 address)
{
    CloseSocket(socket);
    socket = CreateSocket();
    if (socket != NoSocket)
        ConnectSocket(socket, port, address);
}

void T_TcpIp::OpenSession()
{
    if (Connected)
        CloseSession();
    QString host = Hostname;
    const qsizetype colon = host.lastIndexOf(u':');
    bool hasPort = false;
    const uint port = colon > 0 ? host.mid(colon + 1).toUInt(&hasPort) : 0;
    if (hasPort && port > 0 && port <= 65535) { // "host:port" names its own port
        ConnectPort = quint16(port);
        host.truncate(colon);
    }
    HostAddress = ResolveHost(host);
    if (HostAddress == NoAddress)
        throw ETcpIpError(QStringLiteral("Couldn't resolve hostname ") + Hostname,
                          QStringLiteral("nie można znaleźć adresu serwera o tej nazwie"));
    m_lastError = 0;
    OpenConnection(Socket, ConnectPort, HostAddress);
    if (Socket == NoSocket) {
        ESocketError failed(quint16(m_lastError ? m_lastError : lastError()));
        failed.reason = systemErrorText(failed.ErrorCode);
        throw failed;
    }
    EndOfData = false;
    Connected = true;
}

void T_TcpIp::CloseSession()
{
    CloseSocket(Socket);
    Connected = false;
}

bool T_TcpIp::AtEnd(SocketHandle socket)
{
    return EndOfData || SocketState(socket) != 2;
}

void T_TcpIp::SendCommand(const QString &line)
{
    SendText(Socket, line.toUtf8() + "\r\n");
    trace(line, tt_command);
}

void T_TcpIp::Run()
{
    OpenSession();
    DataStream.clear();
    while (!AtEnd(Socket)) {
        long count = 0;
        ReceiveBytes(Socket, Buffer.data(), count, BufferSize);
        if (count > 0)
            DataStream.append(Buffer.constData(), count);
    }
    DataStream.position = 0;
}

} // namespace zk
