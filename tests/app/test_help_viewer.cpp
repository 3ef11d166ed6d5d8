// The help window and pop-ups with a help file that is not what it should be.
#include "HelpFile.h"
#include "Isolated.h"
#include "QtHelpViewer.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QWidget>

using namespace zk;
using zk::testing::Isolated;

namespace {

class HelpViewerTest : public Isolated {
protected:
    QString helpFile(const QByteArray &content)
    {
        const QString file = path(QStringLiteral("stronarz.hlp"));
        writeFile(file, content);
        return file;
    }
    QString lastMessage() const { return prompts.messages().isEmpty() ? QString() : prompts.messages().last().text; }

    QWidget owner;
    QtHelpViewer viewer;
};

TEST_F(HelpViewerTest, AHelpFileThatHoldsNoHelpIsNamedWithWhatIsWrong)
{
    const struct {
        const char *name;
        std::function<QString()> make;
        const char *said;
    } cases[] = {
        {"missing", [&] { return path(QStringLiteral("brak.hlp")); }, "plik nie istnieje"},
        {"folder", [&] { return folder(QStringLiteral("pomoc.hlp")); }, "w miejscu pliku jest folder"},
        {"binary", [&] { return helpFile(QByteArray("GIF89a\x01\x00\x01\x00\x00\x00", 12)); }, "plik binarny"},
        {"empty", [&] { return helpFile(QByteArray()); }, "nie zawiera żadnego tematu"},
        {"no topics", [&] { return helpFile("@contents Spis\nTylko spis.\n"); }, "nie zawiera żadnego tematu"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        prompts.clear();
        const QString file = c.make();
        viewer.setHelpFile(file);
        viewer.showContents(&owner);
        viewer.showTopic(1000, {}, &owner);
        ASSERT_EQ(prompts.messages().size(), 2) << "each command says it, none opens an empty window";
        EXPECT_EQ(prompts.messages().first().caption, QStringLiteral("BŁĄD!"));
        EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Nie można otworzyć pliku pomocy \"%1\": ").arg(file)))
            << lastMessage().toStdString();
        EXPECT_TRUE(lastMessage().contains(QString::fromUtf8(c.said))) << lastMessage().toStdString();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }

    // Once the file is mended, the same viewer reads it.
    prompts.clear();
    viewer.setHelpFile(helpFile("@contents Spis\n@1000 Sekcje\nOpis sekcji.\n"));
    viewer.showTopic(1000, {}, &owner);
    EXPECT_TRUE(prompts.messages().isEmpty());
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QApplication::activePopupWidget()->close();
}

TEST_F(HelpViewerTest, AControlWhoseTopicIsMissingGetsAPopupSayingSo)
{
    viewer.setHelpFile(helpFile("@contents Spis\n@1000 Sekcje\nOpis sekcji.\n"));
    viewer.showTopic(4321, {}, &owner);
    EXPECT_TRUE(prompts.messages().isEmpty());
    QWidget *popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    const auto *text = popup->findChild<QLabel *>(QStringLiteral("HelpPopupText"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->text().contains(QStringLiteral("Brak opisu tego elementu w pliku pomocy (temat 4321)")))
        << text->text().toStdString();
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "Escape closes it";
}

TEST(HelpWindowPlace, BesideTheProgramWhereItFitsAndAlwaysOnTheScreen)
{
    const QRect screen(0, 0, 1366, 768);
    const QSize size(520, 440);
    EXPECT_EQ(helpWindowPlace(QRect(100, 100, 504, 406), size, screen).topLeft(), QPoint(612, 100)) << "right of it";
    EXPECT_EQ(helpWindowPlace(QRect(700, 100, 504, 406), size, screen).topLeft(), QPoint(172, 100)) << "no room right: left";
    EXPECT_EQ(helpWindowPlace(QRect(431, 181, 504, 406), size, screen).topLeft(), QPoint(423, 181)) << "no room either side: over it";
    EXPECT_EQ(helpWindowPlace(QRect(100, 600, 504, 406), size, screen).topLeft(), QPoint(612, 328)) << "never below the screen";
    EXPECT_EQ(helpWindowPlace(QRect(1500, 100, 504, 406), size, QRect(1366, 0, 1920, 1080)).topLeft(), QPoint(2012, 100))
        << "on the program's own screen";
}

TEST_F(HelpViewerTest, TheHelpWindowOpensBesideItsOwnerAndEscapeClosesIt)
{
    viewer.setHelpFile(helpFile("@contents Spis\nTreść.\n@1000 Sekcje\nOpis sekcji.\n"));
    owner.setGeometry(20, 40, 200, 150);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    viewer.showContents(&owner);
    QWidget *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("HelpWindow"))
            window = w;
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_GT(window->frameGeometry().left(), owner.frameGeometry().right()) << "not at the screen's left edge";
    QTest::keyClick(window->findChild<QWidget *>(QStringLiteral("HelpBrowser")), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << "Escape closes the help window";
    window->move(500, 30);
    viewer.showContents(&owner);
    EXPECT_EQ(window->pos(), QPoint(500, 30)) << "shown again where the user left it";
    window->close();
    owner.hide();
}

} // namespace
