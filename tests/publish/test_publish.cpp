#include "Eventually.h"
#include "Isolated.h"
#include "Modal.h"
#include "Kreator.h"
#include "PublishLogic.h"
#include "RealPrompts.h"
#include "Services.h"
#include "Servers.h"
#include "SettingsKeys.h"
#include "TabWalk.h"
#include "THtmlMemo.h"
#include "publikow.h"

#include <algorithm>
#include <optional>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::PyFtpServer;
using zk::testing::whenModal;

namespace {

TEST(PublishLogic, EstimateTokenFolderAndMessages)
{
    EXPECT_EQ(estimateLines(7050), (QStringList{QStringLiteral("W sumie do wysłania: 7kb"),
                                                QStringLiteral("Czas przesyłania dla modemu 56,400 ok.: 1s"),
                                                QStringLiteral("Czas przesyłania dla modemu 33,600 ok.: 2s"),
                                                QStringLiteral("Czas przesyłania dla modemu 28,800 ok.: 2s"),
                                                QStringLiteral("Czas przesyłania dla modemu 14,400 ok.: 4s")}));
    EXPECT_EQ(roundedQuotient(10, 4), 2) << "an exact half goes to the even neighbour";
    EXPECT_EQ(roundedQuotient(14, 4), 4);
    EXPECT_EQ(roundedQuotient(10575, 7050), 1) << "times the reciprocal, which is not exact: just under the half";
    EXPECT_EQ(roundedQuotient(-1, 1000), 0);
    QStringList pieces;
    const std::pair<const char *, QStringList> cases[] = {
        {"a/b/c", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"a/b/", {QStringLiteral("a"), QStringLiteral("b")}},
        {"/a/b", {QStringLiteral("a"), QStringLiteral("b")}},
        {"a//b", {QStringLiteral("a"), QStringLiteral("b")}},
        {".", {QStringLiteral(".")}}};
    for (const auto &[text, expected] : cases) {
        Token(QString::fromLatin1(text), u'/', pieces);
        EXPECT_EQ(pieces, expected) << text;
    }
    EXPECT_EQ(normalizedTargetFolder(QString()), QStringLiteral("."));
    EXPECT_EQ(normalizedTargetFolder(QStringLiteral("strona\\pliki")), QStringLiteral("strona/pliki"));
    EXPECT_EQ(loginFailureText(530, QStringLiteral("s"), QStringLiteral("jan")),
              QStringLiteral("Użytkownik \"jan\" nie ma prawa dostępu!"));
    EXPECT_EQ(loginFailureText(221, QStringLiteral("ftp.x.pl"), {}),
              QStringLiteral("Serwer \"ftp.x.pl\" nie może zostać znaleziony!"));
    // A 550 while logging in ("550 SSL/TLS required") is no missing folder: no folder was asked for yet.
    EXPECT_EQ(loginFailureText(550, QStringLiteral("s"), {}), QStringLiteral("Błąd przy próbie połączenia z \"s\"!"));
    EXPECT_EQ(loginFailureText(0, QStringLiteral("s"), {}), QStringLiteral("Błąd przy próbie połączenia z \"s\"!"));
    EXPECT_EQ(imageForFile(QStringLiteral("/x/A.HTM")), 1);
    EXPECT_EQ(imageForFile(QStringLiteral("/x/a.JPG")), 2);
    EXPECT_EQ(imageForFile(QStringLiteral("/x/a.mid")), 3);
    EXPECT_EQ(imageForFile(QStringLiteral("/x/a.wav")), 4);
    EXPECT_EQ(imageForFile(QStringLiteral("/x/a.png")), 0);
    EXPECT_EQ(GetFileSize(QStringLiteral("/nie/ma/takiego")), -1);
    EXPECT_EQ(estimateLines(5'000'000'000).first(), QStringLiteral("W sumie do wysłania: 5000000kb")) << "over 2 GiB";
}

class PublishTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = programFolderWithBadge();
        pictures = folder(QStringLiteral("Obrazki"));
        writeFile(pictures + QStringLiteral("logo.gif"), QByteArray(3000, 'L'));
        writeFile(pictures + QStringLiteral("ikona.gif"), QByteArray(500, 'I'));
        writeFile(pictures + QStringLiteral("melodia.mid"), QByteArray(1200, 'M'));
        writeFile(pictures + QStringLiteral("kot.jpg"), QByteArray(70000, 'K'));
        root = folder(QStringLiteral("ftproot"));
        server = std::make_unique<PyFtpServer>(root, QStringLiteral("jan"), QStringLiteral("tajne"));
        if (!server->isUp())
            GTEST_SKIP() << "pyftpdlib could not be started";
    }
    void TearDown() override
    {
        if (window) {
            window->hide();
            window.reset();
        }
        server.reset();
        Isolated::TearDown();
    }
    void storeProfile(const QString &serverText, const QString &password, const QString &folderText, bool async)
    {
        const QString p = QStringLiteral("Profile");
        registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Serwer"), serverText);
        registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Uzytkownik"), QStringLiteral("jan"));
        registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Haslo"), password);
        registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Folder"), folderText);
        registry->writeText(Hive::CurrentUser, SettingsRootKey, p, QStringLiteral("Async"), async ? QStringLiteral("0x1") : QStringLiteral("0"));
    }
    QString stored(const QString &name) const
    {
        return registry->readText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), name, QStringLiteral("<none>"));
    }
    void openForm()
    {
        window = std::make_unique<TKreatorDlg>(appFolder);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        TKreatorDlg *w = window.get();
        w->Check_Uklad_Logo->setChecked(true);
        w->Edit_Uklad_Logo->setText(pictures + QStringLiteral("logo.gif"));
        w->Check_Uklad_Odnosniki_Ikona->setChecked(true);
        w->Edit_Uklad_Odnosniki_Ikonka->setText(pictures + QStringLiteral("ikona.gif"));
        w->Check_Play->setChecked(true);
        w->Edit_Src->setText(pictures + QStringLiteral("melodia.mid"));
        w->Edytorek->setPlainText(QStringLiteral("<P><IMG SRC=\"%1kot.jpg\"></P>").arg(pictures));
    }
    // Presses Publish, then in the dialog "Wyślij", then "Wyjdź"; returns what the dialog showed.
    QString publish(std::function<void(TPubDlg *)> inspect = {}, std::function<void()> beforeSending = {})
    {
        QString folderShown;
        whenModal([&](QWidget *d) {
            auto *dialog = qobject_cast<TPubDlg *>(d);
            ASSERT_NE(dialog, nullptr);
            if (beforeSending)
                beforeSending();
            QTest::mouseClick(dialog->Przycisk_OK, Qt::LeftButton);
            folderShown = dialog->Ed_Folder->text();
            if (inspect)
                inspect(dialog);
            QTest::mouseClick(dialog->Przycisk_Anuluj, Qt::LeftButton);
        });
        QTest::mouseClick(window->Przycisk_Punliku, Qt::LeftButton);
        return folderShown;
    }
    QByteArray onServer(const QString &relative) const
    {
        return zk::testing::readFile(root + relative);
    }
    QByteArray local(const QString &name) const
    {
        QFile f(pictures + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString appFolder, pictures, root;
    std::unique_ptr<PyFtpServer> server;
    std::unique_ptr<TKreatorDlg> window;
};

// The second "Wyślij" shows in the tree what changes and sends only that;
// "Wyślij wszystko od nowa" sends everything again.
TEST_F(PublishTest, TheTreeShowsThePlanAndASecondRunSendsOnlyWhatChanged)
{
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("tajne"), QStringLiteral("www"), false);
    openForm();
    prompts.clear();
    prompts.answerQuestion(true); // "Utworzyć?"
    publish();
    writeFile(root + QStringLiteral("www/cennik.pdf"), "cudzy");
    writeFile(pictures + QStringLiteral("kot.jpg"), QByteArray(70000, 'k'));
    QStringList plan;
    QString details;
    const auto readTree = [&](TPubDlg *d) {
        plan.clear();
        QTreeWidgetItem *changes = d->Tree->topLevelItem(2);
        ASSERT_NE(changes, nullptr);
        EXPECT_EQ(changes->text(0), QStringLiteral("Zmiany na serwerze"));
        for (int i = 0; i < changes->childCount(); ++i)
            plan << changes->child(i)->text(0);
        details = d->Szczegoly->toPlainText();
    };
    publish(readTree);
    ASSERT_GE(plan.size(), 3) << plan.join(u'\n').toStdString();
    EXPECT_EQ(plan[0], QStringLiteral("Pliki nowe: 0, zmienione: 1, brakujące na serwerze: 0, do usunięcia: 0, bez zmian: 5, "
                                      "nie nasze — zostawiamy: 1."));
    EXPECT_EQ(plan[1], QStringLiteral("Zmienione: kot.jpg"));
    EXPECT_EQ(plan[2], QStringLiteral("Nie nasze — zostawiamy: cennik.pdf"));
    EXPECT_EQ(details.count(QStringLiteral("Wysłano \"")), 1) << "the photo alone: " << details.toStdString();
    EXPECT_EQ(onServer(QStringLiteral("www/kot.jpg")), QByteArray(70000, 'k'));
    EXPECT_EQ(onServer(QStringLiteral("www/cennik.pdf")), QByteArray("cudzy"));
    EXPECT_TRUE(prompts.calls().last().text.contains(QStringLiteral("bez zmian: 5"))) << "the success box says what stayed";

    publish(readTree, [&] {
        auto *dialog = window->findChild<TPubDlg *>();
        ASSERT_NE(dialog, nullptr);
        dialog->CHK_Wszystko->setChecked(true);
    });
    EXPECT_EQ(details.count(QStringLiteral("Wysłano \"")), 6) << "all six, on both connections: " << details.toStdString();
}

TEST_F(PublishTest, PublishesThePageAndEveryFileIntoNewFoldersBothWays)
{
    for (bool async : {false, true}) {
        QDir(root).removeRecursively();
        QDir().mkpath(root);
        storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("tajne"),
                     QStringLiteral("strona\\pliki"), async);
        openForm();
        prompts.clear();
        prompts.answerQuestion(true);
        prompts.answerQuestion(true);
        int progressAtEnd = -1;
        const QString shown = publish([&](TPubDlg *d) { progressAtEnd = d->Progress->value(); });
        EXPECT_EQ(shown, QStringLiteral("strona/pliki"));
        const auto calls = prompts.calls();
        ASSERT_GE(calls.size(), 3) << "two questions and the success box";
        EXPECT_EQ(calls[0].caption, QStringLiteral("Konieczne potwierdzenie!"));
        EXPECT_EQ(calls[0].text, QStringLiteral("Folder \"strona\" nie istnieje na serwerze. Utworzyć?"));
        EXPECT_EQ(calls[1].text, QStringLiteral("Folder \"pliki\" nie istnieje na serwerze. Utworzyć?"));
        EXPECT_EQ(calls[2].caption, QStringLiteral("Informacja!"));
        EXPECT_EQ(calls[2].flags, 64);
        EXPECT_EQ(progressAtEnd, 0) << "the bar is reset after a successful run";
        for (const char *name : {"logo.gif", "ikona.gif", "melodia.mid", "kot.jpg"})
            EXPECT_EQ(onServer(QStringLiteral("strona/pliki/") + QString::fromLatin1(name)), local(QString::fromLatin1(name)))
                << name << (async ? " async" : " sync");
        QFile page(window->PageFilePath());
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        EXPECT_EQ(onServer(QStringLiteral("strona/pliki/index.html")), page.readAll());
        QFile badge(appFolder + QStringLiteral("grafika/animgifs/zen_anim.gif"));
        ASSERT_TRUE(badge.open(QIODevice::ReadOnly));
        EXPECT_EQ(onServer(QStringLiteral("strona/pliki/zenanim.gif")), badge.readAll());
        EXPECT_EQ(stored(QStringLiteral("Folder")), QStringLiteral("strona/pliki")) << "closing stored the normalised folder";
        EXPECT_TRUE(prompts.allAnswersUsed());
        window->hide();
        window.reset();
    }
}

// After "Wyślij" the page is fetched from its web address: the success box
// says the web shows it; a folder the web does not show is one "UWAGA!".
TEST_F(PublishTest, ThePublishedPageIsLookedForAtItsWebAddress)
{
    QDir().mkpath(root + QStringLiteral("strona"));
    zk::testing::HttpServer web(root + QStringLiteral("strona"));
    zk::testing::HttpServer elsewhere(folder(QStringLiteral("inna strona")));
    ASSERT_TRUE(web.isUp() && elsewhere.isUp());
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("tajne"), QStringLiteral("strona"), false);
    openForm();
    window->Lista_Atrybuty_DocType->setCurrentIndex(window->Lista_Atrybuty_DocType->count() - 1);
    for (const QString &address : {web.address(), elsewhere.address()}) {
        window->Edit_Adres_Strony->setText(address);
        prompts.clear();
        prompts.answerQuestion(true); // the checks: kot.jpg has no ALT
        publish();
        const auto calls = prompts.calls();
        ASSERT_GE(calls.size(), 2);
        const auto &last = calls.last();
        if (address == web.address()) {
            EXPECT_EQ(last.caption, QStringLiteral("Informacja!"));
            EXPECT_TRUE(last.text.endsWith(QStringLiteral("Strona pod adresem %1 pokazuje to, co wysłano.").arg(address)))
                << last.text.toStdString();
        } else {
            EXPECT_EQ(last.caption, QStringLiteral("UWAGA!"));
            EXPECT_EQ(last.flags, 48);
            EXPECT_TRUE(last.text.contains(QStringLiteral("• index.html: nie ma go tam (HTTP 404)"))) << last.text.toStdString();
            EXPECT_TRUE(last.text.contains(QStringLiteral("• zenanim.gif: nie ma go tam (HTTP 404)"))) << "the badge too";
        }
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
}

TEST_F(PublishTest, TheServerGetsTheSameTreeAsASavedFolder)
{
    const QString site = folder(QStringLiteral("Witryna"));
    const QString other = folder(QStringLiteral("Inne"));
    writeFile(site + QStringLiteral("img/zdjecie kota.gif"), QByteArray(2000, 'Z'));
    writeFile(other + QStringLiteral("logo.gif"), QByteArray(100, 'O'));
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("tajne"), QString(), false);
    openForm();
    window->setBaseFolder(site);
    window->Edytorek->setPlainText(
        QStringLiteral("<IMG SRC=\"img/zdjecie kota.gif\"><IMG SRC=\"%1logo.gif\"><A HREF=\"http://www.x.pl/a.gif\">x</A>")
            .arg(other));
    publish();
    ASSERT_FALSE(prompts.messages().isEmpty());
    EXPECT_EQ(prompts.messages().last().caption, QStringLiteral("Informacja!"));
    EXPECT_EQ(onServer(QStringLiteral("img/zdjecie kota.gif")), QByteArray(2000, 'Z')) << "a relative file keeps its place";
    EXPECT_EQ(onServer(QStringLiteral("logo.gif")), local(QStringLiteral("logo.gif"))) << "the form's logo";
    EXPECT_EQ(onServer(QStringLiteral("logo-2.gif")), QByteArray(100, 'O')) << "its namesake from another folder";
    const QByteArray page = onServer(QStringLiteral("index.html"));
    EXPECT_TRUE(page.contains("<IMG SRC=\"img/zdjecie kota.gif\"><IMG SRC=\"logo-2.gif\">")) << page.constData();
    EXPECT_TRUE(page.contains("<A HREF=\"http://www.x.pl/a.gif\">"));
}

TEST_F(PublishTest, PolishFolderFileAndPasswordReachTheServerAsTyped)
{
    server.reset();
    const QString polishRoot = folder(QStringLiteral("polski"));
    server = std::make_unique<PyFtpServer>(polishRoot, QStringLiteral("jan"), QStringLiteral("zażółć"));
    ASSERT_TRUE(server->isUp());
    writeFile(pictures + QStringLiteral("zdjęcie_żółw.gif"), QByteArray(4000, 'Z'));
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("zażółć"), QStringLiteral("strona/żółw"), true);
    openForm();
    window->Edytorek->setPlainText(QStringLiteral("<IMG SRC=\"%1zdjęcie_żółw.gif\">").arg(pictures));
    prompts.answerQuestion(true);
    prompts.answerQuestion(true);
    publish();
    ASSERT_FALSE(prompts.messages().isEmpty());
    EXPECT_EQ(prompts.messages().last().text, QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!\n"
                                                             "Folder na serwerze: /strona/żółw"));
    EXPECT_EQ(zk::testing::readFile(polishRoot + QStringLiteral("strona/żółw/zdjęcie_żółw.gif")), QByteArray(4000, 'Z'));
    EXPECT_TRUE(QFileInfo(polishRoot + QStringLiteral("strona/żółw/index.html")).isFile());
}

TEST_F(PublishTest, LoginFailuresAreNamedByTheReplyCode)
{
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("zle"), QString(), false);
    openForm();
    publish();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Użytkownik \"jan\" nie ma prawa dostępu!\n"
                                                         "Przyczyna: serwer nie przyjął logowania (odpowiedź serwera: 530 Authentication failed.)."))
        << "the server's own words under the message";
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("BŁĄD!"));

    prompts.clear();
    const quint16 nobody = zk::testing::freePort();
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(nobody), QStringLiteral("tajne"), QString(), false);
    window->hide();
    window.reset();
    openForm();
    publish();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Błąd przy próbie połączenia z \"127.0.0.1:%1\"!\n"
                                                         "Przyczyna: serwer odmówił połączenia (nic nie nasłuchuje na tym porcie).")
                                              .arg(nobody));
}

TEST_F(PublishTest, DecliningAFolderEndsTheRunAndAMissingFileIsNamed)
{
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("tajne"), QStringLiteral("nowy"), false);
    openForm();
    prompts.answerQuestion(false);
    publish();
    EXPECT_TRUE(prompts.messages().isEmpty()) << "the user said no: no error, and no success box either";
    EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{})
        << "nothing lands outside the folder the user asked for";

    prompts.clear();
    storeProfile(QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("tajne"), QString(), false);
    qint64 total = 0;
    QStringList tree;
    publish(
        [&](TPubDlg *d) {
            total = d->PublishTotal;
            QTreeWidgetItem *files = d->Tree->topLevelItem(1);
            for (int i = 0; i < files->childCount(); ++i)
                tree << files->child(i)->text(0);
        },
        [&] { QFile::remove(pictures + QStringLiteral("ikona.gif")); }); // listed, but gone by the time it is sent
    EXPECT_TRUE(tree.contains(pictures + QStringLiteral("ikona.gif")));
    QFile page(window->PageFilePath());
    EXPECT_EQ(total, 3000 + 1200 + 70000 + page.size() + 500) << "counted while it was there";
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, QStringLiteral("Błąd przy przesyłaniu pliku \"%1ikona.gif\"!\n"
                                               "Przyczyna: nie można odczytać pliku na tym komputerze.").arg(pictures));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("zenanim.gif"))) << "the run stopped at the missing file";
}

class PublishDialogTest : public Isolated {};

TEST_F(PublishDialogTest, ASettingsFileThatCannotBeWrittenDoesNotKeepTheDialogOpen)
{
    TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
    dialog.show();
    const QString settings = registry->files().currentUser;
    QFile::remove(settings);
    QDir().mkpath(settings); // a folder where the file should be
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible()) << "Escape closed the dialog";
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].text.contains(settings)) << prompts.messages()[0].text.toStdString();
}

TEST_F(PublishDialogTest, OpensOnTheTreeAndTabWalksTheFieldsInOrder)
{
    TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
    EXPECT_EQ(zk::testing::tabWalk(&dialog, 10),
              QString("Tree ED_Serwer Ed_User ED_Haslo Ed_Folder CB_Polaczenie CHK_Zapamietaj SE_Polaczenia CHK_Async CHK_Wszystko Tree").split(u' '));
}

// The dialog starts from a value and gives the same one back, for each of
// the three connections, and the profile keeps it between two dialogs.
TEST_F(PublishDialogTest, TakesInTheSettingsItGivesOutAndTheProfileKeepsThem)
{
    for (const int connection : {0, 1, 2}) {
        SCOPED_TRACE(connection);
        PublishSettings start;
        start.server = QStringLiteral("serwer.przyklad.pl:2%1").arg(connection);
        start.user = QStringLiteral("piekarnia");
        start.password = QStringLiteral("zażółć");
        start.folder = QStringLiteral("/public_html/strona żółta");
        start.async = connection == 1;
        start.everything = connection == 2;
        start.connections = 3 + connection;
        start.security = connection == 0 ? FtpSecurity::Plain : FtpSecurity::ExplicitTls;
        start.protocol = connection == 2 ? PublishProtocol::Sftp : PublishProtocol::Ftp;
        const auto same = [&](const PublishSettings &s, bool everything) {
            EXPECT_EQ(s.server, start.server);
            EXPECT_EQ(s.user, start.user);
            EXPECT_EQ(s.password, start.password);
            EXPECT_EQ(s.folder, start.folder);
            EXPECT_EQ(s.async, start.async);
            EXPECT_EQ(s.everything, everything);
            EXPECT_EQ(s.connections, start.connections);
            EXPECT_EQ(s.security, start.security);
            EXPECT_EQ(s.protocol, start.protocol);
        };
        {
            TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
            dialog.setSettings(start);
            EXPECT_EQ(dialog.CB_Polaczenie->currentIndex(), connection);
            same(dialog.settings(), start.everything);
            dialog.done(QDialog::Rejected); // closing keeps the profile
        }
        TPubDlg next({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
        same(next.settings(), false); // "send everything" is for one run only
    }
}

// The new controls answer their mnemonics, and Escape still closes.
TEST_F(PublishDialogTest, ConnectionAndRememberAnswerTheirKeysAndEscapeCloses)
{
    TPubDlg dialog({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.ED_Serwer->setFocus();
    QTest::keyClicks(dialog.ED_Serwer, QStringLiteral("ftp.przyklad.pl"));
    QTest::keyClick(&dialog, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), dialog.CB_Polaczenie);
    EXPECT_TRUE(dialog.CHK_Zapamietaj->isChecked());
    QTest::keyClick(&dialog, Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), dialog.CHK_Zapamietaj);
    // A mnemonic clicks its box as Qt animates it: the box is held down for
    // 100 ms, and an Escape in that time only lets it go.
    ASSERT_EVENTUALLY(!dialog.CHK_Zapamietaj->isChecked(), 2000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

// The real message boxes, answered by real key presses: each key acts on
// the box it is aimed at, and one Enter in the dialog starts one run.
class RealBoxesTest : public PublishTest {
protected:
    void SetUp() override
    {
        PublishTest::SetUp();
        real.emplace();
    }
    void TearDown() override
    {
        real.reset();
        PublishTest::TearDown();
    }
    // Presses Enter in the server field; each box that appears is answered
    // with the next key of `keys`. Returns the texts of the boxes seen.
    QStringList enterWithKeys(TPubDlg &dialog, QList<Qt::Key> keys)
    {
        QStringList seen;
        QTimer answer;
        answer.setInterval(20);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || seen.size() > 10)
                return;
            seen << box->text();
            QTest::keyClick(box, keys.isEmpty() ? Qt::Key_Escape : keys.takeFirst());
        });
        answer.start();
        dialog.ED_Serwer->setFocus();
        QTest::keyClick(dialog.ED_Serwer, Qt::Key_Return);
        QTest::qWait(800); // a second run, if the key acted twice, would show its boxes now
        return seen;
    }
    std::unique_ptr<TPubDlg> openDialog(const QString &password, const QString &folderText)
    {
        const QString file = pictures + QStringLiteral("kot.jpg");
        auto dialog = std::make_unique<TPubDlg>(QStringList{file}, path(QStringLiteral("brak.gif")));
        dialog->ED_Serwer->setText(QStringLiteral("127.0.0.1:%1").arg(server->port()));
        dialog->CB_Polaczenie->setCurrentIndex(0); // the scripted server speaks no TLS
        dialog->Ed_User->setText(QStringLiteral("jan"));
        dialog->ED_Haslo->setText(password);
        dialog->Ed_Folder->setText(folderText);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }
    std::optional<zk::testing::RealPrompts> real;
};

TEST_F(RealBoxesTest, OneEnterOneRunWhateverTheBoxes)
{
    auto dialog = openDialog(QStringLiteral("tajne"), QString());
    EXPECT_EQ(enterWithKeys(*dialog, {Qt::Key_Return}),
              QStringList{QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!\n"
                                         "Folder na serwerze: /")});
    EXPECT_TRUE(dialog->isVisible()) << "Enter on the box closed the box, not the dialog";
    dialog->done(QDialog::Accepted);

    dialog = openDialog(QStringLiteral("zle"), QString());
    EXPECT_EQ(enterWithKeys(*dialog, {Qt::Key_Return}),
              QStringList{QStringLiteral("Użytkownik \"jan\" nie ma prawa dostępu!\n"
                                         "Przyczyna: serwer nie przyjął logowania (odpowiedź serwera: 530 Authentication failed.).")});
    dialog->done(QDialog::Accepted);

    dialog = openDialog(QStringLiteral("tajne"), QStringLiteral("nowy"));
    EXPECT_EQ(enterWithKeys(*dialog, {Qt::Key_Escape}),
              QStringList{QStringLiteral("Folder \"nowy\" nie istnieje na serwerze. Utworzyć?")})
        << "Escape says no to the question and ends the run";
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("nowy")));
    EXPECT_EQ(enterWithKeys(*dialog, {Qt::Key_Return, Qt::Key_Return}),
              (QStringList{QStringLiteral("Folder \"nowy\" nie istnieje na serwerze. Utworzyć?"),
                           QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!\n"
                                          "Folder na serwerze: /nowy")}))
        << "Enter says yes";
    EXPECT_EQ(zk::testing::readFile(root + QStringLiteral("nowy/kot.jpg")), local(QStringLiteral("kot.jpg")));
    dialog->done(QDialog::Accepted);
}

// The live page's warning is one real box, closed by one Enter, and the
// dialog stays open for another try.
TEST_F(RealBoxesTest, TheLivePagesWarningIsOneBoxThatEnterCloses)
{
    zk::testing::HttpServer elsewhere(folder(QStringLiteral("inny folder")));
    ASSERT_TRUE(elsewhere.isUp());
    auto dialog = openDialog(QStringLiteral("tajne"), QString());
    dialog->setWebAddress(elsewhere.address());
    const QStringList seen = enterWithKeys(*dialog, {Qt::Key_Return});
    ASSERT_EQ(seen.size(), 1) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("Pliki wysłano, ale pod adresem %1").arg(elsewhere.address())));
    EXPECT_TRUE(seen[0].contains(QStringLiteral("• kot.jpg: nie ma go tam (HTTP 404)")));
    EXPECT_TRUE(dialog->isVisible());
    dialog->done(QDialog::Accepted);
}

// "Szczegóły" (Alt+Z) opens the conversation with the server, which can be
// selected and copied with the keys; the bar moves within a file.
TEST_F(RealBoxesTest, TheDetailsShowTheConversationAndTheBarCountsBytes)
{
    auto dialog = openDialog(QStringLiteral("tajne"), QString());
    dialog->activateWindow(); // Alt+letter goes to the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_FALSE(dialog->Szczegoly->isVisible()) << "collapsed at first";
    const int collapsed = dialog->height();
    QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::AltModifier);
    ASSERT_EVENTUALLY(dialog->Szczegoly->isVisible(), 5000); // a mnemonic clicks the button once it has shown the press
    EXPECT_GT(dialog->height(), collapsed + 100);
    QList<int> shares;
    QObject::connect(dialog->Progress, &QProgressBar::valueChanged, [&](int v) { shares << v; });
    EXPECT_EQ(enterWithKeys(*dialog, {Qt::Key_Return}).size(), 1);
    const QString log = dialog->Szczegoly->toPlainText();
    for (const char *said : {"> USER jan", "> PASS ******", "< 230 ", "> STOR .kot.jpg.zentarek-czesc", "< 226 ",
                             "> RNTO kot.jpg", "Wysłano \"kot.jpg\": 70000 bajtów w "})
        EXPECT_TRUE(log.contains(QString::fromUtf8(said))) << said << "\n" << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("tajne"))) << "never the password";
    EXPECT_TRUE(std::any_of(shares.begin(), shares.end(), [](int v) { return v > 0 && v < 100; }))
        << "70 000 bytes go in three pieces; the bar moves with them";
    EXPECT_TRUE(dialog->LB_Postep->text().startsWith(QStringLiteral("Wysłano 70"))) << dialog->LB_Postep->text().toStdString();
    QTest::mouseClick(dialog->Szczegoly->viewport(), Qt::LeftButton);
    QTest::keyClick(dialog->Szczegoly, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(dialog->Szczegoly, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), log);
    dialog->activateWindow(); // the offscreen platform gives activation back to no one when a box closes
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::AltModifier);
    ASSERT_EVENTUALLY(!dialog->Szczegoly->isVisible(), 5000);
    EXPECT_EQ(dialog->height(), collapsed);
    dialog->done(QDialog::Accepted);
}

TEST_F(PublishDialogTest, AnAsynchronousUploadRefusedAtTheEndStopsTheRunWithOneBox)
{
    using zk::testing::ScriptedServer;
    const auto step = [](std::initializer_list<QString> parts) {
        QJsonArray a;
        for (const QString &p : parts)
            a.append(p);
        return a;
    };
    QJsonArray script;
    for (const QJsonArray &s : {step({QStringLiteral("send"), QStringLiteral("220 ready\r\n")}), step({QStringLiteral("expect")}),
                                step({QStringLiteral("send"), QStringLiteral("331 pass\r\n")}), step({QStringLiteral("expect")}),
                                step({QStringLiteral("send"), QStringLiteral("230 in\r\n")}), step({QStringLiteral("expect")}),
                                step({QStringLiteral("send"), QStringLiteral("200 binary\r\n")}), step({QStringLiteral("expect")}),
                                step({QStringLiteral("send"), QStringLiteral("250 ok\r\n")}), step({QStringLiteral("expect")}),
                                step({QStringLiteral("pasv"), QStringLiteral("227 ok (127,0,0,1,{p1},{p2})\r\n")}),
                                step({QStringLiteral("expect")}), step({QStringLiteral("send"), QStringLiteral("150 go\r\n")}),
                                step({QStringLiteral("data_recv")}),
                                step({QStringLiteral("send"), QStringLiteral("451 Local error in processing.\r\n")}),
                                step({QStringLiteral("expect")}), step({QStringLiteral("send"), QStringLiteral("221 bye\r\n")})})
        script.append(s);
    ScriptedServer server(script);
    const QString file = path(QStringLiteral("strona.html"));
    writeFile(file, QByteArray(70000, 'x'));
    TPubDlg dialog({file}, path(QStringLiteral("brak.gif")));
    dialog.ED_Serwer->setText(QStringLiteral("127.0.0.1:%1").arg(server.port()));
    dialog.CB_Polaczenie->setCurrentIndex(0); // the scripted server speaks no TLS
    dialog.Ed_User->setText(QStringLiteral("jan"));
    dialog.ED_Haslo->setText(QStringLiteral("tajne"));
    dialog.CHK_Async->setChecked(true);
    dialog.ftp.TimeoutMs = 5000;
    dialog.Przycisk_OKClick();
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1) << "one box, and no second one from closing";
    EXPECT_EQ(messages[0].text, QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!\n"
                                               "Przyczyna: serwer odmówił (odpowiedź serwera: 451 Local error in processing.).")
                                    .arg(file));
    EXPECT_FALSE(dialog.ftp.Busy);
    EXPECT_FALSE(dialog.isRunning());
    EXPECT_EQ(dialog.Ed_Folder->text(), QStringLiteral(".")) << "an empty folder becomes \".\"";
    EXPECT_EQ(server.transcript().mid(3), (QStringList{QStringLiteral("CWD ."), QStringLiteral("PASV"),
                                                       QStringLiteral("STOR .strona.html.zentarek-czesc"),
                                                       QStringLiteral("DATA 70000"), QStringLiteral("QUIT")}));
    dialog.done(QDialog::Rejected);
}

} // namespace

namespace {

using zk::testing::TlsHelperServer;
using zk::testing::VsFtpServer;
using zk::testing::readFile;

class TargetFolderTest : public Isolated {
protected:
    // Sends one page with the folder as typed, agreeing to make the `missing`
    // folders it asks about; what the run said.
    QStringList publishInto(quint16 port, const QString &user, const QString &password, const QString &folderTyped,
                            int missing = 0)
    {
        prompts.clear();
        const QString page = path(QStringLiteral("strona.html"));
        writeFile(page, "<HTML>piekarnia</HTML>");
        TPubDlg dialog({page}, path(QStringLiteral("brak.gif")));
        dialog.ED_Serwer->setText(QStringLiteral("127.0.0.1:%1").arg(port));
        dialog.CB_Polaczenie->setCurrentIndex(0);
        dialog.Ed_User->setText(user);
        dialog.ED_Haslo->setText(password);
        dialog.Ed_Folder->setText(folderTyped);
        dialog.ftp.TimeoutMs = 5000;
        if (qEnvironmentVariableIsSet("ZK_FTP_TRACE"))
            dialog.ftp.OnTrace = [](const QString &s, TTraceLevel) { fprintf(stderr, "%s\n", qPrintable(s)); };
        for (int i = 0; i < missing; ++i)
            prompts.answerQuestion(true); // "Utworzyć?"
        dialog.Przycisk_OKClick();
        QStringList said;
        for (const auto &m : prompts.messages())
            said << m.text;
        dialog.done(QDialog::Accepted);
        return said;
    }
};

const QString Sent = QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!");

// A host whose login folder is not its root: "/" starts from the root,
// "//" and a trailing "/" are one separator, "." and ".." are refused.
TEST_F(TargetFolderTest, TheFolderIsTheOneTheUserNamedOnARealServer)
{
    const QString root = folder(QStringLiteral("serwer"));
    folder(QStringLiteral("serwer/konto"));
    TlsHelperServer server({QStringLiteral("home"), root, QStringLiteral("konto"), QStringLiteral("jan"), QStringLiteral("tajne")});
    ASSERT_NE(server.port(), 0);
    // The success box names the folder as the server's PWD reports it.
    const std::tuple<const char *, const char *, const char *, int> cases[] = {
        {"/public_html", "public_html/", "/public_html", 1},
        {"/www/strona żółta", "www/strona żółta/", "/www/strona żółta", 2},
        {"/", "", "/", 0},
        {"www//a/", "konto/www/a/", "/konto/www/a", 2},
        {"", "konto/", "/konto", 0},
    };
    for (const auto &[typed, where, pwd, missing] : cases) {
        SCOPED_TRACE(typed);
        const QString landed = root + QString::fromUtf8(where) + QStringLiteral("strona.html");
        EXPECT_EQ(publishInto(server.port(), QStringLiteral("jan"), QStringLiteral("tajne"), QString::fromUtf8(typed), missing),
                  QStringList{Sent + QStringLiteral("\nFolder na serwerze: ") + QString::fromUtf8(pwd)});
        EXPECT_EQ(readFile(landed), QByteArray("<HTML>piekarnia</HTML>"));
        QFile::remove(landed);
    }
    for (const char *typed : {"www/../inna", "./www", "www/."}) {
        SCOPED_TRACE(typed);
        const QStringList said = publishInto(server.port(), QStringLiteral("jan"), QStringLiteral("tajne"), QString::fromLatin1(typed));
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(said[0].startsWith(QStringLiteral("Folder \"%1\" na serwerze nie może zawierać części").arg(QString::fromLatin1(typed))))
            << said[0].toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("inna")));
}

// 226 is the server's word; the size it then reports is its proof.
TEST_F(TargetFolderTest, AServerThatKeepsLessThanItWasSentIsNoSuccess)
{
    const QString root = folder(QStringLiteral("krotki"));
    TlsHelperServer server({QStringLiteral("short"), root, QStringLiteral("jan"), QStringLiteral("tajne")});
    ASSERT_NE(server.port(), 0);
    writeFile(root + QStringLiteral("strona.html"), "poprzednia strona");
    for (const bool async : {false, true}) {
        const QString page = path(QStringLiteral("strona.html"));
        writeFile(page, QByteArray(5000, 'p'));
        const QString picture = path(QStringLiteral("mały.gif")); // small enough to arrive whole, and sent first
        writeFile(picture, QByteArray(100 + int(async), 'g')); // changed, so the second run sends it too
        prompts.clear();
        TPubDlg dialog({page, picture}, path(QStringLiteral("brak.gif")));
        dialog.ED_Serwer->setText(QStringLiteral("127.0.0.1:%1").arg(server.port()));
        dialog.CB_Polaczenie->setCurrentIndex(0);
        dialog.Ed_User->setText(QStringLiteral("jan"));
        dialog.ED_Haslo->setText(QStringLiteral("tajne"));
        dialog.CHK_Async->setChecked(async);
        dialog.ftp.TimeoutMs = 5000;
        dialog.Przycisk_OKClick();
        ASSERT_EVENTUALLY(!dialog.isRunning(), 10000);
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!\n"
                                                             "Przyczyna: serwer zachował tylko 2000 z 5000 bajtów pliku.\n"
                                                             "Na serwer trafiły już nowe wersje plików: mały.gif.")
                                                  .arg(page))
            << async;
        EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                  (QStringList{QStringLiteral("mały.gif"), QStringLiteral("strona.html")}))
            << "no temporary file is left, and no record of a failed run";
        EXPECT_EQ(readFile(root + QStringLiteral("strona.html")), QByteArray("poprzednia strona"))
            << "the page on the server is still the whole previous one, not the cut new one";
        dialog.done(QDialog::Rejected);
    }
}

// A server that will not rename onto an existing file: the old one is
// removed first, then the new one takes its name; nothing else is left.
TEST_F(TargetFolderTest, AServerThatWillNotRenameOverAFileGetsTheOldOneRemovedFirst)
{
    const QString root = folder(QStringLiteral("stare"));
    writeFile(root + QStringLiteral("strona.html"), "poprzednia strona");
    TlsHelperServer server({QStringLiteral("keepold"), root, QStringLiteral("jan"), QStringLiteral("tajne")});
    ASSERT_NE(server.port(), 0);
    const QStringList said = publishInto(server.port(), QStringLiteral("jan"), QStringLiteral("tajne"), {});
    EXPECT_EQ(said, QStringList{Sent + QStringLiteral("\nFolder na serwerze: /\nW folderze na serwerze nie ma zapisu poprzednich "
                                                     "publikacji tego programu: pliki porównano po rozmiarze i wysłano te, które "
                                                     "się różnią; niczego nie usunięto.")});
    EXPECT_EQ(readFile(root + QStringLiteral("strona.html")), QByteArray("<HTML>piekarnia</HTML>"));
    EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{QStringLiteral(".zentarek-manifest.json"), QStringLiteral("strona.html")}))
        << "the page and the record, nothing else";
}

// vsftpd run by the test cannot shut itself in its root ("/" is the
// machine's own), so only the separators are tried there.
TEST_F(TargetFolderTest, DoubleAndTrailingSeparatorsOnVsftpd)
{
    VsFtpServer server;
    if (!server.isUp())
        GTEST_SKIP() << "vsftpd could not be started";
    const QStringList said = publishInto(server.port(), QStringLiteral("anonymous"), {}, QStringLiteral("upload//strona żółta/"), 1);
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].startsWith(Sent + QStringLiteral("\nFolder na serwerze: /"))) << said[0].toStdString();
    EXPECT_TRUE(said[0].endsWith(QStringLiteral("/upload/strona żółta"))) << said[0].toStdString();
    EXPECT_EQ(readFile(server.uploadFolder() + QStringLiteral("strona żółta/strona.html")), QByteArray("<HTML>piekarnia</HTML>"));
}

} // namespace
