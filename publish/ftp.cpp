#include "ftp.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScopedValueRollback>

namespace zk {

using namespace net;

namespace {
constexpr qsizetype MaxReply = 1 << 20;
constexpr int ClosingLimitMs = 1500; // ABOR and QUIT together: the server may be gone
constexpr int DataMaskBeforeConnect = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT; // 27
constexpr int DataMask = DataMaskBeforeConnect | FD_CLOSE;                          // 59

const char *stateName(FtpTransfer state)
{
    switch (state) {
    case FtpTransfer::Idle: return "idle";
    case FtpTransfer::Opening: return "opening";
    case FtpTransfer::Sending: return "sending";
    case FtpTransfer::Receiving: return "receiving";
    case FtpTransfer::FinalReply: return "final reply";
    case FtpTransfer::Lost: return "lost";
    }
    return "?";
}

// A whole reply is buffered: one line, or "NNN-" up to its "NNN " line.
bool holdsWholeReply(const QByteArray &buffered)
{
    const qsizetype firstEnd = buffered.indexOf('\n');
    if (firstEnd < 0)
        return buffered.size() > 8192; // too long for a line: ReadReply refuses it
    if (firstEnd < 4 || buffered[3] != '-')
        return true;
    const QByteArray last = buffered.left(3) + ' ';
    for (qsizetype at = firstEnd + 1; at < buffered.size();) {
        const qsizetype end = buffered.indexOf('\n', at);
        if (end < 0)
            return false;
        const QByteArray line = buffered.mid(at, end - at);
        if (line.startsWith(last) || line.trimmed() == last.trimmed())
            return true;
        at = end + 1;
    }
    return false;
}
} // namespace

// In asynchronous operation, the waits of an operation let the window work.
class T_FTP::PumpedWaits {
public:
    explicit PumpedWaits(T_FTP &ftp) : m_on(ftp.Async)
    {
        if (m_on)
            m_before = setWaitPump([&ftp] { return ftp.pump(); });
    }
    ~PumpedWaits()
    {
        if (m_on)
            setWaitPump(std::move(m_before));
    }
    PumpedWaits(const PumpedWaits &) = delete;
    PumpedWaits &operator=(const PumpedWaits &) = delete;

private:
    bool m_on;
    WaitPump m_before;
};

bool T_FTP::pump()
{
    if (m_interrupted)
        return false;
    ++m_pumping;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --m_pumping;
    return !m_interrupted;
}

void T_FTP::setState(FtpTransfer next)
{
    if (next != m_state)
        trace(QStringLiteral("Transfer %1 -> %2").arg(QLatin1String(stateName(m_state)), QLatin1String(stateName(next))));
    m_state = next;
    Busy = next == FtpTransfer::Sending || next == FtpTransfer::Receiving || next == FtpTransfer::FinalReply;
    replayDeferred();
}

void T_FTP::replayDeferred()
{
    if (m_handling || m_state == FtpTransfer::Opening)
        return;
    for (const SocketMessage &m : std::exchange(m_deferred, {}))
        NotifyWindow->post(m.Msg, SocketHandle(m.WParam), int(m.LParam));
}

T_FTP::T_FTP(QObject *parent) : T_TcpIp(parent), m_stallTimer(new QTimer(this))
{
    m_stallTimer->setSingleShot(true);
    connect(m_stallTimer, &QTimer::timeout, this, &T_FTP::stallTimedOut);
}

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
    closeWithoutTrace(socket);
}

void T_FTP::fail(qint32 code, const QString &text, const QString &reason)
{
    ReplyCode = code;
    ReplyText = text;
    throw EProtocolError(QStringLiteral("FTP"), quint16(code), text, reason);
}

bool T_FTP::isSessionFailure(const ETcpIpError &error)
{
    const auto *reply = dynamic_cast<const EProtocolError *>(&error);
    return !reply || reply->ErrorCode == 421 || reply->ErrorCode == 999;
}

void T_FTP::ReadReply()
{
    if (ControlSocket == NoSocket)
        fail(999, QStringLiteral("Not connected to host ") + Hostname, QStringLiteral("brak połączenia z serwerem"));
    // While a download's data comes in the background, a time-out means the data stalled.
    waitingFor = m_state == FtpTransfer::FinalReply ? QStringLiteral("the final reply")
                 : WaitForData                      ? QStringLiteral("data")
                                                    : QStringLiteral("a reply");
    m_readingReply = true;
    // One limit for the whole reply, however its lines trickle in.
    QDeadlineTimer deadline(TimeoutMs);
    if (m_closingBy.deadlineNSecs() < deadline.deadlineNSecs())
        deadline = m_closingBy;
    setReceiveDeadline(deadline);
    const auto done = qScopeGuard([this] {
        m_readingReply = false;
        waitingFor = QStringLiteral("data");
        setReceiveDeadline(QDeadlineTimer::Forever);
    });
    m_replyLines.clear();
    try {
        readReplyLines();
    } catch (const ETcpIpError &e) {
        if (isSessionFailure(e))
            dropSession(); // a reply cut off or late would put every later one out of step
        throw;
    }
}

QString T_FTP::readReplyLine()
{
    const QString line = ReadLine(ControlSocket);
    trace(line, tt_reply);
    if (lineTooLong())
        fail(999, QStringLiteral("Reply line too long"), QStringLiteral("serwer przysłał wiersz odpowiedzi dłuższy niż 8 kB"));
    if (line.isEmpty() && AtEnd(ControlSocket))
        fail(999, QStringLiteral("Connection closed by host ") + Hostname, QStringLiteral("serwer zamknął połączenie"));
    return line;
}

// RFC 959: "NNN-" opens a reply that only a line starting "NNN " ends; the
// lines between may say anything, digits first or not. The whole reply is
// read before it is judged, so an error never leaves its tail unread.
void T_FTP::readReplyLines()
{
    QString line = readReplyLine();
    m_replyLines << line;
    bool ok = false;
    const int code = line.left(3).toInt(&ok);
    ReplyCode = ok && line.size() >= 3 ? code : 999;
    ReplyText = line.mid(4);
    if (ReplyCode != 999 && line.size() > 3 && line[3] == u'-') {
        const QString last = line.left(3) + u' ';
        qsizetype total = line.size();
        do {
            line = readReplyLine();
            total += line.size();
            if (total > MaxReply)
                fail(999, QStringLiteral("Reply too long"), QStringLiteral("serwer przysłał odpowiedź dłuższą niż 1 MB"));
            m_replyLines << line;
        } while (!line.startsWith(last) && line != last.trimmed());
    }
    if (ReplyCode >= 400)
        throw EProtocolError(QStringLiteral("FTP"), quint16(ReplyCode), ReplyText); // 421 ends the session there
}

// A reply the server sent unasked (after ABOR, or 421 on its own timeout) is
// read before the next command, so replies never go out of step.
void T_FTP::readUnaskedReplies()
{
    if (ControlSocket == NoSocket || m_readingReply)
        return;
    // A server that never stops sending them would keep the run here for ever.
    constexpr int MaxUnasked = 16;
    for (int read = 0; hasBufferedLine(ControlSocket) || waitReadable(ControlSocket, 0) == Wait::Ready; ++read) {
        if (read == MaxUnasked) {
            dropSession();
            fail(999, QStringLiteral("The server keeps sending replies nobody asked for"),
                 QStringLiteral("serwer bez końca przysyła odpowiedzi, o które nie pytano"));
        }
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
    // A line break would end the command early and send the rest as a
    // command of its own.
    if (line.contains('\r') || line.contains('\n') || line.contains('\0'))
        throw EProtocolError(QStringLiteral("FTP"), 501, QStringLiteral("A command may not hold a line break"));
    if (ControlSocket == NoSocket)
        fail(999, QStringLiteral("Not connected to host ") + Hostname, QStringLiteral("brak połączenia z serwerem"));
    readUnaskedReplies();
    const QByteArray text = line + "\r\n";
    long length = long(text.size());
    try {
        SendBytes(ControlSocket, text.constData(), length);
    } catch (const ETcpIpError &) {
        dropSession();
        throw;
    }
    if (length != text.size()) {
        dropSession();
        fail(999, QStringLiteral("Connection closed by host ") + Hostname, QStringLiteral("serwer zamknął połączenie"));
    }
    trace(traced, tt_command);
}

// Names travel as UTF-8 (RFC 2640), so Polish letters arrive as typed.
void T_FTP::SendCommand(const QString &line)
{
    sendLine(line.toUtf8(), line);
}

void T_FTP::OpenSession()
{
    const PumpedWaits pumped(*this);
    if (Connected) {
        // The server may have ended an idle session long ago: its QUIT
        // failing says nothing about the new login.
        try {
            CloseSession();
        } catch (const ETcpIpError &) {
        }
    }
    ConnectPort = Port;
    T_TcpIp::OpenSession();
    ControlSocket = Socket;
    m_serverAddress = HostAddress;
    m_interrupted = false;
    m_deferred.clear();
    setState(FtpTransfer::Idle);
    m_tls = {};
    m_features.clear();
    m_restStream = false;
    ReadReply();
    if (Security == FtpSecurity::ExplicitTls)
        secureControlConnection(); // before the user name and password go out
    SendCommand(QStringLiteral("USER ") + Username);
    ReadReply();
    sendLine(QByteArray("PASS ") + Password.toUtf8(), QStringLiteral("PASS ******"));
    ReadReply();
    if (Security == FtpSecurity::ExplicitTls) {
        SendCommand(QStringLiteral("PBSZ 0"));
        ReadReply();
        SendCommand(QStringLiteral("PROT P")); // the files travel encrypted too
        ReadReply();
    }
    if (OnAuthenticated)
        OnAuthenticated();
    negotiateUtf8();
    SendCommand(QStringLiteral("TYPE I"));
    ReadReply();
}

// Never a silent fall back to clear text: a server that refuses AUTH TLS
// ends the session before the password is sent.
void T_FTP::secureControlConnection()
{
    SendCommand(QStringLiteral("AUTH TLS"));
    try {
        ReadReply();
    } catch (const EProtocolError &e) {
        if (isSessionFailure(e))
            throw;
    }
    if (ReplyCode != 234) {
        ETlsError refused(ETlsError::Kind::Refused,
                          QStringLiteral("Host %1 refused AUTH TLS: %2 %3").arg(Hostname).arg(ReplyCode).arg(ReplyText));
        refused.problem = QStringLiteral("%1 %2").arg(ReplyCode).arg(ReplyText);
        dropSession();
        throw refused;
    }
    secureConnection(ControlSocket, true);
}

// The handshake, its trace line, and the judgement of the certificate: a
// verified one, or the very one the user trusted for this server; a data
// connection must show the control connection's certificate.
void T_FTP::secureConnection(SocketHandle socket, bool control)
{
    QString host = Hostname;
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon > 0 && host.mid(colon + 1).toUInt() > 0)
        host.truncate(colon);
    TlsDetails details;
    QString why;
    if (startTls(socket, host, control ? NoSocket : ControlSocket, TimeoutMs, details, why) != TlsStart::Done) {
        ETlsError failed(ETlsError::Kind::Handshake, QStringLiteral("TLS handshake with host %1 failed: %2").arg(Hostname, why));
        failed.problem = why;
        dropSession();
        throw failed;
    }
    trace(QStringLiteral("%1 %2 on socket ID %3%4")
              .arg(details.version, details.cipher)
              .arg(socket)
              .arg(details.resumed ? QStringLiteral(", session resumed") : QString()));
    QString problem;
    if (control) {
        m_tls = details;
        if (!details.verified && (details.fingerprint.isEmpty() || details.fingerprint != TrustedFingerprint))
            problem = details.problem;
        else if (!details.verified)
            trace(QStringLiteral("Certificate not verified (%1), trusted by the user: %2").arg(details.problem, details.fingerprint));
    } else if (details.fingerprint != m_tls.fingerprint) {
        problem = QStringLiteral("połączenie danych przedstawiło inny certyfikat niż połączenie sterujące");
    }
    if (problem.isEmpty())
        return;
    ETlsError untrusted(ETlsError::Kind::Certificate, QStringLiteral("Certificate of host %1 not trusted").arg(Hostname));
    untrusted.problem = problem;
    untrusted.fingerprint = details.fingerprint;
    untrusted.changed = !TrustedFingerprint.isEmpty() && TrustedFingerprint != details.fingerprint;
    dropSession();
    throw untrusted;
}

void T_FTP::secureDataConnection()
{
    if (Security == FtpSecurity::ExplicitTls && Socket != NoSocket && Socket != ControlSocket && !m_awaitingAccept
        && !hasTls(Socket))
        secureConnection(Socket, false);
}

// A command the server may refuse without harm: false when it did; a lost
// session still ends the run.
bool T_FTP::askOptional(const QString &command)
{
    SendCommand(command);
    try {
        ReadReply();
    } catch (const EProtocolError &e) {
        if (isSessionFailure(e))
            throw;
        return false;
    }
    return true;
}

// A server that lists UTF8 among its features is asked to use it for
// names; one that knows no FEAT gets the same UTF-8 bytes all the same.
void T_FTP::negotiateUtf8()
{
    if (!askOptional(QStringLiteral("FEAT")))
        return;
    for (qsizetype i = 1; i + 1 < m_replyLines.size(); ++i) {
        m_features << m_replyLines[i].trimmed().section(u' ', 0, 0).toUpper();
        m_restStream |= m_replyLines[i].simplified().compare(QLatin1String("REST STREAM"), Qt::CaseInsensitive) == 0;
    }
    if (offers(QStringLiteral("UTF8")))
        askOptional(QStringLiteral("OPTS UTF8 ON"));
}

void T_FTP::CloseSession()
{
    // ABOR and QUIT get a short limit together: closing must not freeze the
    // window behind a server that no longer answers.
    m_closingBy = QDeadlineTimer(std::min(TimeoutMs, ClosingLimitMs));
    const auto finish = qScopeGuard([this] {
        m_closingBy = QDeadlineTimer::Forever;
        if (Connected) {
            closeDataSocket();
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
    // A session lost in the middle of a run is not silently replaced by a
    // new login (which would start again in the login folder).
    if (m_state == FtpTransfer::Lost)
        throw EProtocolError(QStringLiteral("FTP"), 421, QStringLiteral("Connection to host %1 lost").arg(Hostname),
                             QStringLiteral("połączenie z serwerem zostało wcześniej przerwane"));
    if (!Connected)
        OpenSession();
}

void T_FTP::closeDataSocket()
{
    if (Socket != NoSocket && Socket != ControlSocket) {
        m_deferred.removeIf([this](const SocketMessage &m) { return m.WParam == Socket; });
        CloseSocket(Socket);
    }
    if (Socket != ControlSocket)
        Socket = NoSocket;
}

// The one way out of a transfer: the data connection closed, the state
// cleared, and, after a failure of the control connection, the session ended.
void T_FTP::endTransfer(bool sessionFailed)
{
    m_stallTimer->stop();
    closeDataSocket();
    m_awaitingAccept = false;
    WaitForData = false;
    EndOfData = false;
    if (sessionFailed)
        dropSession();
    else if (m_state != FtpTransfer::Lost)
        setState(FtpTransfer::Idle);
}

void T_FTP::dropSession()
{
    m_stallTimer->stop();
    if (Socket != ControlSocket)
        closeQuietly(Socket);
    Socket = NoSocket;
    if (ControlSocket != NoSocket)
        trace(QStringLiteral("Control connection to host %1 closed").arg(Hostname));
    closeQuietly(ControlSocket);
    Connected = false;
    WaitForData = false;
    m_awaitingAccept = false;
    setState(FtpTransfer::Lost);
}

template <typename Steps> void T_FTP::runTransfer(Steps &&steps)
{
    try {
        steps();
    } catch (const ETcpIpError &e) {
        endTransfer(isSessionFailure(e));
        throw;
    }
}

void T_FTP::startStallTimer()
{
    m_stallBytes = 0;
    if (Async)
        m_stallTimer->start(TimeoutMs);
}

// A server that takes a byte now and then must not keep the run going for
// ever: the limit starts again only after a kilobyte.
void T_FTP::progressMade(qint64 bytes)
{
    m_stallBytes += bytes;
    if (m_stallBytes >= ProgressWindow::MinBytes)
        startStallTimer();
}

void T_FTP::stallTimedOut()
{
    if (!Busy)
        return;
    if (m_awaitingAccept) {
        const ETcpIpError error(QStringLiteral("Timed out after %1 s waiting for the data connection from host %2")
                                    .arg(TimeoutMs / 1000.0).arg(Hostname),
                                QStringLiteral("serwer nie nawiązał połączenia danych w ciągu %1 s (tryb aktywny; zapora "
                                               "sieciowa może je blokować)").arg(TimeoutMs / 1000.0));
        endTransfer(true);
        if (OnAsyncError)
            OnAsyncError(error);
        return;
    }
    const bool replyLate = m_state == FtpTransfer::FinalReply;
    const ETcpIpError error(
        replyLate ? QStringLiteral("Timed out after %1 s waiting for the final reply from host %2").arg(TimeoutMs / 1000.0).arg(Hostname)
                  : QStringLiteral("Timed out after %1 s: under 1 kB moved to or from host %2").arg(TimeoutMs / 1000.0).arg(Hostname),
        replyLate ? QStringLiteral("serwer nie potwierdził odebrania pliku w ciągu %1 s").arg(TimeoutMs / 1000.0)
                  : QStringLiteral("przesyłanie ustało: w ciągu %1 s przeszło mniej niż 1 kB").arg(TimeoutMs / 1000.0));
    endTransfer(true); // the server is mid-transfer: its late reply would answer the next command
    if (OnAsyncError)
        OnAsyncError(error);
}

void T_FTP::ChangeDir(const QString &folder)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    SendCommand(QStringLiteral("CWD ") + folder);
    ReadReply();
}

void T_FTP::MakeDir(const QString &folder)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    SendCommand(QStringLiteral("MKD ") + folder);
    ReadReply();
}

void T_FTP::RemoveDir(const QString &folder)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    SendCommand(QStringLiteral("RMD ") + folder);
    ReadReply();
}

namespace {

// Six numbers joined by commas starting at `at`, as "h1,h2,h3,h4,p1,p2".
bool sixNumbersAt(const QString &text, qsizetype at, int (&n)[6])
{
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != u',')
                return false;
            ++at;
        }
        const qsizetype start = at;
        int value = 0;
        while (at < text.size() && text[at].isDigit() && at - start < 4)
            value = value * 10 + text[at++].digitValue();
        if (at == start)
            return false;
        n[i] = value;
    }
    return true;
}

} // namespace

bool T_FTP::parsePassiveReply(const QString &text, quint32 &address, quint16 &port)
{
    // Lenient: the first six comma-joined numbers, with or without their
    // parentheses. (Read by hand: compiling a pattern on the first transfer
    // cost a millisecond.)
    int n[6];
    bool found = false;
    for (qsizetype at = 0; at < text.size() && !found; ++at)
        found = text[at].isDigit() && (at == 0 || !text[at - 1].isDigit()) && sixNumbersAt(text, at, n);
    if (!found)
        return false;
    for (int v : n)
        if (v > 255)
            return false;
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
        keepUnsentDataSmall(Socket);
        if (Async)
            AsyncSelect(Socket, WM_SOCKET_DATA, DataMaskBeforeConnect);
        ConnectSocket(Socket, port, HostAddress);
    } else {
        quint32 local = NoAddress;
        if (!boundAddress(ControlSocket, local)) // the address by which the server reaches us
            local = LocalAddress();
        quint16 port = 0;
        ListenSocket(Socket, port, local);
        if (Socket == NoSocket) { // never a PORT command naming no port; the session itself is sound
            ReplyCode = 425;
            ReplyText = QStringLiteral("No local port free for the data connection from host %1").arg(Hostname);
            throw EProtocolError(QStringLiteral("FTP"), 425, ReplyText,
                                 QStringLiteral("brak wolnego portu na tym komputerze dla połączenia danych (tryb aktywny)"));
        }
        m_awaitingAccept = true;
        const auto *b = reinterpret_cast<const unsigned char *>(&local);
        SendCommand(QStringLiteral("PORT %1,%2,%3,%4,%5,%6").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]).arg(port >> 8).arg(port & 0xFF));
        ReadReply();
    }
    if (Async && Socket != NoSocket)
        AsyncSelect(Socket, WM_SOCKET_DATA, DataMask);
}

// Only the server we are logged in to may connect: anyone else who finds
// the open port is turned away and the wait goes on.
bool T_FTP::takeDataConnection(SocketHandle listening, SocketHandle accepted, quint32 peer)
{
    if (peer != m_serverAddress) {
        trace(QStringLiteral("Refused data connection from %1").arg(AddressText(peer)));
        SocketHandle stranger = accepted;
        CloseSocket(stranger);
        return false;
    }
    CloseSocket(listening);
    Socket = accepted;
    keepUnsentDataSmall(Socket);
    m_awaitingAccept = false;
    return true;
}

void T_FTP::acceptDataConnection()
{
    if (Passive || !m_awaitingAccept || Socket == NoSocket)
        return;
    const QDeadlineTimer deadline(TimeoutMs);
    for (;;) {
        SocketHandle listening = Socket;
        if (!NotifyWindow->isRegistered(listening)
            && waitReadable(listening, int(std::max<qint64>(0, deadline.remainingTime()))) != Wait::Ready)
            throw ETcpIpError(QStringLiteral("Timed out after %1 s waiting for the data connection from host %2")
                                  .arg(TimeoutMs / 1000.0)
                                  .arg(Hostname),
                              QStringLiteral("serwer nie nawiązał połączenia danych w ciągu %1 s (tryb aktywny; "
                                             "zapora sieciowa może je blokować)")
                                  .arg(TimeoutMs / 1000.0));
        quint32 peer = 0;
        const SocketHandle accepted = AcceptConnection(listening, peer);
        if (accepted == NoSocket) {
            if (NotifyWindow->isRegistered(listening))
                throw ETcpIpError(QStringLiteral("No data connection from host %1").arg(Hostname),
                                  QStringLiteral("serwer nie nawiązał połączenia danych"));
            continue;
        }
        if (takeDataConnection(listening, accepted, peer))
            return;
    }
}

void T_FTP::Upload()
{
    const PumpedWaits pumped(*this);
    beginOperation();
    if (URI.isEmpty())
        return;
    runTransfer([this] {
        setState(FtpTransfer::Opening);
        openDataConnection();
        if (RestartAt > 0) {
            SendCommand(QStringLiteral("REST %1").arg(RestartAt));
            ReadReply();
            if (ReplyCode != 350)
                fail(ReplyCode, QStringLiteral("The server answered REST with %1").arg(ReplyCode),
                     QStringLiteral("serwer nie pozwolił dokończyć pliku (odpowiedź %1)").arg(ReplyCode));
        }
        SendCommand(QStringLiteral("STOR ") + URI);
        ReadReply();
        // Only "150"/"125" opens the transfer; a final reply before any byte
        // was sent cannot mean the file arrived, and no other reply follows it.
        if (ReplyCode / 100 != 1)
            fail(ReplyCode, QStringLiteral("The server answered STOR %1 with %2 before any data").arg(URI).arg(ReplyCode),
                 QStringLiteral("serwer odpowiedział na wysłanie pliku kodem %1, zanim przyszły dane").arg(ReplyCode));
        if (!Async)
            acceptDataConnection();
        secureDataConnection();
        TransferMode = tftp_upload;
        const qint64 from = std::clamp<qint64>(RestartAt, 0, DataStream.size());
        TransferSize = DataStream.size() - from;
        DataStream.position = from;
        m_sent = 0;
        setState(FtpTransfer::Sending);
        startStallTimer();
        while (SendChunk()) {
        }
        if (!Async)
            FinishUpload(); // asynchronously, notifications drive the rest
    });
}

bool T_FTP::SendChunk()
{
    if (Socket == NoSocket || m_awaitingAccept || Socket == ControlSocket) // nothing to send on until the server connects
        return false;
    const long read = long(DataStream.read(Buffer.data(), BufferSize));
    if (read < 0)
        throw ETcpIpError(QStringLiteral("Cannot read the data of %1").arg(URI));
    if (read == 0) {
        finishTls(Socket, TimeoutMs);
        CloseSocket(Socket);
        awaitFinalReply();
        return false;
    }
    long sent = read;
    SendBytes(Socket, Buffer.constData(), sent);
    if (sent < read)
        DataStream.position -= read - std::max(0L, sent);
    if (sent < 0 && !wouldBlock(sendError())) {
        awaitFinalReply(); // the server closed the data connection: its reply says why
        return false;
    }
    if (sent > 0) {
        m_sent += sent;
        progressMade(sent);
        if (OnDataReceived)
            OnDataReceived(this, TransferMode, qint32(sent));
    }
    return sent > 0;
}

// The data has gone, or the server stopped taking it. Asynchronously, the
// reply is then read as it arrives, never waited for inside a notification.
void T_FTP::awaitFinalReply()
{
    closeDataSocket(); // so that a server still waiting for data answers now
    setState(FtpTransfer::FinalReply);
    if (!Async)
        return;
    AsyncSelect(ControlSocket, WM_SOCKET_CONTROL, FD_READ);
    m_stallTimer->start(TimeoutMs); // one deadline for the reply
    if (hasBufferedLine(ControlSocket) || hasBufferedTlsData(ControlSocket))
        NotifyWindow->post(WM_SOCKET_CONTROL, ControlSocket, FD_READ); // no notifier sees what is already read
}

bool T_FTP::finalReplyArrived()
{
    const bool open = pullAvailable(ControlSocket);
    if (open && !holdsWholeReply(bufferedBytes(ControlSocket))) {
        NotifyWindow->rearmRead(ControlSocket);
        return false;
    }
    AsyncSelect(ControlSocket, WM_SOCKET_CONTROL, 0);
    return true;
}

// Done means every byte went out and the server confirmed it.
bool T_FTP::offers(const QString &feature) const
{
    return m_features.contains(feature);
}

void T_FTP::FinishUpload()
{
    EndOfData = false;
    m_stallTimer->stop();
    if (m_state == FtpTransfer::Sending)
        awaitFinalReply();
    ReadReply();
    if (m_sent < TransferSize) {
        ReplyCode = 426;
        ReplyText = QStringLiteral("Upload of %1 cut short: %2 of %3 bytes sent").arg(URI).arg(m_sent).arg(TransferSize);
        throw EProtocolError(QStringLiteral("FTP"), 426, ReplyText,
                             QStringLiteral("serwer przestał przyjmować plik po %1 z %2 bajtów").arg(m_sent).arg(TransferSize));
    }
    WaitForData = false;
    if (OnActionComplete)
        OnActionComplete(this, TransferMode);
    setState(FtpTransfer::Idle);
}

void T_FTP::Rename(const QString &from, const QString &to)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    SendCommand(QStringLiteral("RNFR ") + from);
    ReadReply();
    SendCommand(QStringLiteral("RNTO ") + to);
    ReadReply();
}

void T_FTP::Delete(const QString &name)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    SendCommand(QStringLiteral("DELE ") + name);
    ReadReply();
}

// A server that kept less than it was sent (a quota, a full disk, a broken
// proxy) may answer 226 all the same: its own count of the bytes is the proof.
qint64 T_FTP::RemoteSize(const QString &name)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    bool ok = false;
    if (offers(QStringLiteral("SIZE"))) {
        if (askOptional(QStringLiteral("SIZE ") + name)) {
            const qint64 size = ReplyText.trimmed().toLongLong(&ok);
            return ReplyCode == 213 && ok ? size : -1;
        }
        if (ReplyCode == 550 || ReplyCode == 450)
            return -1; // no such file: a listing would say no more
    }
    if (offers(QStringLiteral("MLST")) && askOptional(QStringLiteral("MLST ") + name)) {
        for (const QString &line : std::as_const(m_replyLines)) {
            static const QRegularExpression fact(QStringLiteral("(?:^|;)\\s*size=(\\d+);"), QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch m = fact.match(line);
            if (m.hasMatch())
                return m.captured(1).toLongLong();
        }
        return -1;
    }
    qint64 size = -1;
    return sizeFromListing(name, size) ? size : -1;
}

// "-rw-r--r--   1 owner group   12345 Dec 09 12:00 name": the fifth field.
bool T_FTP::sizeFromListing(const QString &name, qint64 &size)
{
    try {
        ListDir(name);
    } catch (const EProtocolError &e) {
        if (isSessionFailure(e))
            throw;
        return false;
    }
    const QString file = name.section(u'/', -1);
    for (const QString &line : std::as_const(Listing)) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() >= 9 && line.startsWith(u'-') && f.mid(8).join(u' ') == file) {
            bool ok = false;
            size = f[4].toLongLong(&ok);
            return ok;
        }
    }
    return false;
}

QString T_FTP::CurrentDir()
{
    const PumpedWaits pumped(*this);
    beginOperation();
    if (!askOptional(QStringLiteral("PWD")) || ReplyCode != 257)
        return {};
    // 257 "/www/a ""b""" is current: the name between the quotes, "" for ".
    const qsizetype open = ReplyText.indexOf(u'"');
    if (open < 0)
        return {};
    QString folder;
    for (qsizetype i = open + 1; i < ReplyText.size(); ++i) {
        if (ReplyText[i] != u'"') {
            folder += ReplyText[i];
        } else if (i + 1 < ReplyText.size() && ReplyText[i + 1] == u'"') {
            folder += u'"';
            ++i;
        } else {
            return folder;
        }
    }
    return {};
}

void T_FTP::waitForFinalReply()
{
    if (Async) {
        m_receiving = ProgressWindow(TimeoutMs);
        AsyncSelect(ControlSocket, WM_SOCKET_CONTROL, FD_READ);
        EndOfData = false;
        WaitForData = true;
        const auto restore = qScopeGuard([this] {
            WaitForData = false;
            AsyncSelect(ControlSocket, WM_SOCKET_CONTROL, 0);
        });
        ReadReply();
    } else {
        m_receiving = ProgressWindow(TimeoutMs);
        setReceiveDeadline(m_receiving.deadline());
        m_receivingWindowed = true;
        const auto restore = qScopeGuard([this] {
            m_receivingWindowed = false;
            setReceiveDeadline(QDeadlineTimer::Forever);
        });
        while (ReceiveChunk()) {
        }
        EndOfData = false;
        ReadReply();
    }
}

// For the progress of a download: 0 when the server will not say.
void T_FTP::askDownloadSize()
{
    SendCommand(QStringLiteral("SIZE ") + URI);
    try {
        ReadReply();
        bool ok = false;
        TransferSize = ReplyText.trimmed().toLongLong(&ok);
        if (!ok)
            TransferSize = 0;
    } catch (const EProtocolError &e) {
        if (isSessionFailure(e))
            throw;
        TransferSize = 0;
    }
}

void T_FTP::Download()
{
    const PumpedWaits pumped(*this);
    beginOperation();
    if (URI.isEmpty())
        return;
    if (AskSizeFirst)
        askDownloadSize();
    runTransfer([this] {
        setState(FtpTransfer::Opening);
        openDataConnection();
        SendCommand(QStringLiteral("RETR ") + URI);
        ReadReply();
        if (!Async)
            acceptDataConnection();
        secureDataConnection();
        TransferMode = tftp_download;
        setState(FtpTransfer::Receiving);
        DataStream.clear();
        waitForFinalReply();
        FinishDownload();
    });
}

bool T_FTP::ReceiveChunk()
{
    if (Socket == NoSocket)
        return false;
    long count = 0;
    ReceiveBytes(Socket, Buffer.data(), count, BufferSize);
    if (count > 0) {
        MemoryStream &into = TransferMode == tftp_getdir ? ListingStream : DataStream;
        if (DownloadLimit >= 0 && qint64(into.data.size()) + count > DownloadLimit)
            // The server is mid-transfer: the session cannot go on (not a reply failure).
            throw ETcpIpError(QStringLiteral("%1 is larger than %2 bytes").arg(URI).arg(DownloadLimit),
                              QStringLiteral("plik na serwerze jest większy niż %1 bajtów").arg(DownloadLimit));
        into.append(Buffer.constData(), count);
        // Data is moving: the final reply may take its time, but a byte now
        // and then does not keep the wait going for ever.
        m_receiving.moved(count);
        if (WaitForData || m_receivingWindowed)
            setReceiveDeadline(m_receiving.deadline());
    }
    if (count <= 0 && EndOfData && hasTls(Socket))
        shutdownSending(Socket); // vsftpd sends its final reply only once TLS's close is answered
    if (OnDataReceived)
        OnDataReceived(this, TransferMode, qint32(count));
    return count > 0;
}

void T_FTP::FinishDownload()
{
    // The server may have connected, sent everything and answered before the
    // accept notification was handled: take its connection now.
    acceptDataConnection();
    secureDataConnection();
    while (ReceiveChunk()) {
    }
    EndOfData = false;
    CloseSocket(Socket);
    DataStream.position = 0;
    if (OnActionComplete)
        OnActionComplete(this, TransferMode);
    setState(FtpTransfer::Idle);
}

void T_FTP::ListDir(const QString &path)
{
    listWith(QStringLiteral("LIST"), path);
}

void T_FTP::ListFacts(const QString &path)
{
    listWith(QStringLiteral("MLSD"), path);
}

void T_FTP::listWith(const QString &command, const QString &path)
{
    const PumpedWaits pumped(*this);
    beginOperation();
    if (path.isEmpty())
        return;
    runTransfer([&] {
        setState(FtpTransfer::Opening);
        openDataConnection();
        // MLSD's lines are the same in any TYPE (RFC 3659): no switch there and back.
        m_listedInAscii = command != QLatin1String("MLSD");
        if (m_listedInAscii) {
            SendCommand(QStringLiteral("TYPE A"));
            ReadReply();
        }
        SendCommand(command + u' ' + path);
        ReadReply();
        if (!Async)
            acceptDataConnection();
        secureDataConnection();
        TransferMode = tftp_getdir;
        setState(FtpTransfer::Receiving);
        ListingStream.clear();
        waitForFinalReply();
        FinishListing();
    });
}

void T_FTP::FinishListing()
{
    EndOfData = false;
    acceptDataConnection(); // as in FinishDownload
    secureDataConnection();
    while (ReceiveChunk()) {
    }
    EndOfData = false;
    if (Socket != NoSocket)
        shutdownSending(Socket);
    closeQuietly(Socket);
    if (TransferMode == tftp_getdir && m_listedInAscii) {
        SendCommand(QStringLiteral("TYPE I"));
        ReadReply();
    }
    Listing = QString::fromUtf8(ListingStream.data).split(QRegularExpression(QStringLiteral("\r?\n")));
    if (!Listing.isEmpty() && Listing.last().isEmpty())
        Listing.removeLast();
    ListingStream.clear();
    if (OnActionComplete)
        OnActionComplete(this, TransferMode);
    setState(FtpTransfer::Idle);
}

void T_FTP::Abort()
{
    if (!Busy)
        return;
    // Whatever ABOR meets, the transfer is over afterwards.
    const auto over = qScopeGuard([this] { endTransfer(false); });
    // A server busy receiving reads the control connection only when the data
    // stops (ABOR is not sent as urgent data), so the data connection is ended
    // first; otherwise ABOR would wait behind a transfer that never finishes.
    m_stallTimer->stop();
    closeDataSocket();
    if (ControlSocket == NoSocket)
        return;
    SendCommand(QStringLiteral("ABOR"));
    try {
        ReadReply();
        // Some servers answer the aborted transfer (226) and then ABOR itself
        // (225 or 226); that second reply belongs here, not to the next command.
        const int wait = int(std::clamp<qint64>(m_closingBy.remainingTime(), 0, std::min(TimeoutMs, 1000)));
        if ((ReplyCode == 226 || ReplyCode == 225)
            && (hasBufferedLine(ControlSocket) || waitReadable(ControlSocket, wait) == Wait::Ready))
            ReadReply();
    } catch (const EProtocolError &e) {
        if (ReplyCode != 426 || isSessionFailure(e))
            throw;
        ReadReply(); // the closing reply
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

// Nothing here waits for the server: the final reply is read once it has
// arrived whole, and a notification that comes while another is handled (a
// wait inside lets the window work) or while a transfer is being opened is
// handled after it.
void T_FTP::HandleSocketMessage(SocketMessage &message)
{
    const bool forData = message.Msg == WM_SOCKET_DATA;
    const bool forReply = message.Msg == WM_SOCKET_CONTROL && m_state == FtpTransfer::FinalReply
                          && TransferMode == tftp_upload;
    if (!forData && !forReply) {
        T_TcpIp::HandleSocketMessage(message);
        return;
    }
    if (m_handling || m_state == FtpTransfer::Opening) {
        m_deferred << message;
        return;
    }
    const PumpedWaits pumped(*this);
    try {
        {
            const QScopedValueRollback handling(m_handling, true);
            if (forReply) {
                if (finalReplyArrived())
                    FinishUpload();
            } else {
                handleDataEvent(int(message.LParam & 0xFFFF));
            }
        }
        replayDeferred();
    } catch (const ETcpIpError &e) {
        endTransfer(isSessionFailure(e));
        if (!OnAsyncError)
            throw;
        OnAsyncError(e);
    }
}

void T_FTP::handleDataEvent(int event)
{
    switch (event) {
    case FD_READ:
        if (m_state == FtpTransfer::Receiving)
            ReceiveChunk();
        break;
    case FD_WRITE:
        if (m_state == FtpTransfer::Sending && TransferMode == tftp_upload)
            while (SendChunk()) {
            }
        break;
    case FD_ACCEPT:
        acceptInBackground();
        break;
    case FD_CLOSE:
        if (m_state == FtpTransfer::Sending && TransferMode == tftp_upload)
            awaitFinalReply(); // the server closed the data connection early: its reply says why
        else if (Busy && hasTls(Socket))
            shutdownSending(Socket); // TLS's close answered: vsftpd sends its final reply only then
        break;
    default:
        break;
    }
}

void T_FTP::acceptInBackground()
{
    if (!m_awaitingAccept)
        return;
    quint32 peer = 0;
    SocketHandle listening = Socket;
    const SocketHandle accepted = AcceptConnection(listening, peer);
    if (accepted == NoSocket || !takeDataConnection(listening, accepted, peer)) {
        NotifyWindow->rearmRead(listening);
        return;
    }
    secureDataConnection();
    AsyncSelect(Socket, WM_SOCKET_DATA, DataMask);
    startStallTimer();
}

} // namespace zk
