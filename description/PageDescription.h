#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace zk {

enum class Alignment { Left, Center, Right };

struct LinkRow {
    QString name;
    QString address;
    bool operator==(const LinkRow &) const = default;
};

// The page being composed, read from the wizard form's controls at the
// moment a command runs. Fields carry the names of the controls that
// edit them.
struct PageDescription {
    // Section switches.
    bool Check_Atrybuty_Naglowki = true;
    bool Check_Atrybuty_Odnosniki = true;
    bool Check_Atrybuty_Adresy = true;

    // Main attributes.
    QString Lista_Atrybuty_DocType;
    bool PopUp_Atrybuty_Tlo_Kolor = true; // background kind: colour, else image
    QColor Panel_Podglad_Naglowki = QColor(0xC0, 0xC0, 0xC0); // background colour; silver: none of its own
    QString BackgroundImagePath;
    QString PageEncoding = QStringLiteral("ISO-8859-2"); // the menu's choice, held once
    QColor Przycisk_Atrybuty_Kolor_Tekst = QColor(0, 0, 0);
    QColor Przycisk_Atrybuty_Kolor_Odnosniki = QColor(0, 0, 255);
    QColor Przycisk_Atrybuty_Kolor_Aktywne = QColor(255, 0, 0);
    QColor Przycisk_Atrybuty_Kolor_Odwiedzone = QColor(0, 0, 128);
    bool Check_Play = false;
    QString Edit_Src;
    bool Check_Infinite = true;
    int Spin_Powtorz = 0;
    QStringList Lista_Atrybuty_Slowa_Kluczowe;
    QString Edit_Atrybuty_Dokument_Bazowy;
    QString Edit_Atrybuty_Tytul;
    QString Edit_Nazwa;
    // For HTML5 pages: the look, a sentence or two for search engines and
    // link previews, and the address the page will have on the web.
    QString Lista_Wyglad = QStringLiteral("prosty");
    QString Edit_Opis_Strony;
    QString Edit_Adres_Strony;

    // Section attributes.
    QString Edit_Uklad_Glowny_Naglowek;
    Alignment headerAlignment = Alignment::Left;
    QColor Przycisk_Uklad_Naglowek_Kolor = QColor(0, 0, 0);
    QString Edit_Uklad_Podtytul;
    Alignment subtitleAlignment = Alignment::Left;
    QColor Przycisk_Uklad_Podtytul_Kolor = QColor(0, 0, 0);
    bool Check_Uklad_Logo = false;
    QString Edit_Uklad_Logo;
    bool Check_Uklad_Naglowek_Kreska = true;
    QList<LinkRow> Grid_Uklad_Odnosniki; // data rows 1.. of the grid, in order
    QString Edit_Uklad_Naglowek_Odnosniki;
    Alignment linksHeadingAlignment = Alignment::Left;
    QColor Przycisk_Uklad_Naglowek_Odnosniki_Kolor = QColor(0, 0, 0);
    bool Check_Uklad_Odnosniki_Ikona = false;
    QString Edit_Uklad_Odnosniki_Ikonka;
    QStringList Lista_Uklad_Adresy;
    bool Check_Uklad_Adresy_Ikona = false;
    QString Edit_Uklad_Adresy_Ikona;

    // Main section: the editor's lines.
    QStringList Edytorek;

    bool operator==(const PageDescription &) const = default;
};

} // namespace zk
