#include "ColorPickerButton.h"
#include "Isolated.h"
#include "PageOutput.h"
#include "Encoding.h"
#include "Kreator.h"
#include "MidiRecording.h"
#include "MidiSong.h"
#include "SoundFiles.h"
#include "THtmlMemo.h"
#include "PageGenerator.h"
#include "PreviewServer.h"
#include "QtPrompts.h"
#include "RealPrompts.h"
#include "Services.h"

#include "../generator/Pages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::readFile;

namespace {

class OutputCommandsTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = programFolderWithBadge();
        pictures = folder(QStringLiteral("Obrazki"));
        writeFile(pictures + QStringLiteral("logo.gif"), "GIF89a logo");
        writeFile(pictures + QStringLiteral("Kot.JPG"), "JFIF kot");
        accountName = QStringLiteral("Jan Kowalski");
        window = std::make_unique<TKreatorDlg>(appFolder);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window->hide();
        window.reset();
        Isolated::TearDown();
    }
    void fillPage()
    {
        window->Check_Uklad_Logo->setChecked(true);
        window->Edit_Uklad_Logo->setText(pictures + QStringLiteral("logo.gif"));
        window->Edytorek->setPlainText(QStringLiteral("<P>Mój kot: <IMG SRC=\"%1Kot.JPG\"> i <IMG SRC=\"%1nie_ma.gif\"></P>")
                                           .arg(pictures));
    }
    QStringList fileNames(const QString &dir) const { return QDir(dir).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase); }

    QString appFolder;
    QString pictures;
    std::unique_ptr<TKreatorDlg> window;
};

TEST_F(OutputCommandsTest, FreshStartPreviewWritesTheDefaultDocument)
{
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QString page = window->paths().tempFolder + QStringLiteral("index.html");
    const QByteArray written = readFile(page);
    const QList<QByteArray> lines = written.split('\n');
    ASSERT_GT(lines.size(), 22);
    const QString creation = QString::fromLatin1(lines[4].chopped(1));
    EXPECT_TRUE(creation.startsWith(QStringLiteral("<META HTTP-EQUIV=\"Creation-date\" CONTENT=\"")));
    const QString footer = QString::fromLatin1(lines[21]);
    const QString date = footer.mid(footer.indexOf(QStringLiteral("dnia ")) + 5, 10);
    EXPECT_EQ(date, footerDate(QDate::currentDate(), QLocale::system()));
    const QByteArray expected =
        encodeText(zk::testing::defaultDocument(creation, date).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"),
                   EncodingIso);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(fileNames(window->paths().tempFolder), (QStringList{QStringLiteral("index.html"), QStringLiteral("zenanim.gif")}));
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].what, QStringLiteral("http://127.0.0.1:%1/index.html").arg(window->previewServer()->port()))
        << "the browser is given the served page, which follows the form";
    EXPECT_TRUE(prompts.calls().isEmpty());
}

TEST_F(OutputCommandsTest, PreviewCopiesTheAssetsAndAlwaysShowsTheCurrentFiles)
{
    fillPage();
    window->Edit_Nazwa->setText(QStringLiteral("strona.htm"));
    window->Edit_Uklad_Podtytul->setText(QStringLiteral("Podtytuł"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QString temp = window->paths().tempFolder;
    EXPECT_EQ(window->Edit_Nazwa->text(), QStringLiteral("strona.html"));
    EXPECT_EQ(fileNames(temp), (QStringList{QStringLiteral("Kot.JPG"), QStringLiteral("logo.gif"),
                                            QStringLiteral("strona.html"), QStringLiteral("zenanim.gif")}));
    const QByteArray page = readFile(temp + QStringLiteral("strona.html"));
    EXPECT_TRUE(page.contains("<IMG SRC=\"Kot.JPG\">")) << page.constData();
    EXPECT_TRUE(page.contains("<CENTER><IMG SRC=\"logo.gif\""));
    EXPECT_TRUE(page.contains("Podtytu\xb3")) << "normalised after generating: this page still has the old subtitle";
    EXPECT_TRUE(page.contains("M\xf3j kot"));
    EXPECT_EQ(window->Edit_Uklad_Podtytul->text(), window->Edit_Atrybuty_Tytul->text());
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].what, window->previewServer()->address(QStringLiteral("strona.html")));

    ASSERT_EQ(prompts.messages().size(), 1) << "one note after the command";
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("UWAGA!"));
    EXPECT_TRUE(prompts.messages()[0].text.contains(u'"' + pictures + QStringLiteral("nie_ma.gif\"")));

    prompts.clear();
    writeFile(pictures + QStringLiteral("Kot.JPG"), "JFIF nowy kot");
    window->Edytorek->appendPlainText(QStringLiteral("<P>drugi</P>"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(readFile(temp + QStringLiteral("Kot.JPG")), QByteArray("JFIF nowy kot")) << "the copy follows its source";
    EXPECT_TRUE(readFile(temp + QStringLiteral("strona.html")).contains("<P>drugi</P>")) << "the page is rewritten";
}

TEST_F(OutputCommandsTest, RelativeFilesGoIntoSubfoldersThatClosingRemoves)
{
    const QString site = folder(QStringLiteral("Witryna"));
    writeFile(site + QStringLiteral("img/male/a.gif"), "a");
    window->setBaseFolder(site);
    window->Edytorek->setPlainText(QStringLiteral("<IMG SRC=\"img/male/a.gif\"><A HREF=\"../start.html\">"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QString temp = window->paths().tempFolder;
    EXPECT_EQ(readFile(temp + QStringLiteral("img/male/a.gif")), QByteArray("a"));
    EXPECT_TRUE(readFile(temp + QStringLiteral("index.html")).contains("<IMG SRC=\"img/male/a.gif\"><A HREF=\"../start.html\">"));
    QDir().mkpath(temp + QStringLiteral("cudzy"));
    window->close();
    EXPECT_FALSE(QFileInfo::exists(temp + QStringLiteral("img"))) << "the folder Preview made is removed";
    EXPECT_TRUE(QFileInfo::exists(temp + QStringLiteral("cudzy"))) << "a folder it did not make stays";
}

TEST_F(OutputCommandsTest, PreviewThatTheDesktopCannotShowSaysSo)
{
    shell.succeed = false;
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("BŁĄD!"));
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Nie można wyświetlić strony!"));
}

TEST(PageSavedText, CountsTheFilesInPolish)
{
    const std::pair<int, const char *> cases[] = {{0, ""}, {1, " i 1 plik"}, {2, " i 2 pliki"}, {4, " i 4 pliki"}, {5, " i 5 plików"},
                                                  {12, " i 12 plików"}, {14, " i 14 plików"}, {22, " i 22 pliki"}, {25, " i 25 plików"},
                                                  {112, " i 112 plików"}, {123, " i 123 pliki"}};
    for (const auto &[files, tail] : cases)
        EXPECT_EQ(pageSavedText(QStringLiteral("/tmp/s/index.html"), files),
                  QStringLiteral("Zapisano stronę: /tmp/s/index.html") + QString::fromUtf8(tail))
            << files;
}

TEST_F(OutputCommandsTest, SaveAsksOnceBeforeReplacingOtherFilesAndNoWritesNothing)
{
    using Kind = zk::testing::ScriptedPrompts::Kind;
    fillPage();
    window->Edit_Nazwa->setText(QStringLiteral("Strona"));
    const QString target = folder(QStringLiteral("Moja strona"));
    writeFile(target + QStringLiteral("logo.gif"), "inne logo");
    writeFile(target + QStringLiteral("Kot.JPG"), "JFIF kot"); // the same bytes: replaced silently
    prompts.answerFolder(target.chopped(1));
    prompts.answerQuestion(false);
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    ASSERT_EQ(prompts.calls().size(), 2);
    EXPECT_EQ(prompts.calls()[1].kind, Kind::Question);
    EXPECT_TRUE(prompts.calls()[1].text.contains(QStringLiteral("\nlogo.gif\n"))) << prompts.calls()[1].text.toStdString();
    EXPECT_FALSE(prompts.calls()[1].text.contains(QStringLiteral("Kot.JPG"))) << "identical files are not listed";
    EXPECT_EQ(fileNames(target), (QStringList{QStringLiteral("Kot.JPG"), QStringLiteral("logo.gif")})) << "Nie: nothing written";
    EXPECT_FALSE(window->Panel_Hint->currentMessage().contains(QStringLiteral("Zapisano"))) << "nothing said to be saved";
    EXPECT_EQ(readFile(target + QStringLiteral("logo.gif")), QByteArray("inne logo"));

    prompts.clear();
    prompts.answerFolder(target.chopped(1));
    prompts.answerQuestion(true);
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    EXPECT_EQ(window->Edit_Nazwa->text(), QStringLiteral("Strona.html"));
    EXPECT_EQ(window->PageFilePath(), window->paths().tempFolder + QStringLiteral("Strona.html"));
    EXPECT_EQ(fileNames(target), (QStringList{QStringLiteral("Kot.JPG"), QStringLiteral("logo.gif"),
                                              QStringLiteral("Strona.html"), QStringLiteral("zenanim.gif")}));
    EXPECT_EQ(readFile(target + QStringLiteral("logo.gif")), QByteArray("GIF89a logo")) << "Tak: replaced";
    EXPECT_EQ(window->Panel_Hint->currentMessage(),
              QStringLiteral(" Zapisano stronę: %1Strona.html i 3 pliki").arg(QDir::toNativeSeparators(target)))
        << "a word after the save: the page and the files that went with it";
    const QByteArray page = readFile(target + QStringLiteral("Strona.html"));
    EXPECT_TRUE(page.contains("<H2 ALIGN=LEFT><FONT COLOR=\"#000000\">Jan Kowalski - Strona Domowa - Firmowa</FONT></H2>"))
        << "Save normalises before generating, so the title is already the subtitle";
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{}) << "Save writes nothing into the temporary folder";
    EXPECT_TRUE(shell.calls.isEmpty());
    ASSERT_EQ(prompts.calls().size(), 3);
    EXPECT_EQ(prompts.calls()[2].caption, QStringLiteral("UWAGA!")) << "the missing picture is named after the command";
    EXPECT_EQ(window->baseFolder(), target) << "relative references now resolve where the page was saved";
}

// The real boxes, answered by real key presses; only the folder is scripted.
class RealBoxesPrompts : public QtPrompts {
public:
    QString folder;
    QString chooseFolder(const QString &, const QString &, QWidget *) override { return folder; }
};

TEST_F(OutputCommandsTest, TheReplaceQuestionAndTheNoteAnswerToTheirKeys)
{
    RealBoxesPrompts real;
    Prompts *saved = services().prompts;
    services().prompts = &real;
    fillPage();
    real.folder = folder(QStringLiteral("Moja strona")).chopped(1);
    writeFile(real.folder + QStringLiteral("/logo.gif"), "inne logo");
    zk::testing::BoxKeys answer;
    QList<Qt::Key> &keys = answer.keys;
    const QStringList &boxes = answer.texts;
    keys = {Qt::Key_Escape};
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("Zastąpić je?")));
    EXPECT_EQ(fileNames(real.folder), QStringList{QStringLiteral("logo.gif")}) << "Escape is No: nothing written";

    keys = {Qt::Key_Return, Qt::Key_Return};
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_TRUE(boxes[2].contains(QStringLiteral("nie_ma.gif"))) << "the note about the missing picture";
    EXPECT_EQ(readFile(real.folder + QStringLiteral("/logo.gif")), QByteArray("GIF89a logo")) << "Enter is Yes";

    window->Edit_Nazwa->setText(QStringLiteral("kat/strona"));
    keys = {Qt::Key_Return};
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 4);
    EXPECT_TRUE(boxes[3].contains(QStringLiteral("\"kat/strona\""))) << boxes[3].toStdString();
    EXPECT_TRUE(shell.calls.isEmpty()) << "one Enter closed the box, and nothing was shown or written";
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{});
    services().prompts = saved;
}

TEST_F(OutputCommandsTest, PageFileNamesWithAFolderOrNoNameWriteNothing)
{
    for (const char *bad : {"", "kat/strona", "../x", "..\\x"}) {
        prompts.clear();
        window->Edit_Nazwa->setText(QString::fromLatin1(bad));
        QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
        QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
        const auto messages = prompts.messages();
        ASSERT_EQ(messages.size(), 2) << bad;
        EXPECT_EQ(messages[0].caption, QStringLiteral("BŁĄD!"));
        EXPECT_EQ(window->Edit_Nazwa->text(), QString::fromLatin1(bad)) << "the field keeps what was typed";
    }
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{});
    EXPECT_EQ(fileNames(path(QString())), QStringList{});
    EXPECT_TRUE(shell.calls.isEmpty());
}

TEST_F(OutputCommandsTest, SaveDoesNotNeedTheTemporaryFolder)
{
    const QString temp = window->paths().tempFolder;
    ASSERT_TRUE(QDir(temp).removeRecursively());
    writeFile(temp.chopped(1), "a file where the temporary folder was");
    const QString target = folder(QStringLiteral("Moja strona"));
    prompts.answerFolder(target.chopped(1));
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().value(0).text.toStdString();
    EXPECT_EQ(fileNames(target), (QStringList{QStringLiteral("index.html"), QStringLiteral("zenanim.gif")}));
}

TEST_F(OutputCommandsTest, CancelledSaveWritesNothing)
{
    prompts.answerFolder(QString());
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    EXPECT_EQ(fileNames(path(QString())), QStringList{});
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{});
}

TEST_F(OutputCommandsTest, SaveIntoAFolderThatCannotBeWrittenReportsBothMessages)
{
    const QString gone = path(QStringLiteral("usuniety"));
    prompts.answerFolder(gone);
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].text, QStringLiteral("Błąd przy zapisie strony \"%1/index.html\": folder nie istnieje!").arg(gone));
    EXPECT_EQ(messages[1].text, QStringLiteral("Nie można zapisać pliku \"%1/index.html\"!").arg(gone));
    EXPECT_FALSE(QFile::exists(gone));
}

TEST_F(OutputCommandsTest, WindowsEncodingWritesWindowsBytes)
{
    window->PopUp_Atrybuty_Polskie_Windows->trigger();
    window->Edytorek->setPlainText(QStringLiteral("Śląsk"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QByteArray page = readFile(window->paths().tempFolder + QStringLiteral("index.html"));
    EXPECT_TRUE(page.contains("charset=windows-1250"));
    EXPECT_TRUE(page.contains("\x8Cl\xB9sk"));
}

// An HTML5 page is looked over before it is shown: one "UWAGA!" box lists
// what is worth mending; Escape (No) goes back to the form with nothing
// written, Enter (Yes) goes on.
TEST_F(OutputCommandsTest, TheChecksOfAnHtml5PageAskOnceAndNoGoesBack)
{
    RealBoxesPrompts real;
    Prompts *saved = services().prompts;
    services().prompts = &real;
    window->Lista_Atrybuty_DocType->setCurrentIndex(window->Lista_Atrybuty_DocType->count() - 1);
    window->Przycisk_Atrybuty_Kolor_Tekst->setColor(QColor(0x77, 0x77, 0x77));
    window->Edytorek->setPlainText(QStringLiteral("<p>Chleb\n<img src=\"%1Kot.JPG\">\n<b>cennik</p>").arg(pictures));
    zk::testing::BoxKeys answer;
    answer.keys = {Qt::Key_Escape};
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_EQ(answer.texts.size(), 1);
    EXPECT_EQ(answer.titles[0], QStringLiteral("UWAGA!"));
    const QString &text = answer.texts[0];
    EXPECT_TRUE(text.contains(QStringLiteral("Tekst (#777777) na tle (#FFFFFF) ma kontrast 4,47:1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Kot.JPG\" nie ma tekstu zastępczego")));
    EXPECT_TRUE(text.contains(QStringLiteral("Wiersz 3 głównej sekcji: znacznik <b> nie jest zamknięty")));
    EXPECT_TRUE(shell.calls.isEmpty()) << "No goes back to the form";
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{});

    answer.keys = {Qt::Key_Return};
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(answer.texts.size(), 2) << "one box, the same list";
    EXPECT_EQ(shell.calls.size(), 1) << "Yes goes on";
    EXPECT_TRUE(fileNames(window->paths().tempFolder).contains(QStringLiteral("index.html")));

    window->Przycisk_Atrybuty_Kolor_Tekst->setColor(QColor(0, 0, 0));
    window->Edytorek->setPlainText(QStringLiteral("<p>Chleb</p>"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(answer.texts.size(), 2) << "nothing to mend, nothing asked";
    EXPECT_EQ(shell.calls.size(), 2);
    services().prompts = saved;
}

// The look, the description and the web address are an HTML5 page's: off
// for a 1998 type; chosen, they shape what Preview writes.
TEST_F(OutputCommandsTest, TheLookAndTheAddressOfAnHtml5PageAreTheFormsChoice)
{
    for (QWidget *w : std::initializer_list<QWidget *>{window->Lista_Wyglad, window->Edit_Opis_Strony, window->Edit_Adres_Strony})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    window->Lista_Atrybuty_DocType->setCurrentIndex(window->Lista_Atrybuty_DocType->count() - 1);
    EXPECT_TRUE(window->Lista_Wyglad->isEnabled());
    EXPECT_EQ(window->Lista_Wyglad->currentText(), QStringLiteral("Prosty")) << "the simplest first";
    window->Lista_Wyglad->setCurrentIndex(window->Lista_Wyglad->findText(QStringLiteral("Elegancki")));
    window->Edit_Opis_Strony->setText(QStringLiteral("Chleb na zakwasie od 1998 roku."));
    window->Edit_Adres_Strony->setText(QStringLiteral("https://piekarnia.example.pl/"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QString temp = window->paths().tempFolder;
    EXPECT_EQ(fileNames(temp), (QStringList{QStringLiteral("index.html"), QStringLiteral("robots.txt"), QStringLiteral("sitemap.xml"),
                                            QStringLiteral("zenanim.gif"), QStringLiteral("zentarek-elegancki.css")}));
    const QByteArray page = readFile(temp + QStringLiteral("index.html"));
    EXPECT_TRUE(page.contains("<meta name=\"description\" content=\"Chleb na zakwasie od 1998 roku.\">"));
    EXPECT_TRUE(page.contains("<link rel=\"canonical\" href=\"https://piekarnia.example.pl/\">"));
}

TEST_F(OutputCommandsTest, Utf8AndHtml5WriteAPageForPhones)
{
    window->PopUp_Atrybuty_Polskie_UTF8->trigger();
    window->Lista_Atrybuty_DocType->setCurrentIndex(window->Lista_Atrybuty_DocType->count() - 1);
    window->Edytorek->setPlainText(QStringLiteral("Śląsk € \U0001F600"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QByteArray page = readFile(window->paths().tempFolder + QStringLiteral("index.html"));
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html>\r\n<html lang=\"pl\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
                                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"))
        << page.left(200).toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Śląsk € \U0001F600").toUtf8())) << "every character as itself";
    EXPECT_FALSE(page.contains("Content-type"));
}

} // namespace

namespace {

TEST_F(OutputCommandsTest, AnAssetThatCannotBeCopiedEndsTheCommandWithTheErrorReport)
{
    const QString temp = window->paths().tempFolder;
    QDir().mkpath(temp + QStringLiteral("Kot.JPG")); // a folder where the copy should go
    window->Edytorek->setPlainText(QStringLiteral("<IMG SRC=\"%1Kot.JPG\">").arg(pictures));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Zentarek Light - Generator Stron WWW"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Nie można zapisać pliku \"%1Kot.JPG\": w tym miejscu jest folder!").arg(temp));
    EXPECT_TRUE(QFile::exists(temp + QStringLiteral("index.html"))) << "the page was written first";
    EXPECT_TRUE(shell.calls.isEmpty()) << "the rest of the command is skipped";
    QDir(temp + QStringLiteral("Kot.JPG")).removeRecursively();
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(shell.calls.size(), 1) << "the next command runs normally";
}

} // namespace

namespace {

class MelodyOutputTest : public OutputCommandsTest {
protected:
    QString chooseMelody(int seconds)
    {
        const QString melody = folder(QStringLiteral("Muzyka")) + QStringLiteral("Melodia.mid");
        writeFile(melody, zk::testing::midiSong(seconds));
        prompts.answerOpenFile(melody);
        QTest::mouseClick(window->Check_Play, Qt::LeftButton, {}, QPoint(5, window->Check_Play->height() / 2));
        window->Lista_Atrybuty_DocType->setCurrentIndex(window->Lista_Atrybuty_DocType->count() - 1);
        return melody;
    }
    void SetUp() override
    {
        OutputCommandsTest::SetUp();
        if (generalMidiSoundFont().isEmpty())
            GTEST_SKIP() << "no General MIDI sound font (fluid-soundfont-gm)";
    }
};

// Browsers play no MIDI: an HTML5 page's melody travels as its recording,
// made once and kept for the next commands.
TEST_F(MelodyOutputTest, AnHtml5PageTakesItsMelodyAsARecordingMadeOnce)
{
    const QString melody = chooseMelody(4);
    ASSERT_TRUE(window->Check_Play->isChecked());
    const QString target = folder(QStringLiteral("Strona"));
    prompts.answerFolder(target.chopped(1));
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().value(0).text.toStdString();
    EXPECT_EQ(fileNames(target), (QStringList{QStringLiteral("index.html"), QStringLiteral("Melodia.opus"), QStringLiteral("zenanim.gif"),
                                              QStringLiteral("zentarek-prosty.css")}))
        << "the recording travels, the MIDI file does not";
    const QByteArray page = readFile(target + QStringLiteral("index.html"));
    EXPECT_TRUE(page.contains("<audio src=\"Melodia.opus\" controls preload=\"metadata\" aria-labelledby=\"dzwiek-opis\" loop></audio>"))
        << page.toStdString();
    const QString cached = cachedRecordingPath(melody);
    const QByteArray recording = readFile(cached);
    EXPECT_TRUE(recording.startsWith("OggS"));
    EXPECT_EQ(readFile(target + QStringLiteral("Melodia.opus")), recording);

    const QDateTime made = QFileInfo(cached).lastModified();
    {
        QFile f(cached);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(made.addSecs(-60), QFileDevice::FileModificationTime));
    }
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(readFile(window->paths().tempFolder + QStringLiteral("Melodia.opus")), recording);
    EXPECT_EQ(QFileInfo(cached).lastModified(), made.addSecs(-60)) << "an unchanged melody is not recorded again";

    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog && dialog->objectName() == QStringLiteral("TPubDlg"));
        auto *tree = dialog->findChild<QTreeWidget *>(QStringLiteral("Tree"));
        for (int i = 0; i < tree->topLevelItem(1)->childCount(); ++i)
            listed << tree->topLevelItem(1)->child(i)->text(0);
        dialog->reject();
    });
    QTest::mouseClick(window->Przycisk_Punliku, Qt::LeftButton);
    EXPECT_TRUE(listed.contains(QStringLiteral("Melodia.opus (nagranie melodii %1)").arg(melody))) << listed.join(u'\n').toStdString();
    EXPECT_FALSE(listed.contains(cached)) << "not the cache's name for it";
}

// The progress window of a long recording answers Escape: nothing is written.
// A recording that cannot be made says why, and the page is not written
// without its sound.
TEST_F(MelodyOutputTest, ALongRecordingShowsItsProgressAndEscapeCancelsIt)
{
    const QString melody = chooseMelody(300);
    int percentSeen = -1;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *dialog = window->findChild<QProgressDialog *>(QStringLiteral("Postep_Nagrania"));
        if (!dialog || !dialog->isVisible())
            return;
        EXPECT_EQ(dialog->labelText(), QStringLiteral("Nagrywanie melodii \"Melodia.mid\" dla przeglądarek..."));
        if (dialog->value() > 0 && percentSeen < 0) {
            percentSeen = dialog->value();
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    });
    watch.start();
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    watch.stop();
    EXPECT_GT(percentSeen, 0) << "the window showed how far the recording got";
    EXPECT_LT(percentSeen, 100);
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral(" Anulowano nagrywanie melodii."));
    EXPECT_FALSE(QFile::exists(cachedRecordingPath(melody)));
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{}) << "no page without its sound";
    EXPECT_TRUE(shell.calls.isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());

    QDir(path(QStringLiteral("cache"))).removeRecursively();
    writeFile(path(QStringLiteral("cache/zentarek")), "a file where the cache folder should be");
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("BŁĄD!"));
    EXPECT_TRUE(prompts.messages()[0].text.startsWith(QStringLiteral("Nie można nagrać melodii \"%1\" dla przeglądarek: nie można utworzyć pliku")
                                                          .arg(melody)))
        << prompts.messages()[0].text.toStdString();
    EXPECT_TRUE(shell.calls.isEmpty());
}

} // namespace
