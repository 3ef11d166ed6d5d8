#include "Eventually.h"
#include "Isolated.h"
#include "Modal.h"
#include "Kreator.h"
#include "Odnosnik.h"
#include "THtmlMemo.h"

#include "ColorPickerButton.h"
#include "StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QImage>
#include <QFrame>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::whenModal;

namespace {

class SectionsTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = folder(QStringLiteral("program"));
        open();
    }
    void TearDown() override
    {
        window->hide();
        window.reset();
        Isolated::TearDown();
    }
    void open()
    {
        window = std::make_unique<TKreatorDlg>(appFolder);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    // Answers the next link dialog with the given fields, or cancels it.
    static void answerLink(const QString &description, const QString &address, bool ok = true)
    {
        whenModal([=](QWidget *w) {
            auto *d = qobject_cast<TOdnosnikDlg *>(w);
            ASSERT_NE(d, nullptr);
            EXPECT_FALSE(d->Edit_OnMouse->isEnabled()) << "the list commands disable the status text";
            EXPECT_FALSE(d->Edit_Name->isEnabled()) << "and the anchor name and target, which the list ignores";
            EXPECT_FALSE(d->Edit_Target->isEnabled());
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Ulubiony odnośnik"));
            d->Edit_Opis->setText(description);
            d->Edit_Adres->setEditText(address);
            QTest::mouseClick(ok ? d->Przycisk_OK : d->Przycisk_Anuluj, Qt::LeftButton);
        });
    }
    static void answerText(const QString &text)
    {
        whenModal([=](QWidget *d) {
            auto *edit = d->findChild<QLineEdit *>(QStringLiteral("Edit_Nazwa"));
            edit->setText(text);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    }
    QList<LinkRow> links() const { return window->description().Grid_Uklad_Odnosniki; }
    QStringList visibleAddresses() const { return window->description().Lista_Uklad_Adresy; }

    QString appFolder;
    std::unique_ptr<TKreatorDlg> window;
};

TEST_F(SectionsTest, TheChosenBackgroundShowsOnTheFormAndItsHintNamesThePicture)
{
    TKreatorDlg *w = window.get();
    const QString picture = path(QStringLiteral("tlo.png"));
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    ASSERT_TRUE(green.save(picture));
    const auto shown = [w] {
        return w->Panel_Podglad_Naglowki->grab().toImage().pixelColor(w->Panel_Podglad_Naglowki->width() / 2, 5);
    };
    prompts.answerColor(QColor(0x11, 0x22, 0x33));
    w->PopUp_Atrybuty_Tlo_Kolor->trigger();
    EXPECT_EQ(shown(), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(w->Panel_Podglad_Naglowki->statusTip(), QStringLiteral("Tło strony: kolor #112233"));

    prompts.answerOpenFile(picture);
    w->PopUp_Atrybuty_Tlo_Podklad->trigger();
    EXPECT_EQ(shown(), QColor(0, 200, 0)) << "the picture, tiled";
    EXPECT_EQ(w->Panel_Podglad_Naglowki->statusTip(), QStringLiteral("Tło strony: obraz ") + picture);

    prompts.answerOpenFile(path(QStringLiteral("brak.gif")));
    w->PopUp_Atrybuty_Tlo_Podklad->trigger();
    EXPECT_TRUE(w->Panel_Podglad_Naglowki->statusTip().endsWith(QStringLiteral("brak.gif (nie można go wyświetlić)")));
    EXPECT_EQ(shown(), QColor(0x11, 0x22, 0x33)) << "a picture that cannot be shown leaves the colour";
}

TEST_F(SectionsTest, BackgroundMenuAndItsCancelRules)
{
    TKreatorDlg *w = window.get();
    prompts.answerOpenFile(QString());
    w->PopUp_Atrybuty_Tlo_Podklad->trigger();
    EXPECT_TRUE(w->backgroundImagePath().isEmpty());
    EXPECT_TRUE(w->PopUp_Atrybuty_Tlo_Kolor->isChecked()) << "cancel keeps the colour item checked";
    EXPECT_FALSE(w->PopUp_Atrybuty_Tlo_Podklad->isChecked());

    prompts.answerOpenFile(QStringLiteral("/home/jan/tlo.jpg"));
    w->PopUp_Atrybuty_Tlo_Podklad->trigger();
    EXPECT_EQ(w->backgroundImagePath(), QStringLiteral("/home/jan/tlo.jpg"));
    EXPECT_TRUE(w->PopUp_Atrybuty_Tlo_Podklad->isChecked());
    EXPECT_FALSE(w->PopUp_Atrybuty_Tlo_Kolor->isChecked());
    prompts.answerOpenFile(QString());
    w->PopUp_Atrybuty_Tlo_Podklad->trigger();
    EXPECT_TRUE(w->backgroundImagePath().isEmpty()) << "a second cancelled choice empties the path";
    EXPECT_TRUE(w->PopUp_Atrybuty_Tlo_Podklad->isChecked()) << "and the image item stays checked";
    EXPECT_TRUE(w->description().Edytorek.isEmpty());

    prompts.answerColor(std::nullopt);
    w->PopUp_Atrybuty_Tlo_Kolor->trigger();
    EXPECT_TRUE(w->PopUp_Atrybuty_Tlo_Podklad->isChecked()) << "a cancelled colour changes nothing";
    prompts.answerColor(QColor(0x11, 0x22, 0x33));
    w->PopUp_Atrybuty_Tlo_Kolor->trigger();
    prompts.answerColor(std::nullopt);
    w->PopUp_Atrybuty_Tlo_Kolor->trigger();
    EXPECT_TRUE(w->PopUp_Atrybuty_Tlo_Kolor->isChecked());
    EXPECT_FALSE(w->PopUp_Atrybuty_Tlo_Podklad->isChecked());
    EXPECT_EQ(w->backgroundColor(), QColor(0x11, 0x22, 0x33));
    const auto calls = prompts.calls();
    EXPECT_EQ(calls[calls.size() - 1].initial, QColor(0x11, 0x22, 0x33)) << "the dialog starts at the colour last chosen";
    EXPECT_EQ(prompts.calls()[1].text, QStringLiteral("Wybierz plik graficzny"));
}

TEST_F(SectionsTest, EncodingMenuMovesChecksCaptionAndEncodingTogether)
{
    TKreatorDlg *w = window.get();
    w->PopUp_Atrybuty_Polskie_Windows->trigger();
    EXPECT_TRUE(w->PopUp_Atrybuty_Polskie_Windows->isChecked());
    EXPECT_FALSE(w->PopUp_Atrybuty_Polskie_ISO->isChecked());
    EXPECT_EQ(w->Przycisk_Atrybuty_Polskie->text(), QStringLiteral(" W&indows 1250"));
    EXPECT_EQ(w->pageEncoding(), QStringLiteral("CP-1250"));
    w->PopUp_Atrybuty_Polskie_ISO->trigger();
    w->PopUp_Atrybuty_Polskie_ISO->trigger();
    EXPECT_TRUE(w->PopUp_Atrybuty_Polskie_ISO->isChecked()) << "clicking the checked item keeps it checked";
    EXPECT_EQ(w->Przycisk_Atrybuty_Polskie->text(), QStringLiteral(" &ISO 8859-2"));
    EXPECT_EQ(w->pageEncoding(), QStringLiteral("ISO-8859-2"));
    w->PopUp_Atrybuty_Polskie_UTF8->trigger();
    EXPECT_TRUE(w->PopUp_Atrybuty_Polskie_UTF8->isChecked());
    EXPECT_FALSE(w->PopUp_Atrybuty_Polskie_ISO->isChecked());
    EXPECT_FALSE(w->PopUp_Atrybuty_Polskie_Windows->isChecked());
    EXPECT_EQ(w->Przycisk_Atrybuty_Polskie->text(), QStringLiteral(" UTF-8"));
    EXPECT_EQ(w->pageEncoding(), QStringLiteral("UTF-8"));
    EXPECT_EQ(w->PopUp_Atrybuty_Polskie->actions().last(), w->PopUp_Atrybuty_Polskie_UTF8) << "after the two 8-bit sets";
    EXPECT_FALSE(w->PopUp_Atrybuty_Polskie_UTF8->statusTip().isEmpty());
    EXPECT_EQ(w->Lista_Atrybuty_DocType->itemText(w->Lista_Atrybuty_DocType->count() - 1), QStringLiteral("<!DOCTYPE html>"));
    EXPECT_EQ(w->Lista_Atrybuty_DocType->currentIndex(), 0) << "a new page keeps its first document type";
}

// Alt with a letter or digit that no control owns types nothing into the
// field under the focus (it once replaced the document type with "i").
TEST_F(SectionsTest, AnAltLetterNoControlOwnsTypesNothing)
{
    TKreatorDlg *w = window.get();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    ASSERT_EVENTUALLY(w->Lista_Atrybuty_DocType->isVisible(), 2000);
    // The keys go where the window system sends them: to the combo box, which
    // holds the focus and hands them to its line edit; and to a line edit.
    QComboBox *combo = w->Lista_Atrybuty_DocType;
    QLineEdit *field = combo->lineEdit();
    combo->setFocus();
    field->end(false);
    const QString before = field->text();
    for (QWidget *target : {static_cast<QWidget *>(combo), static_cast<QWidget *>(field)})
        for (const Qt::Key key : {Qt::Key_Q, Qt::Key_F, Qt::Key_9, Qt::Key_0})
            QTest::keyClick(target, key, Qt::AltModifier);
    EXPECT_EQ(field->text(), before) << "no Alt+letter typed";
    QTest::keyClick(combo, Qt::Key_X);
    EXPECT_EQ(field->text(), before + u'x') << "a plain key still types";
}

// The encoding's caption changes, its key does not: Alt+I opens the menu
// under each of the three, "UTF-8" included, which has no "i" to underline.
TEST_F(SectionsTest, AltIOpensTheEncodingMenuWhateverTheCaptionShows)
{
    TKreatorDlg *w = window.get();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QMenu *menu = w->PopUp_Atrybuty_Polskie;
    for (QAction *encoding : {w->PopUp_Atrybuty_Polskie_UTF8, w->PopUp_Atrybuty_Polskie_Windows, w->PopUp_Atrybuty_Polskie_ISO,
                              w->PopUp_Atrybuty_Polskie_UTF8}) {
        encoding->trigger();
        w->Lista_Atrybuty_DocType->setFocus();
        const QString before = w->Lista_Atrybuty_DocType->currentText();
        bool opened = false;
        QTimer closer; // the menu runs a loop of its own once open
        QObject::connect(&closer, &QTimer::timeout, menu, [&] {
            if (menu->isVisible()) {
                opened = true;
                menu->close();
            }
        });
        closer.start(20);
        QTest::keyClick(w->Lista_Atrybuty_DocType, Qt::Key_I, Qt::AltModifier);
        EXPECT_EVENTUALLY(opened, 3000) << w->Przycisk_Atrybuty_Polskie->text().toStdString();
        EXPECT_EQ(w->Lista_Atrybuty_DocType->currentText(), before) << "and types nothing";
        ASSERT_EVENTUALLY(!menu->isVisible(), 2000);
        QTest::qWait(300); // the button's animated click ends after its menu has closed
    }
}

// The line under the document-type list says what the chosen type is for and
// points at HTML5 for today's browsers and phones.
TEST_F(SectionsTest, TheLineUnderTheDocumentTypeSaysWhatItIsFor)
{
    TKreatorDlg *w = window.get();
    QComboBox *types = w->Lista_Atrybuty_DocType;
    EXPECT_TRUE(w->Label_DocType_Opis->isVisible());
    for (int i = 0; i + 1 < types->count(); ++i) {
        types->setCurrentIndex(i);
        EXPECT_EQ(w->Label_DocType_Opis->text(), QStringLiteral("Strona jak w 1998 r.; na dzisiejsze telefony wybierz HTML5 (ostatni)."))
            << types->itemText(i).toStdString();
    }
    types->setCurrentIndex(types->count() - 1);
    EXPECT_EQ(w->Label_DocType_Opis->text(), QStringLiteral("HTML5: strona na dzisiejsze przeglądarki i telefony."));
    types->setEditText(QString());
    EXPECT_TRUE(w->Label_DocType_Opis->text().startsWith(QStringLiteral("Bez typu")));
    types->setEditText(QStringLiteral("<!doctype HTML>"));
    EXPECT_TRUE(w->Label_DocType_Opis->text().startsWith(QStringLiteral("HTML5"))) << "typed in any letter case";
    types->setEditText(QStringLiteral("<!-- moja strona -->"));
    EXPECT_TRUE(w->Label_DocType_Opis->text().startsWith(QStringLiteral("Własny typ")));
    EXPECT_TRUE(types->statusTip().contains(QStringLiteral("HTML5"))) << "the hint names it too";
}

TEST_F(SectionsTest, TextColourPropagatesAndAlignmentGroupsStayExclusive)
{
    TKreatorDlg *w = window.get();
    w->Przycisk_Uklad_Podtytul_Kolor->setColor(QColor(0, 255, 0));
    w->Przycisk_Atrybuty_Kolor_Tekst->setColor(QColor(0x7F, 0, 0));
    const PageDescription d = w->description();
    EXPECT_EQ(d.Przycisk_Uklad_Naglowek_Kolor, QColor(0x7F, 0, 0));
    EXPECT_EQ(d.Przycisk_Uklad_Podtytul_Kolor, QColor(0x7F, 0, 0));
    EXPECT_EQ(d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor, QColor(0x7F, 0, 0));
    w->Pages->setCurrentIndex(1);
    QTest::mouseClick(w->Przycisk_Uklad_Podtytul_Srodek, Qt::LeftButton);
    QTest::mouseClick(w->Przycisk_Uklad_Naglowek_Odnosniki_Prawa, Qt::LeftButton);
    QTest::mouseClick(w->Przycisk_Uklad_Naglowek_Odnosniki_Prawa, Qt::LeftButton);
    EXPECT_EQ(w->description().subtitleAlignment, Alignment::Center);
    EXPECT_EQ(w->description().linksHeadingAlignment, Alignment::Right);
    EXPECT_EQ(w->description().headerAlignment, Alignment::Left);
    EXPECT_FALSE(w->Przycisk_Uklad_Podtytul_Lewa->isChecked());
}

TEST_F(SectionsTest, SectionSwitchesEnableExactlyTheirControls)
{
    TKreatorDlg *w = window.get();
    prompts.answerOpenFile(QStringLiteral("/x/logo.gif"));
    prompts.answerOpenFile(QStringLiteral("/x/ikona.gif"));
    w->Pages->setCurrentIndex(1);
    QTest::mouseClick(w->Check_Uklad_Logo, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(w->Check_Uklad_Odnosniki_Ikona, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(w->Edit_Uklad_Logo->isEnabled());
    EXPECT_EQ(w->Edit_Uklad_Logo->text(), QStringLiteral("/x/logo.gif"));
    w->Pages->setCurrentIndex(0);
    QTest::mouseClick(w->Check_Atrybuty_Naglowki, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(w->Check_Atrybuty_Odnosniki, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(w->Check_Uklad_Logo->isEnabled());
    EXPECT_FALSE(w->Edit_Uklad_Podtytul->isEnabled());
    EXPECT_FALSE(w->Check_Uklad_Naglowek_Kreska->isEnabled());
    EXPECT_TRUE(w->Edit_Uklad_Logo->isEnabled()) << "the logo's path field is outside the group";
    EXPECT_FALSE(w->Grid_Uklad_Odnosniki->isEnabled());
    EXPECT_FALSE(w->Edit_Uklad_Odnosniki_Ikonka->isEnabled());
    EXPECT_TRUE(w->Lista_Uklad_Adresy->isEnabled());
    QTest::mouseClick(w->Check_Atrybuty_Odnosniki, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(w->Edit_Uklad_Odnosniki_Ikonka->isEnabled()) << "back on: the icon field follows its own box";
    QTest::mouseClick(w->Check_Atrybuty_Adresy, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(w->Przycisk_Uklad_Adresy_Dodaj->isEnabled());
    EXPECT_FALSE(w->Edit_Uklad_Adresy_Ikona->isEnabled());
}

TEST_F(SectionsTest, PictureChoosersAndTheirCancel)
{
    TKreatorDlg *w = window.get();
    w->Pages->setCurrentIndex(1);
    prompts.answerOpenFile(QString());
    QTest::mouseClick(w->Check_Uklad_Adresy_Ikona, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(w->Check_Uklad_Adresy_Ikona->isChecked());
    EXPECT_FALSE(w->Edit_Uklad_Adresy_Ikona->isEnabled());

    prompts.answerOpenFile(QStringLiteral("/x/koperta.gif"));
    QTest::mouseClick(w->Check_Uklad_Adresy_Ikona, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(w->Edit_Uklad_Adresy_Ikona->isEnabled());
    QTest::mouseClick(w->Check_Uklad_Adresy_Ikona, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(w->Edit_Uklad_Adresy_Ikona->isEnabled());
    EXPECT_EQ(w->Edit_Uklad_Adresy_Ikona->text(), QStringLiteral("/x/koperta.gif")) << "unchecking keeps the text";

    prompts.answerOpenFile(QStringLiteral("/x/logo1.gif"));
    prompts.answerOpenFile(QString());
    QTest::mouseClick(w->Check_Uklad_Logo, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(w->Edit_Uklad_Logo, Qt::LeftButton);
    EXPECT_TRUE(w->Edit_Uklad_Logo->text().isEmpty()) << "a cancelled second choice empties the path";
    EXPECT_FALSE(w->Check_Uklad_Logo->isChecked());
    EXPECT_TRUE(prompts.allAnswersUsed());
}

TEST_F(SectionsTest, LinksGridAddRemoveEditClear)
{
    TKreatorDlg *w = window.get();
    answerLink(QStringLiteral("Onet"), QStringLiteral("http://onet.pl"));
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    EXPECT_EQ(links(), (QList<LinkRow>{{QStringLiteral("Onet"), QStringLiteral("http://onet.pl")}})) << "fills the empty row";
    answerLink(QStringLiteral("WP"), QStringLiteral("http://wp.pl"));
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    answerLink(QStringLiteral("X"), QString()); // empty address: the dialog cancels
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    answerLink(QStringLiteral("Y"), QStringLiteral("y"), false);
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    EXPECT_EQ(links().size(), 2);
    EXPECT_EQ(w->Grid_Uklad_Odnosniki->selectedGridRow(), 2) << "the new row is selected";

    answerLink(QStringLiteral("Interia"), QStringLiteral("http://interia.pl"));
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    w->Grid_Uklad_Odnosniki->selectGridRow(2);
    w->Grid_Uklad_Odnosniki->setFocus();
    QTest::keyClick(w->Grid_Uklad_Odnosniki, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(links(), (QList<LinkRow>{{QStringLiteral("Onet"), QStringLiteral("http://onet.pl")},
                                       {QStringLiteral("Interia"), QStringLiteral("http://interia.pl")}}));

    answerLink(QStringLiteral("Onet.pl"), QStringLiteral("http://www.onet.pl"));
    w->Grid_Uklad_Odnosniki->selectGridRow(1);
    QTest::keyClick(w->Grid_Uklad_Odnosniki, Qt::Key_F2);
    EXPECT_EQ(links().first(), (LinkRow{QStringLiteral("Onet.pl"), QStringLiteral("http://www.onet.pl")}));
    answerLink(QString(), QStringLiteral("http://z"));
    w->Przycisk_Uklad_Odnosniki_EdytujClick();
    EXPECT_EQ(links().first().name, QStringLiteral("Onet.pl")) << "a cleared description changes nothing";

    w->Przycisk_Uklad_Odnosniki_OdNowaClick();
    EXPECT_EQ(links(), QList<LinkRow>{LinkRow{}});
}

TEST_F(SectionsTest, ALinkWithoutDescriptionLeavesTheRowFreeAndTheOnlyLinkRemovesToAnEmptyRow)
{
    TKreatorDlg *w = window.get();
    answerLink(QString(), QStringLiteral("http://a"));
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    answerLink(QStringLiteral("B"), QStringLiteral("http://b"));
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    EXPECT_EQ(links(), (QList<LinkRow>{{QStringLiteral("B"), QStringLiteral("http://b")}})) << "written into the same row";
    w->Przycisk_Uklad_Odnosniki_UsunClick();
    EXPECT_EQ(links(), QList<LinkRow>{LinkRow{}});
    EXPECT_EQ(w->Grid_Uklad_Odnosniki->gridRowCount(), 2);
    w->Przycisk_Uklad_Odnosniki_EdytujClick(); // an empty name cell opens no dialog
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(SectionsTest, AddressesKeepTheStoredListNewestFirst)
{
    TKreatorDlg *w = window.get();
    answerText(QStringLiteral("a@x.pl"));
    w->Przycisk_Uklad_Adresy_DodajClick();
    answerText(QStringLiteral("b@x.pl"));
    w->Lista_Uklad_Adresy->setFocus();
    QTest::keyClick(w->Lista_Uklad_Adresy, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(visibleAddresses(), (QStringList{QStringLiteral("a@x.pl"), QStringLiteral("b@x.pl")}));
    EXPECT_EQ(w->Lista_Uklad_Adresy->currentIndex(), 1);
    EXPECT_EQ(w->contactAddresses(), (QStringList{QStringLiteral("b@x.pl"), QStringLiteral("a@x.pl")}));

    answerText(QStringLiteral("b2@x.pl"));
    QTest::keyClick(w->Lista_Uklad_Adresy, Qt::Key_F2);
    EXPECT_EQ(visibleAddresses(), (QStringList{QStringLiteral("a@x.pl"), QStringLiteral("b2@x.pl")}));
    EXPECT_EQ(w->contactAddresses(), (QStringList{QStringLiteral("b2@x.pl"), QStringLiteral("a@x.pl")}))
        << "the correction replaces the stored address in its place";

    w->Lista_Uklad_Adresy->setCurrentIndex(0);
    QTest::keyClick(w->Lista_Uklad_Adresy, Qt::Key_Delete);
    EXPECT_EQ(visibleAddresses(), QStringList{QStringLiteral("b2@x.pl")});
    EXPECT_EQ(w->contactAddresses(), QStringList{QStringLiteral("b2@x.pl")});
    EXPECT_EQ(w->Lista_Uklad_Adresy->currentIndex(), 0);

    w->Przycisk_Uklad_Adresy_OdNowaClick();
    EXPECT_TRUE(visibleAddresses().isEmpty());
    w->close();
    open();
    EXPECT_EQ(visibleAddresses(), QStringList{QStringLiteral("b2@x.pl")})
        << "the corrected address comes back at the next start; clearing the visible list kept the stored one";

    answerText(QStringLiteral("b3@x.pl"));
    window->Lista_Uklad_Adresy->setCurrentIndex(0);
    window->Przycisk_Uklad_Adresy_EdytujClick();
    window->Przycisk_Uklad_Adresy_UsunClick();
    EXPECT_TRUE(window->contactAddresses().isEmpty()) << "removing the corrected address removes it from the store";
}

TEST_F(SectionsTest, KeywordsAreAddedInOrderAndRemovedBySelection)
{
    TKreatorDlg *w = window.get();
    for (const char *word : {"strona", "domowa", "strona"}) {
        answerText(QString::fromLatin1(word));
        w->Przycisk_Atrybuty_Slowa_Kluczowe_DodajClick();
    }
    answerText(QString());
    w->Przycisk_Atrybuty_Slowa_Kluczowe_DodajClick();
    EXPECT_EQ(w->description().Lista_Atrybuty_Slowa_Kluczowe,
              (QStringList{QStringLiteral("strona"), QStringLiteral("domowa"), QStringLiteral("strona")}));
    w->Lista_Atrybuty_Slowa_Kluczowe->setCurrentIndex(1);
    w->Przycisk_Atrybuty_Slowo_Kluczowe_UsunClick();
    EXPECT_EQ(w->description().Lista_Atrybuty_Slowa_Kluczowe, (QStringList{QStringLiteral("strona"), QStringLiteral("strona")}));
    EXPECT_EQ(w->Lista_Atrybuty_Slowa_Kluczowe->currentIndex(), 0);
}

TEST_F(SectionsTest, ALinkOverALongSelectionKeepsEveryCharacter)
{
    TKreatorDlg *w = window.get();
    w->Pages->setCurrentIndex(2);
    const QString selection = QString(300, u'ż');
    w->Edytorek->setPlainText(QStringLiteral("<P>") + selection + QStringLiteral("</P>"));
    w->Edytorek->setSelStart(3);
    w->Edytorek->setSelLength(300);
    whenModal([&](QWidget *dialog) {
        auto *d = qobject_cast<TOdnosnikDlg *>(dialog);
        EXPECT_EQ(d->Edit_Opis->text(), selection) << "the program's text is not cut to 240";
        d->Edit_Adres->setEditText(QStringLiteral("http://www.onet.pl"));
        QTest::keyClick(d->Edit_Opis, Qt::Key_End);
        QTest::keyClick(d->Edit_Opis, Qt::Key_X);
        EXPECT_EQ(d->Edit_Opis->text().size(), 300) << "typing past the limit adds nothing";
        QTest::keyClick(d->Edit_Opis, Qt::Key_Backspace);
        EXPECT_EQ(d->Edit_Opis->text().size(), 299) << "deleting from a long text still works";
        d->Edit_Opis->setText(selection);
        QTest::keyClick(d->Edit_Opis, Qt::Key_Return);
    });
    w->Edytorek_OdnosClick();
    EXPECT_EQ(w->Edytorek->toPlainText(), QStringLiteral("<P><A HREF=\"http://www.onet.pl\">") + selection + QStringLiteral("</A></P>"));
}

TEST_F(SectionsTest, LinkCommandReplacesTheSelectionAndLeavesTheCaretBehindTheLink)
{
    TKreatorDlg *w = window.get();
    w->Pages->setCurrentIndex(2);
    w->Edytorek->setFocus();
    w->Edytorek->setPlainText(QStringLiteral("Zobacz Onet teraz"));
    w->Edytorek->setSelStart(7);
    w->Edytorek->setSelLength(4);
    whenModal([](QWidget *dialog) {
        auto *d = qobject_cast<TOdnosnikDlg *>(dialog);
        EXPECT_EQ(d->Edit_Opis->text(), QStringLiteral("Onet"));
        EXPECT_TRUE(d->Edit_OnMouse->isEnabled());
        d->Edit_Opis->setText(QStringLiteral("Portal Onet"));
        d->Edit_Adres->setEditText(QStringLiteral("http://www.onet.pl"));
        d->Edit_Target->setEditText(QStringLiteral("_blank"));
        QTest::keyClick(d->Edit_Target, Qt::Key_Return);
    });
    QTest::keyClick(w->Edytorek, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w->Edytorek->toPlainText(),
              QStringLiteral("Zobacz <A HREF=\"http://www.onet.pl\" TARGET=\"_blank\">Portal Onet</A> teraz"));
    EXPECT_EQ(w->Edytorek->SelLength(), 0);
    EXPECT_EQ(w->Edytorek->SelStart(), int(w->Edytorek->toPlainText().indexOf(QStringLiteral(" teraz"))));

    w->Edytorek->setSelStart(3);
    w->Edytorek->setSelLength(2);
    whenModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    w->Edytorek_OdnosClick();
    EXPECT_EQ(w->Edytorek->SelStart(), 3) << "cancel leaves text and selection as they were";
    EXPECT_EQ(w->Edytorek->SelLength(), 2);
    EXPECT_TRUE(w->Edytorek->toPlainText().startsWith(QStringLiteral("Zobacz <A HREF")));
}

TEST_F(SectionsTest, WhatTheUserEnteredReachesTheGeneratedPage)
{
    TKreatorDlg *w = window.get();
    answerLink(QStringLiteral("Onet"), QStringLiteral("http://onet.pl"));
    w->Przycisk_Uklad_Odnosniki_DodajClick();
    answerText(QStringLiteral("jan@x.pl"));
    w->Przycisk_Uklad_Adresy_DodajClick();
    answerText(QStringLiteral("strona"));
    w->Przycisk_Atrybuty_Slowa_Kluczowe_DodajClick();
    w->PopUp_Atrybuty_Polskie_Windows->trigger();
    w->Przycisk_Atrybuty_Kolor_Tekst->setColor(QColor(0, 0, 0x7F));
    QTest::mouseClick(w->Przycisk_Uklad_Naglowek_Srodek, Qt::LeftButton);
    w->Generuj_Strone();
    const QString page = w->pageLines().join(u'\n');
    for (const char *expected : {"charset=windows-1250", "<META NAME=\"Keywords\" CONTENT=\"strona\">",
                                 "<A HREF=\"http://onet.pl\">Onet</A><BR>", "<A HREF=\"mailto:jan@x.pl\">jan@x.pl</A><BR>",
                                 "<LINK REV=\"made\" HREF=\"mailto:jan@x.pl\">", "TEXT=\"#00007F\"",
                                 "<H1 ALIGN=CENTER><FONT COLOR=\"#00007F\">"})
        EXPECT_TRUE(page.contains(QString::fromLatin1(expected))) << expected;
}

} // namespace
