// The publish dialog against servers that misbehave: every run ends within
// one deadline with the message that fits, and nothing that was not sent is
// reported as sent.
#include "Isolated.h"
#include "Script.h"
#include "Servers.h"
#include "publikow.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>

#include <cstdio>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace zk;
using namespace zk::testing;

namespace {

constexpr int Deadline = 1000; // the client's TimeoutMs in these tests
const QString Success = QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!");

// Everything up to the server's answer to STOR, in passive or active mode.
QList<QJsonArray> untilStor(bool active, const char *storReply = "150 go\r\n")
{
    QList<QJsonArray> s = login();
    s << expect() << send("250 ok\r\n"); // CWD .
    if (active)
        s << expect() << send("200 PORT ok\r\n");
    else
        s << expect() << pasv("227 ok (127,0,0,1,{p1},{p2})\r\n");
    s << expect() << send(storReply);
    return s;
}

// This test's own network (root only), its loopback up, its ephemeral ports
// `first`..`last` once narrowPorts() is called (a server started before
// keeps its port); the old network comes back
// at the end, so later tests in the same process are not touched.
class OwnNetwork {
public:
    OwnNetwork()
    {
        if (geteuid() != 0)
            return;
        m_old = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        if (m_old < 0 || ::unshare(CLONE_NEWNET) != 0)
            return;
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        m_ready = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &lo) == 0 && (lo.ifr_flags |= IFF_UP, ::ioctl(s, SIOCSIFFLAGS, &lo) == 0);
        ::close(s);
    }
    ~OwnNetwork()
    {
        if (m_old >= 0) {
            ::setns(m_old, CLONE_NEWNET);
            ::close(m_old);
        }
    }
    bool ready() const { return m_ready; }
    bool narrowPorts(int first, int last)
    {
        QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
        return range.open(QIODevice::WriteOnly) && range.write(QStringLiteral("%1 %2\n").arg(first).arg(last).toLatin1()) > 0;
    }

private:
    int m_old = -1;
    bool m_ready = false;
};

struct Mode {
    bool async;
    bool active;
    std::string name() const { return std::string(async ? "async" : "sync") + (active ? " active" : " passive"); }
};
const Mode AllModes[] = {{false, false}, {true, false}, {false, true}, {true, true}};

class HostileServerTest : public Isolated {
protected:
    struct Outcome {
        QStringList messages; // the first line of each: what the box says happened
        QStringList texts;    // whole, with the reason below
        qint64 ms = 0;
        bool busy = true;
        bool running = true;
    };

    // One file of `size` bytes; the badge is missing, so the run sends only it.
    QString pageOfSize(qint64 size)
    {
        const QString file = path(QStringLiteral("strona.html"));
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_TRUE(f.resize(size));
        return file;
    }
    std::unique_ptr<TPubDlg> dialogFor(const ScriptedServer &server, const QString &file, Mode mode)
    {
        auto dialog = std::make_unique<TPubDlg>(QStringList{file}, path(QStringLiteral("brak.gif")));
        dialog->ED_Serwer->setText(QStringLiteral("127.0.0.1:%1").arg(server.port()));
        dialog->CB_Polaczenie->setCurrentIndex(0); // the hostile servers speak no TLS
        dialog->Ed_User->setText(QStringLiteral("jan"));
        dialog->ED_Haslo->setText(QStringLiteral("tajne"));
        dialog->CHK_Async->setChecked(mode.async);
        dialog->ftp.Passive = !mode.active;
        dialog->ftp.TimeoutMs = Deadline;
        if (qEnvironmentVariableIsSet("ZK_FTP_TRACE"))
            dialog->ftp.OnTrace = [](const QString &s, TTraceLevel) { std::fprintf(stderr, "%s\n", qPrintable(s)); };
        return dialog;
    }
    Outcome press(TPubDlg &dialog)
    {
        const qsizetype before = prompts.messages().size();
        QElapsedTimer t;
        t.start();
        dialog.Przycisk_OKClick();
        Outcome o;
        o.ms = t.elapsed();
        for (const auto &m : prompts.messages().mid(before)) {
            o.messages << m.text.section(u'\n', 0, 0);
            o.texts << m.text;
        }
        o.busy = dialog.ftp.Busy;
        o.running = dialog.isRunning();
        return o;
    }
    // How long each case took and what it showed, for the record of a run.
    static void report(const std::string &what, const Outcome &o)
    {
        std::printf("    %s: ended after %lld ms: %s\n", what.c_str(), static_cast<long long>(o.ms),
                    qPrintable(o.texts.join(QStringLiteral(" | ")).replace(u'\n', u' ')));
    }
    // A run that had to fail: one box with `message`, within `limitMs`, the
    // client idle, the progress bar never moved.
    void expectFailure(TPubDlg &dialog, const QString &message, qint64 limitMs, const std::string &what,
                       const QString &reason = {})
    {
        const Outcome o = press(dialog);
        report(what, o);
        EXPECT_EQ(o.messages, QStringList{message}) << what;
        if (!reason.isEmpty() && !o.texts.isEmpty()) {
            EXPECT_TRUE(o.texts[0].contains(QStringLiteral("\nPrzyczyna: ") + reason)) << what << ": " << o.texts[0].toStdString();
        }
        EXPECT_LT(o.ms, limitMs) << what;
        EXPECT_FALSE(o.busy) << what;
        EXPECT_FALSE(o.running) << what;
        EXPECT_EQ(dialog.Progress->value(), 0) << what << ": nothing counts as sent";
        dialog.done(QDialog::Rejected);
    }
    QString fileFailed(const QString &file) const { return QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!").arg(file); }
};

// The connection dropped in the middle of a file: the run logs in afresh,
// goes back into the folder and sends the file again, and succeeds.
TEST_F(HostileServerTest, ADroppedUploadIsSentAgainAfterAFreshLogin)
{
    for (const Mode mode : {Mode{false, false}, Mode{true, false}}) {
        QList<QJsonArray> again = {sleepFor(0.3), act("reaccept"), send("220 again\r\n"), expect(),
                                   send("331 password\r\n"), expect(), send("230 in\r\n"), expect(),
                                   send("200 binary\r\n"), expect(), send("250 ok\r\n"), expect(),
                                   pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("150 go\r\n"),
                                   act("data_recv"), send("226 done\r\n")};
        ScriptedServer server(script(untilStor(false) + again + recordUpload(), {quitCommand(), bye()}));
        const QString file = pageOfSize(70000);
        auto dialog = dialogFor(server, file, mode);
        const Outcome first = press(*dialog);
        report(mode.name() + " dropped mid-upload", first);
        EXPECT_EQ(first.messages, QStringList{Success}) << mode.name();
        EXPECT_FALSE(first.busy) << mode.name();
        EXPECT_LT(first.ms, 3 * Deadline) << mode.name();
        dialog->done(QDialog::Accepted);
        const QStringList t = server.transcript();
        EXPECT_EQ(t.count(QStringLiteral("USER jan")), 2) << mode.name();
        EXPECT_EQ(t.last(), QStringLiteral("QUIT")) << mode.name();
        EXPECT_TRUE(t.contains(QStringLiteral("DATA 70000"))) << mode.name();
    }
}

TEST_F(HostileServerTest, AServerThatEndsTheDataConnectionEarly)
{
    // 426, as pyftpdlib answers past a size limit; and 226 for a file it cut short.
    for (const char *finalReply : {"426 Connection closed; transfer aborted.\r\n", "226 Transfer complete.\r\n"}) {
        for (const Mode mode : AllModes) {
            ScriptedServer server(script(untilStor(mode.active), {act("data_recv_part", 100000), send(finalReply),
                                                                   quitCommand(), bye()}));
            const QString file = pageOfSize(40 << 20); // more than the connection's buffers hold
            auto dialog = dialogFor(server, file, mode);
            expectFailure(*dialog, fileFailed(file), 2 * Deadline, mode.name() + " " + std::string(finalReply, 3),
                          finalReply[0] == '4' ? QStringLiteral("serwer przerwał połączenie danych (odpowiedź serwera: 426 ")
                                               : QStringLiteral("serwer przestał przyjmować plik po "));
        }
    }
}

TEST_F(HostileServerTest, AServerThatNeverReadsOrNeverConnects)
{
    for (const Mode mode : AllModes) {
        ScriptedServer server(script(untilStor(mode.active), {act("data_hold"), sleepFor(8)}));
        const QString file = pageOfSize(40 << 20);
        auto dialog = dialogFor(server, file, mode);
        // The stalled transfer, then the fresh login a lost connection earns (no greeting comes).
        expectFailure(*dialog, fileFailed(file), 3 * Deadline + 500, mode.name() + " never reads",
                      QStringLiteral("przesyłanie ustało: w ciągu 1 s "));
    }
    for (const Mode mode : {Mode{false, true}, Mode{true, true}}) {
        ScriptedServer server(script(untilStor(true), {sleepFor(8)}));
        const QString file = pageOfSize(70000);
        auto dialog = dialogFor(server, file, mode);
        expectFailure(*dialog, fileFailed(file), 2 * Deadline + 500, mode.name() + " never connects after 150",
                      QStringLiteral("serwer nie nawiązał połączenia danych"));
    }
}

TEST_F(HostileServerTest, RepliesThatDripOrNeverEnd)
{
    const Mode mode{false, false};
    {
        // Every line within the deadline, the whole reply far beyond it.
        QList<QJsonArray> s = login();
        s << expect();
        for (int i = 0; i < 6; ++i)
            s << send("250-jeszcze chwila\r\n") << sleepFor(0.6);
        s << send("250 ok\r\n");
        ScriptedServer server(script(s, {sleepFor(3)}));
        auto dialog = dialogFor(server, pageOfSize(100), mode);
        expectFailure(*dialog, QStringLiteral("Połączenie z serwerem \"127.0.0.1:%1\" zostało przerwane!").arg(server.port()),
                      Deadline + 700, "a reply dripping line by line", QStringLiteral("serwer nie odpowiedział w ciągu 1 s"));
    }
    {
        ScriptedServer server(steps({act("flood")}));
        auto dialog = dialogFor(server, pageOfSize(100), mode);
        expectFailure(*dialog, QStringLiteral("Błąd przy próbie połączenia z \"127.0.0.1:%1\"!").arg(server.port()),
                      Deadline, "an endless greeting line", QStringLiteral("serwer przysłał wiersz odpowiedzi dłuższy niż 8 kB"));
    }
}

// RFC 959 lets the middle lines of a reply say anything: an error reply
// read whole leaves the session in step, so the folder is made and the file goes.
TEST_F(HostileServerTest, AMultiLineErrorWithUncodedLinesIsReadWhole)
{
    const Mode mode{false, false};
    const QList<QJsonArray> folderAndFile = {expect(), send("550-Folder www nie istnieje.\r\n"), send("linia bez kodu\r\n"),
                                             send("  i druga, wcięta\r\n"), send("550 Koniec.\r\n"), expect(), send("257 made\r\n"),
                                             expect(), send("250 ok\r\n"), expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"),
                                             expect(), send("150 go\r\n"), act("data_recv"), send("226 done\r\n")};
    ScriptedServer server(script(login() + folderAndFile + recordUpload(), {quitCommand(), bye()}));
    auto dialog = dialogFor(server, pageOfSize(100), mode);
    dialog->Ed_Folder->setText(QStringLiteral("www"));
    prompts.answerQuestion(true); // "Utworzyć?"
    const Outcome o = press(*dialog);
    report("an uncoded middle line", o);
    EXPECT_EQ(o.messages, QStringList{Success});
    dialog->done(QDialog::Accepted);
    EXPECT_EQ(server.transcript().mid(3, 3),
              (QStringList{QStringLiteral("CWD www"), QStringLiteral("MKD www"), QStringLiteral("CWD www")}));
}

// The server ends the session while the dialog waits between two runs:
// the second "Wyślij" logs in afresh without a word about the old one.
TEST_F(HostileServerTest, ASessionTheServerClosedWhileIdleIsReplacedSilently)
{
    for (const Mode mode : {Mode{false, false}, Mode{true, false}}) {
        const QList<QJsonArray> upload = {expect(), send("250 ok\r\n"), expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"),
                                          expect(), send("150 go\r\n"), act("data_recv"), send("226 done\r\n")};
        // The second run finds the page there at its size and sends only the record.
        QList<QJsonArray> s = login() + upload + recordUpload();
        s << act("answer", 0.3) << send("421 Idle timeout.\r\n") << act("reaccept");
        s += login();
        s << expect() << send("250 ok\r\n") << noRecord() << recordUpload();
        ScriptedServer server(script(s, {quitCommand(), bye()}));
        auto dialog = dialogFor(server, pageOfSize(100), mode);
        EXPECT_EQ(press(*dialog).messages, QStringList{Success}) << mode.name();
        const Outcome second = press(*dialog);
        report(mode.name() + " after an idle close", second);
        EXPECT_EQ(second.messages, QStringList{Success}) << mode.name();
        dialog->done(QDialog::Accepted);
        EXPECT_EQ(server.transcript().count(QStringLiteral("USER jan")), 2) << mode.name();
    }
}

TEST_F(HostileServerTest, AFinalReplyToStorBeforeAnyDataFailsAtOnce)
{
    for (const Mode mode : AllModes) {
        ScriptedServer server(script(untilStor(mode.active, "226 Transfer complete.\r\n"), {quitCommand(), bye()}));
        const QString file = pageOfSize(70000);
        auto dialog = dialogFor(server, file, mode);
        expectFailure(*dialog, fileFailed(file), Deadline / 2, mode.name() + " 226 without 150",
                      QStringLiteral("serwer odpowiedział na wysłanie pliku kodem 226, zanim przyszły dane"));
    }
}

// While "Utworzyć?" waits for the user the server ends the idle session:
// that is said, not a folder that could not be made.
TEST_F(HostileServerTest, ASessionEndedWhileTheFolderQuestionWaitsIsSaidAsSuch)
{
    const Mode mode{false, false};
    ScriptedServer server(script(login(), {expect(), send("550 No such directory.\r\n"), send("421 Idle timeout.\r\n"),
                                           act("drain")}));
    auto dialog = dialogFor(server, pageOfSize(100), mode);
    dialog->Ed_Folder->setText(QStringLiteral("www"));
    prompts.answerQuestion(true); // "Utworzyć?"
    expectFailure(*dialog, QStringLiteral("Połączenie z serwerem \"127.0.0.1:%1\" zostało przerwane!").arg(server.port()),
                  Deadline, "421 while the question waited");
}

TEST_F(HostileServerTest, AFloodOfUnaskedRepliesEndsTheRun)
{
    for (const Mode mode : {Mode{false, false}, Mode{true, false}}) {
        // The flood rides on the reply to CWD, so it is already there when the next command would go.
        QByteArray reply = "250 ok\r\n";
        for (int i = 0; i < 20; ++i)
            reply += "200 Jeszcze jedna odpowiedz.\r\n";
        ScriptedServer server(script(login(), {expect(), send(reply.constData()), act("flood_replies")}));
        auto dialog = dialogFor(server, pageOfSize(100), mode);
        expectFailure(*dialog, QStringLiteral("Błąd przy próbie połączenia z \"127.0.0.1:%1\"!").arg(server.port()), Deadline,
                      mode.name() + " unasked replies without end",
                      QStringLiteral("serwer bez końca przysyła odpowiedzi, o które nie pytano"));
    }
}

TEST_F(HostileServerTest, A421EndsTheRunWithoutANewLogin)
{
    for (const Mode mode : {Mode{false, false}, Mode{true, false}}) {
        {
            ScriptedServer server(script(login(), {expect(), send("421 Timeout.\r\n"), act("drain")}));
            auto dialog = dialogFor(server, pageOfSize(100), mode);
            expectFailure(*dialog,
                          QStringLiteral("Połączenie z serwerem \"127.0.0.1:%1\" zostało przerwane!").arg(server.port()),
                          Deadline, mode.name() + " 421 to CWD");
            EXPECT_EQ(server.transcript().count(QStringLiteral("USER jan")), 1) << "no silent second login";
            EXPECT_FALSE(server.transcript().contains(QStringLiteral("STOR strona.html")));
        }
        {
            ScriptedServer server(script(untilStor(false, "421 Going down.\r\n"), {act("drain")}));
            const QString file = pageOfSize(100);
            auto dialog = dialogFor(server, file, mode);
            expectFailure(*dialog, fileFailed(file), Deadline, mode.name() + " 421 to STOR",
                          QStringLiteral("serwer zakończył połączenie (odpowiedź serwera: 421 Going down.)"));
            EXPECT_EQ(server.transcript().count(QStringLiteral("USER jan")), 1);
        }
    }
}

TEST_F(HostileServerTest, ActiveModeTakesTheDataConnectionOnlyFromTheServer)
{
    for (const Mode mode : {Mode{false, true}, Mode{true, true}}) {
        ScriptedServer server(script(untilStor(true) + QList<QJsonArray>{act("stranger"), act("data_recv"), send("226 done\r\n")}
                                         + recordUpload(true),
                                     {quitCommand(), bye()}));
        auto dialog = dialogFor(server, pageOfSize(70000), mode);
        QStringList trace;
        dialog->ftp.OnTrace = [&](const QString &s, TTraceLevel) { trace << s; };
        EXPECT_EQ(press(*dialog).messages, QStringList{Success}) << mode.name();
        EXPECT_TRUE(trace.contains(QStringLiteral("Refused data connection from 127.0.0.2"))) << mode.name();
        dialog->done(QDialog::Accepted);
        EXPECT_TRUE(server.transcript().contains(QStringLiteral("DATA 70000"))) << mode.name() << ": the data went to the server";
    }
}

// Where no local port is free for the data connection (thousands of files
// in active mode can leave every one in TIME_WAIT), the run says so and the
// server never gets a PORT command naming port 0.
TEST_F(HostileServerTest, ActiveModeWithNoPortFree)
{
    OwnNetwork network;
    if (!network.ready())
        GTEST_SKIP() << "needs root for a network of its own";
    ScriptedServer server(script(login(), {expect(), send("250 ok\r\n"), quitCommand(), bye()}));
    ASSERT_TRUE(network.narrowPorts(50000, 50000)); // the control connection takes the only one
    const QString file = pageOfSize(100);
    auto dialog = dialogFor(server, file, Mode{false, true});
    expectFailure(*dialog, fileFailed(file), Deadline, "no port free", QStringLiteral("brak wolnego portu na tym komputerze"));
    const QStringList transcript = server.transcript();
    EXPECT_FALSE(transcript.join(u'\n').contains(QStringLiteral("PORT"))) << transcript.join(u'|').toStdString();
    EXPECT_TRUE(transcript.contains(QStringLiteral("QUIT"))) << "the session still ends in order";
}

TEST_F(HostileServerTest, ClosingDuringAnAsynchronousRunAsksOnceAndEndsAtOnce)
{
    ScriptedServer server(script(untilStor(false), {act("data_hold"), sleepFor(10)}));
    auto dialog = dialogFor(server, pageOfSize(40 << 20), Mode{true, false});
    dialog->ftp.TimeoutMs = 20000; // the close, not the deadline, must end this run
    dialog->show();
    prompts.answerQuestion(true);
    QElapsedTimer closing;
    QTimer::singleShot(500, dialog.get(), [&] {
        closing.start();
        dialog->close(); // the title bar's close box
    });
    const Outcome o = press(*dialog);
    std::printf("    closed during an asynchronous run: ended %lld ms after the close\n",
                static_cast<long long>(closing.elapsed()));
    EXPECT_LT(closing.elapsed(), 2000) << "the run ends within two seconds of the answer";
    EXPECT_TRUE(o.messages.isEmpty()) << "a cancelled run shows no error";
    EXPECT_EQ(prompts.calls().size(), 1) << "one question";
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(o.busy);
}

// Asynchronously a command's reply is awaited with the window alive: the
// close box works while the server sits on its answer to CWD.
TEST_F(HostileServerTest, ClosingWhileTheServerSitsOnAReplyEndsTheAsynchronousRunAtOnce)
{
    ScriptedServer server(script(login(), {expect(), sleepFor(10)}));
    auto dialog = dialogFor(server, pageOfSize(100), Mode{true, false});
    dialog->ftp.TimeoutMs = 20000;
    dialog->show();
    prompts.answerQuestion(true);
    QElapsedTimer closing;
    QTimer::singleShot(500, dialog.get(), [&] {
        closing.start();
        dialog->close();
    });
    const Outcome o = press(*dialog);
    std::printf("    closed while CWD waits for its reply (async): ended %lld ms after the close\n",
                static_cast<long long>(closing.elapsed()));
    ASSERT_TRUE(closing.isValid()) << "the close box was handled during the wait";
    EXPECT_LT(closing.elapsed(), 2000);
    EXPECT_TRUE(o.messages.isEmpty()) << "a cancelled run shows no error";
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(o.running);
}

TEST_F(HostileServerTest, NamesWithLineBreaksAreRefusedBeforeAnythingIsSent)
{
    ScriptedServer server(steps({send("220 ready\r\n"), act("drain")}));
    auto dialog = dialogFor(server, pageOfSize(100), Mode{false, false});
    dialog->Ed_Folder->setText(QStringLiteral("www\r\nDELE index.html"));
    expectFailure(*dialog,
                  QStringLiteral("Nazwa \"www  DELE index.html\" zawiera znak końca wiersza, którego nie można wysłać na serwer!"),
                  Deadline, "a folder with CR LF");
    EXPECT_EQ(server.transcript(2000), QStringList{}) << "not even USER";
}

} // namespace
