#include "Eventually.h"
#include "Isolated.h"
#include "Modal.h"
#include "Kreator.h"
#include "Odnosnik.h"
#include "THtmlMemo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>
#include <QPushButton>
#include <QTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QApplication>
#include <QFile>
#include <QTest>

using namespace zk;
using zk::testing::Isolated;
using Kind = zk::testing::ScriptedPrompts::Kind;

namespace {

class EditorMenuTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        window = std::make_unique<TKreatorDlg>(folder(QStringLiteral("program")));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->Pages->setCurrentIndex(2);
        editor = window->Edytorek;
        editor->setFocus();
    }
    void TearDown() override
    {
        window->hide();
        window.reset();
        Isolated::TearDown();
    }
    void type(const QString &text, int caret)
    {
        editor->setPlainText(text);
        editor->setSelStart(caret);
    }
    std::unique_ptr<TKreatorDlg> window;
    THtmlMemo *editor = nullptr;
};

TEST_F(EditorMenuTest, MenuHasItsItemsInOrder)
{
    QStringList items;
    for (QAction *a : window->POP_Edytorek->actions())
        items << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + u'|' + a->shortcut().toString(QKeySequence::PortableText) + u'|' + a->statusTip());
    EXPECT_EQ(items, (QStringList{QStringLiteral("&Odnośnik|Ctrl+A|Wstawienie odnośnika hipertekstowego"),
                                  QStringLiteral("&Grafika|Ctrl+Shift+I|Wstawienie grafiki"), QStringLiteral("-"),
                                  QStringLiteral("&Nowy akapit|Ctrl+P|Rozpoczęcie nowego akapitu"),
                                  QStringLiteral("Pogru&bienie|Ctrl+B|Pogrubienie zaznaczonego tekstu"),
                                  QStringLiteral("Pochylen&ie|Ctrl+I|Pochylenie zaznaczonego tekstu"),
                                  QStringLiteral("Pod&kreślenie|Ctrl+U|Podkreslenie zaznaczonego tekstu"), QStringLiteral("-"),
                                  QStringLiteral("&Przeglądanie|F11|Podgląd strony w przeglądarce"),
                                  QStringLiteral("&Zachowanie|Ctrl+S|"),
                                  QStringLiteral("&Wyjście|Alt+X|Wyjście z generatora stron")}));
    EXPECT_EQ(editor->popupMenu(), window->POP_Edytorek);
}

TEST_F(EditorMenuTest, MenuShortcutsWinOverTheEditorsOwnKeys)
{
    type(QStringLiteral("0123456789abc"), 10);
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("0123456789<B></B>abc"));
    EXPECT_EQ(editor->SelStart(), 13);
    QTest::keyClick(editor, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_U, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("0123456789<B><I><U><P></P></U></I></B>abc")) << "Ctrl+I inserts no tab";

    QSignalSpy link(window->Edytorek_Odnos, &QAction::triggered);
    QSignalSpy image(window->Edytorek_GRafika, &QAction::triggered);
    type(QStringLiteral("abc"), 1);
    zk::testing::whenModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(link.count(), 1);
    EXPECT_EQ(editor->SelLength(), 0) << "Ctrl+A does not select all";
    ASSERT_EVENTUALLY(QApplication::activeModalWidget() == nullptr, 5000);
    window->activateWindow();
    editor->setFocus();
    ASSERT_EVENTUALLY(editor->hasFocus(), 5000);
    zk::testing::whenModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QTest::keyClick(editor, Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(image.count(), 1);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("abc"));

    QTest::keyClick(editor, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->Pages->currentIndex(), 0) << "Ctrl+Tab still switches pages from the editor";
}

TEST_F(EditorMenuTest, PreviewSaveAndExitKeys)
{
    QTest::keyClick(editor, Qt::Key_F11);
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_TRUE(shell.calls[0].what.endsWith(QStringLiteral("/index.html")));
    EXPECT_TRUE(QFile::exists(window->paths().tempFolder + QStringLiteral("index.html")));
    prompts.answerFolder(QString());
    QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_EQ(prompts.calls()[0].kind, Kind::Folder);
    QTest::keyClick(editor, Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(registry->readText(Hive::CurrentUser, QStringLiteral("\\Software\\Quorvel Software\\Zentarek\\Light"),
                                 QStringLiteral("Ogolne"), QStringLiteral("Liczba_uruchomien"), QString()),
              QStringLiteral("1"))
        << "Alt+X runs the whole closing sequence";
}

TEST_F(EditorMenuTest, PictureChooserBorrowsTheOpenDialogAndPutsItBack)
{
    const QString filter = QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.png");
    prompts.answerOpenFile(QStringLiteral("/home/jan/logo.gif"));
    EXPECT_EQ(window->WybierzGrafike(filter), QStringLiteral("/home/jan/logo.gif"));
    prompts.answerOpenFile(QString());
    EXPECT_EQ(window->WybierzGrafike(filter), QString());
    ASSERT_EQ(prompts.calls().size(), 2);
    EXPECT_EQ(prompts.calls()[0].text, QStringLiteral("Wybierz plik graficzny"));
    EXPECT_EQ(prompts.calls()[0].filter, filter);
    EXPECT_EQ(window->openFileDialog().Title, QStringLiteral("Otwórz"));
    EXPECT_EQ(window->openFileDialog().Filter, QStringLiteral("Dokumenty HTML (*.htm;*.html)|*.htm;*.html"));
    EXPECT_EQ(window->openFileDialog().DefaultExt, QStringLiteral("html"));
    EXPECT_EQ(window->openFileDialog().FileName, QStringLiteral("/home/jan/logo.gif")) << "the last choice is the next start";
}

TEST_F(EditorMenuTest, WordWrapBoxAndWordCallbacks)
{
    QTest::mouseClick(window->CHK_WordWrap, Qt::LeftButton, {}, QPoint(5, window->CHK_WordWrap->height() / 2));
    EXPECT_TRUE(editor->WordWrap());
    QTest::mouseClick(window->CHK_WordWrap, Qt::LeftButton, {}, QPoint(5, window->CHK_WordWrap->height() / 2));
    EXPECT_FALSE(editor->WordWrap());
    QTimer::singleShot(0, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QCheckBox *>(QStringLiteral("Word wrap"))->setChecked(true);
        EXPECT_EQ(dialog->findChild<QCheckBox *>(QStringLiteral("Smart fill")), nullptr) << "an option that does nothing is not offered";
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    editor->showOptionsDialog();
    EXPECT_TRUE(editor->WordWrap());
    EXPECT_TRUE(window->CHK_WordWrap->isChecked()) << "the form's box follows the dialog's";
    type(QStringLiteral("źdźbło zażółć"), 0);
    QTest::keyClick(editor, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editor->SelStart(), 7) << "the form's callbacks make Polish letters word characters";
}

TEST_F(EditorMenuTest, TheBarAboveTheEditorRunsItsCommandsByMouseAndLeavesTheCaretThere)
{
    EXPECT_TRUE(window->Pasek_Edytora->isVisible());
    EXPECT_LT(window->Pasek_Edytora->geometry().bottom(), editor->geometry().top()) << "the bar is above the editor";
    type(QStringLiteral("Chleb i bułki"), 0);
    editor->setSelLength(5);
    QTest::mouseClick(window->BTN_Pogrub, Qt::LeftButton);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("<B>Chleb</B> i bułki"));
    EXPECT_EQ(editor->SelText(), QStringLiteral("Chleb")) << "the wrapped text stays selected, as from the menu";
    QTest::mouseClick(window->BTN_Pochylenie, Qt::LeftButton);
    QTest::mouseClick(window->BTN_Podkreslenie, Qt::LeftButton);
    QTest::mouseClick(window->BTN_Akapit, Qt::LeftButton);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("<B><I><U><P>Chleb</P></U></I></B> i bułki"));
    EXPECT_TRUE(editor->hasFocus()) << "the buttons leave the focus in the editor";

    QTest::mouseMove(window->BTN_Odnosnik);
    ASSERT_EVENTUALLY(window->Panel_Hint->currentMessage().contains(QStringLiteral("Wstawienie odnośnika hipertekstowego (Ctrl+A)")), 2000);

    type(QStringLiteral("Nasza piekarnia zaprasza"), 6);
    editor->setSelLength(9);
    zk::testing::whenModal([](QWidget *dialog) {
        auto *d = qobject_cast<TOdnosnikDlg *>(dialog);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Edit_Opis->text(), QStringLiteral("piekarnia"));
        d->Edit_Adres->setEditText(QStringLiteral("http://piekarnia.pl/"));
        QTest::keyClick(d->Edit_Adres, Qt::Key_Return);
    });
    QTest::mouseClick(window->BTN_Odnosnik, Qt::LeftButton);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Nasza <A HREF=\"http://piekarnia.pl/\">piekarnia</A> zaprasza"));
    EXPECT_EQ(editor->SelLength(), 0);
    QTest::keyClicks(editor, QStringLiteral(" Kowalskich"));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Nasza <A HREF=\"http://piekarnia.pl/\">piekarnia</A> Kowalskich zaprasza"))
        << "the next keys go on after the link, they do not replace its words";

    ASSERT_EVENTUALLY(QApplication::activeModalWidget() == nullptr, 5000);
    window->activateWindow();
    editor->setFocus();
    ASSERT_EVENTUALLY(editor->hasFocus(), 5000);
    type(QStringLiteral("Zobacz "), 7);
    zk::testing::whenModal([](QWidget *dialog) {
        auto *d = qobject_cast<TOdnosnikDlg *>(dialog);
        ASSERT_NE(d, nullptr);
        d->Edit_Adres->setEditText(QStringLiteral("cennik.html"));
        QTest::keyClick(d->Edit_Adres, Qt::Key_Return);
    });
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("cennik"));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Zobacz <A HREF=\"cennik.html\">cennik</A>")) << "a link without words is typed into";
}

} // namespace
