// A larger font must widen the windows, never cut what they say.
#include "Grafika.h"
#include "Isolated.h"
#include "Kreator.h"
#include "Odnosnik.h"
#include "Rename.h"
#include "ZentarekApplication.h"
#include "WWWBtn97.h"
#include "StringGrid.h"
#include "publikow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;

namespace {

QString withoutMnemonic(QString caption)
{
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(u'&');
    return caption.replace(u'\x01', u'&');
}

// The labels and buttons under `root`, as shown now, that are smaller than
// their own text needs, with their size and what they need.
QStringList cutControls(const QWidget *root)
{
    QStringList cut;
    for (const QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        const auto *label = qobject_cast<const QLabel *>(w);
        const auto *button = qobject_cast<const QAbstractButton *>(w);
        const bool text = (label && !label->wordWrap() && !label->text().isEmpty())
                          || (button && !button->text().isEmpty());
        if (!text)
            continue;
        QSize need = w->minimumSizeHint().isValid() ? w->minimumSizeHint().expandedTo(w->sizeHint()) : w->sizeHint();
        if (const auto *tool = qobject_cast<const QToolButton *>(w); tool && tool->parentWidget()->inherits("QToolBar"))
            need = QSize(tool->fontMetrics().horizontalAdvance(withoutMnemonic(tool->text())) + 4, 0); // the caption, below its glyph
        if (w->width() < need.width() || w->height() < need.height())
            cut << QStringLiteral("%1 \"%2\" %3x%4 < %5x%6")
                       .arg(w->objectName(), label ? label->text() : button->text())
                       .arg(w->width()).arg(w->height()).arg(need.width()).arg(need.height());
    }
    return cut;
}

TEST(ProgramFont, TheDesktopsFamilyAtTheWindowsSizeOrLargerWhenTheDesktopsIs)
{
    const std::pair<double, double> sizes[] = {{9, 8.5}, {10, 8.5}, {11, 9.35}, {15, 12.75}, {6, 8.5}};
    for (const auto &[desktop, ours] : sizes) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(desktop);
        EXPECT_DOUBLE_EQ(programFont(font).pointSizeF(), ours) << desktop;
        EXPECT_EQ(programFont(font).family(), QStringLiteral("DejaVu Sans"));
    }
}

class FontsTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        m_font = QApplication::font();
        QFont larger = m_font;
        larger.setPointSizeF(m_font.pointSizeF() * 1.5);
        QApplication::setFont(larger);
    }
    void TearDown() override
    {
        QApplication::setFont(m_font);
        Isolated::TearDown();
    }
    template <typename Dialog> void expectNothingCut(Dialog &dialog)
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_EQ(cutControls(&dialog), QStringList()) << dialog.objectName().toStdString();
        dialog.hide();
    }
    QFont m_font;
};

TEST_F(FontsTest, AtOneAndAHalfTimesTheFontTheWindowGrowsAndCutsNoCaption)
{
    TKreatorDlg window(programFolderWithBadge());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the frame stays fixed, laid out for the font";
    EXPECT_GT(window.width(), 504);
    for (QToolButton *b : window.ToolBar->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
        if (!b->isVisible())
            continue;
        EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(withoutMnemonic(b->text())) + 4)
            << b->objectName().toStdString() << ": its caption would be elided";
    }
    for (int page = 0; page < window.Pages->count(); ++page) {
        window.Pages->setCurrentIndex(page);
        QTest::qWait(20);
        EXPECT_EQ(cutControls(&window), QStringList()) << "page " << page;
    }
    StringGrid *grid = window.Grid_Uklad_Odnosniki;
    EXPECT_GE(grid->rowHeight(0), grid->fontMetrics().height() + 2) << "a row holds a line of the font";
    window.hide();
}

TEST_F(FontsTest, AtOneAndAHalfTimesTheFontNoDialogCutsItsText)
{
    OpenFileDialog openDoc;
    TOdnosnikDlg link(&openDoc);
    expectNothingCut(link);
    EXPECT_GE(link.WWW->width(), link.WWW->fontMetrics().horizontalAdvance(withoutMnemonic(link.WWW->Caption)) + TWWWBtn97::ArrowZone)
        << "the favourites button holds its caption beside its arrow";
    TGrafikaDlg picture([](const QString &) { return QString(); });
    expectNothingCut(picture);
    TDlg_Rename input;
    input.dress({QStringLiteral("Dodawanie nowego słowa kluczowego"), QStringLiteral("Podaj słowo:"), QString(), QString(),
                 TDlg_Rename::Icon::Key, 1025});
    expectNothingCut(input);
    TPubDlg publish({path(QStringLiteral("strona.html"))}, path(QStringLiteral("brak.gif")));
    expectNothingCut(publish);
}

} // namespace
