// The real Qt dialogs behind the prompts, driven by real key presses.
#include "Isolated.h"
#include "Modal.h"
#include "Kreator.h"
#include "Mnemonics.h"
#include "RealPrompts.h"

#include <QAction>
#include <QColorDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTranslator>

#include <optional>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::whenModal;

namespace {

class RealPromptsTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        real.emplace();
        // The captions a user sees: Qt's own dialogs in Polish.
        if (polish.load(QLocale(QLocale::Polish), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&polish);
    }
    void TearDown() override
    {
        QCoreApplication::removeTranslator(&polish);
        real.reset();
        Isolated::TearDown();
    }
    static QLineEdit *htmlField(QWidget *dialog)
    {
        for (QLineEdit *e : dialog->findChildren<QLineEdit *>())
            if (e->text().startsWith(u'#'))
                return e;
        return nullptr;
    }
    std::optional<zk::testing::RealPrompts> real;
    QTranslator polish;
};

TEST_F(RealPromptsTest, TheBackgroundColourDialogHasHelpAndTakesATypedColour)
{
    TKreatorDlg window(programFolderWithBadge());
    window.show();
    bool seen = false;
    whenModal([&](QWidget *d) {
        seen = true;
        EXPECT_NE(qobject_cast<QColorDialog *>(d), nullptr);
        auto *helpButton = d->findChild<QPushButton *>(QStringLiteral("Pomoc"));
        ASSERT_NE(helpButton, nullptr);
        QTest::mouseClick(helpButton, Qt::LeftButton);
        for (const QStringList &clash : zk::testing::clashingMnemonics(zk::testing::captionsIn(d)))
            if (clash.contains(helpButton->text())) // Qt's own captions are not ours to change
                ADD_FAILURE() << "colour dialog: " << clash.join(QStringLiteral(" | ")).toStdString();
        QLineEdit *html = htmlField(d);
        ASSERT_NE(html, nullptr);
        html->setFocus();
        QTest::keyClick(html, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(html, QStringLiteral("#336699"));
        QTest::keyClick(html, Qt::Key_Return);
    });
    window.PopUp_Atrybuty_Tlo_Kolor->trigger();
    ASSERT_TRUE(seen);
    ASSERT_EQ(help.topics.size(), 1);
    EXPECT_EQ(help.topics[0].context, 1002);
    EXPECT_EQ(window.backgroundColor(), QColor(0x33, 0x66, 0x99));

    whenModal([](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); });
    window.PopUp_Atrybuty_Tlo_Kolor->trigger();
    EXPECT_EQ(window.backgroundColor(), QColor(0x33, 0x66, 0x99)) << "Escape keeps the colour";
    window.hide();
}

TEST_F(RealPromptsTest, TheWindowAndAStartUpErrorBoxAreCentredOnTheScreen)
{
    const QString program = programFolderWithBadge();
    writeFile(program + QStringLiteral("temp")); // no temporary folder beside the program...
    writeFile(path(QStringLiteral("cache")));    // ...nor in the cache: a box while the form is made
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QPoint boxCentre;
    whenModal([&](QWidget *box) {
        boxCentre = box->geometry().center();
        QTest::keyClick(box, Qt::Key_Return);
    });
    TKreatorDlg window(program);
    EXPECT_LE((boxCentre - screenCentre).manhattanLength(), 4) << boxCentre.x() << ',' << boxCentre.y();
    window.show();
    EXPECT_LE((window.geometry().center() - screenCentre).manhattanLength(), 4);
    window.hide();
}

} // namespace
