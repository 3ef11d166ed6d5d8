#include "Isolated.h"
#include "Script.h"
#include "Servers.h"
#include "ftp.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QScopeGuard>

using namespace zk;
using zk::testing::PyFtpServer;
using zk::testing::ScriptedServer;
using namespace zk::testing;

namespace {

void connectTo(T_FTP &ftp, quint16 port)
{
    ftp.Hostname = QStringLiteral("127.0.0.1");
    ftp.Port = port;
    ftp.Username = QStringLiteral("jan");
    ftp.Password = QStringLiteral("tajne");
    ftp.TimeoutMs = 5000; // a script that ends early must not hold a test for long
}

// The reply code of the protocol error the call throws; 0 when it throws none.
// Any other exception escapes and fails the test on its own.
template <typename Call>
int protocolErrorOf(Call &&call)
{
    try {
        call();
    } catch (const EProtocolError &e) {
        return e.ErrorCode;
    }
    return 0;
}

QByteArray randomBytes(qsizetype n)
{
    QList<quint32> words((n + 3) / 4);
    QRandomGenerator random{quint32(n) + 1};
    random.fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.constData()), n);
}

void spinUntil(const std::function<bool()> &done, int ms = 30000)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// ------------------------------------------------------------- TCP layer

TEST(TcpIp, RefusedConnectionTracesAndRaises)
{
    T_TcpIp tcp;
    QStringList traces;
    tcp.OnTrace = [&](const QString &s, TTraceLevel) { traces << s; };
    tcp.Hostname = QStringLiteral("127.0.0.1");
    // Port 21 unless an FTP server of the machine's own listens there.
    const quint16 port = zk::testing::waitForListener(21, 0) ? zk::testing::freePort() : 21;
    tcp.ConnectPort = port;
    EXPECT_THROW(tcp.OpenSession(), ESocketError);
    ASSERT_EQ(traces.size(), 2);
    EXPECT_TRUE(traces[0].startsWith(QStringLiteral("Closed socket ID ")));
    EXPECT_EQ(traces[1], QStringLiteral("Failed to open output socket %1 to host 127.0.0.1").arg(port));
    EXPECT_EQ(tcp.Socket, net::NoSocket);
    EXPECT_FALSE(tcp.Connected);

    T_TcpIp empty;
    try {
        empty.OpenSession();
        FAIL();
    } catch (const ETcpIpError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("Couldn't resolve hostname "));
    }
    EXPECT_EQ(empty.SocketState(net::NoSocket), 0);
}

TEST(TcpIp, ConnectionTraceLinesAndLines)
{
    // A port above 32767 shows that ports are written unsigned: 50000, or
    // another such port when 50000 is taken.
    const net::SocketHandle server = net::createTcpSocket();
    quint16 port = 50000;
    if (!net::bindTo(server, net::parseDotted(QStringLiteral("127.0.0.1")), port)) {
        ASSERT_TRUE(net::bindTo(server, net::parseDotted(QStringLiteral("127.0.0.1")), 0));
        net::boundPort(server, port);
    }
    ASSERT_GT(port, 32767);
    net::listenOn(server, 1);
    T_TcpIp tcp;
    QStringList traces;
    tcp.OnTrace = [&](const QString &s, TTraceLevel level) {
        EXPECT_EQ(level, tt_socket);
        traces << s;
    };
    tcp.Hostname = QStringLiteral("127.0.0.1");
    tcp.ConnectPort = port;
    tcp.OpenSession();
    ASSERT_FALSE(traces.isEmpty());
    EXPECT_EQ(traces[0], QStringLiteral("Opened output socket %1 to host 127.0.0.1 successfully; ID %2").arg(port).arg(tcp.Socket));
    EXPECT_EQ(tcp.SocketState(tcp.Socket), 2);
    quint32 peer = 0;
    quint16 peerPort = 0;
    const net::SocketHandle client = net::acceptFrom(server, peer, peerPort);
    const QByteArray lines = "abc\r\na\rb\r\n\r\nxyz";
    net::sendSomeNow(client, lines.constData(), size_t(lines.size()));
    net::closeHandle(client);
    EXPECT_EQ(tcp.ReadLine(tcp.Socket), QStringLiteral("abc"));
    EXPECT_EQ(tcp.ReadLine(tcp.Socket), QStringLiteral("ab")) << "a CR inside a line is dropped";
    EXPECT_EQ(tcp.ReadLine(tcp.Socket), QString());
    EXPECT_EQ(tcp.ReadLine(tcp.Socket), QString()) << "a line cut off by the end of the connection reads as empty";
    EXPECT_TRUE(tcp.AtEnd(tcp.Socket));
    tcp.CloseSession();
    net::closeHandle(server);
    EXPECT_TRUE(traces.last().startsWith(QStringLiteral("Closed socket ID ")));
}

TEST(TcpIp, AddressHelpers)
{
    EXPECT_EQ(AddressText(net::parseDotted(QStringLiteral("192.168.1.2"))), QStringLiteral("192.168.1.2"));
    EXPECT_EQ(ResolveHost(QStringLiteral("10.0.0.7")), net::parseDotted(QStringLiteral("10.0.0.7")));
    EXPECT_EQ(ResolveHost(QString()), net::NoAddress);
    EXPECT_EQ(ResolveHost(QStringLiteral("localhost")), net::parseDotted(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(NthPos(u',', QStringLiteral("a,b,c,d,e"), 4), 8);
    EXPECT_EQ(NthPos(u',', QStringLiteral("a,b"), 4), 4) << "beyond the end when there are fewer";
}

// 227 replies as servers word them (the text after the code), and the
// ones to refuse: the caller then opens no data connection at all, never
// one to a guessed port. (The address is only traced: data always goes
// to the control connection's server.)
TEST(FtpPassiveReply, RealServersWordingsAndTheRejects)
{
    struct Case {
        const char *text;
        const char *address; // nullptr: refused
        int port;
    };
    const Case cases[] = {
        {"Entering Passive Mode (192,168,1,2,19,137).", "192.168.1.2", 5001},      // vsftpd, ProFTPD
        {"Entering Passive Mode (127,0,0,1,156,64)", "127.0.0.1", 40000},          // pyftpdlib
        {"Entering Passive Mode 10,0,0,7,4,1", "10.0.0.7", 1025},                  // no parentheses
        {"Entering passive mode (10,0,0,7,255,255)", "10.0.0.7", 65535},           // the highest port
        {"Entering Passive Mode (0,0,0,0,0,21)", "0.0.0.0", 21},                   // a server that hides its address
        {"=195,205,1,77,87,111", "195.205.1.77", 22383},                           // the terse form some routers send
        {"Passive mode OK (212,77,100,1,117,48) ready", "212.77.100.1", 30000},    // words after the numbers
        {"Entering Passive Mode (1,2,3,4,5,6,7,8)", "1.2.3.4", 1286},              // the first six numbers count
        {"Entering Passive Mode (x,y)", nullptr, 0},
        {"Entering Passive Mode (192,168,1,2,19)", nullptr, 0},                    // five numbers
        {"Entering Passive Mode (192,168,1,256,19,137)", nullptr, 0},              // over 255
        {"Entering Passive Mode (192,168,1,2,19,1370)", nullptr, 0},               // four digits in one number
        {"Entering Passive Mode (192, 168, 1, 2, 19, 137)", nullptr, 0},           // spaces between the numbers
        {"Entering Passive Mode", nullptr, 0},
        {"", nullptr, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        quint32 address = 0;
        quint16 port = 0;
        const bool read = T_FTP::parsePassiveReply(QString::fromLatin1(c.text), address, port);
        ASSERT_EQ(read, c.address != nullptr);
        if (read) {
            EXPECT_EQ(AddressText(address), QString::fromLatin1(c.address));
            EXPECT_EQ(port, c.port);
        }
    }
}

// ------------------------------------------------------ scripted server

// The size a server keeps, where it offers no SIZE: its MLST facts, else
// the size field of its LIST line (names with spaces included).
TEST(FtpScripted, TheSizeOnTheServerFromMlstOrFromTheListing)
{
    const auto loginWith = [](const char *features) {
        return QList<QJsonArray>{send("220 ready\r\n"), expect(), send("331 password\r\n"), expect(), send("230 in\r\n"),
                                 expect(), QJsonArray{QStringLiteral("feat"), QString::fromLatin1(features)}, expect(),
                                 send("200 binary\r\n")};
    };
    {
        ScriptedServer server(script(loginWith("211-Features:\r\n MLST size*;modify*;\r\n211 End\r\n"),
                                     {expect(), send("250-Listing a b.html\r\n Type=file;Size=12345;Modify=20261209120000; a b.html\r\n250 End\r\n"),
                                      quitCommand(), bye()}));
        T_FTP ftp;
        connectTo(ftp, server.port());
        EXPECT_EQ(ftp.RemoteSize(QStringLiteral("a b.html")), 12345);
        ftp.CloseSession();
        EXPECT_EQ(server.transcript()[4], QStringLiteral("MLST a b.html"));
    }
    const auto listing = [&](const char *line) {
        return script(loginWith("211-Features:\r\n211 End\r\n"),
                      {expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("200 ascii\r\n"), expect(),
                       send("150 here\r\n"), QJsonArray{QStringLiteral("data_send"), QString::fromLatin1(line)},
                       send("226 done\r\n"), expect(), send("200 binary\r\n"), quitCommand(), bye()});
    };
    {
        ScriptedServer server(listing("-rw-r--r--   1 jan  jan   4321 Dec 09 12:00 a b.html\r\n"));
        T_FTP ftp;
        connectTo(ftp, server.port());
        EXPECT_EQ(ftp.RemoteSize(QStringLiteral("img/a b.html")), 4321);
        ftp.CloseSession();
        EXPECT_EQ(server.transcript().mid(4, 3),
                  (QStringList{QStringLiteral("PASV"), QStringLiteral("TYPE A"), QStringLiteral("LIST img/a b.html")}));
    }
    {
        ScriptedServer server(listing("drwxr-xr-x   2 jan  jan   4096 Dec 09 12:00 a b.html\r\n"));
        T_FTP ftp;
        connectTo(ftp, server.port());
        EXPECT_EQ(ftp.RemoteSize(QStringLiteral("a b.html")), -1) << "a folder of that name says nothing of the file";
        ftp.CloseSession();
    }
}

// A listing that comes a byte every 0.2 s (a minute for this one) ends at
// the deadline: a byte now and then is not a kilobyte within it.
TEST(FtpScripted, AListingThatDripsEndsAtTheDeadline)
{
    const QByteArray line = "-rw-r--r--   1 jan  jan   4321 Dec 09 12:00 strona.html\r\n";
    for (const bool async : {false, true}) {
        ScriptedServer server(script(login(), {expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("200 ascii\r\n"),
                                               expect(), send("150 here\r\n"),
                                               QJsonArray{QStringLiteral("data_drip"), QString::fromLatin1(line + line + line + line), 0.2},
                                               send("226 done\r\n"), act("drain")}));
        T_FTP ftp;
        ftp.Async = async;
        connectTo(ftp, server.port());
        ftp.TimeoutMs = 1000;
        ftp.OpenSession();
        QElapsedTimer t;
        t.start();
        try {
            ftp.ListDir(QStringLiteral("."));
            ADD_FAILURE() << "a listing of a byte every 0.2 s came whole (async " << async << ")";
        } catch (const ETcpIpError &e) {
            EXPECT_EQ(e.reason, QStringLiteral("serwer przysłał mniej niż 1 kB danych w ciągu 1 s")) << e.text().toStdString();
        }
        EXPECT_LT(t.elapsed(), 2500) << "async " << async;
        EXPECT_FALSE(ftp.Busy);
    }
}

TEST(FtpScripted, AContinuationLineWithoutCodeEndsTheReplyEarly)
{
    ScriptedServer server(steps({send("220-Witaj\r\ntekst bez kodu\r\n220 koniec\r\n"), expect(), send("331 haslo\r\n"),
                                 expect(), send("230 ok\r\n"), expect(), send("200 ok\r\n"), quitCommand(), bye()}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    QStringList replies;
    ftp.OnTrace = [&](const QString &s, TTraceLevel l) {
        if (l == tt_reply || l == tt_command)
            replies << s;
    };
    ftp.OpenSession();
    // The greeting ended at the line without a code; what followed was read
    // as a reply of its own before USER went out, so the replies kept in step.
    EXPECT_EQ(ftp.ReplyCode, 200);
    EXPECT_EQ(replies, (QStringList{QStringLiteral("220-Witaj"), QStringLiteral("tekst bez kodu"), QStringLiteral("220 koniec"),
                                    QStringLiteral("USER jan"), QStringLiteral("331 haslo"), QStringLiteral("PASS ******"),
                                    QStringLiteral("230 ok"), QStringLiteral("FEAT"), QStringLiteral("211-Features:"),
                                    QStringLiteral(" SIZE"), QStringLiteral("211 End"), QStringLiteral("TYPE I"),
                                    QStringLiteral("200 ok")}));
    ftp.CloseSession();
}

TEST(FtpScripted, LoginTranscriptAndPasswordHiddenInTheTrace)
{
    ScriptedServer server(steps({send("220-Witaj\r\n220-druga linia\r\n220 koniec\r\n"), expect(), send("331 haslo\r\n"),
                                 expect(), send("230 ok\r\n"), expect(), send("200 binary\r\n"), expect(),
                                 send("221 bye\r\n")}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    QStringList commands;
    ftp.OnTrace = [&](const QString &s, TTraceLevel l) {
        if (l == tt_command)
            commands << s;
    };
    ftp.OpenSession();
    EXPECT_EQ(ftp.ReplyCode, 200);
    ftp.CloseSession();
    EXPECT_EQ(commands, (QStringList{QStringLiteral("USER jan"), QStringLiteral("PASS ******"), QStringLiteral("FEAT"),
                                     QStringLiteral("TYPE I"), QStringLiteral("QUIT")}));
    EXPECT_EQ(server.transcript(), (QStringList{QStringLiteral("USER jan"), QStringLiteral("PASS tajne"),
                                                QStringLiteral("TYPE I"), QStringLiteral("QUIT")}));
}

TEST(FtpScripted, RefusedPasswordStopsBeforeType)
{
    ScriptedServer server(steps({send("220 ready\r\n"), expect(), send("331 password\r\n"), expect(),
                                 send("530 Login incorrect.\r\n"), quitCommand(), bye()}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    try {
        ftp.OpenSession();
        FAIL();
    } catch (const EProtocolError &e) {
        EXPECT_EQ(e.ErrorCode, 530);
        EXPECT_EQ(e.Protocol, QStringLiteral("FTP"));
        EXPECT_EQ(e.text(), QStringLiteral("Login incorrect."));
    }
    EXPECT_EQ(ftp.ReplyCode, 530);
    ftp.CloseSession();
    const QStringList t = server.transcript();
    EXPECT_FALSE(t.contains(QStringLiteral("TYPE I")));
}

TEST(FtpScripted, PassiveDataGoesToTheControlServerWhateverThe227Says)
{
    for (const char *reply : {"227 Entering Passive Mode (10,0,0,7,{p1},{p2})\r\n", "227 Entering Passive Mode 10,0,0,7,{p1},{p2}\r\n"}) {
        ScriptedServer server(script(login(), {expect(), pasv(reply), expect(), send("150 go\r\n"), act("data_recv"),
                                               send("226 done\r\n"), quitCommand(), bye()}));
        T_FTP ftp;
        connectTo(ftp, server.port());
        QList<qint32> chunks;
        int completed = 0;
        ftp.OnDataReceived = [&](QObject *, t_ftp_mode mode, qint32 n) {
            EXPECT_EQ(mode, tftp_upload);
            chunks << n;
        };
        ftp.OnActionComplete = [&](QObject *, t_ftp_mode) { ++completed; };
        ftp.OpenSession();
        ftp.URI = QStringLiteral("index.html");
        ftp.DataStream.data = randomBytes(70000);
        ftp.Upload();
        EXPECT_EQ(ftp.ReplyCode, 226);
        EXPECT_FALSE(ftp.Busy);
        EXPECT_EQ(completed, 1);
        EXPECT_EQ(chunks, (QList<qint32>{32512, 32512, 4976}));
        ftp.CloseSession();
        EXPECT_EQ(server.transcript(), (QStringList{QStringLiteral("USER jan"), QStringLiteral("PASS tajne"),
                                                    QStringLiteral("TYPE I"), QStringLiteral("PASV"),
                                                    QStringLiteral("STOR index.html"), QStringLiteral("DATA 70000"),
                                                    QStringLiteral("QUIT")}))
            << reply;
    }
}

TEST(FtpScripted, EmptyUploadClosesAtOnceAndCompletesOnce)
{
    ScriptedServer server(script(login(), {expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("150 go\r\n"),
                                           act("data_recv"), send("226 done\r\n"), quitCommand(), bye()}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    int received = 0, completed = 0;
    ftp.OnDataReceived = [&](QObject *, t_ftp_mode, qint32) { ++received; };
    ftp.OnActionComplete = [&](QObject *, t_ftp_mode) { ++completed; };
    ftp.URI = QStringLiteral("pusty.html");
    ftp.Upload(); // not connected yet: it logs in first
    EXPECT_EQ(received, 0);
    EXPECT_EQ(completed, 1);
    ftp.CloseSession();
    EXPECT_TRUE(server.transcript().contains(QStringLiteral("DATA 0")));

    T_FTP idle;
    idle.Busy = true;
    EXPECT_THROW(idle.ChangeDir(QStringLiteral("x")), EProtocolBusy) << "no connection was even attempted";
    EXPECT_FALSE(idle.Connected);
}

TEST(FtpScripted, DestroyingALoggedInClientSaysQuit)
{
    ScriptedServer server(script(login(), {expect(), send("250 ok\r\n"), quitCommand(), bye()}));
    {
        T_FTP ftp;
        connectTo(ftp, server.port());
        ftp.ChangeDir(QStringLiteral("www"));
    }
    EXPECT_EQ(server.transcript().mid(3), (QStringList{QStringLiteral("CWD www"), QStringLiteral("QUIT")}));
}

TEST(FtpScripted, AServerThatDropsTheControlConnectionMidUploadEndsIt)
{
    ScriptedServer server(script(login(), {expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("150 go\r\n"),
                                           act("close"), {QStringLiteral("sleep"), 1}}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    ftp.OpenSession();
    ftp.URI = QStringLiteral("a.bin");
    ftp.DataStream.data = randomBytes(70000);
    try {
        ftp.Upload();
        FAIL() << "the upload cannot succeed";
    } catch (const EProtocolError &e) {
        EXPECT_EQ(e.ErrorCode, 999);
        EXPECT_TRUE(e.text().contains(QStringLiteral("Connection closed"))) << e.text().toStdString();
    } catch (const ETcpIpError &e) {
        ADD_FAILURE() << "a dropped connection is reported at once, not by a timeout: " << e.text().toStdString();
    }
}

TEST(FtpScripted, AbortAnsweredWith426Then226)
{
    ScriptedServer server(script(login(), {expect(), send("426 aborted\r\n226 closed\r\n"), quitCommand(), bye()}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    ftp.OpenSession();
    ftp.Busy = true;
    ftp.Abort();
    EXPECT_FALSE(ftp.Busy);
    EXPECT_EQ(ftp.ReplyCode, 226);
}

TEST(FtpScripted, GarbageLongLinesDropsAndSilenceEndInErrors)
{
    {
        ScriptedServer server(steps({send("hello there\r\n"), act("drain")}));
        T_FTP ftp;
        connectTo(ftp, server.port());
        EXPECT_EQ(protocolErrorOf([&] { ftp.OpenSession(); }), 999);
    }
    {
        const QString longLine = QStringLiteral("220 ") + QString(20000, u'x') + QStringLiteral("\r\n");
        ScriptedServer server(QJsonArray{QJsonArray{QStringLiteral("send"), longLine}, QJsonArray{QStringLiteral("drain")}});
        T_FTP ftp;
        connectTo(ftp, server.port());
        EXPECT_EQ(protocolErrorOf([&] { ftp.OpenSession(); }), 999) << "an over-long line is refused, not kept";
    }
    {
        ScriptedServer server(steps({send("220 ready\r\n"), act("close")}));
        T_FTP ftp;
        connectTo(ftp, server.port());
        EXPECT_THROW(ftp.OpenSession(), EProtocolError) << "the server closed the control connection";
    }
    {
        ScriptedServer server(steps({{QStringLiteral("sleep"), 3}}));
        T_FTP ftp;
        connectTo(ftp, server.port());
        ftp.TimeoutMs = 300;
        try {
            ftp.OpenSession();
            FAIL();
        } catch (const EProtocolError &) {
            FAIL() << "a timeout is not a protocol error";
        } catch (const ETcpIpError &e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("Timed out"))) << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(QStringLiteral("127.0.0.1")));
        }
    }
}

TEST(FtpScripted, UnaskedRepliesAreReadBeforeTheNextCommandAnd421EndsTheSession)
{
    ScriptedServer server(script(login(), {send("226 late\r\n"), expect(), send("250 ok\r\n"),
                                           send("421 Timeout.\r\n"), act("drain")}));
    T_FTP ftp;
    connectTo(ftp, server.port());
    // The unasked reply has arrived (a wait with a deadline, not a sleep).
    const auto unaskedArrived = [&] {
        return ftp.hasBufferedLine(ftp.ControlSocket) || net::waitReadable(ftp.ControlSocket, 5000) == net::Wait::Ready;
    };
    ftp.OpenSession();
    ASSERT_TRUE(unaskedArrived());
    ftp.ChangeDir(QStringLiteral("www"));
    EXPECT_EQ(ftp.ReplyCode, 250) << "the stray 226 did not become CWD's answer";
    ASSERT_TRUE(unaskedArrived());
    EXPECT_EQ(protocolErrorOf([&] { ftp.MakeDir(QStringLiteral("x")); }), 421);
    EXPECT_FALSE(ftp.Connected);
    EXPECT_EQ(server.transcript().last(), QStringLiteral("CWD www")) << "MKD was never sent";
}

// ------------------------------------------------------- real servers

class FtpRealServer : public zk::testing::Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        root = folder(QStringLiteral("ftproot"));
        folder(QStringLiteral("ftproot/istnieje"));
        server = std::make_unique<PyFtpServer>(root, QStringLiteral("jan"), QStringLiteral("tajne"));
        if (!server->isUp())
            GTEST_SKIP() << "pyftpdlib could not be started (python3-pyftpdlib)";
    }
    QByteArray onServer(const QString &name) const
    {
        return zk::testing::readFile(root + name);
    }
    void uploadAndCheck(T_FTP &ftp, const QString &name, qsizetype size)
    {
        ftp.URI = name;
        ftp.DataStream.data = randomBytes(size);
        bool done = false;
        ftp.OnActionComplete = [&](QObject *, t_ftp_mode) { done = true; };
        const auto forget = qScopeGuard([&] { ftp.OnActionComplete = nullptr; }); // `done` dies here
        ftp.Upload();
        if (ftp.Async)
            spinUntil([&] { return done; });
        ASSERT_TRUE(done) << name.toStdString();
        EXPECT_FALSE(ftp.Busy);
        EXPECT_EQ(onServer(name), ftp.DataStream.data) << name.toStdString() << " (" << size << " bytes)";
    }
    QString root;
    std::unique_ptr<PyFtpServer> server;
};

TEST_F(FtpRealServer, LoginFoldersAndUploadsOfEverySize)
{
    T_FTP ftp;
    connectTo(ftp, server->port());
    ftp.OpenSession();
    ftp.ChangeDir(QStringLiteral("istnieje"));
    ftp.ChangeDir(QStringLiteral(".."));
    EXPECT_EQ(protocolErrorOf([&] { ftp.ChangeDir(QStringLiteral("nie_ma")); }), 550);
    ftp.MakeDir(QStringLiteral("nowy"));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("nowy")).isDir());
    for (qsizetype size : {0, 1, 32512, 70000, 10000000})
        uploadAndCheck(ftp, QStringLiteral("plik_%1.bin").arg(size), size);

    ftp.URI = QStringLiteral("plik_70000.bin");
    ftp.Download();
    EXPECT_EQ(ftp.TransferSize, 70000);
    EXPECT_EQ(ftp.DataStream.data, onServer(QStringLiteral("plik_70000.bin")));
    ftp.ListDir(QStringLiteral("."));
    EXPECT_TRUE(ftp.Listing.join(u'\n').contains(QStringLiteral("plik_10000000.bin")));
    ftp.CloseSession();
    EXPECT_FALSE(ftp.Connected);
}

TEST_F(FtpRealServer, ActiveModeSynchronous)
{
    T_FTP ftp;
    connectTo(ftp, server->port());
    ftp.Passive = false;
    uploadAndCheck(ftp, QStringLiteral("aktywny.bin"), 70000);
    ftp.URI = QStringLiteral("aktywny.bin");
    ftp.Download();
    EXPECT_EQ(ftp.DataStream.data, onServer(QStringLiteral("aktywny.bin")));
    ftp.ListDir(QStringLiteral("."));
    EXPECT_TRUE(ftp.Listing.join(u'\n').contains(QStringLiteral("aktywny.bin")));
}

TEST_F(FtpRealServer, AsynchronousPassiveAndActive)
{
    for (bool passive : {true, false}) {
        T_FTP ftp;
        connectTo(ftp, server->port());
        ftp.Async = true;
        ftp.Passive = passive;
        ftp.OpenSession();
        uploadAndCheck(ftp, QStringLiteral("async_%1_1.bin").arg(passive), 1);
        uploadAndCheck(ftp, QStringLiteral("async_%1_big.bin").arg(passive), 10000000);
        ftp.URI = QStringLiteral("async_%1_big.bin").arg(passive);
        ftp.OnActionComplete = nullptr;
        ftp.Download();
        EXPECT_EQ(ftp.DataStream.data.size(), 10000000);
        EXPECT_EQ(ftp.DataStream.data, onServer(ftp.URI));
        ftp.ListDir(QStringLiteral("."));
        EXPECT_TRUE(ftp.Listing.join(u'\n').contains(QStringLiteral("async_%1_big.bin").arg(passive)));
        ftp.CloseSession();
    }
}

TEST_F(FtpRealServer, WrongPasswordIs530)
{
    T_FTP ftp;
    connectTo(ftp, server->port());
    ftp.Password = QStringLiteral("zle");
    EXPECT_EQ(protocolErrorOf([&] { ftp.OpenSession(); }), 530);
}

TEST_F(FtpRealServer, HostnameMayCarryThePort)
{
    T_FTP ftp;
    ftp.Hostname = QStringLiteral("127.0.0.1:%1").arg(server->port());
    ftp.Username = QStringLiteral("jan");
    ftp.Password = QStringLiteral("tajne");
    ftp.OpenSession();
    EXPECT_EQ(ftp.ReplyCode, 200);
}

class FtpVsftpd : public zk::testing::Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        server = std::make_unique<zk::testing::VsFtpServer>();
        if (!server->isUp())
            GTEST_SKIP() << "vsftpd could not be started";
    }
    void login(T_FTP &ftp)
    {
        ftp.Hostname = QStringLiteral("127.0.0.1");
        ftp.Port = server->port();
        ftp.Username = QStringLiteral("anonymous");
        ftp.OpenSession();
        ftp.ChangeDir(QStringLiteral("upload"));
    }
    QByteArray onServer(const QString &name) const
    {
        return zk::testing::readFile(server->uploadFolder() + name);
    }
    std::unique_ptr<zk::testing::VsFtpServer> server;
};

TEST_F(FtpVsftpd, UploadsInEveryModeLandByteForByte)
{
    for (int variant = 0; variant < 4; ++variant) {
        T_FTP ftp;
        ftp.Passive = variant % 2 == 0;
        ftp.Async = variant >= 2;
        if (qEnvironmentVariableIsSet("ZK_FTP_TRACE"))
            ftp.OnTrace = [](const QString &s, TTraceLevel) { fprintf(stderr, "%s\n", qPrintable(s)); };
        login(ftp);
        EXPECT_EQ(protocolErrorOf([&] { ftp.ChangeDir(QStringLiteral("nie_ma")); }), 550);
        for (qsizetype size : {0, 1, 32512, 70000, 10000000}) {
            const QString name = QStringLiteral("v%1_%2.bin").arg(variant).arg(size);
            ftp.URI = name;
            ftp.DataStream.data = randomBytes(size);
            bool done = false;
            ftp.OnActionComplete = [&](QObject *, t_ftp_mode) { done = true; };
            ftp.Upload();
            spinUntil([&] { return done; });
            ASSERT_TRUE(done) << name.toStdString();
            EXPECT_EQ(onServer(name), ftp.DataStream.data) << name.toStdString();
        }
        ftp.URI = QStringLiteral("v%1_70000.bin").arg(variant);
        ftp.OnActionComplete = nullptr;
        ftp.Download();
        EXPECT_EQ(ftp.DataStream.data, onServer(ftp.URI));
        ftp.CloseSession();
        EXPECT_FALSE(ftp.Connected);
    }
}

TEST_F(FtpVsftpd, PolishNamesArriveAsTyped)
{
    for (bool passive : {true, false}) {
        T_FTP ftp;
        ftp.Passive = passive;
        QStringList commands;
        ftp.OnTrace = [&](const QString &s, TTraceLevel l) {
            if (l == tt_command)
                commands << s;
        };
        login(ftp);
        EXPECT_TRUE(commands.contains(QStringLiteral("OPTS UTF8 ON"))) << "vsftpd offers UTF8 in FEAT";
        const QString folder = passive ? QStringLiteral("żółw") : QStringLiteral("Źdźbło");
        ftp.MakeDir(folder);
        ftp.ChangeDir(folder);
        ftp.URI = QStringLiteral("zdjęcie_żółw.gif");
        ftp.DataStream.data = randomBytes(5000);
        ftp.Upload();
        EXPECT_EQ(onServer(folder + QStringLiteral("/zdjęcie_żółw.gif")), ftp.DataStream.data) << folder.toStdString();
        ftp.ListDir(QStringLiteral("."));
        EXPECT_TRUE(ftp.Listing.join(u'\n').contains(QStringLiteral("zdjęcie_żółw.gif"))) << "the listing reads back as UTF-8";
        ftp.CloseSession();
    }
}

TEST_F(FtpVsftpd, ClosingDuringAnUploadAbortsAndKeepsTheRepliesInStep)
{
    T_FTP ftp;
    ftp.Async = true;
    if (qEnvironmentVariableIsSet("ZK_FTP_TRACE"))
        ftp.OnTrace = [](const QString &s, TTraceLevel) { fprintf(stderr, "%s\n", qPrintable(s)); };
    login(ftp);
    ftp.URI = QStringLiteral("przerwany.bin");
    ftp.DataStream.data = randomBytes(30000000);
    ftp.Upload();
    ASSERT_TRUE(ftp.Busy);
    EXPECT_NO_THROW(ftp.CloseSession());
    EXPECT_FALSE(ftp.Busy);
    EXPECT_FALSE(ftp.Connected);
    EXPECT_EQ(ftp.ReplyCode, 221) << "QUIT got its own answer";
}

} // namespace
