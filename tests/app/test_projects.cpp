// Projects from the window: save, open, the title, the question before a
// page is left, the page kept at the close and the recovery file.
#include "CommandLine.h"
#include "Isolated.h"
#include "MidiSong.h"
#include "SoundFiles.h"
#include "Kreator.h"
#include "ProjectFile.h"
#include "Services.h"
#include "Session.h"
#include "SettingsStore.h"
#include "THtmlMemo.h"

#include "../imaging/TestPictures.h"

#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::ScriptedPrompts;

namespace {

class ProjectWindowTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = programFolderWithBadge();
        accountName = QStringLiteral("Jan Kowalski");
    }
    void TearDown() override
    {
        window.reset();
        Isolated::TearDown();
    }
    TKreatorDlg *open()
    {
        window = std::make_unique<TKreatorDlg>(appFolder);
        return window.get();
    }
    // What a user changes: a title, a link, a line of text.
    void editPage(TKreatorDlg *w, const QString &title)
    {
        w->Edit_Atrybuty_Tytul->setText(title);
        w->Edytorek->setPlainText(QStringLiteral("<P>Zażółć gęślą jaźń\n<IMG SRC=\"obrazki/kot.gif\">\n"));
    }
    QString shownTitle(const TKreatorDlg *w) const
    {
        return QString(w->windowTitle()).replace(QStringLiteral("[*]"), w->isWindowModified() ? QStringLiteral("*") : QString());
    }

    QString appFolder;
    std::unique_ptr<TKreatorDlg> window;
};

// The command line splits a project's text itself; the window gets its
// lines from the editor's document. The two must agree on every line end,
// or --build and the window would write different pages.
TEST(LinesOfText, SplitsAsTheEditorsDocumentDoes)
{
    QString texts[] = {
        QString(),
        QStringLiteral("jedna"),
        QStringLiteral("a\n"),
        QStringLiteral("a\n\n"),
        QStringLiteral("\n\nb"),
        QStringLiteral("okna\r\nunix\nmac\rkoniec\r"),
        QStringLiteral("\r\r\n\n\r"),
        QStringLiteral("akapit\u2029dalej\u2028w tym samym wierszu\u00a0twarda spacja"),
        QStringLiteral("\tż\u00f3łw\r\n\r\n"),
        QString(), // below: ends at every place of an eight-character step
    };
    QString &mixed = texts[std::size(texts) - 1];
    const QString ends[] = {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r"), QStringLiteral("\u2029")};
    for (int i = 0; i < 80; ++i) // with letters above U+2028 that only look like ends at first sight
        mixed += QString(i % 19, i % 3 ? QChar(u'ż') : QChar(0x2030)) + (i % 5 ? QString() : QStringLiteral("\u2028\uFFFD")) + ends[i % 4];
    for (const QString &text : texts) {
        QTextDocument document;
        document.setPlainText(text);
        QStringList expected;
        for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
            expected << b.text();
        if (!expected.isEmpty() && expected.last().isEmpty())
            expected.removeLast();
        EXPECT_EQ(linesOfText(text), expected) << text.toStdString();
    }
}

TEST_F(ProjectWindowTest, SaveAsThenOpenGivesBackThePageAndTheTitleFollowsChanges)
{
    const QString project = folder(QStringLiteral("Strona Jana")) + QStringLiteral("jan.zentarek");
    TKreatorDlg *w = open();
    editPage(w, QStringLiteral("Strona Jana"));
    w->checkForChanges();
    EXPECT_EQ(shownTitle(w), QStringLiteral("Bez nazwy* - Zentarek Light - Generator Stron WWW"));

    prompts.answerSaveFile(project.chopped(9)); // typed without the extension
    w->Projekt_ZapiszJako->trigger();
    EXPECT_TRUE(QFileInfo::exists(project));
    EXPECT_EQ(w->projectPath(), project);
    EXPECT_EQ(shownTitle(w), QStringLiteral("jan - Zentarek Light - Generator Stron WWW"));
    EXPECT_EQ(w->Panel_Hint->currentMessage(), QStringLiteral(" Zapisano projekt: %1").arg(QDir::toNativeSeparators(project)));
    EXPECT_EQ(w->baseFolder(), QFileInfo(project).absolutePath() + u'/') << "relative references are the project's";

    QTest::keyClicks(w->Edytorek, QStringLiteral("x"));
    w->checkForChanges();
    EXPECT_EQ(shownTitle(w), QStringLiteral("jan* - Zentarek Light - Generator Stron WWW"));
    QTest::keyClick(w->Edytorek, Qt::Key_Z, Qt::ControlModifier); // undone: as saved again
    w->checkForChanges();
    EXPECT_EQ(shownTitle(w), QStringLiteral("jan - Zentarek Light - Generator Stron WWW"));
    const PageDescription saved = w->description();
    window.reset();

    TKreatorDlg *again = open();
    ASSERT_TRUE(again->openProject(project));
    EXPECT_EQ(again->description(), saved);
    EXPECT_FALSE(again->isPageModified());
    EXPECT_TRUE(prompts.messages().isEmpty());
    // The most recent project is offered in the menu.
    const QAction *recent = again->PopUp_Projekt->findChild<QAction *>(QStringLiteral("Projekt_Ostatni_1"));
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->text().endsWith(project));
}

// A long main text reaches the editor in pieces after the project is open:
// saving at once still writes all of it, and the arriving pieces are no
// change to the page (no mark in the title, no recovery file).
TEST_F(ProjectWindowTest, ALargeProjectIsWholeWhenSavedAtOnceAndUnchangedWhenItHasArrived)
{
    Project big;
    big.page.Edit_Atrybuty_Tytul = QStringLiteral("Duża strona");
    for (int i = 0; i < 40000; ++i)
        big.mainText += QStringLiteral("<P>Wiersz %1: zażółć gęślą jaźń.\n").arg(i);
    const QString project = folder(QStringLiteral("duza")) + QStringLiteral("duza.zentarek");
    const QString copy = folder(QStringLiteral("kopia")) + QStringLiteral("kopia.zentarek");
    ASSERT_EQ(writeProjectFile(big, project), std::nullopt);

    TKreatorDlg *w = open();
    w->show();
    ASSERT_TRUE(w->openProject(project));
    ASSERT_TRUE(w->Edytorek->isLoading()) << "the text is long enough to arrive in pieces";
    ASSERT_TRUE(w->saveProjectTo(copy));
    EXPECT_EQ(readProjectFile(copy).project->mainText, big.mainText);

    ASSERT_TRUE(w->openProject(project));
    QDeadlineTimer deadline(20000);
    while (w->Edytorek->isLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(w->Edytorek->isLoading());
    w->checkForChanges();
    EXPECT_FALSE(w->isPageModified());
    EXPECT_EQ(shownTitle(w), QStringLiteral("duza - Zentarek Light - Generator Stron WWW"));
    EXPECT_TRUE(w->recoveryWriter().waitForDone(5000));
    EXPECT_EQ(w->recoveryWriter().written(), 0);
    const QStringList lines = w->description().Edytorek;
    ASSERT_EQ(lines.size(), 40000);
    EXPECT_EQ(lines.last(), QStringLiteral("<P>Wiersz 39999: zażółć gęślą jaźń."));
}

TEST_F(ProjectWindowTest, TheProjectKeysAreTheirOwnAndWorkFromTheEditor)
{
    TKreatorDlg *w = open();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QList<QKeySequence> others;
    for (const QAction *a : w->findChildren<QAction *>())
        if (!a->shortcut().isEmpty() && !a->objectName().startsWith(QStringLiteral("Projekt_")))
            others << a->shortcut();
    others << w->Edytorek->optionsKey() << QKeySequence(Qt::CTRL | Qt::Key_Tab) << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab);
    for (const QAction *a : {w->Projekt_Nowy, w->Projekt_Otworz, w->Projekt_Zapisz, w->Projekt_ZapiszJako}) {
        EXPECT_FALSE(a->shortcut().isEmpty()) << a->objectName().toStdString();
        EXPECT_FALSE(others.contains(a->shortcut())) << a->shortcut().toString().toStdString();
    }
    EXPECT_NE(w->Projekt_Zapisz->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S))
        << "Ctrl+S stays the page's Save";

    w->Pages->setCurrentIndex(2);
    w->Edytorek->setFocus();
    prompts.answerOpenFile(QString()); // cancelled
    QTest::keyClick(w->Edytorek, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(prompts.calls().size(), 1) << "Ctrl+O in the editor opens a project, once";
    EXPECT_EQ(prompts.calls().first().kind, ScriptedPrompts::Kind::OpenFile);
    EXPECT_EQ(prompts.calls().first().filter, QStringLiteral("Projekty stron (*.zentarek)|*.zentarek"));
    w->hide();
}

TEST_F(ProjectWindowTest, LeavingAChangedProjectAsksYesNoOrCancel)
{
    const QString project = folder(QStringLiteral("p")) + QStringLiteral("a.zentarek");
    TKreatorDlg *w = open();
    ASSERT_TRUE(w->saveProjectTo(project));
    const QByteArray savedBytes = zk::testing::readFile(project);

    editPage(w, QStringLiteral("Nowy tytuł"));
    prompts.answerWithCancel(YesNoCancel::Cancel);
    EXPECT_FALSE(w->close()) << "Anuluj: the window stays";
    EXPECT_EQ(prompts.calls().last().text, QStringLiteral("Czy zapisać zmiany w projekcie \"a\"?"));
    EXPECT_EQ(w->Edit_Atrybuty_Tytul->text(), QStringLiteral("Nowy tytuł"));

    prompts.answerWithCancel(YesNoCancel::No);
    w->Projekt_Nowy->trigger();
    EXPECT_EQ(zk::testing::readFile(project), savedBytes) << "Nie: the project stays as saved";
    EXPECT_TRUE(w->projectPath().isEmpty());
    EXPECT_EQ(w->Edit_Atrybuty_Tytul->text(), QStringLiteral("Jan Kowalski - Strona Domowa - Firmowa"));

    ASSERT_TRUE(w->openProject(project));
    editPage(w, QStringLiteral("Tak zapisany"));
    prompts.answerWithCancel(YesNoCancel::Yes);
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(readProjectFile(project).project->page.Edit_Atrybuty_Tytul == QStringLiteral("Tak zapisany"));
    EXPECT_TRUE(prompts.allAnswersUsed());
}

TEST_F(ProjectWindowTest, AnUntitledPageIsKeptAtTheCloseWithoutAQuestionAndComesBack)
{
    TKreatorDlg *w = open();
    editPage(w, QStringLiteral("Bez nazwy, ale moja"));
    w->CHK_WordWrap->click();
    const PageDescription before = w->description();
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(prompts.calls().isEmpty()) << "no question";
    window.reset();

    TKreatorDlg *next = open();
    next->restoreLastPage();
    EXPECT_EQ(next->description(), before);
    EXPECT_TRUE(next->CHK_WordWrap->isChecked());
    EXPECT_TRUE(next->projectPath().isEmpty());

    // Opening a project (as from the file manager) must not push it out unasked.
    const QString project = folder(QStringLiteral("inny")) + QStringLiteral("inny.zentarek");
    ASSERT_EQ(writeProjectFile(Project{}, project), std::nullopt);
    prompts.answerWithCancel(YesNoCancel::Cancel);
    EXPECT_FALSE(next->openProjectAsked(project));
    EXPECT_EQ(prompts.calls().last().text, QStringLiteral("Strona ma niezapisane zmiany. Czy zapisać ją jako projekt?"));
    EXPECT_EQ(next->description(), before) << "Anuluj keeps it";
    EXPECT_TRUE(prompts.allAnswersUsed());
}

TEST_F(ProjectWindowTest, AFreshPageKeptAtTheCloseIsLeftWithoutAQuestion)
{
    EXPECT_TRUE(open()->close());
    window.reset();
    TKreatorDlg *next = open();
    next->restoreLastPage();
    EXPECT_FALSE(next->isPageModified());
    const QString project = folder(QStringLiteral("p")) + QStringLiteral("c.zentarek");
    ASSERT_EQ(writeProjectFile(Project{}, project), std::nullopt);
    EXPECT_TRUE(next->openProjectAsked(project));
    EXPECT_TRUE(prompts.calls().isEmpty());
}

TEST_F(ProjectWindowTest, ANamedProjectIsOpenedAgainAtTheNextStart)
{
    const QString project = folder(QStringLiteral("p")) + QStringLiteral("b.zentarek");
    TKreatorDlg *w = open();
    editPage(w, QStringLiteral("Projekt B"));
    ASSERT_TRUE(w->saveProjectTo(project));
    EXPECT_TRUE(w->close());
    window.reset();

    TKreatorDlg *next = open();
    next->restoreLastPage();
    EXPECT_EQ(next->projectPath(), project);
    EXPECT_EQ(next->Edit_Atrybuty_Tytul->text(), QStringLiteral("Projekt B"));
}

TEST_F(ProjectWindowTest, ARunThatEndsWithoutClosingLeavesARecoveryFileTheNextStartRestores)
{
    const SessionFiles files = SessionFiles::standard();
    TKreatorDlg *w = open();
    editPage(w, QStringLiteral("Przed awarią"));
    EXPECT_FALSE(QFileInfo::exists(files.recovery));
    w->checkForChanges();
    ASSERT_TRUE(w->recoveryWriter().waitForDone(5000));
    EXPECT_TRUE(QFileInfo::exists(files.recovery));
    EXPECT_EQ(QFileInfo(files.recovery).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    const PageDescription before = w->description();
    window->hide();
    window.reset(); // no close: as if the process died

    TKreatorDlg *next = open();
    next->restoreLastPage();
    EXPECT_EQ(next->description(), before);
    EXPECT_TRUE(next->isPageModified()) << "the restored page is in no file yet";
    EXPECT_EQ(next->Panel_Hint->currentMessage(), QStringLiteral(" Przywrócono stronę sprzed nieoczekiwanego zamknięcia programu."));
    EXPECT_TRUE(next->close());
    EXPECT_FALSE(QFileInfo::exists(files.recovery)) << "a proper close removes it";
    EXPECT_TRUE(QFileInfo::exists(files.lastPage));
}

TEST_F(ProjectWindowTest, AProjectThatCannotBeOpenedLeavesThePageAsItWas)
{
    const QString project = path(QStringLiteral("zepsuty.zentarek"));
    writeFile(project, "{\"format\": \"zentarek-projekt\", \"wersja\": 1, \"strona\": {\"tytul\": ");
    TKreatorDlg *w = open();
    editPage(w, QStringLiteral("Moja praca"));
    EXPECT_FALSE(w->openProject(project));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages().first().caption, QStringLiteral("BŁĄD!"));
    EXPECT_TRUE(prompts.messages().first().text.startsWith(QStringLiteral("Nie można otworzyć projektu \"%1\": plik jest niepełny").arg(project)))
        << prompts.messages().first().text.toStdString();
    EXPECT_EQ(w->Edit_Atrybuty_Tytul->text(), QStringLiteral("Moja praca"));
    EXPECT_TRUE(w->projectPath().isEmpty());
}

TEST_F(ProjectWindowTest, AProjectWithMissingPicturesOpensAndListsThemOnce)
{
    const QString folderPath = folder(QStringLiteral("z obrazkami"));
    TKreatorDlg *w = open();
    ASSERT_TRUE(zk::testing::writeGif(folderPath + QStringLiteral("logo.gif"), 10, 10));
    w->Check_Uklad_Logo->setChecked(true);
    w->Edit_Uklad_Logo->setText(folderPath + QStringLiteral("logo.gif"));
    ASSERT_TRUE(w->saveProjectTo(folderPath + QStringLiteral("s.zentarek")));
    QFile::remove(folderPath + QStringLiteral("logo.gif"));
    window.reset();

    TKreatorDlg *next = open();
    EXPECT_TRUE(next->openProject(folderPath + QStringLiteral("s.zentarek")));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages().first().caption, QStringLiteral("UWAGA!"));
    EXPECT_TRUE(prompts.messages().first().text.contains(folderPath + QStringLiteral("logo.gif")));
    EXPECT_EQ(next->Edit_Uklad_Logo->text(), folderPath + QStringLiteral("logo.gif"));
}

// The page --build writes is the page Save writes from the window.
TEST_F(ProjectWindowTest, BuildWritesWhatSaveWritesFromTheWindow)
{
    const QString projectFolder = folder(QStringLiteral("projekt"));
    folder(QStringLiteral("projekt/obrazki"));
    ASSERT_TRUE(zk::testing::writeGif(projectFolder + QStringLiteral("obrazki/kot.gif"), 20, 10));
    ASSERT_TRUE(zk::testing::writeGif(projectFolder + QStringLiteral("logo.gif"), 30, 10));
    TKreatorDlg *w = open();
    editPage(w, QStringLiteral("Zbudowana"));
    w->Check_Uklad_Logo->setChecked(true);
    w->Edit_Uklad_Logo->setText(projectFolder + QStringLiteral("logo.gif"));
    const bool melody = !generalMidiSoundFont().isEmpty(); // an HTML5 page whose melody travels as a recording
    if (melody) {
        writeFile(projectFolder + QStringLiteral("muzyka/tło.mid"), zk::testing::midiSong(3));
        w->Check_Play->setChecked(true);
        w->Edit_Src->setText(projectFolder + QStringLiteral("muzyka/tło.mid"));
        w->Lista_Atrybuty_DocType->setCurrentIndex(w->Lista_Atrybuty_DocType->count() - 1);
    }
    ASSERT_TRUE(w->saveProjectTo(projectFolder + QStringLiteral("s.zentarek")));
    window.reset();

    TKreatorDlg *fresh = open();
    ASSERT_TRUE(fresh->openProject(projectFolder + QStringLiteral("s.zentarek")));
    const QString fromWindow = folder(QStringLiteral("z okna"));
    prompts.answerFolder(fromWindow);
    if (melody)
        prompts.answerQuestion(true); // an HTML5 page is checked first: the picture has no ALT
    fresh->BTN_ZapiszClick();

    const QString fromBuild = path(QStringLiteral("z wiersza"));
    QStringList reports;
    QList<double> recorded;
    BuildContext context{GetWinUserName(*registry, services().accountFullName), fresh->paths().badgeSourcePath,
                         [&](const QString &text) { reports << text; }, [&](double share) { recorded << share; }};
    QDir(path(QStringLiteral("cache"))).removeRecursively(); // the command line records the melody itself
    ASSERT_TRUE(buildProject(projectFolder + QStringLiteral("s.zentarek"), fromBuild, context)) << reports.join(u'\n').toStdString();
    EXPECT_TRUE(reports.isEmpty());

    const auto listing = [](const QString &root) {
        QStringList out;
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << it.next().mid(root.size());
        out.sort();
        return out;
    };
    const QStringList files = listing(fromWindow);
    ASSERT_EQ(listing(fromBuild + u'/'), files);
    EXPECT_TRUE(files.contains(QStringLiteral("obrazki/kot.gif")));
    if (melody) {
        EXPECT_TRUE(files.contains(QStringLiteral("tło.opus"))) << files.join(u' ').toStdString();
        EXPECT_FALSE(files.contains(QStringLiteral("tło.mid")));
        ASSERT_FALSE(recorded.isEmpty());
        EXPECT_DOUBLE_EQ(recorded.last(), 1.0);
    }
    for (const QString &f : files) {
        QList<QByteArray> a = zk::testing::readFile(fromWindow + f).split('\n');
        QList<QByteArray> b = zk::testing::readFile(fromBuild + u'/' + f).split('\n');
        const auto dated = [](const QByteArray &line) { return line.contains("Creation-date") || line.contains("Strona utworzona dnia"); };
        a.removeIf(dated);
        b.removeIf(dated);
        EXPECT_EQ(a, b) << f.toStdString();
    }
}

} // namespace
