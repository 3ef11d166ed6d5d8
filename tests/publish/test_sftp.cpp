#include "Eventually.h"
#include "Isolated.h"
#include "PublishLogic.h"
#include "PublishRun.h"
#include "RealPrompts.h"
#include "SettingsKeys.h"
#include "SshServer.h"
#include "publikow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

using namespace zk;
using namespace zk::testing;

namespace {

struct SftpOutcome {
    bool ok = false;
    QStringList errors;
    QStringList questions;    // the yes/no questions
    QStringList keyQuestions; // the new-key question's texts
    QStringList changedKeys;  // the changed-key box's texts
    PublishPlan plan;
};

class SftpPublishTest : public Isolated {
protected:
    std::unique_ptr<SshServer> server;
    QString local;
    QList<HostKeyAnswer> keyAnswers; // to the new-key questions, in turn
    QString password;
    QString user = currentUserName();
    QString trustedHostKey;
    QString targetFolder;
    QString knownRevision; // the record the last run wrote: the next reads it straight away
    int timeoutMs = 10000;
    std::function<void(const QString &)> onSending;

    void SetUp() override
    {
        Isolated::SetUp();
        server = std::make_unique<SshServer>();
        ASSERT_TRUE(server->isUp()) << server->log().toStdString();
        local = folder(QStringLiteral("strona"));
    }
    QString put(const QString &name, const QByteArray &bytes)
    {
        const QString p = local + name;
        QDir().mkpath(QFileInfo(p).path());
        writeFile(p, bytes);
        return p;
    }
    PublishSettings settings() const
    {
        PublishSettings s{server->address(), user, password, targetFolder, false, FtpSecurity::Plain, {}, {}};
        s.protocol = PublishProtocol::Sftp;
        s.trustedHostKey = trustedHostKey;
        s.connections = 2;
        s.knownRevision = knownRevision;
        return s;
    }
    SftpOutcome publish(const QStringList &names)
    {
        SftpOutcome out;
        SftpPublishClient client;
        client.TimeoutMs = timeoutMs;
        PublishRun run(client, {.error = [&](const QString &text) { out.errors << text; },
                                .confirm = [&](const QString &q) {
                                    out.questions << q;
                                    return true;
                                },
                                .sending = [&](const QString &file) {
                                    if (onSending)
                                        onSending(file);
                                },
                                .trustHostKey = [&](const QString &text) {
                                    out.keyQuestions << text;
                                    return keyAnswers.isEmpty() ? HostKeyAnswer::Cancel : keyAnswers.takeFirst();
                                },
                                .hostKeyChanged = [&](const QString &text) { out.changedKeys << text; }});
        const int timeout = timeoutMs;
        run.setClientMaker([timeout] {
            auto c = std::make_unique<SftpPublishClient>();
            c->TimeoutMs = timeout;
            return c;
        });
        QStringList files;
        QHash<QString, QString> remote;
        for (const QString &n : names) {
            files << local + n;
            remote.insert(local + n, n);
        }
        PublishSettings s = settings();
        out.ok = run.run(s, files, remote, path(QStringLiteral("brak.gif")));
        run.closeQuietly();
        out.plan = run.plan();
        if (out.ok)
            knownRevision = run.writtenRevision();
        return out;
    }
    QByteArray onServer(const QString &name) const { return readFile(server->root() + u'/' + name); }
    QStringList pictures(int count)
    {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QStringLiteral("zdjęcia/łódź-%1.jpg").arg(i);
            put(names.last(), QByteArray(300 * 1024 + i, char('a' + i % 26)));
        }
        return names;
    }
};

TEST_F(SftpPublishTest, ANewKeyTrustedAndRememberedThenNestedPolishNamesArriveByteForByteAndOnlyChangesGoAgain)
{
    server->installClientKey();
    const QStringList names = QStringList{QStringLiteral("index.html"), QStringLiteral("a/b/głęboko.txt")} + pictures(3);
    put(names[0], "<html>Piekarnia „Żytnia”</html>");
    put(names[1], "zażółć gęślą jaźń");
    keyAnswers = {HostKeyAnswer::Remember};

    const SftpOutcome first = publish(names);
    ASSERT_TRUE(first.ok) << first.errors.join(u'\n').toStdString();
    ASSERT_EQ(first.keyQuestions.size(), 1);
    EXPECT_TRUE(first.keyQuestions[0].contains(server->fingerprint(QStringLiteral("ed25519"))));
    EXPECT_TRUE(first.keyQuestions[0].contains(QStringLiteral("ssh-ed25519")));
    for (const QString &n : names)
        EXPECT_EQ(onServer(n), readFile(local + n)) << n.toStdString();
    EXPECT_TRUE(QFile::exists(server->root() + u'/' + ManifestName));
    EXPECT_TRUE(readFile(ownKnownHostsFile()).contains(QStringLiteral("[127.0.0.1]:%1 ssh-ed25519").arg(server->port()).toUtf8()));
    EXPECT_FALSE(QFile::exists(userKnownHostsFile())) << "the user's own file is never written";
    EXPECT_TRUE(QDir(server->root()).entryList({QStringLiteral("*.zk-*")}, QDir::Files).isEmpty());

    put(names[1], "zmieniony tekst");
    const qsizetype openBefore = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
    const SftpOutcome second = publish(names);
    EXPECT_EQ(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(), openBefore)
        << "every connection's socket is closed";
    ASSERT_TRUE(second.ok) << second.errors.join(u'\n').toStdString();
    EXPECT_TRUE(second.keyQuestions.isEmpty()) << "a remembered key is not asked about again";
    ASSERT_EQ(second.plan.toSend.size(), 1);
    EXPECT_EQ(second.plan.toSend[0].remoteName, names[1]);
    EXPECT_EQ(onServer(names[1]), "zmieniony tekst");

    const SftpOutcome third = publish(names.mid(0, names.size() - 1)); // one picture less
    ASSERT_TRUE(third.ok) << third.errors.join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(server->root() + u'/' + names.last())) << "a file it sent and no longer publishes is removed";
    EXPECT_TRUE(QFile::exists(server->root() + u'/' + names[2]));
}

TEST_F(SftpPublishTest, ANewKeyRefusedOrTrustedOnceOrKnownFromTheUsersFile)
{
    server->installClientKey();
    put(QStringLiteral("index.html"), "strona");
    keyAnswers = {HostKeyAnswer::Cancel};
    const SftpOutcome refused = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.keyQuestions.size(), 1);
    EXPECT_TRUE(refused.errors.isEmpty()) << "the user's own refusal needs no message";
    EXPECT_FALSE(QFile::exists(server->root() + QStringLiteral("/index.html")));

    keyAnswers = {HostKeyAnswer::Once, HostKeyAnswer::Once};
    EXPECT_TRUE(publish({QStringLiteral("index.html")}).ok);
    EXPECT_FALSE(QFile::exists(ownKnownHostsFile())) << "trusted once is not remembered";
    EXPECT_EQ(publish({QStringLiteral("index.html")}).keyQuestions.size(), 1) << "so the next run asks again";

    QDir().mkpath(QDir::homePath() + QStringLiteral("/.ssh"));
    const QByteArray known = server->knownHostsLine(QStringLiteral("ed25519")).toUtf8();
    writeFile(userKnownHostsFile(), known);
    const SftpOutcome vouched = publish({QStringLiteral("index.html")});
    EXPECT_TRUE(vouched.ok) << vouched.errors.join(u'\n').toStdString();
    EXPECT_TRUE(vouched.keyQuestions.isEmpty());
    EXPECT_EQ(readFile(userKnownHostsFile()), known);
}

TEST_F(SftpPublishTest, AChangedKeyOrOneOfAnotherTypeStopsHardWithBothFingerprintsAndNothingSent)
{
    server->installClientKey();
    put(QStringLiteral("index.html"), "strona");
    keyAnswers = {HostKeyAnswer::Remember};
    ASSERT_TRUE(publish({QStringLiteral("index.html")}).ok);
    const QString before = server->fingerprint(QStringLiteral("ed25519"));
    QFile::remove(server->root() + QStringLiteral("/index.html"));
    QFile::remove(server->root() + u'/' + ManifestName);
    const QByteArray remembered = readFile(ownKnownHostsFile());

    server->restart(QStringLiteral("ecdsa"));
    ASSERT_TRUE(server->isUp());
    keyAnswers = {HostKeyAnswer::Remember, HostKeyAnswer::Remember};
    const SftpOutcome other = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(other.ok);
    EXPECT_TRUE(other.keyQuestions.isEmpty()) << "no question that could let it through";
    ASSERT_EQ(other.changedKeys.size(), 1);
    EXPECT_TRUE(other.changedKeys[0].contains(QStringLiteral("innego typu")));
    EXPECT_TRUE(other.changedKeys[0].contains(before));
    EXPECT_TRUE(other.changedKeys[0].contains(server->fingerprint(QStringLiteral("ecdsa"))));
    EXPECT_TRUE(other.changedKeys[0].contains(ownKnownHostsFile()));

    // A second ed25519 key where the first was known: the same key type, changed.
    QFile::rename(server->hostKey(QStringLiteral("ed25519")), server->hostKey(QStringLiteral("ed25519")) + QStringLiteral(".old"));
    QFile::rename(server->hostKey(QStringLiteral("ed25519")) + QStringLiteral(".pub"),
                  server->hostKey(QStringLiteral("ed25519")) + QStringLiteral(".old.pub"));
    server->restart(QStringLiteral("ed25519"));
    ASSERT_TRUE(server->isUp());
    const SftpOutcome changed = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(changed.ok);
    ASSERT_EQ(changed.changedKeys.size(), 1);
    EXPECT_TRUE(changed.changedKeys[0].contains(QStringLiteral("ZMIENIŁ SIĘ")));
    EXPECT_TRUE(changed.changedKeys[0].contains(before));
    EXPECT_TRUE(changed.changedKeys[0].contains(server->fingerprint(QStringLiteral("ed25519"))));
    EXPECT_TRUE(changed.changedKeys[0].contains(QStringLiteral("ssh-keygen -R \"[127.0.0.1]:%1\"").arg(server->port())));
    EXPECT_FALSE(QFile::exists(server->root() + QStringLiteral("/index.html")));
    EXPECT_EQ(readFile(ownKnownHostsFile()), remembered) << "the old key stays until the user removes it";
}

TEST_F(SftpPublishTest, WithoutAKeyTheRefusedLoginIsSaidInPolishAndTheAgentLetsIn)
{
    trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    put(QStringLiteral("index.html"), "strona");
    password = QStringLiteral("złe hasło");
    const SftpOutcome refused = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(refused.ok);
    ASSERT_EQ(refused.errors.size(), 1);
    EXPECT_TRUE(refused.errors[0].contains(QStringLiteral("Użytkownik \"%1\" nie ma prawa dostępu!").arg(user)))
        << refused.errors[0].toStdString();
    EXPECT_TRUE(refused.errors[0].contains(QStringLiteral("serwer nie przyjął hasła ani klucza")));

    SshAgent agent(server->clientKey());
    ASSERT_TRUE(agent.isUp());
    password.clear();
    const SftpOutcome admitted = publish({QStringLiteral("index.html")});
    EXPECT_TRUE(admitted.ok) << admitted.errors.join(u'\n').toStdString();
    EXPECT_EQ(onServer(QStringLiteral("index.html")), "strona");
}

// A throwaway account with a password of its own (only root can make one).
class SftpAccountTest : public SftpPublishTest {
protected:
    QString account = QStringLiteral("zktest%1").arg(::getpid());
    bool made = false;
    void SetUp() override
    {
        SftpPublishTest::SetUp();
        if (::getuid() != 0)
            GTEST_SKIP() << "a password login needs an account with a password, and only root may make one for the test";
        ASSERT_EQ(QProcess::execute(QStringLiteral("/usr/sbin/useradd"),
                                    {QStringLiteral("-M"), QStringLiteral("-d"), server->root(), QStringLiteral("-s"),
                                     QStringLiteral("/bin/sh"), account}),
                  0);
        made = true;
        QProcess chpasswd;
        chpasswd.start(QStringLiteral("/usr/sbin/chpasswd"));
        chpasswd.write((account + QStringLiteral(":Tajne hasło 1\n")).toUtf8());
        chpasswd.closeWriteChannel();
        ASSERT_TRUE(chpasswd.waitForFinished(10000) && chpasswd.exitCode() == 0);
        user = account;
        put(QStringLiteral("index.html"), "strona");
    }
    void TearDown() override
    {
        server.reset(); // its sessions of the account go first: userdel refuses an account in use
        if (made) {
            EXPECT_EQ(QProcess::execute(QStringLiteral("/usr/sbin/userdel"), {QStringLiteral("-f"), account}), 0);
        }
        SftpPublishTest::TearDown();
    }
    // The account reaches and writes the folder of root's server.
    void openTo(const QString &root)
    {
        QFile::setPermissions(QFileInfo(root).path(), QFileDevice::Permissions(0x7755));
        QFile::setPermissions(root, QFileDevice::Permissions(0x7777));
        trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    }
};

// The wrong password is refused in Polish, the right one lets in; a
// folder the account may not write in is said to be so.
TEST_F(SftpAccountTest, APasswordLoginAndAFolderWithoutPermission)
{
    openTo(server->root());
    password = QStringLiteral("Tajne hasło 2");
    const SftpOutcome refused = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(refused.ok);
    ASSERT_EQ(refused.errors.size(), 1);
    EXPECT_TRUE(refused.errors[0].startsWith(QStringLiteral("Użytkownik \"%1\" nie ma prawa dostępu!").arg(account)));
    EXPECT_TRUE(refused.errors[0].contains(QStringLiteral("serwer nie przyjął hasła ani klucza")));

    password = QStringLiteral("Tajne hasło 1");
    const SftpOutcome admitted = publish({QStringLiteral("index.html")});
    EXPECT_TRUE(admitted.ok) << admitted.errors.join(u'\n').toStdString();
    EXPECT_EQ(onServer(QStringLiteral("index.html")), "strona");

    QDir().mkpath(server->root() + QStringLiteral("/tylko-do-odczytu"));
    QFile::setPermissions(server->root() + QStringLiteral("/tylko-do-odczytu"), QFileDevice::Permissions(0x5555));
    targetFolder = QStringLiteral("tylko-do-odczytu");
    const SftpOutcome denied = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(denied.ok);
    ASSERT_EQ(denied.errors.size(), 1);
    EXPECT_TRUE(denied.errors[0].contains(QStringLiteral("Przyczyna: brak uprawnień na serwerze."))) << denied.errors[0].toStdString();
}

// A server that asks for the password as keyboard-interactive prompts (PAM).
TEST_F(SftpAccountTest, AKeyboardInteractiveLoginIsAnsweredWithThePassword)
{
    server = std::make_unique<SshServer>(QStringLiteral("ed25519"),
                                         QStringLiteral("UsePAM yes\nPasswordAuthentication no\nKbdInteractiveAuthentication yes\n"));
    ASSERT_TRUE(server->isUp()) << server->log().toStdString();
    QProcess::execute(QStringLiteral("/usr/sbin/usermod"), {QStringLiteral("-d"), server->root(), account});
    openTo(server->root());
    password = QStringLiteral("Tajne hasło 1");
    const SftpOutcome admitted = publish({QStringLiteral("index.html")});
    EXPECT_TRUE(admitted.ok) << admitted.errors.join(u'\n').toStdString() << server->log().toStdString();
    EXPECT_EQ(onServer(QStringLiteral("index.html")), "strona");
}

// A target folder that is not there is made after the question, as over
// FTP; a file standing where a folder should be is named as such.
TEST_F(SftpPublishTest, AMissingTargetFolderIsMadeAfterTheQuestionAndAFileInItsPlaceIsNamed)
{
    server->installClientKey();
    trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    put(QStringLiteral("index.html"), "strona");
    targetFolder = QStringLiteral("www/żółw");
    const SftpOutcome made = publish({QStringLiteral("index.html")});
    EXPECT_TRUE(made.ok) << made.errors.join(u'\n').toStdString();
    EXPECT_EQ(made.questions, QStringList({QStringLiteral("Folder \"www\" nie istnieje na serwerze. Utworzyć?"),
                                           QStringLiteral("Folder \"żółw\" nie istnieje na serwerze. Utworzyć?")}));
    EXPECT_EQ(readFile(server->root() + QStringLiteral("/www/żółw/index.html")), "strona");

    writeFile(server->root() + QStringLiteral("/plik"), "x");
    targetFolder = QStringLiteral("plik");
    const SftpOutcome blocked = publish({QStringLiteral("index.html")});
    EXPECT_FALSE(blocked.ok);
    ASSERT_EQ(blocked.errors.size(), 1);
    EXPECT_TRUE(blocked.errors[0].contains(QStringLiteral("\"plik\" na serwerze jest plikiem, nie folderem")))
        << blocked.errors[0].toStdString();
}

// A full disk on the server, which SFTP calls only "failure", is named as such.
TEST_F(SftpPublishTest, AFullDiskOnTheServerIsNamed)
{
    server = std::make_unique<SshServer>(QStringLiteral("ed25519"), QString(), 512);
    if (!server->isUp())
        GTEST_SKIP() << "no tmpfs could be mounted for the server (unshare -m needs the right to mount): "
                     << server->log().toStdString();
    server->installClientKey();
    trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    put(QStringLiteral("duży.bin"), QByteArray(2 * 1024 * 1024, 'd'));
    const SftpOutcome full = publish({QStringLiteral("duży.bin")});
    EXPECT_FALSE(full.ok);
    ASSERT_EQ(full.errors.size(), 1);
    EXPECT_TRUE(full.errors[0].contains(QStringLiteral("Przyczyna: brak miejsca na serwerze."))) << full.errors[0].toStdString();
}

// A key of ~/.ssh locked with a passphrase opens with the password field.
TEST_F(SftpPublishTest, ALockedKeyOpensWithThePasswordField)
{
    server->lockClientKey(QStringLiteral("Hasło klucza"));
    server->installClientKey();
    trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    put(QStringLiteral("index.html"), "strona");
    password = QStringLiteral("inne hasło");
    EXPECT_FALSE(publish({QStringLiteral("index.html")}).ok);
    password = QStringLiteral("Hasło klucza");
    const SftpOutcome opened = publish({QStringLiteral("index.html")});
    EXPECT_TRUE(opened.ok) << opened.errors.join(u'\n').toStdString();
    EXPECT_EQ(onServer(QStringLiteral("index.html")), "strona");
}

TEST_F(SftpPublishTest, AServerThatStopsAnsweringMidUploadEndsByTheDeadlineWithAMessage)
{
    server->installClientKey();
    trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    timeoutMs = 1500;
    const QStringList names = pictures(4);
    int started = 0;
    onSending = [&](const QString &) {
        if (++started == 2)
            server->freeze(true);
    };
    QElapsedTimer clock;
    clock.start();
    const SftpOutcome stalled = publish(names);
    server->freeze(false);
    EXPECT_FALSE(stalled.ok);
    ASSERT_EQ(stalled.errors.size(), 1);
    EXPECT_TRUE(stalled.errors[0].contains(QStringLiteral("nie odpowiedział w ciągu 1.5 s"))) << stalled.errors[0].toStdString();
    EXPECT_LT(clock.elapsed(), 60000) << "each wait ends by its deadline, the retries' too";
    EXPECT_TRUE(QDir(server->root() + QStringLiteral("/zdjęcia")).entryList({QStringLiteral("łódź-*")}).size() < 4);
}

TEST_F(SftpPublishTest, ADroppedConnectionIsTakenUpAgainAndASecondRunFinishesTheRest)
{
    server->installClientKey();
    trustedHostKey = server->fingerprint(QStringLiteral("ed25519"));
    const QStringList names = pictures(6);
    const qsizetype openBefore = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
    int started = 0;
    onSending = [&](const QString &) {
        if (++started == 3)
            server->dropSessions();
    };
    const SftpOutcome dropped = publish(names);
    onSending = nullptr;
    if (!dropped.ok) {
        ASSERT_EQ(dropped.errors.size(), 1);
        EXPECT_TRUE(dropped.errors[0].contains(QStringLiteral("przerwane"))) << dropped.errors[0].toStdString();
    }
    const SftpOutcome again = publish(names);
    ASSERT_TRUE(again.ok) << again.errors.join(u'\n').toStdString();
    for (const QString &n : names)
        EXPECT_EQ(onServer(n), readFile(local + n)) << n.toStdString();
    EXPECT_EQ(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(), openBefore)
        << "every dropped session's socket is closed, once";
}

// The dialog as a person uses it: "SFTP (SSH)", Enter, and the real boxes
// answered by keys. Escape on the new key's box sends nothing; Alt+R trusts it
// this time only, Enter for good; once the key has changed, the only button is "Anuluj".
TEST_F(SftpPublishTest, TheDialogAsksAboutANewKeyInARealBoxAndAChangedKeyLeavesOnlyAnuluj)
{
    server->installClientKey();
    RealPrompts real;
    const QString page = put(QStringLiteral("strona.html"), "<html>Piekarnia</html>");
    auto dialog = std::make_unique<TPubDlg>(QStringList{page}, path(QStringLiteral("brak.gif")));
    dialog->CB_Polaczenie->setCurrentIndex(2);
    EXPECT_EQ(dialog->CB_Polaczenie->currentText(), QStringLiteral("SFTP (SSH)"));
    EXPECT_FALSE(dialog->CHK_Async->isEnabled());
    dialog->ED_Serwer->setText(server->address());
    dialog->Ed_User->setText(user);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));

    const auto runWithKeys = [&](QList<QKeyCombination> keys) {
        QStringList seen;
        QTimer answer;
        answer.setInterval(20);
        QPointer<QMessageBox> answered; // a mnemonic clicks after a short animation: each box once
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box == answered || seen.size() > 5)
                return;
            answered = box;
            QStringList buttons;
            for (QAbstractButton *b : box->buttons())
                buttons << b->text();
            seen << box->windowTitle() + u'|' + buttons.join(u',') + u'|' + box->text();
            const QKeyCombination key = keys.isEmpty() ? QKeyCombination(Qt::Key_Escape) : keys.takeFirst();
            // Through the window, as the system delivers keys: a mnemonic is a shortcut.
            QTimer::singleShot(0, box, [box, key] { QTest::keyClick(box->windowHandle(), key.key(), key.keyboardModifiers()); });
        });
        answer.start();
        dialog->ED_Serwer->setFocus();
        QTest::keyClick(dialog->ED_Serwer, Qt::Key_Return);
        EXPECT_EVENTUALLY(!dialog->isRunning(), 30000);
        return seen;
    };
    QStringList seen = runWithKeys({Qt::Key_Escape});
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("Nieznany klucz serwera|&Zaufaj i zapamiętaj,Połącz tylko &raz,Anuluj|")))
        << seen[0].toStdString();
    EXPECT_TRUE(seen[0].contains(server->fingerprint(QStringLiteral("ed25519"))));
    EXPECT_FALSE(QFile::exists(server->root() + QStringLiteral("/strona.html"))) << "Escape: nothing sent";

    seen = runWithKeys({Qt::ALT | Qt::Key_R, Qt::Key_Return});
    ASSERT_EQ(seen.size(), 2) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen[1].startsWith(QStringLiteral("Informacja!|")));
    EXPECT_TRUE(seen[1].contains(QStringLiteral("Folder na serwerze: %1").arg(QDir(server->root()).canonicalPath())))
        << seen[1].toStdString();
    EXPECT_EQ(onServer(QStringLiteral("strona.html")), "<html>Piekarnia</html>");
    EXPECT_FALSE(QFile::exists(ownKnownHostsFile())) << "Alt+R: this time only";

    seen = runWithKeys({Qt::Key_Return, Qt::Key_Return}); // asked again; Enter is "Zaufaj i zapamiętaj"
    ASSERT_EQ(seen.size(), 2) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("Nieznany klucz serwera|")));
    EXPECT_TRUE(QFile::exists(ownKnownHostsFile()));

    QFile::remove(server->root() + QStringLiteral("/strona.html"));
    QFile::rename(server->hostKey(QStringLiteral("ed25519")), path(QStringLiteral("stary")));
    QFile::rename(server->hostKey(QStringLiteral("ed25519")) + QStringLiteral(".pub"), path(QStringLiteral("stary.pub")));
    server->restart(QStringLiteral("ed25519"));
    seen = runWithKeys({Qt::Key_Return});
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("BŁĄD!|Anuluj|UWAGA! Klucz serwera"))) << seen[0].toStdString();
    EXPECT_FALSE(QFile::exists(server->root() + QStringLiteral("/strona.html")));

    dialog->done(QDialog::Rejected); // the profile is kept, SFTP with it
    EXPECT_EQ(registry->readText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QStringLiteral("Polaczenie"), {}),
              ConnectionSftp);
    EXPECT_EQ(TPubDlg({page}, path(QStringLiteral("brak.gif"))).CB_Polaczenie->currentIndex(), 2);
}

} // namespace
