#include "Isolated.h"
#include "Kreator.h"

#include <QApplication>
#include <QCheckBox>
#include <QStatusBar>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;

namespace {

class SoundCommandsTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        window = std::make_unique<TKreatorDlg>(folder(QStringLiteral("program")));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window->hide();
        window.reset();
        Isolated::TearDown();
    }
    void clickPlayBox() { QTest::mouseClick(window->Check_Play, Qt::LeftButton, {}, QPoint(5, window->Check_Play->height() / 2)); }
    bool controlsEnabled() const
    {
        return window->Przycisk_Play->isEnabled() && window->Przycisk_Stop->isEnabled() && window->Edit_Src->isEnabled();
    }
    std::unique_ptr<TKreatorDlg> window;
};

TEST_F(SoundCommandsTest, ChoosingCancellingAndSwitchingOff)
{
    prompts.answerOpenFile(QString());
    clickPlayBox();
    EXPECT_FALSE(window->Check_Play->isChecked());
    EXPECT_FALSE(window->Przycisk_Play->isEnabled());
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].text, QStringLiteral("Wybierz dźwięk lub muzykę"));
    EXPECT_EQ(prompts.calls()[0].filter, QStringLiteral("Dźwięki i muzyka (*.wav;*.mid;*.au)|*.wav;*.au;*.mid"));
    EXPECT_EQ(window->openFileDialog().Title, QStringLiteral("Otwórz")) << "the shared dialog gets its own title back";
    EXPECT_EQ(window->openFileDialog().Filter, QStringLiteral("Dokumenty HTML (*.htm;*.html)|*.htm;*.html"));

    prompts.answerOpenFile(QStringLiteral("/muzyka/MELODIA.MID"));
    clickPlayBox();
    EXPECT_TRUE(window->Check_Play->isChecked());
    EXPECT_TRUE(controlsEnabled());
    EXPECT_EQ(window->Edit_Src->text(), QStringLiteral("/muzyka/MELODIA.MID"));
    EXPECT_TRUE(media.calls.contains(QStringLiteral("open /muzyka/MELODIA.MID"))) << "capitals still open the player";
    QTest::mouseClick(window->Przycisk_Play, Qt::LeftButton);
    QTest::mouseClick(window->Przycisk_Stop, Qt::LeftButton);
    EXPECT_EQ(media.calls.mid(media.calls.size() - 2), (QStringList{QStringLiteral("play"), QStringLiteral("stop")}));

    clickPlayBox();
    EXPECT_FALSE(window->Check_Play->isChecked());
    EXPECT_FALSE(controlsEnabled());
    EXPECT_EQ(window->Edit_Src->text(), QStringLiteral("/muzyka/MELODIA.MID")) << "unchecking keeps the path";
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(SoundCommandsTest, UnplayableAndAuFiles)
{
    media.succeed = false;
    prompts.answerOpenFile(QStringLiteral("/muzyka/zepsuty.wav"));
    clickPlayBox();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Błąd podczas próby odtwarzania!"));
    EXPECT_FALSE(window->Check_Play->isChecked());
    EXPECT_FALSE(controlsEnabled());

    media.calls.clear();
    prompts.answerOpenFile(QStringLiteral("/muzyka/stary.au"));
    clickPlayBox();
    EXPECT_TRUE(window->Check_Play->isChecked());
    EXPECT_TRUE(controlsEnabled());
    EXPECT_TRUE(media.calls.filter(QStringLiteral("open")).isEmpty()) << ".au is listed but not opened";
}

TEST_F(SoundCommandsTest, AnAuFileClosesTheSoundChosenBeforeAndUncheckingStopsIt)
{
    prompts.answerOpenFile(QStringLiteral("/muzyka/a.wav"));
    clickPlayBox();
    QTest::mouseClick(window->Przycisk_Play, Qt::LeftButton);
    clickPlayBox(); // off while it plays
    EXPECT_EQ(media.calls.last(), QStringLiteral("stop"));
    prompts.answerOpenFile(QStringLiteral("/muzyka/stary.au"));
    clickPlayBox();
    EXPECT_FALSE(media.isOpen()) << "Play must not play a.wav for the .au file";
    QTest::mouseClick(window->Przycisk_Play, Qt::LeftButton);
    EXPECT_FALSE(media.calls.mid(media.calls.lastIndexOf(QStringLiteral("close"))).contains(QStringLiteral("play")));
}

TEST_F(SoundCommandsTest, AMelodyBeingPreparedKeepsPlayOffAndTheWindowLive)
{
    media.prepareLater = true;
    prompts.answerOpenFile(QStringLiteral("/muzyka/dluga.mid"));
    clickPlayBox();
    EXPECT_TRUE(window->Check_Play->isChecked());
    EXPECT_FALSE(window->Przycisk_Play->isEnabled()) << "nothing to play yet";
    EXPECT_TRUE(window->Edit_Src->isEnabled());
    EXPECT_EQ(window->Panel_Hint->currentMessage(), QStringLiteral(" Przygotowywanie melodii do odtwarzania..."));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    media.finishPreparing(true);
    EXPECT_TRUE(window->Przycisk_Play->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(prompts.messages().isEmpty());

    prompts.answerOpenFile(QStringLiteral("/muzyka/zla.mid"));
    clickPlayBox(); // off
    clickPlayBox(); // on again, another melody
    media.finishPreparing(false);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Błąd podczas próby odtwarzania!"));
    EXPECT_FALSE(window->Check_Play->isChecked());
    EXPECT_FALSE(controlsEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    prompts.answerOpenFile(QStringLiteral("/muzyka/trzecia.mid"));
    clickPlayBox();
    window->close(); // closing abandons the preparation
    EXPECT_EQ(media.calls.last(), QStringLiteral("close"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(bool(media.prepared)) << "nothing is told to a closed window";
}

TEST_F(SoundCommandsTest, RecorderStartsInThePageFolderOrSaysWhy)
{
    QTest::mouseClick(window->Przycisk_Nagrywaj, Qt::LeftButton);
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_TRUE(shell.calls[0].isProgram);
    EXPECT_EQ(shell.calls[0].workingFolder + u'/', window->paths().tempFolder);
    shell.succeed = false;
    shell.calls.clear();
    QTest::mouseClick(window->Przycisk_Nagrywaj, Qt::LeftButton);
    EXPECT_GE(shell.calls.size(), 2) << "several recorders are tried";
    ASSERT_EQ(prompts.messages().size(), 1);
    const QStringList lines = prompts.messages()[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Nie można uruchomić nagrywania!"));
    for (const auto &call : shell.calls)
        EXPECT_TRUE(lines[1].contains(call.what)) << "the second line names every program tried: " << lines[1].toStdString();
}

} // namespace
