// What the window does so that no saved or typed page is lost: a save on a
// full disk, a recovery file that cannot be written, two windows on one
// project, a late recovery snapshot, and the project's own TLS choice.
#include "Eventually.h"
#include "FullDisk.h"
#include "Isolated.h"
#include "Kreator.h"
#include "ProjectFile.h"
#include "Registry.h"
#include "Services.h"
#include "Session.h"
#include "SettingsKeys.h"
#include "THtmlMemo.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>

using namespace zk;
using zk::testing::InjectedDiskFull;
using zk::testing::Isolated;
using zk::testing::readFile;
using zk::testing::SmallDisk;

namespace {

class ProjectSafetyTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = programFolderWithBadge();
    }
    void TearDown() override
    {
        for (auto &w : windows)
            w->hide();
        windows.clear();
        Isolated::TearDown();
    }
    TKreatorDlg *open()
    {
        windows.push_back(std::make_unique<TKreatorDlg>(appFolder));
        return windows.back().get();
    }
    QString shownTitle(const TKreatorDlg *w) const
    {
        return QString(w->windowTitle()).replace(QStringLiteral("[*]"), w->isWindowModified() ? QStringLiteral("*") : QString());
    }
    QString storedConnection() const
    {
        return registry->readText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QStringLiteral("Polaczenie"), {});
    }

    QString appFolder;
    std::vector<std::unique_ptr<TKreatorDlg>> windows;
};

TEST_F(ProjectSafetyTest, ASaveOnAFullDiskKeepsTheProjectTheStarAndTheRecoveryCopy)
{
    SmallDisk disk(1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    const QString project = disk.path(QStringLiteral("piekarnia.zentarek"));
    TKreatorDlg *w = open();
    w->Edit_Atrybuty_Tytul->setText(QStringLiteral("Piekarnia"));
    ASSERT_TRUE(w->saveProjectTo(project));
    const QByteArray saved = readFile(project);

    w->Edit_Atrybuty_Tytul->setText(QStringLiteral("Piekarnia i cukiernia"));
    w->Edytorek->setPlainText(QStringLiteral("Chleb żytni, bułki, rogale.\n").repeated(20000)); // more than the full disk has room for
    w->checkForChanges();
    ASSERT_TRUE(w->recoveryWriter().waitForDone(5000));
    ASSERT_TRUE(QFileInfo::exists(w->recoveryWriter().file()));
    disk.fill();
    w->Projekt_Zapisz->trigger();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("BŁĄD!"));
    EXPECT_EQ(prompts.messages()[0].text,
              QStringLiteral("Nie można zapisać projektu \"%1\": brak miejsca na dysku!").arg(project));
    EXPECT_EQ(readFile(project), saved) << "the good project stays byte for byte";
    EXPECT_EQ(shownTitle(w), QStringLiteral("piekarnia* - Zentarek Light - Generator Stron WWW"));
    EXPECT_TRUE(QFileInfo::exists(w->recoveryWriter().file())) << "the recovery copy stays until a save succeeds";

    disk.unfill();
    w->Projekt_Zapisz->trigger();
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(readProjectFile(project).project->mainText.size(), 28 * 20000);
    EXPECT_FALSE(QFileInfo::exists(w->recoveryWriter().file()));
    prompts.clear();
}

TEST_F(ProjectSafetyTest, ARecoveryFileThatCannotBeWrittenIsToldOnceAndTheUntitledPageIsNotDroppedUnasked)
{
    TKreatorDlg *w = open();
    {
        const InjectedDiskFull full = InjectedDiskFull::always();
        w->Edit_Atrybuty_Tytul->setText(QStringLiteral("Pierwsza zmiana"));
        w->checkForChanges();
        ASSERT_TRUE(w->recoveryWriter().waitForDone(5000));
        ASSERT_EVENTUALLY((prompts.messages().size()) == (1), 5000);
        w->Edit_Atrybuty_Tytul->setText(QStringLiteral("Druga zmiana"));
        w->checkForChanges();
        ASSERT_TRUE(w->recoveryWriter().waitForDone(5000));
        QCoreApplication::processEvents(); // a second report would have been posted by now
    }
    ASSERT_EQ(prompts.messages().size(), 1) << "told once";
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("UWAGA!"));
    EXPECT_TRUE(prompts.messages()[0].text.contains(QStringLiteral("brak miejsca na dysku")));
    EXPECT_TRUE(w->Panel_Hint->currentMessage().contains(QStringLiteral("nie jest zapisywana na wypadek awarii")));

    // The last-page file cannot be written either: the close asks.
    const QString saveAs = path(QStringLiteral("gdzie-indziej.zentarek"));
    {
        const InjectedDiskFull full = InjectedDiskFull::always();
        prompts.answerWithCancel(YesNoCancel::Cancel);
        EXPECT_FALSE(w->close()) << "Anuluj keeps the window";
        EXPECT_TRUE(prompts.calls().last().text.startsWith(QStringLiteral("Strony nie można zachować do następnego uruchomienia")));
    }
    {
        const InjectedDiskFull full(0); // the last page fails; the project chosen then has room
        prompts.answerWithCancel(YesNoCancel::Yes);
        prompts.answerSaveFile(saveAs);
        EXPECT_TRUE(w->close());
    }
    EXPECT_EQ(readProjectFile(saveAs).project->page.Edit_Atrybuty_Tytul, QStringLiteral("Druga zmiana"));
    EXPECT_TRUE(prompts.allAnswersUsed());
}

TEST_F(ProjectSafetyTest, ASnapshotQueuedBeforeADiscardNeverPutsTheRecoveryFileBack)
{
    RecoveryWriter writer(path(QStringLiteral("odzyskiwanie.zentarek")));
    Project p;
    p.mainText = QString(200000, u'x');
    for (int round = 0; round < 50; ++round) {
        writer.write(p, {});
        writer.write(p, {});
        writer.discard();
        ASSERT_TRUE(writer.waitForDone(5000));
        ASSERT_FALSE(QFileInfo::exists(writer.file())) << "round " << round;
    }
    writer.write(p, {});
    ASSERT_TRUE(writer.waitForDone(5000));
    EXPECT_TRUE(QFileInfo::exists(writer.file())) << "a snapshot after the discard is written as usual";
}

TEST_F(ProjectSafetyTest, TheCloseQuestionStopsTheSnapshotsAndNoLateOneClaimsACrash)
{
    const QString project = folder(QStringLiteral("p")) + QStringLiteral("a.zentarek");
    TKreatorDlg *w = open();
    ASSERT_TRUE(w->saveProjectTo(project));
    w->Edit_Atrybuty_Tytul->setText(QStringLiteral("Zmiana odrzucona"));
    prompts.answerWithCancel(YesNoCancel::No);
    EXPECT_TRUE(w->close());
    w->checkForChanges(); // a timer that fired during the question
    ASSERT_TRUE(w->recoveryWriter().waitForDone(5000));
    EXPECT_FALSE(QFileInfo::exists(w->recoveryWriter().file()));
    windows.clear();
    TKreatorDlg *next = open();
    next->restoreLastPage();
    EXPECT_NE(next->Edit_Atrybuty_Tytul->text(), QStringLiteral("Zmiana odrzucona"));
    EXPECT_NE(next->Panel_Hint->currentMessage(), QStringLiteral(" Przywrócono stronę sprzed nieoczekiwanego zamknięcia programu."));
}

TEST_F(ProjectSafetyTest, TwoWindowsOnOneProjectNeverOverwriteEachOther)
{
    const QString project = folder(QStringLiteral("wspolny")) + QStringLiteral("wspolny.zentarek");
    TKreatorDlg *first = open();
    first->Edit_Atrybuty_Tytul->setText(QStringLiteral("Pierwsze okno"));
    ASSERT_TRUE(first->saveProjectTo(project));

    ASSERT_TRUE(first->openProject(project));
    EXPECT_TRUE(prompts.calls().isEmpty()) << "opened again in its own window: no question";
    EXPECT_FALSE(first->projectReadOnly());

    TKreatorDlg *second = open();
    EXPECT_NE(second->recoveryWriter().file(), first->recoveryWriter().file()) << "each window its own recovery file";
    second->restoreLastPage();
    EXPECT_NE(second->Panel_Hint->currentMessage(), QStringLiteral(" Przywrócono stronę sprzed nieoczekiwanego zamknięcia programu."));

    prompts.answerWithCancel(YesNoCancel::Yes); // read-only
    ASSERT_TRUE(second->openProject(project));
    EXPECT_TRUE(prompts.calls().last().text.startsWith(QStringLiteral("Projekt \"%1\" jest otwarty w innym oknie programu.").arg(project)));
    EXPECT_TRUE(second->projectReadOnly());
    EXPECT_EQ(shownTitle(second), QStringLiteral("wspolny (tylko do odczytu) - Zentarek Light - Generator Stron WWW"));
    second->Edit_Atrybuty_Tytul->setText(QStringLiteral("Drugie okno"));
    const QString copy = path(QStringLiteral("kopia.zentarek"));
    prompts.answerSaveFile(copy);
    second->Projekt_Zapisz->trigger(); // goes to "Zapisz jako"
    EXPECT_EQ(readProjectFile(project).project->page.Edit_Atrybuty_Tytul, QStringLiteral("Pierwsze okno"));
    EXPECT_EQ(readProjectFile(copy).project->page.Edit_Atrybuty_Tytul, QStringLiteral("Drugie okno"));
    EXPECT_FALSE(second->projectReadOnly());

    prompts.clear();
    prompts.answerWithCancel(YesNoCancel::No); // as a copy
    ASSERT_TRUE(second->openProject(project));
    EXPECT_TRUE(second->projectPath().isEmpty()) << "a copy has no name";
    EXPECT_TRUE(second->isPageModified());
    prompts.answerSaveFile(project);
    second->Projekt_Zapisz->trigger();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].text,
              QStringLiteral("Nie można zapisać projektu \"%1\": jest otwarty w innym oknie programu!").arg(project));

    first->Edit_Atrybuty_Tytul->setText(QStringLiteral("Pierwsze, raz jeszcze"));
    first->Projekt_Zapisz->trigger();
    EXPECT_EQ(readProjectFile(project).project->page.Edit_Atrybuty_Tytul, QStringLiteral("Pierwsze, raz jeszcze"));
    prompts.answerWithCancel(YesNoCancel::No);
    EXPECT_TRUE(second->close());
    prompts.clear();
}

TEST_F(ProjectSafetyTest, AProjectKeepsItsOwnConnectionWhateverTheSettingsHeld)
{
    const QString folderPath = folder(QStringLiteral("tls"));
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "TLS project" : "clear-text project");
        Project p;
        p.profile = PublishProfile{QStringLiteral("127.0.0.1:2121"), QStringLiteral("jan"), QStringLiteral("www"), false, tls};
        const QString file = folderPath + (tls ? QStringLiteral("tls.zentarek") : QStringLiteral("jawny.zentarek"));
        ASSERT_EQ(writeProjectFile(p, file), std::nullopt);
        registry->writeText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QStringLiteral("Polaczenie"),
                            tls ? QStringLiteral("FTP") : QStringLiteral("FTPS")); // the other one, from before
        TKreatorDlg *w = open();
        ASSERT_TRUE(w->openProject(file));
        EXPECT_EQ(storedConnection(), tls ? QStringLiteral("FTPS") : QStringLiteral("FTP"))
            << "the publish dialog opens with the project's choice";
        w->Edit_Atrybuty_Tytul->setText(QStringLiteral("zmiana"));
        ASSERT_TRUE(w->saveProjectTo(file));
        EXPECT_EQ(readProjectFile(file).project->profile.tls, tls) << "a save keeps what the project said";
        registry->writeText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Profile"), QStringLiteral("Polaczenie"),
                            tls ? QStringLiteral("FTP") : QStringLiteral("FTPS")); // the user changed it in the dialog
        ASSERT_TRUE(w->saveProjectTo(file));
        EXPECT_EQ(readProjectFile(file).project->profile.tls, !tls);
        w->hide();
    }
}

} // namespace

namespace {

TEST_F(ProjectSafetyTest, ALastPageWhoseProjectDidNotOpenIsNotOverwrittenAtTheClose)
{
    const SessionFiles files = SessionFiles::standard();
    Project kept;
    kept.page.Edit_Atrybuty_Tytul = QStringLiteral("Strona projektu na dysku USB");
    kept.kept.insert(SessionProjectKey, path(QStringLiteral("usb/odlaczony.zentarek")));
    QDir().mkpath(files.folder);
    ASSERT_EQ(writeFileChecked(files.lastPage, projectToJson(kept, {})), std::nullopt);
    const QByteArray before = readFile(files.lastPage);

    TKreatorDlg *w = open();
    w->restoreLastPage();
    ASSERT_EQ(prompts.messages().size(), 1) << "the project that did not open is named";
    EXPECT_TRUE(w->close()) << "an unchanged page closes without a question";
    EXPECT_EQ(readFile(files.lastPage), before) << "the next start can still try the project";
    windows.clear();
    prompts.clear();

    TKreatorDlg *next = open();
    next->restoreLastPage();
    next->Edit_Atrybuty_Tytul->setText(QStringLiteral("Nowa praca bez nazwy"));
    prompts.answerWithCancel(YesNoCancel::No);
    EXPECT_TRUE(next->close());
    EXPECT_TRUE(prompts.calls().last().text.contains(QStringLiteral("zachowuje projekt, którego nie udało się otworzyć")));
    EXPECT_EQ(readFile(files.lastPage), before);
    EXPECT_TRUE(prompts.allAnswersUsed());
    prompts.clear();
}

} // namespace
