// Reading the page description out of the wizard window's controls.
#include "Kreator.h"

#include "ColorPickerButton.h"
#include "SpinEdit.h"
#include "StringGrid.h"
#include "THtmlMemo.h"

#include <QImage>
#include <QPixmap>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QToolButton>

namespace zk {

namespace {

QStringList items(const QComboBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

// The first button of the group that is down, tested left, centre, right.
Alignment alignmentOf(const QToolButton *left, const QToolButton *centre, const QToolButton *right)
{
    if (left->isChecked())
        return Alignment::Left;
    if (centre->isChecked())
        return Alignment::Center;
    if (right->isChecked())
        return Alignment::Right;
    return Alignment::Left;
}

QList<LinkRow> links(const StringGrid *grid)
{
    QList<LinkRow> rows;
    for (int r = 1; r < grid->gridRowCount(); ++r)
        rows.append({grid->cell(0, r), grid->cell(1, r)});
    return rows;
}

} // namespace

QColor TKreatorDlg::backgroundColor() const
{
    return m_backgroundColor;
}

void TKreatorDlg::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    showBackground();
}

// The strip under "Tło strony" shows the page's background as chosen: the
// picture tiled, or the colour; its hint names the picture.
void TKreatorDlg::showBackground()
{
    const bool picture = PopUp_Atrybuty_Tlo_Podklad->isChecked() && !BackgroundImagePath.isEmpty();
    const QImage image = picture ? QImage(BackgroundImagePath) : QImage();
    QPalette p = Panel_Podglad_Naglowki->palette();
    p.setBrush(QPalette::Window, image.isNull() ? QBrush(m_backgroundColor) : QBrush(QPixmap::fromImage(image)));
    Panel_Podglad_Naglowki->setPalette(p);
    const QString tip = !picture ? QStringLiteral("Tło strony: kolor %1").arg(m_backgroundColor.name())
                        : image.isNull() ? QStringLiteral("Tło strony: obraz %1 (nie można go wyświetlić)").arg(BackgroundImagePath)
                                         : QStringLiteral("Tło strony: obraz %1").arg(BackgroundImagePath);
    Panel_Podglad_Naglowki->setStatusTip(tip);
    Panel_Podglad_Naglowki->setToolTip(tip);
}

QStringList TKreatorDlg::editorLines() const
{
    return Edytorek->Lines();
}

PageDescription TKreatorDlg::description() const
{
    PageDescription d = descriptionWithoutText();
    d.Edytorek = editorLines();
    return d;
}

PageDescription TKreatorDlg::descriptionWithoutText() const
{
    PageDescription d;
    d.Check_Atrybuty_Naglowki = Check_Atrybuty_Naglowki->isChecked();
    d.Check_Atrybuty_Odnosniki = Check_Atrybuty_Odnosniki->isChecked();
    d.Check_Atrybuty_Adresy = Check_Atrybuty_Adresy->isChecked();
    d.Lista_Atrybuty_DocType = Lista_Atrybuty_DocType->currentText();
    d.PopUp_Atrybuty_Tlo_Kolor = PopUp_Atrybuty_Tlo_Kolor->isChecked();
    d.Panel_Podglad_Naglowki = m_backgroundColor;
    d.BackgroundImagePath = BackgroundImagePath;
    d.PageEncoding = PageEncoding;
    d.Przycisk_Atrybuty_Kolor_Tekst = Przycisk_Atrybuty_Kolor_Tekst->color();
    d.Przycisk_Atrybuty_Kolor_Odnosniki = Przycisk_Atrybuty_Kolor_Odnosniki->color();
    d.Przycisk_Atrybuty_Kolor_Aktywne = Przycisk_Atrybuty_Kolor_Aktywne->color();
    d.Przycisk_Atrybuty_Kolor_Odwiedzone = Przycisk_Atrybuty_Kolor_Odwiedzone->color();
    d.Check_Play = Check_Play->isChecked();
    d.Edit_Src = Edit_Src->text();
    d.Check_Infinite = Check_Infinite->isChecked();
    d.Spin_Powtorz = Spin_Powtorz->value();
    d.Lista_Atrybuty_Slowa_Kluczowe = items(Lista_Atrybuty_Slowa_Kluczowe);
    d.Edit_Atrybuty_Dokument_Bazowy = Edit_Atrybuty_Dokument_Bazowy->text();
    d.Edit_Atrybuty_Tytul = Edit_Atrybuty_Tytul->text();
    d.Edit_Nazwa = Edit_Nazwa->text();
    d.Lista_Wyglad = Lista_Wyglad->currentData().toString();
    d.Edit_Opis_Strony = Edit_Opis_Strony->text();
    d.Edit_Adres_Strony = Edit_Adres_Strony->text();

    d.Edit_Uklad_Glowny_Naglowek = Edit_Uklad_Glowny_Naglowek->text();
    d.headerAlignment = alignmentOf(Przycisk_Uklad_Naglowek_Lewa, Przycisk_Uklad_Naglowek_Srodek,
                                    Przycisk_Uklad_Naglowek_Prawa);
    d.Przycisk_Uklad_Naglowek_Kolor = Przycisk_Uklad_Naglowek_Kolor->color();
    d.Edit_Uklad_Podtytul = Edit_Uklad_Podtytul->text();
    d.subtitleAlignment = alignmentOf(Przycisk_Uklad_Podtytul_Lewa, Przycisk_Uklad_Podtytul_Srodek,
                                      Przycisk_Uklad_Podtytul_Prawa);
    d.Przycisk_Uklad_Podtytul_Kolor = Przycisk_Uklad_Podtytul_Kolor->color();
    d.Check_Uklad_Logo = Check_Uklad_Logo->isChecked();
    d.Edit_Uklad_Logo = Edit_Uklad_Logo->text();
    d.Check_Uklad_Naglowek_Kreska = Check_Uklad_Naglowek_Kreska->isChecked();
    d.Grid_Uklad_Odnosniki = links(Grid_Uklad_Odnosniki);
    d.Edit_Uklad_Naglowek_Odnosniki = Edit_Uklad_Naglowek_Odnosniki->text();
    d.linksHeadingAlignment = alignmentOf(Przycisk_Uklad_Naglowek_Odnosniki_Lewa, Przycisk_Uklad_Naglowek_Odnosniki_Srodek,
                                          Przycisk_Uklad_Naglowek_Odnosniki_Prawa);
    d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor = Przycisk_Uklad_Naglowek_Odnosniki_Kolor->color();
    d.Check_Uklad_Odnosniki_Ikona = Check_Uklad_Odnosniki_Ikona->isChecked();
    d.Edit_Uklad_Odnosniki_Ikonka = Edit_Uklad_Odnosniki_Ikonka->text();
    d.Lista_Uklad_Adresy = items(Lista_Uklad_Adresy);
    d.Check_Uklad_Adresy_Ikona = Check_Uklad_Adresy_Ikona->isChecked();
    d.Edit_Uklad_Adresy_Ikona = Edit_Uklad_Adresy_Ikona->text();
    return d;
}

} // namespace zk
