#include "Eventually.h"
#include "HelpController.h"
#include "Isolated.h"
#include "Kreator.h"
#include "Messages.h"
#include "Mnemonics.h"
#include "SettingsStore.h"
#include "Product.h"

#include "ColorPickerButton.h"
#include "SpinEdit.h"
#include "StringGrid.h"
#include "THtmlMemo.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>

using namespace zk;
using namespace zk::settings;
using zk::testing::Isolated;

namespace {

class KreatorTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = folder(QStringLiteral("program"));
        accountName = QStringLiteral("Jan Kowalski");
    }
    void TearDown() override
    {
        if (window)
            window->hide();
        window.reset();
        Isolated::TearDown();
    }
    TKreatorDlg *open()
    {
        window = std::make_unique<TKreatorDlg>(appFolder);
        return window.get();
    }
    TKreatorDlg *openShown()
    {
        open()->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window.get();
    }
    QString stored(const QString &section, const QString &name) const
    {
        return registry->readText(Hive::CurrentUser, RootKey, section, name, QStringLiteral("<missing>"));
    }
    template <typename T = QWidget> T *control(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }

    QString appFolder;
    std::unique_ptr<TKreatorDlg> window;
};

TEST_F(KreatorTest, StartsWithTheDescriptionDefaultsAndTheOwnerName)
{
    TKreatorDlg *w = open();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Bez nazwy[*] - Zentarek Light - Generator Stron WWW"));
    EXPECT_FALSE(w->isWindowModified());
    EXPECT_EQ(w->Pages->currentIndex(), 0);
    EXPECT_EQ(w->Pages->tabText(0), QStringLiteral("Ustawienia sekcji"));
    EXPECT_EQ(w->Pages->tabText(1), QStringLiteral("Atrybuty sekcji"));
    EXPECT_EQ(w->Pages->tabText(2), QStringLiteral("Główna sekcja"));
    EXPECT_GE(w->width(), 504);
    EXPECT_GE(w->height(), 406);
    EXPECT_TRUE(prompts.calls().isEmpty());

    const PageDescription d = w->description();
    EXPECT_EQ(d.Edit_Atrybuty_Tytul, QStringLiteral("Jan Kowalski - Strona Domowa - Firmowa"));
    EXPECT_EQ(d.Edit_Uklad_Glowny_Naglowek, QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(d.Edit_Uklad_Podtytul, QStringLiteral("Strona Domowa - Firmowa")) << "set after the title, so it wins";
    EXPECT_EQ(d.Edit_Uklad_Naglowek_Odnosniki, QStringLiteral("Moje ulubione odnośniki"));
    EXPECT_EQ(d.Lista_Atrybuty_DocType, QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">"));
    EXPECT_EQ(w->Lista_Atrybuty_DocType->count(), 8) << "the seven of 1998 and HTML5";
    EXPECT_EQ(w->Lista_Atrybuty_DocType->itemText(5), QStringLiteral("<!DOCTYPE HTML PUBLIC  \"-//IETF//DTD HTML 2.0//EN\">"));
    EXPECT_TRUE(d.Check_Atrybuty_Naglowki && d.Check_Atrybuty_Odnosniki && d.Check_Atrybuty_Adresy);
    EXPECT_TRUE(d.PopUp_Atrybuty_Tlo_Kolor);
    EXPECT_FALSE(w->PopUp_Atrybuty_Tlo_Podklad->isChecked());
    EXPECT_EQ(d.Panel_Podglad_Naglowki.rgb() & 0xFFFFFF, 0xC0C0C0u) << "a fresh page has no background colour";
    EXPECT_TRUE(d.BackgroundImagePath.isEmpty());
    EXPECT_FALSE(w->PopUp_Atrybuty_Polskie_Windows->isChecked());
    EXPECT_EQ(d.PageEncoding, QStringLiteral("ISO-8859-2"));
    EXPECT_EQ(w->Przycisk_Atrybuty_Polskie->text(), QStringLiteral(" &ISO 8859-2 "));
    EXPECT_EQ(d.Przycisk_Atrybuty_Kolor_Tekst, QColor(0, 0, 0));
    EXPECT_EQ(d.Przycisk_Atrybuty_Kolor_Odnosniki, QColor(0, 0, 255));
    EXPECT_EQ(d.Przycisk_Atrybuty_Kolor_Aktywne, QColor(255, 0, 0));
    EXPECT_EQ(d.Przycisk_Atrybuty_Kolor_Odwiedzone, QColor(0, 0, 128));
    EXPECT_FALSE(d.Check_Play);
    EXPECT_TRUE(d.Check_Infinite);
    EXPECT_EQ(d.Spin_Powtorz, 0);
    EXPECT_EQ(w->Spin_Powtorz->minimum(), 0);
    EXPECT_EQ(w->Spin_Powtorz->maximum(), 2048);
    EXPECT_NE(control<QLineEdit>("Edit1"), nullptr);
    EXPECT_EQ(d.Edit_Nazwa, QStringLiteral("index.html"));
    EXPECT_TRUE(d.Lista_Atrybuty_Slowa_Kluczowe.isEmpty());
    EXPECT_EQ(d.headerAlignment, Alignment::Left);
    EXPECT_EQ(d.subtitleAlignment, Alignment::Left);
    EXPECT_EQ(d.linksHeadingAlignment, Alignment::Left);
    EXPECT_FALSE(d.Check_Uklad_Logo);
    EXPECT_FALSE(w->Edit_Uklad_Logo->isEnabled());
    EXPECT_TRUE(w->Edit_Uklad_Logo->isReadOnly());
    EXPECT_TRUE(d.Check_Uklad_Naglowek_Kreska);
    EXPECT_EQ(d.Grid_Uklad_Odnosniki, QList<LinkRow>{LinkRow{}}) << "one empty data row";
    EXPECT_EQ(w->Grid_Uklad_Odnosniki->cell(0, 0), QStringLiteral("Nazwa Odnośnika"));
    EXPECT_EQ(w->Grid_Uklad_Odnosniki->cell(1, 0), QStringLiteral("Adres URL Odnośnika"));
    EXPECT_EQ(w->Grid_Uklad_Odnosniki->columnWidth(0), 151);
    EXPECT_EQ(w->Grid_Uklad_Odnosniki->columnWidth(1), 268);
    EXPECT_TRUE(d.Lista_Uklad_Adresy.isEmpty());
    EXPECT_TRUE(d.Edytorek.isEmpty());
    EXPECT_FALSE(w->CHK_WordWrap->isChecked());
    EXPECT_EQ(w->Edytorek->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST_F(KreatorTest, OwnerNameIsUnknownWhenNothingRecordsIt)
{
    accountName.clear();
    TKreatorDlg *w = open();
    EXPECT_EQ(w->Edit_Atrybuty_Tytul->text(), QStringLiteral("unknown - Strona Domowa - Firmowa"));
    EXPECT_EQ(w->Edit_Uklad_Glowny_Naglowek->text(), QStringLiteral("unknown"));
}

TEST_F(KreatorTest, RegisteredOwnerIsPreferredToTheAccountName)
{
    registry->writeText(Hive::LocalMachine, OwnerKey, OwnerSection, OwnerValue, QStringLiteral("Biuro Żak"));
    EXPECT_EQ(open()->Edit_Uklad_Glowny_Naglowek->text(), QStringLiteral("Biuro Żak"));
}

TEST_F(KreatorTest, EveryControlOfTheDescriptionCarriesItsName)
{
    open();
    const char *names[] = {
        "Pages", "Sekcje", "Atrybuty", "Glowna", "Panel_Hint", "ToolBar", "Check_Atrybuty_Naglowki",
        "Check_Atrybuty_Odnosniki", "Check_Atrybuty_Adresy", "Lista_Atrybuty_DocType", "Przycisk_Atrybuty_Tlo",
        "PopUp_Atrybuty_Tlo", "PopUp_Atrybuty_Tlo_Kolor", "PopUp_Atrybuty_Tlo_Podklad", "Panel_Podglad_Naglowki",
        "Przycisk_Atrybuty_Polskie", "PopUp_Atrybuty_Polskie", "PopUp_Atrybuty_Polskie_ISO",
        "PopUp_Atrybuty_Polskie_Windows", "PopUp_Atrybuty_Polskie_UTF8", "Przycisk_Atrybuty_Kolor_Tekst", "Przycisk_Atrybuty_Kolor_Odnosniki",
        "Przycisk_Atrybuty_Kolor_Aktywne", "Przycisk_Atrybuty_Kolor_Odwiedzone", "Check_Play", "Edit_Src",
        "Przycisk_Play", "Przycisk_Stop", "Przycisk_Nagrywaj", "Check_Infinite", "Spin_Powtorz", "Edit1",
        "Lista_Atrybuty_Slowa_Kluczowe", "Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj",
        "Przycisk_Atrybuty_Slowo_Kluczowe_Usun", "Edit_Atrybuty_Dokument_Bazowy", "Edit_Atrybuty_Tytul", "Edit_Nazwa",
        "Label_Uklad_Glowny_Naglowek", "Edit_Uklad_Glowny_Naglowek", "Przycisk_Uklad_Naglowek_Lewa",
        "Przycisk_Uklad_Naglowek_Srodek", "Przycisk_Uklad_Naglowek_Prawa", "Przycisk_Uklad_Naglowek_Kolor",
        "Label_Uklad_Podtytul", "Edit_Uklad_Podtytul", "Przycisk_Uklad_Podtytul_Lewa", "Przycisk_Uklad_Podtytul_Srodek",
        "Przycisk_Uklad_Podtytul_Prawa", "Przycisk_Uklad_Podtytul_Kolor", "Check_Uklad_Logo", "Edit_Uklad_Logo",
        "Check_Uklad_Naglowek_Kreska", "Grid_Uklad_Odnosniki", "Przycisk_Uklad_Odnosniki_Dodaj",
        "Przycisk_Uklad_Odnosniki_Usun", "Przycisk_Uklad_Odnosniki_Edytuj", "Przycisk_Uklad_Odnosniki_OdNowa",
        "Label_Uklad_Naglowek_Odnosniki", "Edit_Uklad_Naglowek_Odnosniki", "Przycisk_Uklad_Naglowek_Odnosniki_Lewa",
        "Przycisk_Uklad_Naglowek_Odnosniki_Srodek", "Przycisk_Uklad_Naglowek_Odnosniki_Prawa",
        "Przycisk_Uklad_Naglowek_Odnosniki_Kolor", "Check_Uklad_Odnosniki_Ikona", "Edit_Uklad_Odnosniki_Ikonka",
        "Label_Uklad_Adresy", "Lista_Uklad_Adresy", "Przycisk_Uklad_Adresy_Dodaj", "Przycisk_Uklad_Adresy_Usun",
        "Przycisk_Uklad_Adresy_Edytuj", "Przycisk_Uklad_Adresy_OdNowa", "Check_Uklad_Adresy_Ikona",
        "Edit_Uklad_Adresy_Ikona", "Edytorek", "CHK_WordWrap", "Przycisk_Podglad", "Przycisk_Punliku", "BTN_Zapisz",
        "Przycisk_Pomoc", "BTN_OnLine", "Przycisk_Anuluj"};
    for (const char *name : names)
        EXPECT_NE(window->findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(control<QCheckBox>("Check_Atrybuty_Naglowki")->text(), QStringLiteral("Nagłówki oraz Logo"));
    EXPECT_EQ(control<QCheckBox>("Check_Play")->text(), QStringLiteral("Podkład dźwiękowy lub muzyczny:"));
    EXPECT_EQ(control<QCheckBox>("Check_Uklad_Naglowek_Kreska")->text(),
              QStringLiteral("Sekcja nagłówków oddzielona od reszty poziomą linią"));
    EXPECT_EQ(window->findChild<QAction *>(QStringLiteral("PopUp_Atrybuty_Tlo_Kolor"))->text(), QStringLiteral("... jako &kolor"));
    EXPECT_EQ(window->Przycisk_Atrybuty_Tlo->text(), QStringLiteral("    &Tło strony  "));
    EXPECT_EQ(window->Przycisk_Atrybuty_Kolor_Tekst->otherCaption(), QStringLiteral("&Inne"));
    EXPECT_EQ(window->Przycisk_Uklad_Naglowek_Kolor->otherCaption(), QStringLiteral("&Other"));
    EXPECT_FALSE(window->Lista_Atrybuty_Slowa_Kluczowe->toolTip().isEmpty()) << "the one control with a tool tip";
    EXPECT_TRUE(window->Edit_Atrybuty_Tytul->toolTip().isEmpty());
}

// Alt+letter reaches one control on each page: the toolbar's letters count on every page.
TEST_F(KreatorTest, MnemonicsAreUniqueOnEveryPageWithTheToolbar)
{
    using zk::testing::captionsIn;
    open();
    QStringList bar = captionsIn(window->ToolBar);
    for (int i = 0; i < window->Pages->count(); ++i)
        bar << window->Pages->tabText(i);
    for (int page = 0; page < window->Pages->count(); ++page)
        for (const QStringList &clash : zk::testing::clashingMnemonics(bar + captionsIn(window->Pages->widget(page))))
            ADD_FAILURE() << "page " << page << ": " << clash.join(QStringLiteral(" | ")).toStdString();
}

TEST_F(KreatorTest, ToolbarHasItsSevenButtonsInOrderWithTheSeparator)
{
    open();
    const QList<QAction *> actions = window->ToolBar->actions();
    QStringList captions;
    for (QAction *a : actions)
        captions << (a->isSeparator() ? QStringLiteral("|")
                                      : qobject_cast<QToolButton *>(window->ToolBar->widgetForAction(a))->text());
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Pro&jekt"), QStringLiteral("P&odgląd"), QStringLiteral("Pu&blikuj"), QStringLiteral("&Zapisz"),
                                     QStringLiteral("|"), QStringLiteral("&Pomoc"), QStringLiteral("On-&Line"),
                                     QStringLiteral("&Koniec")}));
    EXPECT_EQ(window->ToolBar->width(), 61);
    EXPECT_FALSE(window->ToolBar->isMovable());
    EXPECT_EQ(window->Przycisk_Anuluj->property("glyph").toString(), QStringLiteral("ANULUJ"));
    EXPECT_EQ(window->Przycisk_Pomoc->property("glyph").toString(), QStringLiteral("POMOC"));
    EXPECT_FALSE(window->Przycisk_Pomoc->icon().isNull());
}

TEST_F(KreatorTest, TemporaryFolderAndPageFileArePreparedBesideTheProgram)
{
    TKreatorDlg *w = open();
    EXPECT_TRUE(QFileInfo(appFolder + QStringLiteral("temp")).isDir());
    EXPECT_EQ(w->paths().appFolder, appFolder);
    EXPECT_EQ(w->paths().pageFilePath, appFolder + QStringLiteral("temp/index.html"));
    EXPECT_EQ(w->paths().badgeSourcePath, appFolder + QStringLiteral("grafika/animgifs/zen_anim.gif"));
    EXPECT_EQ(help.helpFile, appFolder + QStringLiteral("stronarz.hlp"));
}

TEST_F(KreatorTest, ReadOnlyProgramFolderUsesTheCacheWithoutAMessage)
{
    writeFile(appFolder + QStringLiteral("temp"));
    TKreatorDlg *w = open();
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(w->paths().pageFilePath, path(QStringLiteral("cache/zentarek/temp/index.html")));
}

TEST_F(KreatorTest, TemporaryFolderThatCannotBeMadeAnywhereGivesOneErrorAndStartsAnyway)
{
    writeFile(appFolder + QStringLiteral("temp"));
    writeFile(path(QStringLiteral("cache")));
    TKreatorDlg *w = open();
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].flags, 16);
    EXPECT_EQ(messages[0].caption, QStringLiteral("BŁĄD!"));
    EXPECT_EQ(messages[0].text,
              QStringLiteral("Nie można utworzyć katalogu tymczasowego \"%1temp\"!").arg(appFolder));
    EXPECT_EQ(w->Edit_Nazwa->text(), QStringLiteral("index.html"));
    EXPECT_EQ(w->paths().pageFilePath, appFolder + QStringLiteral("temp/index.html"));
}

TEST_F(KreatorTest, CtrlTabSwitchesOnePagePerPressWhereverTheFocusIs)
{
    TKreatorDlg *w = openShown();
    QWidget *focusOnPage[] = {w->Edit_Atrybuty_Tytul, w->Edit_Uklad_Podtytul, w->Edytorek};
    for (int start = 0; start < 3; ++start) {
        w->Pages->setCurrentIndex(start);
        focusOnPage[start]->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(w->Pages->currentIndex(), (start + 1) % 3) << "forward from page " << start;
        w->Pages->setCurrentIndex(start);
        focusOnPage[start]->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(w->Pages->currentIndex(), (start + 2) % 3) << "back from page " << start;
    }
    w->Pages->setCurrentIndex(2);
    w->Edytorek->setFocus();
    QTest::keyClick(w->Edytorek, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w->Pages->currentIndex(), 1);
    EXPECT_TRUE(w->Edytorek->toPlainText().isEmpty()) << "the editor never saw the switch keys";
    w->Pages->setCurrentIndex(2);
    w->Edytorek->setFocus();
    QTest::keyClick(w->Edytorek, Qt::Key_Tab);
    EXPECT_EQ(w->Edytorek->toPlainText(), QStringLiteral("\t")) << "a plain Tab belongs to the editor";
    w->Pages->setCurrentIndex(1);
    w->Edit_Uklad_Podtytul->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->Edytorek) << "the focus follows the page";
    EXPECT_EQ(w->Pages->currentIndex(), 2);
}

// Every control that takes the focus by Tab, on the current page.
static QList<QWidget *> tabStopsOf(QWidget *page)
{
    QList<QWidget *> stops;
    for (QWidget *c : page->findChildren<QWidget *>())
        if (c->isVisibleTo(page) && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus) && !c->focusProxy())
            stops << c;
    return stops;
}

TEST_F(KreatorTest, OnePressOfCtrlTabSwitchesOnePageFromEveryControl)
{
    HelpController controller; // the program's help filter is in the chain as well
    qApp->installEventFilter(&controller);
    TKreatorDlg *w = openShown();
    for (QWidget *sound : {static_cast<QWidget *>(w->Przycisk_Play), static_cast<QWidget *>(w->Przycisk_Stop),
                           static_cast<QWidget *>(w->Edit_Src)})
        sound->setEnabled(true); // the sound controls are stops too
    int checked = 0;
    for (int page = 0; page < 3; ++page) {
        w->Pages->setCurrentIndex(page);
        for (QWidget *control : tabStopsOf(w->Pages->widget(page))) {
            for (const bool back : {false, true}) {
                w->Pages->setCurrentIndex(page);
                control->setFocus();
                QTest::keyClick(control, Qt::Key_Tab, back ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
                EXPECT_EQ(w->Pages->currentIndex(), (page + (back ? 2 : 1)) % 3)
                    << qPrintable(control->objectName()) << (back ? " back" : " forward") << " from page " << page;
                ++checked;
            }
        }
    }
    qApp->removeEventFilter(&controller);
    EXPECT_GT(checked, 60) << "every page's controls were tried";
}

TEST_F(KreatorTest, F1InTheContactListShowsItsTopicOnce)
{
    HelpController controller;
    qApp->installEventFilter(&controller);
    TKreatorDlg *w = openShown();
    w->Pages->setCurrentIndex(1);
    w->Lista_Uklad_Adresy->setFocus();
    QTest::keyClick(w->Lista_Uklad_Adresy, Qt::Key_F1);
    qApp->removeEventFilter(&controller);
    ASSERT_EQ(help.topics.size(), 1);
    EXPECT_EQ(help.topics[0].context, helpContextOf(w->Lista_Uklad_Adresy));
}

TEST_F(KreatorTest, PageTwoFieldsAreWideEnoughForAUsualSubtitle)
{
    TKreatorDlg *w = openShown();
    w->Pages->setCurrentIndex(1);
    QTest::qWait(10);
    const QString usual = QStringLiteral("Jan Kowalski - Strona Domowa - Firmowa");
    for (QLineEdit *field : {w->Edit_Uklad_Glowny_Naglowek, w->Edit_Uklad_Podtytul, w->Edit_Uklad_Naglowek_Odnosniki}) {
        EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(usual) + 12) << qPrintable(field->objectName());
        EXPECT_LE(field->x() - (field->parentWidget()->findChild<QLabel *>()->x()), 90)
            << qPrintable(field->objectName()) << " starts near its label";
    }
    EXPECT_GE(w->Edit_Uklad_Logo->width(), w->Edit_Uklad_Podtytul->width()) << "the logo field spans the row";
}

TEST_F(KreatorTest, ClosingEmptiesTheTemporaryFolderAndStoresTheSettings)
{
    TKreatorDlg *w = openShown();
    const QString temp = w->paths().tempFolder;
    writeFile(temp + QStringLiteral("index.html"));
    writeFile(temp + QStringLiteral("logo.gif"));
    writeFile(temp + QStringLiteral(".ukryty"));
    folder(QStringLiteral("program/temp/podfolder"));
    w->setContactAddresses({QStringLiteral("b@x.pl"), QStringLiteral("a@x.pl")});
    QTest::mouseClick(w->Przycisk_Anuluj, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(QFileInfo(temp).isDir());
    EXPECT_EQ(QDir(temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{QStringLiteral(".ukryty"), QStringLiteral("podfolder")}));
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("1"));
    EXPECT_EQ(stored(General, PathValue), appFolder);
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_0")), QStringLiteral("b@x.pl"));
    EXPECT_TRUE(prompts.messages().isEmpty());
    window.reset();

    TKreatorDlg *next = open();
    EXPECT_EQ(next->runCount(), 1);
    EXPECT_EQ(next->contactAddresses(), (QStringList{QStringLiteral("b@x.pl"), QStringLiteral("a@x.pl")}));
    ASSERT_EQ(next->Lista_Uklad_Adresy->count(), 2);
    EXPECT_EQ(next->Lista_Uklad_Adresy->itemText(0), QStringLiteral("b@x.pl"));
    EXPECT_EQ(next->Lista_Uklad_Adresy->currentIndex(), -1) << "no address is selected";
    next->close();
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("2"));
}

TEST_F(KreatorTest, ARunEndedWithoutClosingLeavesTheNextStartAFirstRun)
{
    open();
    window->hide();
    window.reset(); // destroyed without the close sequence
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("0"));
    EXPECT_EQ(open()->runCount(), 0);
}

TEST_F(KreatorTest, OnLineOpensTheMakersSiteAndReportsAFailure)
{
    TKreatorDlg *w = openShown();
    QTest::mouseClick(w->BTN_OnLine, Qt::LeftButton);
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].what, MakerHomePage);
    EXPECT_FALSE(shell.calls[0].isProgram);
    EXPECT_TRUE(prompts.messages().isEmpty());

    shell.succeed = false;
    QTest::mouseClick(w->BTN_OnLine, Qt::LeftButton);
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].caption, QStringLiteral("BŁĄD!"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Nie można nawiązać połączenia!"));
    EXPECT_EQ(messages[0].flags, 16);
}

TEST_F(KreatorTest, HelpButtonOpensTheContents)
{
    TKreatorDlg *w = openShown();
    QTest::mouseClick(w->Przycisk_Pomoc, Qt::LeftButton);
    EXPECT_EQ(help.contentsShown, 1);
    EXPECT_TRUE(help.topics.isEmpty());
}

TEST_F(KreatorTest, F1AndWhatsThisShowTheNearestTopicAtTheControl)
{
    HelpController controller;
    qApp->installEventFilter(&controller);
    TKreatorDlg *w = openShown();
    w->Edit_Atrybuty_Tytul->setFocus();
    QTest::keyClick(w->Edit_Atrybuty_Tytul, Qt::Key_F1);
    w->Pages->setCurrentIndex(2);
    w->Edytorek->setFocus();
    QTest::keyClick(w->Edytorek, Qt::Key_F1);
    QTest::keyClick(w->Edytorek, Qt::Key_F1, Qt::ControlModifier); // not a help key

    // A label has no number of its own: the tab pages' number answers.
    auto *label = w->findChild<QLabel *>(QStringLiteral("Label_Atrybuty_Tytul"));
    QHelpEvent whatsThis(QEvent::WhatsThis, QPoint(1, 1), label->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(label, &whatsThis);
    QHelpEvent onToolbar(QEvent::WhatsThis, QPoint(1, 1), w->BTN_Zapisz->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(w->BTN_Zapisz, &onToolbar);
    qApp->removeEventFilter(&controller);

    ASSERT_EQ(help.topics.size(), 4);
    EXPECT_EQ(help.topics[0].context, 1009);
    EXPECT_EQ(help.topics[0].globalPos, w->Edit_Atrybuty_Tytul->mapToGlobal(QPoint(0, 0)));
    EXPECT_EQ(help.topics[1].context, 1045);
    EXPECT_EQ(help.topics[2].context, 1100);
    EXPECT_EQ(help.topics[2].globalPos, label->mapToGlobal(QPoint(0, 0)));
    EXPECT_EQ(help.topics[3].context, 1108) << "Zapisz has a topic of its own, telling it from the project's save";
    EXPECT_EQ(w->Edytorek->toPlainText(), QString());
}

TEST_F(KreatorTest, StatusBarShowsTheHintOfTheControlUnderThePointer)
{
    TKreatorDlg *w = openShown();
    QTest::mouseMove(w->Przycisk_Podglad);
    ASSERT_EVENTUALLY((w->Panel_Hint->currentMessage()) == (QStringLiteral(" Wciśnij, aby obejrzeć stronę\nw domyślnej przeglądarce.")), 5000);
    QTest::mouseMove(w->BTN_Zapisz);
    ASSERT_EVENTUALLY((w->Panel_Hint->currentMessage()) == (QStringLiteral(" Zapisanie w wybranym folderze strony WWW z jej plikami, gotowej do sieci")), 5000);
    EXPECT_FALSE(w->Panel_Hint->isSizeGripEnabled());
}

TEST_F(KreatorTest, TheItemUnderThePointerInEveryPopupMenuPutsItsHintInTheStatusBar)
{
    TKreatorDlg *w = openShown();
    const auto hintOver = [w](QMenu *menu, QAction *item, const std::function<void()> &open) {
        QString seen;
        QTimer::singleShot(0, [&] {
            QTest::mouseMove(menu, menu->actionGeometry(item).center());
            QTest::qWait(20);
            seen = w->Panel_Hint->currentMessage();
            menu->close();
        });
        open();
        return seen;
    };
    EXPECT_EQ(hintOver(w->PopUp_Atrybuty_Tlo, w->PopUp_Atrybuty_Tlo_Podklad, [w] { w->Przycisk_Atrybuty_Tlo->showMenu(); }),
              QStringLiteral(" Tło strony będzie miało podkład graficzny"));
    EXPECT_EQ(hintOver(w->PopUp_Atrybuty_Polskie, w->PopUp_Atrybuty_Polskie_Windows,
                       [w] { w->Przycisk_Atrybuty_Polskie->showMenu(); }),
              QStringLiteral(" Strona kodowa Windows CP-1250"));
    w->Pages->setCurrentIndex(2);
    EXPECT_EQ(hintOver(w->POP_Edytorek, w->Edytorek_Pogrub, [w] { w->POP_Edytorek->exec(w->Edytorek->mapToGlobal(QPoint(5, 5))); }),
              QStringLiteral(" Pogrubienie zaznaczonego tekstu"));
}

TEST_F(KreatorTest, EditingTheTitleOrTheFileNameCopiesTheTitleIntoTheSubtitle)
{
    TKreatorDlg *w = openShown();
    w->Edit_Atrybuty_Tytul->setFocus();
    w->Edit_Atrybuty_Tytul->selectAll();
    QTest::keyClicks(w->Edit_Atrybuty_Tytul, QStringLiteral("Moja"));
    EXPECT_EQ(w->Edit_Uklad_Podtytul->text(), QStringLiteral("Moja"));
    w->Edit_Uklad_Podtytul->setText(QStringLiteral("Inny"));
    w->Edit_Nazwa->setText(QStringLiteral("index.html")); // the text it holds: no change
    EXPECT_EQ(w->Edit_Uklad_Podtytul->text(), QStringLiteral("Inny"));
    QTest::keyClicks(w->Edit_Nazwa, QStringLiteral("x"));
    EXPECT_EQ(w->Edit_Uklad_Podtytul->text(), QStringLiteral("Moja"));
}

TEST_F(KreatorTest, WordWrapBoxSwitchesTheEditorsWrapping)
{
    TKreatorDlg *w = openShown();
    w->Pages->setCurrentIndex(2);
    QTest::mouseClick(w->CHK_WordWrap, Qt::LeftButton, {}, QPoint(5, w->CHK_WordWrap->height() / 2));
    EXPECT_EQ(w->Edytorek->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    w->Edytorek->setPlainText(QStringLiteral("<P>%1</P>\nline 2").arg(QString(300, u'x')));
    EXPECT_EQ(w->editorLines().size(), 2) << "wrapping changes only the display";
    QTest::mouseClick(w->CHK_WordWrap, Qt::LeftButton, {}, QPoint(5, w->CHK_WordWrap->height() / 2));
    EXPECT_EQ(w->Edytorek->lineWrapMode(), QPlainTextEdit::NoWrap);
}

} // namespace
TEST_F(KreatorTest, TabOnTheFirstPageReadsTheSoundRowsInOrder)
{
    TKreatorDlg *w = openShown();
    for (QWidget *sound : {static_cast<QWidget *>(w->Przycisk_Play), static_cast<QWidget *>(w->Przycisk_Stop),
                           static_cast<QWidget *>(w->Edit_Src)})
        sound->setEnabled(true);
    w->Check_Play->setFocus();
    QStringList names;
    for (int i = 0; i < 8; ++i) {
        names << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(names, QString("Check_Play Check_Infinite Spin_Powtorz Edit_Src Przycisk_Play Przycisk_Stop Przycisk_Nagrywaj "
                             "Lista_Atrybuty_Slowa_Kluczowe").split(u' '));
}
