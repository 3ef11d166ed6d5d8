// The publishing password in the desktop's keyring: a real Secret Service
// (gnome-keyring-daemon on a D-Bus session bus of the test's own), and the
// fallback to the settings file where no keyring answers.
#include "Isolated.h"
#include "PasswordStore.h"
#include "PublishLogic.h"
#include "Servers.h"
#include "SshServer.h"
#include "Services.h"
#include "SettingsKeys.h"
#include "publikow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

using namespace zk;
using namespace zk::testing;

namespace {

class KeyringTest : public Isolated {
protected:
    void TearDown() override
    {
        services().passwords = nullptr;
        if (keyringDaemon.state() != QProcess::NotRunning) {
            keyringDaemon.kill();
            keyringDaemon.waitForFinished(5000);
        }
        // The bus is left to end with this process (see diesWithUs): the
        // keyring library's connection to it ends the process when it closes.
        Isolated::TearDown();
    }
    // The child is killed when the test process ends, however it ends.
    static void diesWithUs(QProcess &process)
    {
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    // A session bus and a Secret Service on it, for this process only.
    bool startSecretService()
    {
        const QString dbus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        if (dbus.isEmpty() || daemon.isEmpty())
            return false;
        // A bus without service activation: a Secret Service started by the
        // bus itself (before ours is up, without its password) would be no one's.
        const QString config = path(QStringLiteral("bus.conf"));
        writeFile(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                          "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>session</type>"
                          "<listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                          "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                          "</policy></busconfig>\n");
        diesWithUs(bus);
        diesWithUs(keyringDaemon);
        bus.start(dbus, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!bus.waitForReadyRead(10000))
            return false;
        const QByteArray address = bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));
        keyringDaemon.setProcessEnvironment(env);
        keyringDaemon.setStandardOutputFile(QProcess::nullDevice());
        keyringDaemon.setStandardErrorFile(path(QStringLiteral("keyring.log")));
        keyringDaemon.start(daemon, {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        if (!keyringDaemon.waitForStarted(10000))
            return false;
        keyringDaemon.write("haslo-peku"); // creates and unlocks the login keyring
        keyringDaemon.closeWriteChannel();
        // Ready once the service shows its login keyring on the bus.
        for (int i = 0; i < 100; ++i) {
            QProcess probe;
            probe.setProcessEnvironment(env);
            probe.start(QStringLiteral("dbus-send"), {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                                       QStringLiteral("--dest=org.freedesktop.secrets"),
                                                       QStringLiteral("/org/freedesktop/secrets"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                                                       QStringLiteral("string:org.freedesktop.Secret.Service"),
                                                       QStringLiteral("string:Collections")});
            if (probe.waitForFinished(2000) && probe.readAllStandardOutput().contains("collection/login"))
                return true;
            QTest::qWait(100);
        }
        if (qEnvironmentVariableIsSet("ZK_KEYRING_DEBUG"))
            qWarning("%s", readFile(path(QStringLiteral("keyring.log"))).constData());
        return false;
    }
    QString profileText(const char *name)
    {
        return registry->readText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QString::fromLatin1(name), QStringLiteral("<brak>"));
    }
    QProcess bus;
    QProcess keyringDaemon;
};

// A password kept in the settings file from before moves to the keyring at
// the first successful run and leaves the file; the next dialog finds it.
TEST_F(KeyringTest, APasswordMovesFromTheSettingsFileToARealKeyring)
{
    if (!startSecretService())
        GTEST_SKIP() << "no gnome-keyring-daemon and dbus-daemon to run a Secret Service";
    KeyringPasswordStore keyring;
    services().passwords = &keyring;
    QString read;
    ASSERT_EQ(keyring.write(QStringLiteral("ftp://test@przyklad"), QStringLiteral("zażółć")), PasswordStore::Result::Done);
    ASSERT_EQ(keyring.read(QStringLiteral("ftp://test@przyklad"), read), PasswordStore::Result::Done);
    EXPECT_EQ(read, QStringLiteral("zażółć"));
    EXPECT_EQ(keyring.remove(QStringLiteral("ftp://test@przyklad")), PasswordStore::Result::Done);
    EXPECT_EQ(keyring.read(QStringLiteral("ftp://test@przyklad"), read), PasswordStore::Result::NotFound);

    const QString root = folder(QStringLiteral("serwer"));
    PyFtpServer server(root, QStringLiteral("jan"), QStringLiteral("tajne hasło"));
    ASSERT_TRUE(server.isUp());
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.port());
    const QString p = QStringLiteral("Profile");
    registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Serwer"), address);
    registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Uzytkownik"), QStringLiteral("jan"));
    registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Haslo"), QStringLiteral("tajne hasło"));
    writeFile(path(QStringLiteral("strona.html")), "<HTML>");
    {
        TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
        EXPECT_EQ(dialog.ED_Haslo->text(), QStringLiteral("tajne hasło"));
        EXPECT_TRUE(dialog.CHK_Zapamietaj->isChecked());
        EXPECT_EQ(dialog.CB_Polaczenie->currentIndex(), 0) << "a profile from before TLS stays in clear text";
        dialog.Przycisk_OKClick();
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("Informacja!")) << prompts.messages()[0].text.toStdString();
        EXPECT_EQ(profileText("Haslo"), QString()) << "gone from the settings file";
        ASSERT_EQ(keyring.read(passwordKey(address, QStringLiteral("jan")), read), PasswordStore::Result::Done);
        EXPECT_EQ(read, QStringLiteral("tajne hasło"));
        dialog.done(QDialog::Accepted);
    }
    EXPECT_EQ(profileText("Haslo"), QString()) << "closing keeps it out of the file";
    TPubDlg again({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
    EXPECT_EQ(again.ED_Haslo->text(), QStringLiteral("tajne hasło")) << "read back from the keyring";

    again.CHK_Zapamietaj->setChecked(false);
    again.done(QDialog::Rejected);
    EXPECT_EQ(keyring.read(passwordKey(address, QStringLiteral("jan")), read), PasswordStore::Result::NotFound)
        << "not to be remembered: removed from the keyring";
    EXPECT_EQ(prompts.messages().size(), 1) << "no note: the keyring answered";
}

// Over SFTP the password field also opens a locked key of ~/.ssh; kept in
// the keyring the same way, the next dialog brings it back.
TEST_F(KeyringTest, TheSftpPassphraseGoesToTheKeyringAsAPasswordDoes)
{
    if (!startSecretService())
        GTEST_SKIP() << "no gnome-keyring-daemon and dbus-daemon to run a Secret Service";
    KeyringPasswordStore keyring;
    services().passwords = &keyring;
    SshServer server;
    ASSERT_TRUE(server.isUp()) << server.log().toStdString();
    server.lockClientKey(QStringLiteral("Hasło klucza"));
    server.installClientKey();
    writeFile(path(QStringLiteral("strona.html")), "<HTML>");
    const QString user = currentUserName();
    {
        TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
        dialog.CB_Polaczenie->setCurrentIndex(2);
        dialog.ED_Serwer->setText(server.address());
        dialog.Ed_User->setText(user);
        dialog.ED_Haslo->setText(QStringLiteral("Hasło klucza"));
        dialog.CHK_Zapamietaj->setChecked(true);
        prompts.answerChoice(1); // "Połącz tylko raz"
        dialog.Przycisk_OKClick();
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("Informacja!")) << prompts.messages()[0].text.toStdString();
        EXPECT_EQ(readFile(server.root() + QStringLiteral("/strona.html")), "<HTML>");
        dialog.done(QDialog::Accepted);
    }
    QString read;
    ASSERT_EQ(keyring.read(passwordKey(server.address(), user), read), PasswordStore::Result::Done);
    EXPECT_EQ(read, QStringLiteral("Hasło klucza"));
    EXPECT_EQ(profileText("Haslo"), QString()) << "not in the settings file";
    TPubDlg again({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
    EXPECT_EQ(again.CB_Polaczenie->currentIndex(), 2);
    EXPECT_EQ(again.ED_Haslo->text(), QStringLiteral("Hasło klucza"));
}

// Where no keyring answers, the password stays in the settings file (only
// the user may read it), and the dialog says so once.
TEST_F(KeyringTest, WithoutAKeyringThePasswordStaysInTheSettingsFileAndTheUserIsToldOnce)
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=") + path(QStringLiteral("brak-magistrali"))));
    KeyringPasswordStore keyring(3000);
    services().passwords = &keyring;
    QString read;
    EXPECT_EQ(keyring.write(QStringLiteral("ftp://jan@x"), QStringLiteral("a")), PasswordStore::Result::NoKeyring);
    for (int i = 0; i < 2; ++i) {
        TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
        dialog.ED_Serwer->setText(QStringLiteral("ftp.przyklad.pl"));
        dialog.Ed_User->setText(QStringLiteral("jan"));
        dialog.ED_Haslo->setText(QStringLiteral("tajne"));
        dialog.done(QDialog::Accepted);
    }
    EXPECT_EQ(profileText("Haslo"), QStringLiteral("tajne"));
    EXPECT_EQ(QFile(registry->files().currentUser).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0)
        << "the settings file is the user's alone";
    ASSERT_EQ(prompts.messages().size(), 1) << "said once, not at every close";
    EXPECT_TRUE(prompts.messages()[0].text.contains(QStringLiteral("w pliku ustawień"))) << prompts.messages()[0].text.toStdString();
}

} // namespace
