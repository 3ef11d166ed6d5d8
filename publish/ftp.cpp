#include "ftp.h"

#include <QRegularExpression>
#include <QScopeGuard>

namespace zk {

using namespace net;

namespace {
constexpr qsizetype MaxReply = 1 << 20;
constexpr int DataMaskBeforeConnect = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT; // 27
constexpr int DataMask = DataMaskBeforeConnect | FD_CLOSE;                          // 59
} // namespace

T_FTP::T_FTP(QObject *parent) : T_TcpIp(parent) {}

T_FTP::~T_FTP()
{
    // A client destroyed while logged in says QUIT, even when its data
    // socket is already closed, so nothing is left open on either side.
    OnTrace = nullptr;
    OnAsyncError = nullptr;
    try {
        if (Connected)
            CloseSession();
    } catch (const std::exception &) {
        // the server is gone: the sockets are closed below all the same
    }
    closeQuietly(ControlSocket);
    shutDown();
}

void T_FTP::closeQuietly(SocketHandle &socket)
{
    if (socket == NoSocket)
        return;
    NotifyWindow->select(socket, 0, 0);
    closeHandle(socket);
    socket = NoSocket;
}

void T_FTP::fail(qint32 code, const QString &text)
{
    ReplyCode = code;
    ReplyText = text;
    throw EProtocolError(QStringLiteral("FTP"), quint16(code), text);
}

void T_FTP::ReadReply()
{
    waitingFor = QStringLiteral("a reply");
    m_readingReply = true;
    const auto done = qScopeGuard([this] {
        m_readingReply = false;
        waitingFor = QStringLiteral("data");
    });
    QString line = ReadLine(ControlSocket);
    trace(line, tt_reply);
    if (lineTooLong())
        fail(999, QStringLiteral("Reply line too long"));
    if (line.isEmpty() && AtEnd(ControlSocket))
        fail(999, QStringLiteral("Connection closed by host ") + Hostname);
    bool ok = false;
    const int code = line.left(3).toInt(&ok);
    ReplyCode = ok && line.size() >= 3 ? code : 999;
    ReplyText = line.mid(4);
    if (ReplyCode == 421) { // the server ends the session
        closeQuietly(Socket);
        closeQuietly(ControlSocket);
        Connected = false;
        Busy = false;
    }
    if (ReplyCode >= 400)
        throw EProtocolError(QStringLiteral("FTP"), quint16(ReplyCode), ReplyText);
    qsizetype total = line.size();
    while (line.indexOf(u'-') == 3 || line.startsWith(u' ')) {
        line = ReadLine(ControlSocket);
        trace(line, tt_reply);
        total += line.size();
        if (lineTooLong() || total > MaxReply)
            fail(999, QStringLiteral("Reply too long"));
        if (line.isEmpty() && AtEnd(ControlSocket))
            break;
    }
}

// A reply the server sent unasked (after ABOR, or 421 on its own timeout) is
// read before the next command, so replies never go out of step.
void T_FTP::readUnaskedReplies()
{
    if (ControlSocket == NoSocket || m_readingReply)
        return;
    while (hasBufferedLine(ControlSocket) || waitReadable(ControlSocket, 0) == Wait::Ready) {
        try {
            ReadReply();
        } catch (const EProtocolError &e) {
            if (e.ErrorCode == 421 || e.ErrorCode == 999)
                throw;
        }
    }
}

void T_FTP::sendLine(const QByteArray &line, const QString &traced)
{
    readUnaskedReplies();
    SendText(ControlSocket, line + "\r\n");
    trace(traced, tt_command);
}

void T_FTP::SendCommand(const QString &line)
{
    sendLine(line.toLatin1(), line);
}

void T_FTP::OpenSession()
{
    ConnectPort = Port;
    T_TcpIp::OpenSession();
    ControlSocket = Socket;
    m_serverAddress = HostAddress;
    ReadReply();
    SendCommand(QStringLiteral("USER ") + Username);
    ReadReply();
    sendLine(QByteArray("PASS ") + Password.toLatin1(), QStringLiteral("PASS ******"));
    ReadReply();
    SendCommand(QStringLiteral("TYPE I"));
    ReadReply();
}

void T_FTP::CloseSession()
{
    const auto finish = qScopeGuard([this] {
        if (Connected) {
            closeQuietly(Socket);
            Socket = ControlSocket;
            ControlSocket = NoSocket;
        }
        T_TcpIp::CloseSession();
    });
    if (Busy)
        Abort();
    if (Connected && ControlSocket != NoSocket) {
        SendCommand(QStringLiteral("QUIT"));
        ReadReply();
    }
}

void T_FTP::beginOperation()
{
    if (Busy)
        throw EProtocolBusy();
    if (!Connected)
        OpenSession();
}

void T_FTP::ChangeDir(const QString &folder)
{
    beginOperation();
    SendCommand(QStringLiteral("CWD ") + folder);
    ReadReply();
}

void T_FTP::MakeDir(const QString &folder)
{
    beginOperation();
    SendCommand(QStringLiteral("MKD ") + folder);
    ReadReply();
}

bool T_FTP::parsePassiveReply(const QString &text, quint32 &address, quint16 &port)
{
    // Lenient: the six numbers with or without their parentheses.
    static const QRegularExpression six(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch m = six.match(text);
    if (!m.hasMatch())
        return false;
    int n[6];
    for (int i = 0; i < 6; ++i) {
        n[i] = m.captured(i + 1).toInt();
        if (n[i] > 255)
            return false;
    }
    address = parseDotted(QStringLiteral("%1.%2.%3.%4").arg(n[0]).arg(n[1]).arg(n[2]).arg(n[3]));
    port = quint16(n[4] * 256 + n[5]);
    return true;
}

void T_FTP::openDataConnection()
{
    Socket = NoSocket;
    m_awaitingAccept = false;
    if (Passive) {
        SendCommand(QStringLiteral("PASV"));
        ReadReply();
        if (ReplyCode != 227)
            fail(ReplyCode, ReplyText);
        quint32 announced = NoAddress;
        quint16 port = 0;
        if (!parsePassiveReply(ReplyText, announced, port))
            return; // the transfer command meets the server's refusal
        trace(QStringLiteral("Passive data address %1 port %2; connecting to %3").arg(AddressText(announced)).arg(port)
                  .arg(AddressText(m_serverAddress)));
        HostAddress = m_serverAddress;
        Socket = CreateSocket();
        if (Socket == NoSocket)
            return;
        if (Async)
            AsyncSelect(Socket, WM_SOCKET_DATA, DataMaskBeforeConnect);
        ConnectSocket(Socket, port, HostAddress);
    } else {
        quint32 local = NoAddress;
        if (!boundAddress(ControlSocket, local)) // the address by which the server reaches us
            local = LocalAddress();
        quint16 port = 0;
        ListenSocket(Socket, port, local);
        m_awaitingAccept = Socket != NoSocket;
        const auto *b = reinterpret_cast<const unsigned char *>(&local);
        SendCommand(QStringLiteral("PORT %1,%2,%3,%4,%5,%6").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]).arg(port >> 8).arg(port & 0xFF));
        ReadReply();
    }
    if (Async && Socket != NoSocket)
        AsyncSelect(Socket, WM_SOCKET_DATA, DataMask);
}

void T_FTP::acceptDataConnection()
{
    if (Passive || !m_awaitingAccept || Socket == NoSocket)
        return;
    quint32 peer = 0;
    SocketHandle listening = Socket;
    const SocketHandle accepted = AcceptConnection(listening, peer);
    if (accepted == NoSocket)
        return;
    CloseSocket(listening);
    Socket = accepted;
    m_awaitingAccept = false;
}

void T_FTP::Upload()
{
    beginOperation();
    if (URI.isEmpty())
        return;
    openDataConnection();
    SendCommand(QStringLiteral("STOR ") + URI);
    ReadReply();
    if (!Async)
        acceptDataConnection();
    TransferMode = tftp_upload;
    Busy = true;
    TransferSize = qint32(DataStream.data.size());
    DataStream.position = 0;
    while (SendChunk()) {
    }
    if (Async)
        return; // notifications drive the rest
    closeQuietly(Socket); // a send that failed leaves it open; the server then answers at once
    FinishUpload();
}

bool T_FTP::SendChunk()
{
    if (Socket == NoSocket || m_awaitingAccept) // nothing to send on until the server connects
        return false;
    const long read = long(DataStream.read(Buffer.data(), BufferSize));
    if (read == 0) {
        CloseSocket(Socket);
        if (Async)
            NotifyWindow->post(WM_SOCKET_DATA, 0, FD_CLOSE);
        return false;
    }
    long sent = read;
    SendBytes(Socket, Buffer.constData(), sent);
    if (sent < read)
        DataStream.position -= read - std::max(0L, sent);
    if (sent > 0 && OnDataReceived)
        OnDataReceived(this, TransferMode, qint32(sent));
    return sent > 0;
}

void T_FTP::FinishUpload()
{
    EndOfData = false;
    ReadReply();
    WaitForData = false;
    if (OnActionComplete)
        OnActionComplete(this, TransferMode);
    Busy = false;
}

void T_FTP::waitForFinalReply()
{
    if (Async) {
        AsyncSelect(ControlSocket, WM_SOCKET_CONTROL, FD_READ);
        EndOfData = false;
        WaitForData = true;
        const auto restore = qScopeGuard([this] {
            WaitForData = false;
            AsyncSelect(ControlSocket, WM_SOCKET_CONTROL, 0);
        });
        ReadReply();
    } else {
        while (ReceiveChunk()) {
        }
        EndOfData = false;
        ReadReply();
    }
}

void T_FTP::Download()
{
    beginOperation();
    if (URI.isEmpty())
        return;
    SendCommand(QStringLiteral("SIZE ") + URI);
    try {
        ReadReply();
        bool ok = false;
        TransferSize = ReplyText.trimmed().toInt(&ok);
        if (!ok)
            TransferSize = 0;
    } catch (const EProtocolError &e) {
        if (e.ErrorCode == 421 || e.ErrorCode == 999)
            throw;
        TransferSize = 0;
    }
    openDataConnection();
    SendCommand(QStringLiteral("RETR ") + URI);
    ReadReply();
    if (!Async)
        acceptDataConnection();
    TransferMode = tftp_download;
    Busy = true;
    DataStream.clear();
    waitForFinalReply();
    FinishDownload();
}

bool T_FTP::ReceiveChunk()
{
    if (Socket == NoSocket)
        return false;
    long count = 0;
    ReceiveBytes(Socket, Buffer.data(), count, BufferSize);
    if (count > 0)
        (TransferMode == tftp_getdir ? ListingStream : DataStream).append(Buffer.constData(), count);
    if (OnDataReceived)
        OnDataReceived(this, TransferMode, qint32(count));
    return count > 0;
}

void T_FTP::FinishDownload()
{
    // The server may have connected, sent everything and answered before the
    // accept notification was handled: take its connection now.
    acceptDataConnection();
    while (ReceiveChunk()) {
    }
    EndOfData = false;
    CloseSocket(Socket);
    DataStream.position = 0;
    if (OnActionComplete)
        OnActionComplete(this, TransferMode);
    Busy = false;
}

void T_FTP::ListDir(const QString &path)
{
    beginOperation();
    if (path.isEmpty())
        return;
    openDataConnection();
    SendCommand(QStringLiteral("TYPE A"));
    ReadReply();
    SendCommand(QStringLiteral("LIST ") + path);
    ReadReply();
    if (!Async)
        acceptDataConnection();
    TransferMode = tftp_getdir;
    Busy = true;
    ListingStream.clear();
    waitForFinalReply();
    FinishListing();
}

void T_FTP::FinishListing()
{
    EndOfData = false;
    acceptDataConnection(); // as in FinishDownload
    while (ReceiveChunk()) {
    }
    EndOfData = false;
    if (Socket != NoSocket)
        shutdownSending(Socket);
    closeQuietly(Socket);
    SendCommand(QStringLiteral("TYPE I"));
    ReadReply();
    Listing = QString::fromUtf8(ListingStream.data).split(QRegularExpression(QStringLiteral("\r?\n")));
    if (!Listing.isEmpty() && Listing.last().isEmpty())
        Listing.removeLast();
    ListingStream.clear();
    if (OnActionComplete)
        OnActionComplete(this, TransferMode);
    Busy = false;
}

void T_FTP::Abort()
{
    if (!Busy)
        return;
    // A server busy receiving reads the control connection only when the data
    // stops (ABOR is not sent as urgent data), so the data connection is ended
    // first; otherwise ABOR would wait behind a transfer that never finishes.
    if (Socket != ControlSocket)
        closeQuietly(Socket);
    SendCommand(QStringLiteral("ABOR"));
    try {
        ReadReply();
        // Some servers answer the aborted transfer (226) and then ABOR itself
        // (225 or 226); that second reply belongs here, not to the next command.
        if ((ReplyCode == 226 || ReplyCode == 225)
            && (hasBufferedLine(ControlSocket) || waitReadable(ControlSocket, std::min(TimeoutMs, 1000)) == Wait::Ready))
            ReadReply();
        Busy = false;
    } catch (const EProtocolError &) {
        if (ReplyCode != 426)
            fail(ReplyCode, ReplyText);
        ReadReply(); // the closing reply
        Busy = false;
    }
}

void T_FTP::Run()
{
    OpenSession();
    if (Mode != tftp_upload)
        DataStream.clear();
    switch (Mode) {
    case tftp_download: Download(); break;
    case tftp_upload: Upload(); break;
    case tftp_getdir: ListDir(QStringLiteral(".")); break;
    }
    CloseSession();
}

void T_FTP::HandleSocketMessage(SocketMessage &message)
{
    if (message.Msg != WM_SOCKET_DATA) {
        T_TcpIp::HandleSocketMessage(message);
        return;
    }
    try {
        switch (message.LParam & 0xFFFF) {
        case FD_READ:
            if (TransferMode == tftp_download || TransferMode == tftp_getdir)
                ReceiveChunk();
            break;
        case FD_WRITE:
            if (TransferMode == tftp_upload)
                while (SendChunk()) {
                }
            break;
        case FD_ACCEPT: {
            quint32 peer = 0;
            SocketHandle listening = Socket;
            const SocketHandle accepted = AcceptConnection(listening, peer);
            if (accepted != NoSocket) {
                Socket = accepted;
                m_awaitingAccept = false;
                CloseSocket(listening);
                AsyncSelect(Socket, WM_SOCKET_DATA, DataMask);
            }
            break;
        }
        case FD_CLOSE:
            if (TransferMode == tftp_upload && Busy)
                FinishUpload();
            break;
        default:
            break;
        }
    } catch (const ETcpIpError &e) {
        if (!OnAsyncError)
            throw;
        OnAsyncError(e);
    }
}

} // namespace zk
