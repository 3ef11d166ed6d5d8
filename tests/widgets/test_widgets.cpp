#include "Eventually.h"
#include "ColorPickerButton.h"
#include "Glyphs.h"
#include "Isolated.h"
#include "ProgramStyle.h"
#include "SpinEdit.h"
#include "StringGrid.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;

namespace {

using ColorPickerTest = Isolated;

TEST(ColorPalette, TwentyColoursInTheirOrder)
{
    const QList<QColor> &p = ColorPickerButton::paletteColors();
    ASSERT_EQ(p.size(), 20);
    const QStringList expected = {"#ffffff", "#ff0000", "#00ff00", "#0000ff", "#bfd7bf", "#000000", "#7f0000",
                                  "#007f00", "#00007f", "#9fbfef", "#bfbfbf", "#ffff00", "#00ffff", "#ff00ff",
                                  "#fff7ef", "#7f7f7f", "#7f7f00", "#007f7f", "#7f007f", "#9f9f9f"};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(p[i].name(), expected[i]) << i;
}

TEST_F(ColorPickerTest, PaletteCellSetsTheColourOnceAndCloses)
{
    ColorPickerButton button;
    button.setColor(Qt::black);
    button.show();
    QSignalSpy changed(&button, &ColorPickerButton::colorChanged);
    QTest::mouseClick(&button, Qt::LeftButton);
    QFrame *palette = button.paletteWindow();
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(palette->isVisible());
    auto *cell = palette->findChild<QToolButton *>(QStringLiteral("Kolor_9"));
    ASSERT_NE(cell, nullptr);
    QTest::mouseClick(cell, Qt::LeftButton);
    EXPECT_EQ(button.color(), QColor(0x9F, 0xBF, 0xEF));
    ASSERT_EQ(changed.count(), 1);
    ASSERT_EVENTUALLY(button.paletteWindow() == nullptr, 5000);

    button.setColor(QColor(0x9F, 0xBF, 0xEF)); // the colour it has: no change
    EXPECT_EQ(changed.count(), 1);
    button.hide();
}

TEST_F(ColorPickerTest, OtherOpensTheColourDialogWithOwnCustomSlots)
{
    ColorPickerButton button;
    button.setOtherCaption(QStringLiteral("&Other"));
    button.setColor(QColor(0, 0, 255));
    ASSERT_EQ(button.customColors().size(), 16);
    for (const QColor &c : button.customColors())
        EXPECT_EQ(c, QColor(Qt::white));
    button.show();

    prompts.answerColor(std::nullopt);
    QTest::mouseClick(&button, Qt::LeftButton);
    auto *other = button.paletteWindow()->findChild<QPushButton *>(QStringLiteral("Przycisk_Inne"));
    EXPECT_EQ(other->text(), QStringLiteral("&Other"));
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(button.color(), QColor(0, 0, 255)) << "cancel changes nothing";

    prompts.answerColor(QColor(0x12, 0x34, 0x56));
    button.chooseOther();
    EXPECT_EQ(button.color(), QColor(0x12, 0x34, 0x56));
    ASSERT_EQ(prompts.calls().size(), 2);
    EXPECT_EQ(prompts.calls()[0].initial, QColor(0, 0, 255));
    EXPECT_EQ(prompts.calls()[1].initial, QColor(0, 0, 255));
    button.hide();
    ASSERT_EVENTUALLY(button.paletteWindow() == nullptr, 5000);
}

TEST(StringGrid, TitleRowIsFixedAndTheGridNeverHasFewerThanTwoRows)
{
    StringGrid grid(2);
    EXPECT_EQ(grid.gridRowCount(), 2);
    grid.setCell(0, 0, QStringLiteral("Nazwa Odnośnika"));
    grid.setCell(0, 1, QStringLiteral("Onet"));
    grid.setCell(1, 1, QStringLiteral("http://onet.pl"));
    grid.setGridRowCount(4);
    grid.setCell(0, 3, QStringLiteral("trzeci"));
    EXPECT_EQ(grid.cell(0, 0), QStringLiteral("Nazwa Odnośnika"));
    EXPECT_EQ(grid.cell(1, 1), QStringLiteral("http://onet.pl"));
    EXPECT_EQ(grid.cell(0, 2), QString());
    EXPECT_EQ(grid.cell(0, 3), QStringLiteral("trzeci"));
    grid.selectGridRow(3);
    EXPECT_EQ(grid.selectedGridRow(), 3);
    grid.selectGridRow(0); // the title row cannot be selected
    EXPECT_EQ(grid.selectedGridRow(), 3);
    grid.setGridRowCount(0);
    EXPECT_EQ(grid.gridRowCount(), 2);
    EXPECT_EQ(grid.cell(0, 1), QStringLiteral("Onet"));
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST(StringGrid, KeysReachTheFormBeforeTheGrid)
{
    StringGrid grid(2);
    QList<int> keys;
    QObject::connect(&grid, &StringGrid::keyDown, [&](QKeyEvent *e) {
        if (e->key() == Qt::Key_Shift)
            return;
        keys << e->key();
        if (e->key() == Qt::Key_F2)
            e->accept(); // handled by the form: the grid must not edit
    });
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(&grid, Qt::Key_F2);
    EXPECT_EQ(keys, (QList<int>{Qt::Key_Insert, Qt::Key_F2}));
    EXPECT_EQ(grid.viewport()->findChild<QLineEdit *>(), nullptr) << "no cell editor opened";
}

TEST(SpinEdit, RangeStartAndTheNamedEdit)
{
    SpinEdit spin(0, 2048, 0);
    spin.setEditName(QStringLiteral("Edit1"));
    EXPECT_NE(spin.findChild<QLineEdit *>(QStringLiteral("Edit1")), nullptr);
    spin.setValue(5000);
    EXPECT_EQ(spin.value(), 2048);
    spin.setValue(-3);
    EXPECT_EQ(spin.value(), 0);
}

TEST(Glyphs, EveryGlyphTheFormsNameIsInTheResources)
{
    for (const char *name : {"OK", "ANULUJ", "POMOC", "PODGLAD", "PUBLIKUJ", "ZAPISZ", "ONLINE"}) {
        const QImage image(QStringLiteral(":/glyphs/%1.png").arg(QString::fromLatin1(name)));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.size(), QSize(32, 32)) << name;
    }
    QToolButton button;
    LadujzRes(&button, QStringLiteral("OK"));
    EXPECT_FALSE(button.icon().isNull());
    const QImage splash(QStringLiteral(":/splash.png"));
    EXPECT_EQ(splash.size(), QSize(350, 330));
    for (const char *icon : {"klucz", "koperta"})
        EXPECT_EQ(QImage(QStringLiteral(":/icons/%1.png").arg(QString::fromLatin1(icon))).size(), QSize(32, 32));
}

// The program's style reads Fusion's pictures itself; what it draws must be
// what Fusion draws, in every kind of group box the forms hold.
QImage drawnGroupBox(QStyle *style, const QString &title, bool checkable)
{
    QGroupBox box(title);
    box.setStyle(style);
    box.setCheckable(checkable);
    (new QVBoxLayout(&box))->addWidget(new QLabel(QStringLiteral("Treść")));
    box.resize(160, 90);
    QImage image(box.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    box.render(&image);
    return image;
}

TEST(ProgramStyle, DrawsWhatFusionDraws)
{
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
    ProgramStyle ours(QStyleFactory::create(QStringLiteral("fusion")));
    for (const QString &title : {QString(), QStringLiteral("Sekcje strony")})
        for (bool checkable : {false, true})
            EXPECT_EQ(drawnGroupBox(&ours, title, checkable), drawnGroupBox(fusion.get(), title, checkable))
                << "title \"" << title.toStdString() << "\", checkable " << checkable;
    for (QStyle::StandardPixmap arrow : {QStyle::SP_ToolBarVerticalExtensionButton, QStyle::SP_ToolBarHorizontalExtensionButton}) {
        const QIcon mine = ours.standardIcon(arrow), theirs = fusion->standardIcon(arrow);
        ASSERT_FALSE(mine.availableSizes().isEmpty());
        EXPECT_EQ(mine.availableSizes(), theirs.availableSizes());
        for (const QSize &size : theirs.availableSizes())
            EXPECT_EQ(mine.pixmap(size).toImage(), theirs.pixmap(size).toImage()) << arrow << " " << size.width();
    }
}

} // namespace
