// The program run from a script: --publish against pyftpdlib, --build,
// --help and the command line's mistakes, through the real executable.
#include "CommandLine.h"
#include "Isolated.h"
#include "ProjectFile.h"
#include "Servers.h"
#include "SshServer.h"

#include <QDir>
#include "PageGenerator.h"

#include <QProcess>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::PyFtpServer;

namespace {

struct Ran {
    int status = -1;
    QString err;
    QString out;
};

class CommandLineTest : public Isolated {
protected:
    Ran runProgram(const QStringList &arguments, const QString &password = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.remove(QStringLiteral("DISPLAY")); // no window, so no display is needed
        if (!password.isNull())
            env.insert(QStringLiteral("ZENTAREK_PASSWORD"), password);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ZK_APP_DIR "/zentarek"), arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError()),
                QString::fromLocal8Bit(p.readAllStandardOutput())};
    }
    // A project in its own folder with a logo beside it and a picture below it.
    QString writeProject(quint16 port, const QString &folderOnServer, bool tls = false, const QString &webAddress = {})
    {
        const QString projectFolder = folder(QStringLiteral("Moja strona"));
        writeFile(projectFolder + QStringLiteral("logo.gif"), QByteArray(4000, 'L'));
        QDir().mkpath(projectFolder + QStringLiteral("zdjęcia"));
        writeFile(projectFolder + QStringLiteral("zdjęcia/kot.jpg"), QByteArray(90000, 'K'));
        Project p;
        p.page.Edit_Nazwa = QStringLiteral("index.html");
        p.page.Check_Uklad_Logo = true;
        p.page.Edit_Uklad_Logo = projectFolder + QStringLiteral("logo.gif");
        p.mainText = QStringLiteral("<P>Kot: <IMG SRC=\"zdjęcia/kot.jpg\">\n");
        p.profile = {QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("jan"), folderOnServer, false, tls};
        p.page.Edit_Adres_Strony = webAddress;
        const QString file = projectFolder + QStringLiteral("strona.zentarek");
        EXPECT_EQ(writeProjectFile(p, file), std::nullopt);
        return file;
    }
};

TEST_F(CommandLineTest, PublishSendsThePageAndItsFilesWithTheProjectsProfile)
{
    const QString root = folder(QStringLiteral("ftproot"));
    PyFtpServer server(root, QStringLiteral("jan"), QStringLiteral("tajne hasło"));
    if (!server.isUp())
        GTEST_SKIP() << "pyftpdlib could not be started";
    const QString project = writeProject(server.port(), QStringLiteral("www/żółw"));

    const Ran ran = runProgram({QStringLiteral("--publish"), project}, QStringLiteral("tajne hasło"));
    EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
    EXPECT_TRUE(ran.err.contains(QStringLiteral("Folder \"www\" nie istnieje na serwerze. Utworzyć?"))) << ran.err.toStdString();
    EXPECT_TRUE(ran.err.contains(QStringLiteral("100%  index.html"))) << "the page goes last: " << ran.err.toStdString();
    EXPECT_LT(ran.err.indexOf(QStringLiteral("zenanim.gif")), ran.err.indexOf(QStringLiteral("index.html"))) << "the badge before the page";
    EXPECT_TRUE(ran.err.trimmed().endsWith(QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!")));
    const QString target = root + QStringLiteral("www/żółw/");
    EXPECT_TRUE(zk::testing::readFile(target + QStringLiteral("index.html")).contains("SRC=\"zdj\xEA" "cia/kot.jpg\""))
        << "the page in ISO-8859-2, its reference as typed";
    EXPECT_EQ(zk::testing::readFile(target + QStringLiteral("logo.gif")), QByteArray(4000, 'L'));
    EXPECT_EQ(zk::testing::readFile(target + QStringLiteral("zdjęcia/kot.jpg")), QByteArray(90000, 'K'));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("zenanim.gif")));
}

// A republish sends what changed; --dry-run says what would go and sends nothing.
TEST_F(CommandLineTest, ARepublishSendsOnlyWhatChangedAndADryRunSendsNothing)
{
    const QString root = folder(QStringLiteral("ftproot"));
    PyFtpServer server(root, QStringLiteral("jan"), QStringLiteral("tajne"));
    if (!server.isUp())
        GTEST_SKIP() << "pyftpdlib could not be started";
    const QString project = writeProject(server.port(), QStringLiteral("www"));
    ASSERT_EQ(runProgram({QStringLiteral("--publish"), project}, QStringLiteral("tajne")).status, 0);
    EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("www/.zentarek-manifest.json")));

    const QString photo = QFileInfo(project).path() + QStringLiteral("/zdjęcia/kot.jpg");
    writeFile(photo, QByteArray(90000, 'k')); // another photo of the same size
    const QByteArray before = zk::testing::readFile(root + QStringLiteral("www/zdjęcia/kot.jpg"));
    const Ran dry = runProgram({QStringLiteral("--publish"), project, QStringLiteral("--dry-run")}, QStringLiteral("tajne"));
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.err.contains(QStringLiteral("Pliki nowe: 0, zmienione: 1, brakujące na serwerze: 0, do usunięcia: 0, bez zmian: 3")))
        << dry.err.toStdString();
    EXPECT_TRUE(dry.err.contains(QStringLiteral("Zmienione: zdjęcia/kot.jpg"))) << dry.err.toStdString();
    EXPECT_TRUE(dry.err.contains(QStringLiteral("Próba: nic nie zostało wysłane ani usunięte."))) << dry.err.toStdString();
    EXPECT_EQ(zk::testing::readFile(root + QStringLiteral("www/zdjęcia/kot.jpg")), before);

    const Ran again = runProgram({QStringLiteral("--publish"), project}, QStringLiteral("tajne"));
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains(QStringLiteral("zdjęcia/kot.jpg"))) << again.err.toStdString();
    EXPECT_FALSE(again.err.contains(QStringLiteral("100%  index.html"))) << "the page, built anew but the same, stays: "
                                                                          << again.err.toStdString();
    EXPECT_EQ(zk::testing::readFile(root + QStringLiteral("www/zdjęcia/kot.jpg")), QByteArray(90000, 'k'));
}

// Over SFTP a new server key stops the run with its fingerprint, and
// --trust-host-key lets exactly that key through, for this run only.
TEST_F(CommandLineTest, OverSftpANewKeyIsNamedAndOnlyTheKeyGivenWithTrustHostKeyIsAccepted)
{
    zk::testing::SshServer server;
    ASSERT_TRUE(server.isUp()) << server.log().toStdString();
    server.installClientKey();
    const QString project = writeProject(server.port(), QStringLiteral("www"));
    Project p = *readProjectFile(project).project;
    p.profile.sftp = true;
    p.profile.user = zk::testing::currentUserName();
    ASSERT_EQ(writeProjectFile(p, project), std::nullopt);
    ASSERT_TRUE(readProjectFile(project).project->profile.sftp) << "the project keeps the protocol";
    const QString fingerprint = server.fingerprint(QStringLiteral("ed25519"));

    const Ran unknown = runProgram({QStringLiteral("--publish"), project});
    EXPECT_NE(unknown.status, 0);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("Odcisk klucza: ") + fingerprint)) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("--trust-host-key ") + fingerprint)) << unknown.err.toStdString();
    const QString other = QStringLiteral("SHA256:") + QString(43, u'A');
    EXPECT_NE(runProgram({QStringLiteral("--publish"), project, QStringLiteral("--trust-host-key"), other}).status, 0);
    EXPECT_FALSE(QFileInfo::exists(server.root() + QStringLiteral("/www/index.html")));

    const Ran trusted = runProgram({QStringLiteral("--publish"), project, QStringLiteral("--trust-host-key"), fingerprint});
    EXPECT_EQ(trusted.status, 0) << trusted.err.toStdString();
    EXPECT_EQ(zk::testing::readFile(server.root() + QStringLiteral("/www/zdjęcia/kot.jpg")), QByteArray(90000, 'K'));
    EXPECT_TRUE(QFileInfo::exists(server.root() + QStringLiteral("/www/.zentarek-manifest.json")));
    EXPECT_NE(runProgram({QStringLiteral("--publish"), project}).status, 0) << "trusted for that run only";
}

TEST_F(CommandLineTest, APublishThatFailsSaysWhyAndEndsWithAnErrorStatus)
{
    const QString root = folder(QStringLiteral("ftproot"));
    PyFtpServer server(root, QStringLiteral("jan"), QStringLiteral("tajne"));
    if (!server.isUp())
        GTEST_SKIP() << "pyftpdlib could not be started";
    const QString project = writeProject(server.port(), QStringLiteral("www"));

    const Ran wrong = runProgram({QStringLiteral("--publish"), project}, QStringLiteral("złe"));
    EXPECT_EQ(wrong.status, 1);
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("jan"))) << "the login failure names the user: " << wrong.err.toStdString();
    EXPECT_FALSE(wrong.err.contains(QStringLiteral("prawidłowo przesłane")));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("www/index.html")));

    const Ran missing = runProgram({QStringLiteral("--publish"), path(QStringLiteral("brak.zentarek"))}, QStringLiteral("tajne"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("plik nie istnieje"))) << missing.err.toStdString();
}

// A project whose profile says TLS publishes to a server that requires it;
// a certificate that cannot be verified is named with its fingerprint and
// nothing is sent.
TEST_F(CommandLineTest, PublishOverTlsAndAnUnverifiedCertificateIsRefusedWithItsFingerprint)
{
    const QString certificates = zk::testing::testCertificates();
    if (certificates.isEmpty())
        GTEST_SKIP() << "no certificates (python3-cryptography)";
    for (const char *name : {"good", "self"}) {
        const QString root = folder(QStringLiteral("tls-") + QString::fromLatin1(name));
        zk::testing::TlsHelperServer server({QStringLiteral("serve"), root, certificates + QString::fromLatin1(name) + QStringLiteral(".pem"),
                                             certificates + QString::fromLatin1(name) + QStringLiteral(".key"),
                                             QStringLiteral("jan"), QStringLiteral("tajne hasło")});
        ASSERT_NE(server.port(), 0);
        const QString project = writeProject(server.port(), QStringLiteral("www"), true);
        const Ran ran = runProgram({QStringLiteral("--publish"), project}, QStringLiteral("tajne hasło"));
        if (QByteArray(name) == "good") {
            EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
            EXPECT_EQ(zk::testing::readFile(root + QStringLiteral("www/zdjęcia/kot.jpg")), QByteArray(90000, 'K'));
        } else {
            EXPECT_EQ(ran.status, 1);
            EXPECT_TRUE(ran.err.contains(QStringLiteral("certyfikat podpisał sam serwer"))) << ran.err.toStdString();
            EXPECT_TRUE(ran.err.contains(QStringLiteral("Odcisk SHA-256 certyfikatu:\n"))) << ran.err.toStdString();
            EXPECT_FALSE(ran.err.contains(QStringLiteral("Zaufać mu?"))) << "no one to answer on the command line";
            EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("www")));
            // The message says how to trust it; that very fingerprint then lets the run go on.
            const qsizetype at = ran.err.indexOf(QStringLiteral("--trust-certificate "));
            ASSERT_GE(at, 0) << ran.err.toStdString();
            const QString fingerprint = ran.err.mid(at + 20).section(u'\n', 0, 0).trimmed();
            EXPECT_EQ(fingerprint.count(u':'), 31) << fingerprint.toStdString();
            const Ran trusted = runProgram({QStringLiteral("--publish"), project, QStringLiteral("--verbose"),
                                            QStringLiteral("--trust-certificate"), fingerprint},
                                           QStringLiteral("tajne hasło"));
            EXPECT_EQ(trusted.status, 0) << trusted.err.toStdString();
            EXPECT_EQ(zk::testing::readFile(root + QStringLiteral("www/zdjęcia/kot.jpg")), QByteArray(90000, 'K'));
            // --verbose: the conversation, the TLS in use and each file's speed, never the password.
            for (const QString &said : {QStringLiteral("> AUTH TLS"), QStringLiteral("> USER jan"), QStringLiteral("> PASS ******"),
                                        QStringLiteral("< 226"), QStringLiteral("Szyfrowanie: TLSv1."),
                                        QStringLiteral("Wysłano \"zdjęcia/kot.jpg\": 90000 bajtów w ")})
                EXPECT_TRUE(trusted.err.contains(said)) << said.toStdString() << "\n" << trusted.err.toStdString();
            EXPECT_FALSE(trusted.err.contains(QStringLiteral("tajne hasło")));
        }
    }
}

TEST_F(CommandLineTest, HelpVersionAndMistakes)
{
    const Ran help = runProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("zentarek --build PLIK.zentarek --output KATALOG")));
    const Ran version = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("Zentarek Light ") + ProgramVersion));
    for (const QStringList &args : {QStringList{QStringLiteral("--bzdura")}, QStringList{QStringLiteral("--build"), QStringLiteral("a.zentarek")},
                                    QStringList{QStringLiteral("--verbose"), QStringLiteral("a.zentarek")},
                                    QStringList{QStringLiteral("--publish"), QStringLiteral("a.zentarek"), QStringLiteral("--trust-certificate")},
                                    QStringList{QStringLiteral("--publish")}, QStringList{QStringLiteral("a"), QStringLiteral("b")}}) {
        const Ran ran = runProgram(args);
        EXPECT_EQ(ran.status, 2) << args.join(u' ').toStdString();
        EXPECT_FALSE(ran.err.trimmed().isEmpty()) << args.join(u' ').toStdString();
    }
}

// After a publish the page is fetched from its web address: the right
// folder says so, a wrong one is a warning naming what the web lacks.
TEST_F(CommandLineTest, APublishedPageIsLookedForAtItsWebAddress)
{
    const QString root = folder(QStringLiteral("ftproot"));
    QDir().mkpath(root + QStringLiteral("www"));
    PyFtpServer server(root, QStringLiteral("jan"), QStringLiteral("tajne"));
    zk::testing::HttpServer web(root + QStringLiteral("www"));
    zk::testing::HttpServer elsewhere(folder(QStringLiteral("inny folder")));
    if (!server.isUp() || !web.isUp() || !elsewhere.isUp())
        GTEST_SKIP() << "pyftpdlib or http.server could not be started";

    const Ran right = runProgram({QStringLiteral("--publish"), writeProject(server.port(), QStringLiteral("www"), false, web.address())},
                                 QStringLiteral("tajne"));
    EXPECT_EQ(right.status, 0) << right.err.toStdString();
    EXPECT_TRUE(right.err.contains(QStringLiteral("Strona pod adresem %1 pokazuje to, co wysłano.").arg(web.address())))
        << right.err.toStdString();

    const Ran wrong = runProgram({QStringLiteral("--publish"), writeProject(server.port(), QStringLiteral("www"), false, elsewhere.address())},
                                 QStringLiteral("tajne"));
    EXPECT_EQ(wrong.status, 0) << "the files did arrive: " << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("UWAGA! Pliki wysłano, ale pod adresem %1 internet pokazuje co innego")
                                       .arg(elsewhere.address())));
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("• index.html: nie ma go tam (HTTP 404)"))) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("• zdjęcia/kot.jpg: nie ma go tam (HTTP 404)")));
}

// --check lists on standard error what is worth mending on an HTML5 page,
// exits 0, and builds nothing without --output.
TEST_F(CommandLineTest, CheckListsTheFindingsOnStandardError)
{
    const QString projectFolder = folder(QStringLiteral("Piekarnia"));
    Project p;
    p.page.Edit_Nazwa = QStringLiteral("index.html");
    p.page.Lista_Atrybuty_DocType = Html5DocType;
    p.page.Przycisk_Atrybuty_Kolor_Tekst = QColor(0x99, 0x99, 0x99);
    p.mainText = QStringLiteral("<p>Chleb</p>\n<p><a href=\"cennik.html\">Cennik</a>\n<center>Zapraszamy</center>\n");
    const QString file = projectFolder + QStringLiteral("strona.zentarek");
    ASSERT_EQ(writeProjectFile(p, file), std::nullopt);

    const Ran checked = runProgram({QStringLiteral("--build"), QStringLiteral("--check"), file});
    EXPECT_EQ(checked.status, 0) << checked.err.toStdString();
    const QStringList lines = checked.err.split(u'\n', Qt::SkipEmptyParts).filter(QStringLiteral("  • "));
    ASSERT_EQ(lines.size(), 3) << checked.err.toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Tekst (#999999)"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Wiersz 2 głównej sekcji: nie ma pliku \"cennik.html\"")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("Wiersz 3 głównej sekcji: znacznik <center> jest przestarzały")));
    EXPECT_FALSE(QFileInfo::exists(projectFolder + QStringLiteral("index.html")));

    const QString out = path(QStringLiteral("www"));
    const Ran built = runProgram({QStringLiteral("--check"), QStringLiteral("--build"), file, QStringLiteral("--output"), out});
    EXPECT_EQ(built.status, 0) << built.err.toStdString();
    EXPECT_TRUE(built.err.contains(QStringLiteral("UWAGA! Na stronie warto poprawić:")));
    EXPECT_TRUE(QFileInfo::exists(out + QStringLiteral("/index.html"))) << "with --output the page is built too";
    EXPECT_EQ(runProgram({QStringLiteral("--publish"), file, QStringLiteral("--check")}).status, 2) << "only with --build";
}

TEST(CommandLineParse, EachFormGivesItsMode)
{
    const auto parse = [](std::initializer_list<const char *> args) {
        QStringList list{QStringLiteral("zentarek")};
        for (const char *a : args)
            list << QString::fromUtf8(a);
        return parseCommandLine(list);
    };
    EXPECT_EQ(parse({}).mode, CommandLine::Mode::Window);
    const CommandLine open = parse({"strona.zentarek"});
    EXPECT_EQ(open.mode, CommandLine::Mode::Window);
    EXPECT_EQ(open.project, QStringLiteral("strona.zentarek"));
    const CommandLine build = parse({"--build", "s.zentarek", "--output", "wynik"});
    EXPECT_EQ(build.mode, CommandLine::Mode::Build);
    EXPECT_EQ(build.output, QStringLiteral("wynik"));
    EXPECT_EQ(parse({"--output", "wynik", "--build", "s.zentarek"}).mode, CommandLine::Mode::Build) << "in any order";
    EXPECT_EQ(parse({"--publish", "s.zentarek"}).mode, CommandLine::Mode::Publish);
    EXPECT_EQ(parse({"--publish", "s.zentarek", "--output", "x"}).error, QStringLiteral("Opcja --output działa tylko z --build."));
    EXPECT_EQ(parse({"--build", "s.zentarek"}).error, QStringLiteral("Do --build podaj folder: --output KATALOG."));

    // Qt's own options pass through to QApplication, with their values.
    const CommandLine styled = parse({"-style", "Fusion", "strona.zentarek", "-reverse", "--platform", "xcb", "-stylesheet=a.qss"});
    EXPECT_EQ(styled.mode, CommandLine::Mode::Window) << styled.error.toStdString();
    EXPECT_EQ(styled.project, QStringLiteral("strona.zentarek")) << "a Qt option's value is not taken for the project";
    EXPECT_EQ(parse({"-x"}).error, QStringLiteral("Nieznana opcja \"-x\" (zobacz --help)."));
    EXPECT_EQ(parse({"-stylex=a"}).mode, CommandLine::Mode::Error);
}

} // namespace
