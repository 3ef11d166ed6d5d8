// The commands of the first two tab pages: background and encoding menus,
// colours, section switches, picture choosers, the links grid, the
// contact addresses, the keywords and the alignment buttons.
#include "Kreator.h"

#include "Encoding.h"

#include "Odnosnik.h"
#include "Prompts.h"
#include "Rename.h"
#include "Services.h"

#include "ColorPickerButton.h"
#include "StringGrid.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QPushButton>
#include <QToolButton>

namespace zk {

namespace {
const QString PictureFilter = QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.png");
const QString AddressHint = QStringLiteral("Tutaj wpisz swój adres kontaktowy e-mail");

// Removes the selected item of a list and selects the one before it (the
// first when the first was removed).
void removeSelectedItem(QComboBox *list)
{
    const int index = list->currentIndex();
    list->removeItem(index);
    list->setCurrentIndex(list->count() == 0 ? -1 : std::max(0, index - 1));
}
} // namespace

void TKreatorDlg::connectSectionCommands()
{
    connect(PopUp_Atrybuty_Tlo_Kolor, &QAction::triggered, this, &TKreatorDlg::PopUp_Atrybuty_Tlo_KolorClick);
    connect(PopUp_Atrybuty_Tlo_Podklad, &QAction::triggered, this, &TKreatorDlg::PopUp_Atrybuty_Tlo_PodkladClick);
    connect(PopUp_Atrybuty_Polskie_ISO, &QAction::triggered, this, &TKreatorDlg::PopUp_Atrybuty_Polskie_ISOClick);
    connect(PopUp_Atrybuty_Polskie_Windows, &QAction::triggered, this, &TKreatorDlg::PopUp_Atrybuty_Polskie_WindowsClick);
    connect(PopUp_Atrybuty_Polskie_UTF8, &QAction::triggered, this, &TKreatorDlg::PopUp_Atrybuty_Polskie_UTF8Click);
    connect(Przycisk_Atrybuty_Kolor_Tekst, &ColorPickerButton::colorChanged, this,
            &TKreatorDlg::Przycisk_Atrybuty_Kolor_TekstColorChange);
    connect(Check_Atrybuty_Naglowki, &QCheckBox::clicked, this, &TKreatorDlg::Check_Atrybuty_NaglowkiClick);
    connect(Check_Atrybuty_Odnosniki, &QCheckBox::clicked, this, &TKreatorDlg::Check_Atrybuty_OdnosnikiClick);
    connect(Check_Atrybuty_Adresy, &QCheckBox::clicked, this, &TKreatorDlg::Check_Atrybuty_AdresyClick);
    connect(Check_Play, &QCheckBox::clicked, this, &TKreatorDlg::Check_PlayClick);
    connect(Przycisk_Play, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_PlayClick);
    connect(Przycisk_Stop, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_StopClick);
    connect(Przycisk_Nagrywaj, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_NagrywajClick);
    connect(Check_Uklad_Logo, &QCheckBox::clicked, this, &TKreatorDlg::Check_Uklad_LogoClick);
    connect(Check_Uklad_Odnosniki_Ikona, &QCheckBox::clicked, this, &TKreatorDlg::Check_Uklad_Odnosniki_IkonaClick);
    connect(Check_Uklad_Adresy_Ikona, &QCheckBox::clicked, this, &TKreatorDlg::Check_Uklad_Adresy_IkonaClick);
    for (QLineEdit *path : {Edit_Uklad_Logo, Edit_Uklad_Odnosniki_Ikonka, Edit_Uklad_Adresy_Ikona})
        path->installEventFilter(this); // a double-click chooses the picture again
    connect(Przycisk_Uklad_Odnosniki_Dodaj, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Odnosniki_DodajClick);
    connect(Przycisk_Uklad_Odnosniki_Usun, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Odnosniki_UsunClick);
    connect(Przycisk_Uklad_Odnosniki_Edytuj, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Odnosniki_EdytujClick);
    connect(Przycisk_Uklad_Odnosniki_OdNowa, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Odnosniki_OdNowaClick);
    connect(Grid_Uklad_Odnosniki, &StringGrid::keyDown, this, &TKreatorDlg::Grid_Uklad_OdnosnikiKeyDown);
    connect(Przycisk_Uklad_Adresy_Dodaj, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Adresy_DodajClick);
    connect(Przycisk_Uklad_Adresy_Usun, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Adresy_UsunClick);
    connect(Przycisk_Uklad_Adresy_Edytuj, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Adresy_EdytujClick);
    connect(Przycisk_Uklad_Adresy_OdNowa, &QPushButton::clicked, this, &TKreatorDlg::Przycisk_Uklad_Adresy_OdNowaClick);
    Lista_Uklad_Adresy->installEventFilter(this);
    connect(Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj, &QToolButton::clicked, this,
            &TKreatorDlg::Przycisk_Atrybuty_Slowa_Kluczowe_DodajClick);
    connect(Przycisk_Atrybuty_Slowo_Kluczowe_Usun, &QToolButton::clicked, this,
            &TKreatorDlg::Przycisk_Atrybuty_Slowo_Kluczowe_UsunClick);
    for (QButtonGroup *group : {m_headerAlign, m_subtitleAlign, m_linksAlign})
        connect(group, &QButtonGroup::buttonClicked, this, &TKreatorDlg::Przycisk_Uklad_Naglowek_Odnosniki_PrawaClick);
}

void TKreatorDlg::PopUp_Atrybuty_Tlo_KolorClick()
{
    ColorRequest request{m_colorDialogColor, m_colorDialogCustom, true, true, 1002};
    const auto chosen = services().prompts->chooseColor(request, this);
    m_colorDialogCustom = request.customColors;
    if (!chosen) {
        // Choosing the item toggled its check mark; a cancel puts it back.
        PopUp_Atrybuty_Tlo_Kolor->setChecked(!PopUp_Atrybuty_Tlo_Podklad->isChecked());
        return;
    }
    m_colorDialogColor = *chosen;
    PopUp_Atrybuty_Tlo_Kolor->setChecked(true);
    PopUp_Atrybuty_Tlo_Podklad->setChecked(false);
    BackgroundImagePath.clear();
    setBackgroundColor(*chosen);
}

void TKreatorDlg::PopUp_Atrybuty_Tlo_PodkladClick()
{
    BackgroundImagePath = WybierzGrafike(PictureFilter);
    if (BackgroundImagePath.isEmpty()) {
        // A cancelled choice empties the path; the check marks stay as they were.
        PopUp_Atrybuty_Tlo_Podklad->setChecked(!PopUp_Atrybuty_Tlo_Kolor->isChecked());
        showBackground();
        return;
    }
    PopUp_Atrybuty_Tlo_Podklad->setChecked(true);
    PopUp_Atrybuty_Tlo_Kolor->setChecked(false);
    showBackground();
    noteChange(); // another picture while one was chosen changes no check mark
}

void TKreatorDlg::setEncoding(const QString &encoding)
{
    const bool utf8 = encoding == EncodingUtf8;
    const bool iso = !utf8 && encoding != EncodingWindows;
    PopUp_Atrybuty_Polskie_ISO->setChecked(iso);
    PopUp_Atrybuty_Polskie_Windows->setChecked(!iso && !utf8);
    PopUp_Atrybuty_Polskie_UTF8->setChecked(utf8);
    Przycisk_Atrybuty_Polskie->setText(utf8  ? QStringLiteral(" UTF-8")
                                       : iso ? QStringLiteral(" &ISO 8859-2")
                                             : QStringLiteral(" W&indows 1250"));
    m_encodingKey->setEnabled(utf8);
    PageEncoding = utf8 ? EncodingUtf8 : iso ? EncodingIso : EncodingWindows;
}

void TKreatorDlg::PopUp_Atrybuty_Polskie_ISOClick()
{
    setEncoding(EncodingIso);
}

void TKreatorDlg::PopUp_Atrybuty_Polskie_WindowsClick()
{
    setEncoding(EncodingWindows);
}

void TKreatorDlg::PopUp_Atrybuty_Polskie_UTF8Click()
{
    setEncoding(EncodingUtf8);
}

void TKreatorDlg::Przycisk_Atrybuty_Kolor_TekstColorChange()
{
    const QColor c = Przycisk_Atrybuty_Kolor_Tekst->color();
    for (ColorPickerButton *b : {Przycisk_Uklad_Naglowek_Kolor, Przycisk_Uklad_Podtytul_Kolor, Przycisk_Uklad_Naglowek_Odnosniki_Kolor})
        b->setColor(c);
}

void TKreatorDlg::Check_Atrybuty_NaglowkiClick()
{
    const bool on = Check_Atrybuty_Naglowki->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{
             Label_Uklad_Glowny_Naglowek, Label_Uklad_Podtytul, Edit_Uklad_Glowny_Naglowek, Edit_Uklad_Podtytul,
             Przycisk_Uklad_Naglowek_Kolor, Przycisk_Uklad_Podtytul_Kolor, Przycisk_Uklad_Naglowek_Lewa,
             Przycisk_Uklad_Naglowek_Srodek, Przycisk_Uklad_Naglowek_Prawa, Przycisk_Uklad_Podtytul_Lewa,
             Przycisk_Uklad_Podtytul_Srodek, Przycisk_Uklad_Podtytul_Prawa, Check_Uklad_Naglowek_Kreska, Check_Uklad_Logo})
        w->setEnabled(on);
}

void TKreatorDlg::Check_Atrybuty_OdnosnikiClick()
{
    const bool on = Check_Atrybuty_Odnosniki->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{
             Grid_Uklad_Odnosniki, Przycisk_Uklad_Odnosniki_Dodaj, Przycisk_Uklad_Odnosniki_Usun, Przycisk_Uklad_Odnosniki_Edytuj,
             Przycisk_Uklad_Odnosniki_OdNowa, Label_Uklad_Naglowek_Odnosniki, Edit_Uklad_Naglowek_Odnosniki,
             Przycisk_Uklad_Naglowek_Odnosniki_Lewa, Przycisk_Uklad_Naglowek_Odnosniki_Srodek,
             Przycisk_Uklad_Naglowek_Odnosniki_Prawa, Przycisk_Uklad_Naglowek_Odnosniki_Kolor, Check_Uklad_Odnosniki_Ikona})
        w->setEnabled(on);
    Edit_Uklad_Odnosniki_Ikonka->setEnabled(on && Check_Uklad_Odnosniki_Ikona->isChecked());
}

void TKreatorDlg::Check_Atrybuty_AdresyClick()
{
    const bool on = Check_Atrybuty_Adresy->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{Label_Uklad_Adresy, Lista_Uklad_Adresy, Przycisk_Uklad_Adresy_Dodaj,
                                                        Przycisk_Uklad_Adresy_Usun, Przycisk_Uklad_Adresy_Edytuj,
                                                        Przycisk_Uklad_Adresy_OdNowa, Check_Uklad_Adresy_Ikona})
        w->setEnabled(on);
    Edit_Uklad_Adresy_Ikona->setEnabled(on && Check_Uklad_Adresy_Ikona->isChecked());
}

void TKreatorDlg::choosePicture(QCheckBox *box, QLineEdit *path)
{
    if (!box->isChecked()) {
        path->setEnabled(false);
        return;
    }
    path->setText(WybierzGrafike(PictureFilter));
    if (!path->text().isEmpty()) {
        path->setEnabled(true);
        return;
    }
    box->setChecked(false); // cancelled: the sound of step 2, the field ends disabled
    choosePicture(box, path);
}

void TKreatorDlg::Check_Uklad_LogoClick()
{
    choosePicture(Check_Uklad_Logo, Edit_Uklad_Logo);
}

void TKreatorDlg::Check_Uklad_Odnosniki_IkonaClick()
{
    choosePicture(Check_Uklad_Odnosniki_Ikona, Edit_Uklad_Odnosniki_Ikonka);
}

void TKreatorDlg::Check_Uklad_Adresy_IkonaClick()
{
    choosePicture(Check_Uklad_Adresy_Ikona, Edit_Uklad_Adresy_Ikona);
}

std::optional<LinkFields> TKreatorDlg::askForLink(const QString &description, const QString &address)
{
    TOdnosnikDlg dialog(&OpenDoc, this);
    dialog.useForFavouriteList();
    dialog.setFields({.address = address, .description = description});
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.fields();
}

void TKreatorDlg::Przycisk_Uklad_Odnosniki_DodajClick()
{
    const auto link = askForLink({}, {});
    if (!link)
        return;
    StringGrid *g = Grid_Uklad_Odnosniki;
    g->selectGridRow(g->gridRowCount() - 1);
    if (!(g->gridRowCount() == 2 && g->cell(0, 1).isEmpty())) {
        g->setGridRowCount(g->gridRowCount() + 1);
        g->selectGridRow(g->gridRowCount() - 1);
    }
    const int row = g->gridRowCount() - 1;
    g->setCell(0, row, link->description);
    g->setCell(1, row, link->address);
}

void TKreatorDlg::Przycisk_Uklad_Odnosniki_UsunClick()
{
    StringGrid *g = Grid_Uklad_Odnosniki;
    const int selected = g->selectedGridRow();
    for (int r = selected; r + 1 < g->gridRowCount(); ++r)
        for (int c = 0; c < 2; ++c)
            g->setCell(c, r, g->cell(c, r + 1));
    if (g->gridRowCount() > 2) {
        g->setGridRowCount(g->gridRowCount() - 1);
    } else {
        g->setCell(0, 1, QString());
        g->setCell(1, 1, QString());
    }
    g->selectGridRow(std::min(selected, g->gridRowCount() - 1));
}

void TKreatorDlg::Przycisk_Uklad_Odnosniki_EdytujClick()
{
    StringGrid *g = Grid_Uklad_Odnosniki;
    const int row = g->selectedGridRow();
    if (g->cell(0, row).isEmpty())
        return;
    const auto link = askForLink(g->cell(0, row), g->cell(1, row));
    if (!link || link->description.isEmpty() || link->address.isEmpty())
        return;
    g->setCell(0, row, link->description);
    g->setCell(1, row, link->address);
}

void TKreatorDlg::Przycisk_Uklad_Odnosniki_OdNowaClick()
{
    StringGrid *g = Grid_Uklad_Odnosniki;
    for (int r = 1; r < g->gridRowCount(); ++r)
        for (int c = 0; c < 2; ++c)
            g->setCell(c, r, QString());
    g->setGridRowCount(2);
    g->selectGridRow(1);
}

// Insert, Delete and F2 add, remove and edit, whatever modifiers are held.
bool TKreatorDlg::runListKey(int key, void (TKreatorDlg::*add)(), void (TKreatorDlg::*remove)(),
                             void (TKreatorDlg::*edit)())
{
    switch (key) {
    case Qt::Key_Insert: (this->*add)(); return true;
    case Qt::Key_Delete: (this->*remove)(); return true;
    case Qt::Key_F2: (this->*edit)(); return true;
    default: return false;
    }
}

void TKreatorDlg::Grid_Uklad_OdnosnikiKeyDown(QKeyEvent *event)
{
    if (runListKey(event->key(), &TKreatorDlg::Przycisk_Uklad_Odnosniki_DodajClick,
                   &TKreatorDlg::Przycisk_Uklad_Odnosniki_UsunClick, &TKreatorDlg::Przycisk_Uklad_Odnosniki_EdytujClick))
        event->accept();
}

void TKreatorDlg::Lista_Uklad_AdresyKeyDown(QKeyEvent *event)
{
    if (runListKey(event->key(), &TKreatorDlg::Przycisk_Uklad_Adresy_DodajClick,
                   &TKreatorDlg::Przycisk_Uklad_Adresy_UsunClick, &TKreatorDlg::Przycisk_Uklad_Adresy_EdytujClick))
        event->accept();
}

void TKreatorDlg::Przycisk_Uklad_Adresy_DodajClick()
{
    const auto text = TDlg_Rename::ask({QStringLiteral("Dodawanie adresu kontaktowego"), QStringLiteral("Adres e-mail:"),
                                        QString(), AddressHint, TDlg_Rename::Icon::Mail, 1040},
                                       this);
    if (!text || text->isEmpty())
        return;
    Lista_Uklad_Adresy->addItem(*text);
    Lista_Uklad_Adresy->setCurrentIndex(Lista_Uklad_Adresy->count() - 1);
    ContactAddresses.prepend(*text);
}

void TKreatorDlg::Przycisk_Uklad_Adresy_UsunClick()
{
    if (Lista_Uklad_Adresy->currentIndex() < 0)
        return;
    ContactAddresses.removeOne(Lista_Uklad_Adresy->currentText());
    removeSelectedItem(Lista_Uklad_Adresy);
}

void TKreatorDlg::Przycisk_Uklad_Adresy_EdytujClick()
{
    const int index = Lista_Uklad_Adresy->currentIndex();
    if (index < 0 || Lista_Uklad_Adresy->currentText().isEmpty())
        return;
    const auto text = TDlg_Rename::ask({QStringLiteral("Poprawki do adresu kontaktowego"), QStringLiteral("Adres e-mail:"),
                                        Lista_Uklad_Adresy->currentText(), AddressHint, TDlg_Rename::Icon::None, 1025},
                                       this);
    if (!text || text->isEmpty())
        return;
    // The correction is what the next start shows, and what Usuń removes.
    const qsizetype stored = ContactAddresses.indexOf(Lista_Uklad_Adresy->currentText());
    if (stored >= 0)
        ContactAddresses[stored] = *text;
    else
        ContactAddresses.prepend(*text);
    Lista_Uklad_Adresy->setItemText(index, *text);
}

void TKreatorDlg::Przycisk_Uklad_Adresy_OdNowaClick()
{
    Lista_Uklad_Adresy->clear();
}

void TKreatorDlg::Przycisk_Atrybuty_Slowa_Kluczowe_DodajClick()
{
    const auto text = TDlg_Rename::ask({QStringLiteral("Dodawanie nowego słowa kluczowego"), QStringLiteral("Podaj słowo:"),
                                        QString(), QString(), TDlg_Rename::Icon::Key, 1025},
                                       this);
    if (!text || text->isEmpty())
        return;
    Lista_Atrybuty_Slowa_Kluczowe->addItem(*text);
    Lista_Atrybuty_Slowa_Kluczowe->setCurrentIndex(Lista_Atrybuty_Slowa_Kluczowe->count() - 1);
}

void TKreatorDlg::Przycisk_Atrybuty_Slowo_Kluczowe_UsunClick()
{
    if (Lista_Atrybuty_Slowa_Kluczowe->currentIndex() >= 0)
        removeSelectedItem(Lista_Atrybuty_Slowa_Kluczowe);
}

void TKreatorDlg::Przycisk_Uklad_Naglowek_Odnosniki_PrawaClick(QAbstractButton *button)
{
    button->setChecked(true); // the group releases the other two
}

bool TKreatorDlg::handleSectionEvent(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        const std::pair<QLineEdit *, void (TKreatorDlg::*)()> paths[] = {
            {Edit_Uklad_Logo, &TKreatorDlg::Check_Uklad_LogoClick},
            {Edit_Uklad_Odnosniki_Ikonka, &TKreatorDlg::Check_Uklad_Odnosniki_IkonaClick},
            {Edit_Uklad_Adresy_Ikona, &TKreatorDlg::Check_Uklad_Adresy_IkonaClick}};
        for (const auto &[path, handler] : paths)
            if (watched == path && path->isEnabled()) {
                (this->*handler)();
                return true;
            }
    }
    if (watched == Lista_Uklad_Adresy && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        key->ignore();
        Lista_Uklad_AdresyKeyDown(key);
        return key->isAccepted();
    }
    return false;
}

} // namespace zk
