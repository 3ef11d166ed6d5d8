#include "Eventually.h"
#include "Isolated.h"
#include "Kreator.h"
#include "ProjectFile.h"
#include "PublishLogic.h"
#include "RealPrompts.h"
#include "Servers.h"
#include "SettingsKeys.h"
#include "ftp.h"
#include "publikow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QJsonArray>
#include <QTest>
#include <QElapsedTimer>
#include <csignal>
#include <QTimer>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>

using namespace zk;
using namespace zk::testing;

namespace {

QByteArray randomBytes(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator random{quint32(n) + 7};
    for (char &c : b)
        c = char(random.generate());
    return b;
}

// "AB:CD:..." of the certificate in a PEM file, as a browser shows it.
QString fingerprintOf(const QString &pem)
{
    QByteArray text = readFile(pem);
    text = text.mid(text.indexOf('\n') + 1);
    text.truncate(text.indexOf("-----END"));
    return QString::fromLatin1(QCryptographicHash::hash(QByteArray::fromBase64(text), QCryptographicHash::Sha256).toHex(':').toUpper());
}

class Ftps : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        certificates = testCertificates();
        if (certificates.isEmpty())
            GTEST_SKIP() << "no certificates (python3-cryptography)";
    }
    void configure(T_FTP &ftp, quint16 port, const QString &user = QStringLiteral("anonymous"))
    {
        ftp.Hostname = QStringLiteral("127.0.0.1");
        ftp.Port = port;
        ftp.Username = user;
        ftp.Password = QStringLiteral("tajne hasło");
        ftp.Security = FtpSecurity::ExplicitTls;
        ftp.TimeoutMs = 5000;
        ftp.OnTrace = [this](const QString &s, TTraceLevel level) {
            if (qEnvironmentVariableIsSet("ZK_FTP_TRACE"))
                fprintf(stderr, "%s\n", qPrintable(s));
            trace << s;
            if (level == tt_command)
                commands << s.section(u' ', 0, 0);
        };
    }
    void upload(T_FTP &ftp, const QString &name, const QByteArray &data)
    {
        ftp.URI = name;
        ftp.DataStream.clear();
        ftp.DataStream.data = data;
        bool done = false;
        ftp.OnActionComplete = [&](QObject *, t_ftp_mode) { done = true; };
        ftp.Upload();
        const QDeadlineTimer deadline(30000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ftp.OnActionComplete = nullptr;
        ASSERT_TRUE(done) << name.toStdString() << "\n" << trace.join(u'\n').toStdString();
    }
    ETlsError loginFailure(T_FTP &ftp)
    {
        try {
            ftp.OpenSession();
        } catch (const ETlsError &e) {
            return e;
        }
        ADD_FAILURE() << "logged in\n" << trace.join(u'\n').toStdString();
        return ETlsError(ETlsError::Kind::Refused, {});
    }
    QString certificates;
    QStringList trace;
    QStringList commands;
};

// vsftpd requiring TLS for the login and the data, and the control
// connection's session on every data connection: both modes, both ways
// of connecting for data; every file lands byte for byte and reads back.
TEST_F(Ftps, VsftpdWithTlsRequiredTakesEveryUploadInEveryMode)
{
    VsFtpServer server(certificates + QStringLiteral("good.pem"));
    if (!server.isUp())
        GTEST_SKIP() << "vsftpd could not be started";
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(variant);
        trace.clear();
        commands.clear();
        T_FTP ftp;
        ftp.Passive = variant % 2 == 0;
        ftp.Async = variant >= 2;
        configure(ftp, server.port());
        ftp.OpenSession();
        EXPECT_TRUE(ftp.tls().verified) << ftp.tls().problem.toStdString();
        EXPECT_TRUE(ftp.tls().version.startsWith(QStringLiteral("TLSv1."))) << ftp.tls().version.toStdString();
        EXPECT_EQ(commands.mid(0, 5), (QStringList{QStringLiteral("AUTH"), QStringLiteral("USER"), QStringLiteral("PASS"),
                                                   QStringLiteral("PBSZ"), QStringLiteral("PROT")}));
        ftp.ChangeDir(QStringLiteral("upload"));
        for (qsizetype size : {0, 1, 70000, 3000000}) {
            const QString name = QStringLiteral("t%1_%2.bin").arg(variant).arg(size);
            const QByteArray data = randomBytes(size);
            upload(ftp, name, data);
            EXPECT_EQ(readFile(server.uploadFolder() + name), data) << name.toStdString();
        }
        ftp.URI = QStringLiteral("t%1_70000.bin").arg(variant);
        ftp.Download();
        EXPECT_EQ(ftp.DataStream.data, readFile(server.uploadFolder() + ftp.URI));
        ftp.ListDir(QStringLiteral("."));
        EXPECT_TRUE(ftp.Listing.join(u'\n').contains(QStringLiteral("t%1_3000000.bin").arg(variant)));
        ftp.CloseSession();
        EXPECT_EQ(trace.filter(QStringLiteral(", session resumed")).size(), 6)
            << "four uploads, a download and a listing, each resuming the control session\n"
            << trace.join(u'\n').toStdString();
        EXPECT_EQ(trace.filter(QStringLiteral("PASS ******")).size(), 1);
    }
}

TEST_F(Ftps, PyftpdlibTlsHandlerTakesUploadsSynchronousAndAsynchronous)
{
    const QString root = folder(QStringLiteral("serwer"));
    TlsHelperServer server({QStringLiteral("serve"), root, certificates + QStringLiteral("good.pem"),
                            certificates + QStringLiteral("good.key"), QStringLiteral("jan"), QStringLiteral("tajne hasło")});
    ASSERT_NE(server.port(), 0);
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(variant);
        T_FTP ftp;
        ftp.Passive = variant % 2 == 0;
        ftp.Async = variant >= 2;
        configure(ftp, server.port(), QStringLiteral("jan"));
        ftp.OpenSession();
        const QString name = QStringLiteral("zdjęcie_%1.gif").arg(variant);
        const QByteArray data = randomBytes(200000);
        upload(ftp, name, data);
        EXPECT_EQ(readFile(root + name).size(), data.size());
        EXPECT_TRUE(readFile(root + name) == data) << trace.join(u'\n').toStdString();
        ftp.CloseSession();
    }
}

// A certificate that cannot be verified stops the login before the user's
// name and password go out; the one the user trusted lets it through, and
// another one in its place is told apart.
TEST_F(Ftps, AnUnverifiedCertificateStopsTheLoginUntilTheUserTrustsThatVeryOne)
{
    const struct {
        const char *name;
        const char *problem;
    } cases[] = {
        {"self", "certyfikat podpisał sam serwer, a nie zaufany urząd certyfikacji"},
        {"expired", "certyfikat serwera wygasł"},
        {"wronghost", "certyfikat wystawiono dla innej nazwy serwera"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString pem = certificates + QString::fromLatin1(c.name) + QStringLiteral(".pem");
        VsFtpServer server(pem);
        if (!server.isUp())
            GTEST_SKIP() << "vsftpd could not be started";
        commands.clear();
        T_FTP ftp;
        configure(ftp, server.port());
        const ETlsError e = loginFailure(ftp);
        EXPECT_EQ(e.kind, ETlsError::Kind::Certificate);
        EXPECT_EQ(e.problem, QString::fromUtf8(c.problem));
        EXPECT_EQ(e.fingerprint, fingerprintOf(pem));
        EXPECT_FALSE(e.changed);
        EXPECT_EQ(commands, QStringList{QStringLiteral("AUTH")}) << "no name, no password";
        EXPECT_FALSE(ftp.Connected);

        ftp.TrustedFingerprint = e.fingerprint;
        ftp.OpenSession();
        ftp.ChangeDir(QStringLiteral("upload"));
        upload(ftp, QStringLiteral("zaufany.bin"), "trusted");
        EXPECT_EQ(readFile(server.uploadFolder() + QStringLiteral("zaufany.bin")), QByteArray("trusted"));
        ftp.CloseSession();

        ftp.TrustedFingerprint = fingerprintOf(certificates + QStringLiteral("good.pem"));
        const ETlsError changed = loginFailure(ftp);
        EXPECT_TRUE(changed.changed) << "a different certificate than the one trusted before";
    }
}

TEST_F(Ftps, AServerWithoutTlsIsNeverSentTheNameOrPassword)
{
    const QString root = folder(QStringLiteral("jawny"));
    PyFtpServer server(root, QStringLiteral("jan"), QStringLiteral("tajne hasło"));
    ASSERT_TRUE(server.isUp());
    T_FTP ftp;
    configure(ftp, server.port(), QStringLiteral("jan"));
    const ETlsError e = loginFailure(ftp);
    EXPECT_EQ(e.kind, ETlsError::Kind::Refused);
    EXPECT_TRUE(e.problem.startsWith(QStringLiteral("5"))) << e.problem.toStdString();
    EXPECT_EQ(commands, QStringList{QStringLiteral("AUTH")});
    EXPECT_FALSE(ftp.Connected);
}

// A server that drops the connection in the handshake, and one that never
// answers it: both end in a message, the second by the deadline.
TEST_F(Ftps, AHandshakeThatIsDroppedOrNeverAnsweredEnds)
{
    for (const char *mode : {"drop", "silent"}) {
        SCOPED_TRACE(mode);
        commands.clear();
        TlsHelperServer server({QString::fromLatin1(mode)});
        ASSERT_NE(server.port(), 0);
        T_FTP ftp;
        configure(ftp, server.port());
        ftp.TimeoutMs = 1500;
        const ETlsError e = loginFailure(ftp);
        EXPECT_EQ(e.kind, ETlsError::Kind::Handshake);
        if (QByteArray(mode) == "silent") {
            EXPECT_EQ(e.problem, QStringLiteral("serwer nie dokończył uzgadniania szyfrowania w ciągu 1.5 s"));
        }
        EXPECT_EQ(commands, QStringList{QStringLiteral("AUTH")});
        EXPECT_FALSE(ftp.Connected);
    }
}

// The publish dialog on a server whose certificate the system does not
// trust, through the real message boxes and real keys: the "BŁĄD!" box says
// why and shows the fingerprint; Escape (No) sends nothing, Enter (Yes)
// trusts that certificate for that server and the files go; the next run
// asks nothing.
TEST_F(Ftps, ThePublishDialogAsksOnceToTrustAnUnverifiedCertificate)
{
    const QString pem = certificates + QStringLiteral("self.pem");
    VsFtpServer server(pem);
    if (!server.isUp())
        GTEST_SKIP() << "vsftpd could not be started";
    RealPrompts real;
    const QString page = path(QStringLiteral("strona.html"));
    writeFile(page, "<HTML></HTML>");
    TPubDlg dialog({page}, path(QStringLiteral("brak.gif")));
    EXPECT_EQ(dialog.CB_Polaczenie->currentText(), QStringLiteral("FTP z szyfrowaniem TLS (zalecane)")) << "a new profile encrypts";
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.port());
    dialog.ED_Serwer->setText(address);
    dialog.Ed_User->setText(QStringLiteral("anonymous"));
    dialog.Ed_Folder->setText(QStringLiteral("upload"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    const auto runWithKeys = [&](QList<Qt::Key> keys) {
        QStringList seen;
        QTimer answer;
        answer.setInterval(20);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || seen.size() > 5)
                return;
            seen << box->windowTitle() + u'|' + box->text();
            QTest::keyClick(box, keys.isEmpty() ? Qt::Key_Escape : keys.takeFirst());
        });
        answer.start();
        dialog.ED_Serwer->setFocus();
        QTest::keyClick(dialog.ED_Serwer, Qt::Key_Return);
        return seen;
    };
    QStringList seen = runWithKeys({Qt::Key_Escape});
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("BŁĄD!|Nie można zweryfikować certyfikatu serwera \"%1\": certyfikat podpisał sam serwer")
                                       .arg(address)))
        << seen[0].toStdString();
    EXPECT_TRUE(seen[0].contains(fingerprintOf(pem)));
    EXPECT_FALSE(QFile::exists(server.uploadFolder() + QStringLiteral("strona.html"))) << "No: nothing sent";

    seen = runWithKeys({Qt::Key_Return, Qt::Key_Return});
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1], QStringLiteral("Informacja!|Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!\n"
                                      "Folder na serwerze: %1").arg(QDir(server.uploadFolder()).absolutePath()));
    EXPECT_EQ(readFile(server.uploadFolder() + QStringLiteral("strona.html")), QByteArray("<HTML></HTML>"));
    EXPECT_EQ(trustedFingerprint(*registry, address), fingerprintOf(pem));

    seen = runWithKeys({Qt::Key_Return});
    ASSERT_EQ(seen.size(), 1) << "trusted once, asked once";
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("Informacja!|")));
    dialog.done(QDialog::Accepted);
    EXPECT_EQ(registry->readText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QStringLiteral("Polaczenie"), {}),
              QStringLiteral("FTPS"));
}

} // namespace

namespace {

// The window hands the publish dialog the connection its project says,
// whatever the settings held from before: a TLS project never sends the
// name or the password before TLS, a clear-text one publishes in clear text.
TEST_F(Ftps, TheConnectionIsTheProjectsInTheWindowsPublishDialog)
{
    const QString projectFolder = folder(QStringLiteral("projekty"));
    const auto openInWindow = [&](bool tls, quint16 port, const QString &user) {
        Project p;
        p.page.Edit_Nazwa = QStringLiteral("index.html");
        p.profile = PublishProfile{QStringLiteral("127.0.0.1:%1").arg(port), user, QStringLiteral("."), false, tls};
        const QString file = projectFolder + (tls ? QStringLiteral("tls.zentarek") : QStringLiteral("jawny.zentarek"));
        EXPECT_EQ(writeProjectFile(p, file), std::nullopt);
        registry->writeText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QStringLiteral("Polaczenie"),
                            tls ? ConnectionPlain : ConnectionTls); // what an earlier run left
        auto window = std::make_unique<TKreatorDlg>(programFolderWithBadge());
        EXPECT_TRUE(window->openProject(file));
        return window;
    };
    const QString page = path(QStringLiteral("index.html"));
    writeFile(page, "<HTML>piekarnia</HTML>");

    QJsonArray script;
    for (const char *text : std::initializer_list<const char *>{"220 ready\r\n", nullptr, "502 no TLS here\r\n", nullptr, "221 bye\r\n"})
        script.append(text ? QJsonArray{QStringLiteral("send"), QString::fromLatin1(text)} : QJsonArray{QStringLiteral("expect")});
    script.append(QJsonArray{QStringLiteral("drain")});
    ScriptedServer plainOnly(script);
    {
        auto window = openInWindow(true, plainOnly.port(), QStringLiteral("jan"));
        TPubDlg dialog({page}, path(QStringLiteral("brak.gif")), window.get());
        EXPECT_EQ(dialog.CB_Polaczenie->currentIndex(), 1);
        dialog.ED_Haslo->setText(QStringLiteral("tajne hasło"));
        dialog.ftp.TimeoutMs = 5000;
        dialog.Przycisk_OKClick();
        dialog.done(QDialog::Rejected);
        window->hide();
    }
    const QStringList sent = plainOnly.transcript();
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.first(), QStringLiteral("AUTH TLS"));
    for (const QString &command : sent)
        EXPECT_FALSE(command.startsWith(QStringLiteral("USER")) || command.startsWith(QStringLiteral("PASS"))) << command.toStdString();
    EXPECT_FALSE(prompts.messages().isEmpty()) << "the refusal is told";
    prompts.clear();

    const QString root = folder(QStringLiteral("jawny"));
    PyFtpServer clear(root, QStringLiteral("jan"), QStringLiteral("tajne hasło"));
    ASSERT_TRUE(clear.isUp());
    auto window = openInWindow(false, clear.port(), QStringLiteral("jan"));
    TPubDlg dialog({page}, path(QStringLiteral("brak.gif")), window.get());
    EXPECT_EQ(dialog.CB_Polaczenie->currentIndex(), 0);
    dialog.ED_Haslo->setText(QStringLiteral("tajne hasło"));
    dialog.ftp.TimeoutMs = 5000;
    dialog.Przycisk_OKClick();
    EXPECT_EQ(readFile(root + QStringLiteral("index.html")), QByteArray("<HTML>piekarnia</HTML>"));
    dialog.done(QDialog::Accepted);
    window->hide();
    prompts.clear();
}

} // namespace

namespace {

// The publish dialog set for one TLS upload of `file` to 127.0.0.1:`port`.
std::unique_ptr<TPubDlg> tlsDialog(const QString &file, const QString &badge, quint16 port, bool async, int timeoutMs)
{
    auto dialog = std::make_unique<TPubDlg>(QStringList{file}, badge);
    dialog->ED_Serwer->setText(QStringLiteral("127.0.0.1:%1").arg(port));
    dialog->CB_Polaczenie->setCurrentIndex(1);
    dialog->Ed_User->setText(QStringLiteral("jan"));
    dialog->ED_Haslo->setText(QStringLiteral("tajne"));
    dialog->CHK_Async->setChecked(async);
    dialog->ftp.TimeoutMs = timeoutMs;
    return dialog;
}

// A server (or a firewall) resetting the TLS connection in each phase of a
// run, twenty times each, both modes: the program never dies of SIGPIPE
// and every run ends in one message within the deadline.
TEST_F(Ftps, AResetInAnyPhaseEndsInOneMessageAndNeverEndsTheProgram)
{
    std::signal(SIGPIPE, SIG_DFL); // as a program that never asked to ignore it: a write to a reset socket would kill it
    const QString file = path(QStringLiteral("strona.html"));
    writeFile(file, QByteArray(4 << 20, 'x')); // still being sent when the data connection is reset
    for (const char *phase : {"login", "folder", "stor", "data", "final"}) {
        TlsHelperServer server({QStringLiteral("reset"), certificates + QStringLiteral("good.pem"),
                                certificates + QStringLiteral("good.key"), QString::fromLatin1(phase)});
        ASSERT_NE(server.port(), 0);
        for (const bool async : {false, true}) {
            QStringList seen;
            qint64 longest = 0;
            for (int round = 0; round < 20; ++round) {
                prompts.clear();
                const auto dialog = tlsDialog(file, path(QStringLiteral("brak.gif")), server.port(), async, 3000);
                dialog->Ed_Folder->setText(QStringLiteral("www"));
                QElapsedTimer t;
                t.start();
                dialog->Przycisk_OKClick();
                ASSERT_EVENTUALLY(!dialog->isRunning(), 10000);
                longest = std::max(longest, t.elapsed());
                ASSERT_EQ(prompts.messages().size(), 1) << phase << (async ? " async" : " sync") << " round " << round;
                const QString text = prompts.messages()[0].text;
                EXPECT_TRUE(text.startsWith(QStringLiteral("Błąd")) || text.contains(QStringLiteral("zostało przerwane")))
                    << text.toStdString();
                if (!seen.contains(text))
                    seen << text;
                dialog->done(QDialog::Rejected);
            }
            EXPECT_LT(longest, 3000) << phase << ": a reset is no time-out";
            std::printf("    reset at %s (%s): longest %lld ms: %s\n", phase, async ? "async" : "sync",
                        static_cast<long long>(longest), qPrintable(seen.join(QStringLiteral(" | "))));
        }
    }
    prompts.clear();
}

} // namespace

namespace {

// A server that takes the whole file over TLS and then neither closes the
// data connection nor answers: one deadline for the missing 226, and only
// a short wait for its close, not another deadline.
TEST_F(Ftps, AServerThatTakesTheFileAndNeverAnswersCostsOneDeadline)
{
    const QString file = path(QStringLiteral("strona.html"));
    writeFile(file, QByteArray(300000, 'x'));
    for (const bool async : {false, true}) {
        TlsHelperServer server({QStringLiteral("reset"), certificates + QStringLiteral("good.pem"),
                                certificates + QStringLiteral("good.key"), QStringLiteral("hold")});
        ASSERT_NE(server.port(), 0);
        prompts.clear();
        const auto dialog = tlsDialog(file, path(QStringLiteral("brak.gif")), server.port(), async, 1500);
        QElapsedTimer t;
        t.start();
        dialog->Przycisk_OKClick();
        ASSERT_EVENTUALLY(!dialog->isRunning(), 10000);
        const qint64 ms = t.elapsed();
        std::printf("    226 withheld over TLS (%s): %lld ms\n", async ? "async" : "sync", static_cast<long long>(ms));
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!\n"
                                                             "Przyczyna: serwer nie potwierdził odebrania pliku w ciągu 1.5 s.")
                                                  .arg(file));
        // One deadline for the reply, one for the fresh login a lost connection
        // earns (this server greets no second time), and the close no third.
        EXPECT_LT(ms, 2 * 1500 + 1300) << "the close is not another deadline";
        dialog->done(QDialog::Rejected);
    }
    prompts.clear();
}

// Asynchronously nothing waits inside a notification: with the final reply
// withheld, Escape brings the real question at once, and "Tak" (Enter) ends
// the run and closes the dialog within two seconds, long before the deadline.
TEST_F(Ftps, EscapeWhileTheFinalReplyIsWithheldEndsTheAsynchronousRunAtOnce)
{
    const QString file = path(QStringLiteral("strona.html"));
    writeFile(file, QByteArray(300000, 'x'));
    TlsHelperServer server({QStringLiteral("reset"), certificates + QStringLiteral("good.pem"),
                            certificates + QStringLiteral("good.key"), QStringLiteral("hold")});
    ASSERT_NE(server.port(), 0);
    RealPrompts real;
    const auto dialog = tlsDialog(file, path(QStringLiteral("brak.gif")), server.port(), true, 20000);
    QStringList states;
    dialog->ftp.OnTrace = [&](const QString &line, TTraceLevel) {
        if (line.startsWith(QStringLiteral("Transfer ")))
            states << line;
    };
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QElapsedTimer sinceEscape, sinceAnswer;
    QString question;
    QTimer keys;
    keys.setInterval(20);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        // Each key from a timer of its own: a box opened from this slot would
        // keep this timer from firing again.
        if (box && box->isVisible() && question.isEmpty()) {
            question = box->text();
            sinceAnswer.start();
            QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Return); });
        } else if (!sinceEscape.isValid() && dialog->ftp.transferState() == FtpTransfer::FinalReply) {
            sinceEscape.start();
            QTimer::singleShot(0, dialog.get(), [&] { QTest::keyClick(dialog.get(), Qt::Key_Escape); });
        }
    });
    keys.start();
    dialog->ED_Serwer->setFocus();
    QElapsedTimer run;
    run.start();
    QTest::keyClick(dialog->ED_Serwer, Qt::Key_Return);
    ASSERT_EVENTUALLY(!dialog->isRunning(), 30000);
    keys.stop();
    ASSERT_TRUE(sinceEscape.isValid()) << "the file went and the final reply was awaited";
    ASSERT_TRUE(sinceAnswer.isValid()) << "Escape asked";
    std::printf("    Escape while 226 is withheld (async, TLS): the question after %lld ms, the run over %lld ms after \"Tak\"\n",
                static_cast<long long>(sinceEscape.elapsed() - sinceAnswer.elapsed()), static_cast<long long>(sinceAnswer.elapsed()));
    EXPECT_EQ(question, QStringLiteral("Czy przerwać przesyłanie plików na serwer?"));
    EXPECT_LT(sinceEscape.elapsed(), 2000);
    EXPECT_LT(run.elapsed(), 5000) << "the 20-second deadline played no part";
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->ftp.Busy);
    EXPECT_TRUE(states.contains(QStringLiteral("Transfer sending -> final reply"))) << states.join(u'|').toStdString();
}

} // namespace
