#include "Isolated.h"
#include "Encoding.h"
#include "Kreator.h"
#include "THtmlMemo.h"
#include "PageGenerator.h"

#include "../generator/Pages.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

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
        window->Edytorek->setPlainText(QStringLiteral("<P>Mój kot: <IMG SRC=\"%1Kot.JPG\"> i <IMG SRC=\"nie_ma.gif\"></P>")
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
    EXPECT_EQ(shell.calls[0].what, page);
    EXPECT_TRUE(prompts.calls().isEmpty());
}

TEST_F(OutputCommandsTest, PreviewCopiesTheAssetsAndKeepsEarlierCopies)
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
    EXPECT_EQ(shell.calls[0].what, temp + QStringLiteral("strona.html"));

    writeFile(pictures + QStringLiteral("Kot.JPG"), "JFIF nowy kot");
    window->Edytorek->appendPlainText(QStringLiteral("<P>drugi</P>"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(readFile(temp + QStringLiteral("Kot.JPG")), QByteArray("JFIF kot")) << "an earlier copy is kept";
    EXPECT_TRUE(readFile(temp + QStringLiteral("strona.html")).contains("<P>drugi</P>")) << "the page is rewritten";
    EXPECT_TRUE(prompts.calls().isEmpty());
}

TEST_F(OutputCommandsTest, PreviewThatTheDesktopCannotShowSaysSo)
{
    shell.succeed = false;
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("BŁĄD!"));
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Nie można wyświetlić strony!"));
}

TEST_F(OutputCommandsTest, SaveAsksForTheFolderAndWritesThePageWithItsFiles)
{
    fillPage();
    window->Edit_Nazwa->setText(QStringLiteral("Strona"));
    const QString target = folder(QStringLiteral("Moja strona"));
    writeFile(target + QStringLiteral("logo.gif"), "inne logo");
    prompts.answerFolder(target.chopped(1));
    QTest::mouseClick(window->BTN_Zapisz, Qt::LeftButton);
    EXPECT_EQ(window->Edit_Nazwa->text(), QStringLiteral("Strona.html"));
    EXPECT_EQ(window->PageFilePath(), window->paths().tempFolder + QStringLiteral("Strona.html"));
    EXPECT_EQ(fileNames(target), (QStringList{QStringLiteral("Kot.JPG"), QStringLiteral("logo.gif"),
                                              QStringLiteral("Strona.html"), QStringLiteral("zenanim.gif")}));
    EXPECT_EQ(readFile(target + QStringLiteral("logo.gif")), QByteArray("inne logo")) << "the folder's own picture stays";
    const QByteArray page = readFile(target + QStringLiteral("Strona.html"));
    EXPECT_TRUE(page.contains("<H2 ALIGN=LEFT><FONT COLOR=\"#000000\">Jan Kowalski - Strona Domowa - Firmowa</FONT></H2>"))
        << "Save normalises before generating, so the title is already the subtitle";
    EXPECT_EQ(fileNames(window->paths().tempFolder), QStringList{}) << "Save writes nothing into the temporary folder";
    EXPECT_TRUE(shell.calls.isEmpty());
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].kind, zk::testing::ScriptedPrompts::Kind::Folder);
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
    EXPECT_EQ(messages[0].text, QStringLiteral("Błąd przy próbie zmiany strony kodowej!"));
    EXPECT_EQ(messages[1].text, QStringLiteral("Nie można zapisać pliku \"%1/index.html\"!").arg(gone));
    EXPECT_FALSE(QFile::exists(gone));
}

TEST_F(OutputCommandsTest, WindowsEncodingWritesWindowsBytes)
{
    window->PopUp_Atrybuty_Polskie_ISO->setChecked(false);
    window->PopUp_Atrybuty_Polskie_Windows->setChecked(true);
    window->PageEncoding = QStringLiteral("CP-1250");
    window->Edytorek->setPlainText(QStringLiteral("Śląsk"));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const QByteArray page = readFile(window->paths().tempFolder + QStringLiteral("index.html"));
    EXPECT_TRUE(page.contains("charset=windows-1250"));
    EXPECT_TRUE(page.contains("\x8Cl\xB9sk"));
}

} // namespace

namespace {

TEST_F(OutputCommandsTest, AnAssetThatCannotBeReadEndsTheCommandWithTheErrorReport)
{
    QDir().mkpath(pictures + QStringLiteral("album.gif")); // a folder that only looks like a picture
    window->Edytorek->setPlainText(QStringLiteral("<IMG SRC=\"%1album.gif\"><IMG SRC=\"%1Kot.JPG\">").arg(pictures));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Zentarek Light - Generator Stron WWW"));
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("Nie można otworzyć pliku \"%1album.gif\"").arg(pictures)))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.endsWith(u'.'));
    EXPECT_TRUE(QFile::exists(window->paths().tempFolder + QStringLiteral("index.html"))) << "the page was written first";
    EXPECT_TRUE(shell.calls.isEmpty()) << "the rest of the command is skipped";
    window->Edytorek->setPlainText(QStringLiteral("<IMG SRC=\"%1Kot.JPG\">").arg(pictures));
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    EXPECT_EQ(shell.calls.size(), 1) << "the next command runs normally";
}

} // namespace
