// The controls of the wizard window, laid out page by page, with their
// design-time captions, hints and values.
#include "Kreator.h"

#include "PageGenerator.h"
#include "Themes.h"
#include "DialogKeys.h"

#include "HelpViewer.h"

#include "ColorPickerButton.h"
#include "Glyphs.h"
#include "SpinEdit.h"
#include "StringGrid.h"
#include "THtmlMemo.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace zk {

namespace {

template <typename W> W *named(W *widget, const QString &name, const QString &hint = {})
{
    widget->setObjectName(name);
    if (!hint.isEmpty())
        widget->setStatusTip(hint);
    return widget;
}

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    return named(new QLabel(text, parent), name);
}

QLineEdit *lineEdit(const QString &name, const QString &hint, QWidget *parent)
{
    return named(new QLineEdit(parent), name, hint);
}

QCheckBox *checkBox(const QString &name, const QString &caption, const QString &hint, bool checked, QWidget *parent)
{
    auto *box = named(new QCheckBox(caption, parent), name, hint);
    box->setChecked(checked);
    return box;
}

QPushButton *pushButton(const QString &name, const QString &caption, const QString &hint, QWidget *parent)
{
    auto *button = named(new QPushButton(caption, parent), name, hint);
    button->setAutoDefault(false);
    return button;
}

QToolButton *toolButton(const QString &name, const QString &caption, const QString &hint, QWidget *parent)
{
    auto *button = named(new QToolButton(parent), name, hint);
    button->setText(caption);
    return button;
}

QToolButton *alignButton(const QString &name, const QString &kind, QButtonGroup *group, QWidget *parent)
{
    static const QMap<QString, QString> hints = {{QStringLiteral("left"), QStringLiteral("Wyrównaj do lewej")},
                                                 {QStringLiteral("center"), QStringLiteral("Wyrównaj na środek")},
                                                 {QStringLiteral("right"), QStringLiteral("Wyrównaj do prawej")}};
    auto *button = toolButton(name, QString(), hints.value(kind), parent);
    button->setIcon(resourceIcon(QStringLiteral(":/icons/align_%1.png").arg(kind)));
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setFixedSize(22, 22);
    group->addButton(button);
    return button;
}

QButtonGroup *alignGroup(QObject *parent)
{
    auto *group = new QButtonGroup(parent);
    group->setExclusive(true);
    return group;
}

ColorPickerButton *colorButton(const QString &name, const QString &caption, const QString &other,
                               const QColor &color, const QString &hint, QWidget *parent)
{
    auto *button = named(new ColorPickerButton(parent), name, hint);
    button->setText(caption);
    button->setOtherCaption(other);
    button->setColor(color);
    return button;
}

QAction *menuItem(QMenu *menu, const QString &name, const QString &caption, const QString &hint, bool checked)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    action->setStatusTip(hint);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, int stretchAfter = -1)
{
    auto *layout = new QHBoxLayout;
    layout->setSpacing(3);
    int i = 0;
    for (QWidget *w : widgets) {
        layout->addWidget(w);
        if (i++ == stretchAfter)
            layout->addStretch(1);
    }
    return layout;
}

const QStringList DocTypes = {
    QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">"),
    QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">"),
    QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">"),
    QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Draft//EN\">"),
    QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN//3.2\">"),
    QStringLiteral("<!DOCTYPE HTML PUBLIC  \"-//IETF//DTD HTML 2.0//EN\">"),
    QStringLiteral("<!DOCTYPE HTML PUBLIC  \"-//IETF//DTD HTML Level 1//EN\">"),
    Html5DocType, // today's browsers and phones
};

} // namespace

void TKreatorDlg::buildToolBar()
{
    ToolBar = makeDockedToolBar(QStringLiteral("ToolBar"), 61, this);
    addToolBar(Qt::LeftToolBarArea, ToolBar);
    const auto add = [this](const QString &name, const QString &caption, const QString &glyph, const QString &hint) {
        QToolButton *button = makeGlyphButton(name, caption, glyph, ToolBar);
        button->setStatusTip(hint);
        button->setFixedWidth(57);
        ToolBar->addWidget(button);
        return button;
    };
    Przycisk_Podglad = add(QStringLiteral("Przycisk_Podglad"), QStringLiteral("P&odgląd"), QStringLiteral("PODGLAD"),
                           QStringLiteral("Wciśnij, aby obejrzeć stronę\nw domyślnej przeglądarce."));
    Przycisk_Punliku = add(QStringLiteral("Przycisk_Punliku"), QStringLiteral("Pu&blikuj"), QStringLiteral("PUBLIKUJ"),
                           QStringLiteral("Wysłanie strony na serwer"));
    BTN_Zapisz = add(QStringLiteral("BTN_Zapisz"), QStringLiteral("&Zapisz"), QStringLiteral("ZAPISZ"),
                     QStringLiteral("Zapisanie w wybranym folderze strony WWW z jej plikami, gotowej do sieci"));
    ToolBar->addSeparator();
    Przycisk_Pomoc = add(QStringLiteral("Przycisk_Pomoc"), QStringLiteral("&Pomoc"), QString(),
                         QStringLiteral("Pomoc do programu"));
    BTN_OnLine = add(QStringLiteral("BTN_OnLine"), QStringLiteral("On-&Line"), QStringLiteral("ONLINE"),
                     QStringLiteral("Zentarek on-line"));
    Przycisk_Anuluj = add(QStringLiteral("Przycisk_Anuluj"), QStringLiteral("&Koniec"), QString(),
                          QStringLiteral("Wyjście z programu"));
    connect(Przycisk_Podglad, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_PodgladClick);
    connect(BTN_Zapisz, &QToolButton::clicked, this, &TKreatorDlg::BTN_ZapiszClick);
    connect(Przycisk_Punliku, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_PunlikuClick);
    connect(Przycisk_Pomoc, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_PomocClick);
    connect(BTN_OnLine, &QToolButton::clicked, this, &TKreatorDlg::BTN_OnLineClick);
    connect(Przycisk_Anuluj, &QToolButton::clicked, this, &TKreatorDlg::Przycisk_AnulujClick);
    buildProjectButton();
    fitDockedToolBar(ToolBar, 57);
}

QWidget *TKreatorDlg::buildSekcjePage()
{
    Sekcje = named(new QWidget, QStringLiteral("Sekcje"));
    auto *page = new QVBoxLayout(Sekcje);
    page->setContentsMargins(6, 6, 6, 6);
    page->setSpacing(5);

    auto *sections = new QGroupBox(QStringLiteral("Sekcje strony"), Sekcje);
    Check_Atrybuty_Naglowki = checkBox(QStringLiteral("Check_Atrybuty_Naglowki"), QStringLiteral("Nagłówki oraz Logo"),
                                       QStringLiteral("Nagłówek, podtytuł i obrazek tytułowy strony"), true, sections);
    Check_Atrybuty_Odnosniki = checkBox(QStringLiteral("Check_Atrybuty_Odnosniki"), QStringLiteral("Ulubione odnośniki URL"),
                                        QStringLiteral("Lista ulubionych odnośników"), true, sections);
    Check_Atrybuty_Adresy = checkBox(QStringLiteral("Check_Atrybuty_Adresy"), QStringLiteral("Skrzynka kontaktowa"),
                                     QStringLiteral("Adresy kontaktowe e-mail"), true, sections);
    sections->setLayout(row({Check_Atrybuty_Naglowki, Check_Atrybuty_Odnosniki, Check_Atrybuty_Adresy}));
    page->addWidget(sections);

    Lista_Atrybuty_DocType = named(new QComboBox(Sekcje), QStringLiteral("Lista_Atrybuty_DocType"),
                                   QStringLiteral("Typ dokumentu HTML - pierwszy wiersz strony; HTML5 (ostatni) "
                                                  "- na dzisiejsze przeglądarki i telefony"));
    Lista_Atrybuty_DocType->setEditable(true);
    Lista_Atrybuty_DocType->addItems(DocTypes);
    Lista_Atrybuty_DocType->setCurrentIndex(0);
    auto *docLabel = label(QStringLiteral("Label_Atrybuty_DocType"), QStringLiteral("T&yp dokumentu:"), Sekcje);
    docLabel->setBuddy(Lista_Atrybuty_DocType);
    auto *docRow = row({docLabel, Lista_Atrybuty_DocType});
    docRow->setStretch(1, 1);
    page->addLayout(docRow);
    Label_DocType_Opis = label(QStringLiteral("Label_DocType_Opis"), docTypeNote(Lista_Atrybuty_DocType->currentText()), Sekcje);
    Label_DocType_Opis->setIndent(docLabel->sizeHint().width() + 6); // under the list, not under its label
    connect(Lista_Atrybuty_DocType, &QComboBox::currentTextChanged, Label_DocType_Opis,
            [this](const QString &type) { Label_DocType_Opis->setText(docTypeNote(type)); });
    page->addWidget(Label_DocType_Opis);

    // Background, encoding and colours.
    auto *look = new QHBoxLayout;
    auto *left = new QGridLayout;
    left->setSpacing(3);
    Przycisk_Atrybuty_Tlo = pushButton(QStringLiteral("Przycisk_Atrybuty_Tlo"), QStringLiteral("    &Tło strony  "),
                                       QStringLiteral("Kliknij, aby wybrać rodzaj tła."), Sekcje);
    PopUp_Atrybuty_Tlo = named(new QMenu(Przycisk_Atrybuty_Tlo), QStringLiteral("PopUp_Atrybuty_Tlo"));
    PopUp_Atrybuty_Tlo_Kolor = menuItem(PopUp_Atrybuty_Tlo, QStringLiteral("PopUp_Atrybuty_Tlo_Kolor"),
                                        QStringLiteral("... jako &kolor"),
                                        QStringLiteral("Tło strony będzie w jednolitym kolorze"), true);
    PopUp_Atrybuty_Tlo_Podklad = menuItem(PopUp_Atrybuty_Tlo, QStringLiteral("PopUp_Atrybuty_Tlo_Podklad"),
                                          QStringLiteral("... jako podkład"),
                                          QStringLiteral("Tło strony będzie miało podkład graficzny"), false);
    Przycisk_Atrybuty_Tlo->setMenu(PopUp_Atrybuty_Tlo);
    Panel_Podglad_Naglowki = named(new QFrame(Sekcje), QStringLiteral("Panel_Podglad_Naglowki"),
                                   QStringLiteral("Kolor tła strony"));
    Panel_Podglad_Naglowki->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel_Podglad_Naglowki->setFixedHeight(10);
    Panel_Podglad_Naglowki->setAutoFillBackground(true);
#ifdef Q_OS_WIN
    setBackgroundColor(palette().color(QPalette::Button));
#else
    setBackgroundColor(QColor(0xC0, 0xC0, 0xC0)); // silver: a fresh page has no BGCOLOR
#endif
    Przycisk_Atrybuty_Polskie = pushButton(QStringLiteral("Przycisk_Atrybuty_Polskie"), QStringLiteral(" &ISO 8859-2 "),
                                           QStringLiteral("Kodowanie polskich liter na stronie"), Sekcje);
    PopUp_Atrybuty_Polskie = named(new QMenu(Przycisk_Atrybuty_Polskie), QStringLiteral("PopUp_Atrybuty_Polskie"));
    PopUp_Atrybuty_Polskie_ISO = menuItem(PopUp_Atrybuty_Polskie, QStringLiteral("PopUp_Atrybuty_Polskie_ISO"),
                                          QStringLiteral("&ISO 8859-2"), QStringLiteral("Standard kodowania ISO 8859-2"), true);
    PopUp_Atrybuty_Polskie_Windows = menuItem(PopUp_Atrybuty_Polskie, QStringLiteral("PopUp_Atrybuty_Polskie_Windows"),
                                              QStringLiteral("Windows CP-1250"),
                                              QStringLiteral("Strona kodowa Windows CP-1250"), false);
    PopUp_Atrybuty_Polskie_UTF8 = menuItem(PopUp_Atrybuty_Polskie, QStringLiteral("PopUp_Atrybuty_Polskie_UTF8"),
                                           QStringLiteral("&UTF-8"),
                                           QStringLiteral("Unicode UTF-8: każdy znak, także spoza polskiego alfabetu"), false);
    Przycisk_Atrybuty_Polskie->setMenu(PopUp_Atrybuty_Polskie);
    // "UTF-8" has no "i" to underline, yet Alt+I must still open this menu:
    // a key of its own, on only while the caption has no mnemonic (two
    // owners of one key would make Qt give it to neither).
    m_encodingKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_I), Przycisk_Atrybuty_Polskie);
    m_encodingKey->setEnabled(false);
    connect(m_encodingKey, &QShortcut::activated, Przycisk_Atrybuty_Polskie, [this] {
        Przycisk_Atrybuty_Polskie->setFocus(Qt::ShortcutFocusReason);
        Przycisk_Atrybuty_Polskie->animateClick();
    });
    left->addWidget(Przycisk_Atrybuty_Tlo, 0, 0);
    left->addWidget(Panel_Podglad_Naglowki, 1, 0);
    left->addWidget(label(QStringLiteral("Label_Atrybuty_Polskie"), QStringLiteral("Polskie litery:"), Sekcje), 2, 0);
    left->addWidget(Przycisk_Atrybuty_Polskie, 3, 0);
    left->setRowStretch(4, 1);
    look->addLayout(left);

    auto *colours = new QGroupBox(QStringLiteral("Kolory"), Sekcje);
    auto *cgrid = new QGridLayout(colours);
    cgrid->setSpacing(3);
    Przycisk_Atrybuty_Kolor_Tekst = colorButton(QStringLiteral("Przycisk_Atrybuty_Kolor_Tekst"), QStringLiteral("Tekst"),
                                                QStringLiteral("&Inne"), QColor(0, 0, 0),
                                                QStringLiteral("Kolor tekstu strony"), colours);
    Przycisk_Atrybuty_Kolor_Odnosniki = colorButton(QStringLiteral("Przycisk_Atrybuty_Kolor_Odnosniki"),
                                                    QStringLiteral("Odnośniki"), QStringLiteral("&Inne"),
                                                    QColor(0, 0, 255), QStringLiteral("Kolor odnośników"), colours);
    Przycisk_Atrybuty_Kolor_Aktywne = colorButton(QStringLiteral("Przycisk_Atrybuty_Kolor_Aktywne"),
                                                  QStringLiteral("Aktywne"), QStringLiteral("&Inne"), QColor(255, 0, 0),
                                                  QStringLiteral("Kolor aktywnych odnośników"), colours);
    Przycisk_Atrybuty_Kolor_Odwiedzone = colorButton(QStringLiteral("Przycisk_Atrybuty_Kolor_Odwiedzone"),
                                                     QStringLiteral("Odwiedzone"), QStringLiteral("&Inne"),
                                                     QColor(0, 0, 128), QStringLiteral("Kolor odwiedzonych odnośników"),
                                                     colours);
    for (ColorPickerButton *b : {Przycisk_Atrybuty_Kolor_Tekst, Przycisk_Atrybuty_Kolor_Odnosniki,
                                 Przycisk_Atrybuty_Kolor_Aktywne, Przycisk_Atrybuty_Kolor_Odwiedzone})
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cgrid->addWidget(Przycisk_Atrybuty_Kolor_Tekst, 0, 0);
    cgrid->addWidget(Przycisk_Atrybuty_Kolor_Odnosniki, 0, 1);
    cgrid->addWidget(Przycisk_Atrybuty_Kolor_Aktywne, 1, 0);
    cgrid->addWidget(Przycisk_Atrybuty_Kolor_Odwiedzone, 1, 1);
    look->addWidget(colours, 1);
    page->addLayout(look);

    page->addWidget(buildSoundBox(Sekcje));

    auto *fields = new QGridLayout;
    fields->setSpacing(3);
    Lista_Atrybuty_Slowa_Kluczowe = named(new QComboBox(Sekcje), QStringLiteral("Lista_Atrybuty_Slowa_Kluczowe"),
                                          QStringLiteral("Słowa kluczowe, po których wyszukiwarki znajdą stronę"));
    Lista_Atrybuty_Slowa_Kluczowe->setToolTip(Lista_Atrybuty_Slowa_Kluczowe->statusTip());
    Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj = toolButton(QStringLiteral("Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj"),
                                                        QStringLiteral("+"),
                                                        QStringLiteral("Wciśnij przycisk, aby dodać "), Sekcje);
    Przycisk_Atrybuty_Slowo_Kluczowe_Usun = toolButton(QStringLiteral("Przycisk_Atrybuty_Slowo_Kluczowe_Usun"),
                                                       QStringLiteral("−"),
                                                       QStringLiteral("Wciśnij przycisk, aby usunąć "), Sekcje);
    Edit_Atrybuty_Dokument_Bazowy = lineEdit(QStringLiteral("Edit_Atrybuty_Dokument_Bazowy"),
                                             QStringLiteral("Adres dokumentu bazowego strony"), Sekcje);
    Edit_Atrybuty_Tytul = lineEdit(QStringLiteral("Edit_Atrybuty_Tytul"), QStringLiteral("Tytuł i opis strony"), Sekcje);
    Edit_Nazwa = lineEdit(QStringLiteral("Edit_Nazwa"), QStringLiteral("Nazwa pliku strony"), Sekcje);
    Edit_Nazwa->setText(QStringLiteral("index.html"));
    const auto addField = [&](int r, const QString &name, const QString &text, QWidget *field) {
        auto *l = label(name, text, Sekcje);
        l->setBuddy(field);
        fields->addWidget(l, r, 0);
        fields->addWidget(field, r, 1);
    };
    addField(0, QStringLiteral("Label_Atrybuty_Slowa_Kluczowe"), QStringLiteral("&Słowa kluczowe:"),
             Lista_Atrybuty_Slowa_Kluczowe);
    fields->addLayout(row({Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj, Przycisk_Atrybuty_Slowo_Kluczowe_Usun}), 0, 2);
    addField(1, QStringLiteral("Label_Atrybuty_Dokument_Bazowy"), QStringLiteral("&Dokument bazowy:"),
             Edit_Atrybuty_Dokument_Bazowy);
    addField(2, QStringLiteral("Label_Atrybuty_Tytul"), QStringLiteral("Tyt&uł strony:"), Edit_Atrybuty_Tytul);
    Edit_Opis_Strony = lineEdit(QStringLiteral("Edit_Opis_Strony"),
                                QStringLiteral("Jedno lub dwa zdania o stronie, które pokażą wyszukiwarki i podglądy odnośników (HTML5)"),
                                Sekcje);
    Edit_Adres_Strony = lineEdit(QStringLiteral("Edit_Adres_Strony"),
                                 QStringLiteral("Adres, pod którym strona będzie w internecie, np. https://piekarnia.example.pl/ (HTML5)"),
                                 Sekcje);
    Edit_Adres_Strony->setPlaceholderText(QStringLiteral("https://"));
    addField(3, QStringLiteral("Label_Opis_Strony"), QStringLiteral("Opis st&rony:"), Edit_Opis_Strony);
    addField(4, QStringLiteral("Label_Adres_Strony"), QStringLiteral("&Adres strony w internecie:"), Edit_Adres_Strony);
    addField(5, QStringLiteral("Label_Nazwa"), QStringLiteral("&Nazwa pliku:"), Edit_Nazwa);
    fields->removeWidget(Edit_Nazwa);
    Lista_Wyglad = named(new QComboBox(Sekcje), QStringLiteral("Lista_Wyglad"),
                         QStringLiteral("Wygląd strony HTML5: jej kroje pisma, kolory i układ"));
    for (const Theme &theme : themes())
        Lista_Wyglad->addItem(theme.name, theme.id);
    auto *lookLabel = label(QStringLiteral("Label_Wyglad"), QStringLiteral("Wy&gląd strony:"), Sekcje);
    lookLabel->setBuddy(Lista_Wyglad);
    auto *nameRow = row({Edit_Nazwa, lookLabel, Lista_Wyglad});
    nameRow->setStretch(0, 1);
    fields->addLayout(nameRow, 5, 1);
    fields->setColumnStretch(1, 1);
    // Looks, descriptions and addresses are what HTML5 pages carry; a 1998 page has none of them.
    const auto showHtml5Fields = [this](const QString &type) {
        for (QWidget *w : std::initializer_list<QWidget *>{Lista_Wyglad, Edit_Opis_Strony, Edit_Adres_Strony})
            w->setEnabled(isHtml5(type));
    };
    showHtml5Fields(Lista_Atrybuty_DocType->currentText());
    connect(Lista_Atrybuty_DocType, &QComboBox::currentTextChanged, this, showHtml5Fields);
    page->addLayout(fields);
    page->addStretch(1);

    connect(Edit_Atrybuty_Tytul, &QLineEdit::textChanged, this, &TKreatorDlg::Edit_Atrybuty_TytulChange);
    connect(Edit_Nazwa, &QLineEdit::textChanged, this, &TKreatorDlg::Edit_Atrybuty_TytulChange);
    return Sekcje;
}

QWidget *TKreatorDlg::buildSoundBox(QWidget *parent)
{
    auto *box = named(new QGroupBox(QStringLiteral("Dźwięk"), parent), QStringLiteral("Group_Dzwiek"));
    auto *grid = new QGridLayout(box);
    grid->setSpacing(3);
    Check_Play = checkBox(QStringLiteral("Check_Play"), QStringLiteral("Podkład dźwiękowy lub muzyczny:"),
                          QStringLiteral("Strona z podkładem dźwiękowym lub muzycznym"), false, box);
    Edit_Src = lineEdit(QStringLiteral("Edit_Src"), QStringLiteral("Lokalizacja wstawianego dźwięku lub muzyki"), box);
    Edit_Src->setEnabled(false);
    Przycisk_Play = toolButton(QStringLiteral("Przycisk_Play"), QString(), QStringLiteral("Rozpoczęcie odtwarzania"), box);
    Przycisk_Play->setIcon(resourceIcon(QStringLiteral(":/icons/play.png")));
    Przycisk_Play->setEnabled(false);
    Przycisk_Stop = toolButton(QStringLiteral("Przycisk_Stop"), QString(), QStringLiteral("Zatrzymanie odtwarzania"), box);
    Przycisk_Stop->setIcon(resourceIcon(QStringLiteral(":/icons/stop.png")));
    Przycisk_Stop->setEnabled(false);
    Przycisk_Nagrywaj = toolButton(QStringLiteral("Przycisk_Nagrywaj"), QStringLiteral("Nagraj"),
                                   QStringLiteral("Nagrywanie dźwięków"), box);
    Check_Infinite = checkBox(QStringLiteral("Check_Infinite"), QStringLiteral("w nieskończoność"),
                              QStringLiteral("Powtarzanie podkładu bez końca"), true, box);
    Spin_Powtorz = named(new SpinEdit(0, 2048, 0, box), QStringLiteral("Spin_Powtorz"),
                         QStringLiteral("Liczba odtworzeń podkładu"));
    Spin_Powtorz->setEditName(QStringLiteral("Edit1"));
    auto *repeat = label(QStringLiteral("Label_Powtorz"), QStringLiteral("Po&wtarzaj:"), box);
    repeat->setBuddy(Spin_Powtorz);
    grid->addWidget(Check_Play, 0, 0, 1, 2);
    grid->addWidget(Check_Infinite, 0, 2);
    grid->addWidget(repeat, 0, 3, Qt::AlignRight);
    grid->addWidget(Spin_Powtorz, 0, 4);
    grid->addWidget(Edit_Src, 1, 0, 1, 2);
    grid->addLayout(row({Przycisk_Play, Przycisk_Stop, Przycisk_Nagrywaj}, 2), 1, 2, 1, 3);
    grid->setColumnStretch(1, 1);
    orderTabStops({Check_Play, Check_Infinite, Spin_Powtorz, Edit_Src, Przycisk_Play, Przycisk_Stop, Przycisk_Nagrywaj});
    return box;
}

QWidget *TKreatorDlg::buildAtrybutyPage()
{
    Atrybuty = named(new QWidget, QStringLiteral("Atrybuty"));
    auto *page = new QVBoxLayout(Atrybuty);
    page->setContentsMargins(6, 6, 6, 6);
    page->setSpacing(4);
    page->addWidget(buildHeadersBox(Atrybuty));
    page->addWidget(buildLinksBox(Atrybuty), 1);
    page->addWidget(buildAddressesBox(Atrybuty));
    return Atrybuty;
}

QWidget *TKreatorDlg::buildHeadersBox(QWidget *parent)
{
    auto *box = named(new QGroupBox(QStringLiteral("Nagłówki"), parent), QStringLiteral("Group_Naglowki"));
    auto *grid = new QGridLayout(box);
    grid->setSpacing(3);
    m_headerAlign = alignGroup(this);
    m_subtitleAlign = alignGroup(this);
    Label_Uklad_Glowny_Naglowek = label(QStringLiteral("Label_Uklad_Glowny_Naglowek"), QStringLiteral("&Nagłówek:"), box);
    Edit_Uklad_Glowny_Naglowek = lineEdit(QStringLiteral("Edit_Uklad_Glowny_Naglowek"),
                                          QStringLiteral("Główny nagłówek strony"), box);
    Label_Uklad_Glowny_Naglowek->setBuddy(Edit_Uklad_Glowny_Naglowek);
    Przycisk_Uklad_Naglowek_Lewa = alignButton(QStringLiteral("Przycisk_Uklad_Naglowek_Lewa"), QStringLiteral("left"), m_headerAlign, box);
    Przycisk_Uklad_Naglowek_Srodek = alignButton(QStringLiteral("Przycisk_Uklad_Naglowek_Srodek"), QStringLiteral("center"), m_headerAlign, box);
    Przycisk_Uklad_Naglowek_Prawa = alignButton(QStringLiteral("Przycisk_Uklad_Naglowek_Prawa"), QStringLiteral("right"), m_headerAlign, box);
    Przycisk_Uklad_Naglowek_Kolor = colorButton(QStringLiteral("Przycisk_Uklad_Naglowek_Kolor"), QStringLiteral("Kolor"),
                                                QStringLiteral("&Other"), QColor(0, 0, 0),
                                                QStringLiteral("Kolor nagłówka"), box);
    Label_Uklad_Podtytul = label(QStringLiteral("Label_Uklad_Podtytul"), QStringLiteral("Po&dtytuł:"), box);
    Edit_Uklad_Podtytul = lineEdit(QStringLiteral("Edit_Uklad_Podtytul"), QStringLiteral("Podtytuł strony"), box);
    Label_Uklad_Podtytul->setBuddy(Edit_Uklad_Podtytul);
    Przycisk_Uklad_Podtytul_Lewa = alignButton(QStringLiteral("Przycisk_Uklad_Podtytul_Lewa"), QStringLiteral("left"), m_subtitleAlign, box);
    Przycisk_Uklad_Podtytul_Srodek = alignButton(QStringLiteral("Przycisk_Uklad_Podtytul_Srodek"), QStringLiteral("center"), m_subtitleAlign, box);
    Przycisk_Uklad_Podtytul_Prawa = alignButton(QStringLiteral("Przycisk_Uklad_Podtytul_Prawa"), QStringLiteral("right"), m_subtitleAlign, box);
    Przycisk_Uklad_Podtytul_Kolor = colorButton(QStringLiteral("Przycisk_Uklad_Podtytul_Kolor"), QStringLiteral("Kolor"),
                                                QStringLiteral("&Other"), QColor(0, 0, 0),
                                                QStringLiteral("Kolor podtytułu"), box);
    Przycisk_Uklad_Naglowek_Lewa->setChecked(true);
    Przycisk_Uklad_Podtytul_Lewa->setChecked(true);
    Check_Uklad_Logo = checkBox(QStringLiteral("Check_Uklad_Logo"), QStringLiteral("Obrazek tytułowy (logo)"),
                                QStringLiteral("Obrazek tytułowy pod nagłówkiem"), false, box);
    Edit_Uklad_Logo = lineEdit(QStringLiteral("Edit_Uklad_Logo"), QStringLiteral("Lokalizacja obrazka tytułowego"), box);
    Edit_Uklad_Logo->setReadOnly(true);
    Edit_Uklad_Logo->setEnabled(false);
    Check_Uklad_Naglowek_Kreska = checkBox(QStringLiteral("Check_Uklad_Naglowek_Kreska"),
                                           QStringLiteral("Sekcja nagłówków oddzielona od reszty poziomą linią"),
                                           QStringLiteral("Pozioma linia pod nagłówkami"), true, box);
    grid->addWidget(Label_Uklad_Glowny_Naglowek, 0, 0);
    grid->addWidget(Edit_Uklad_Glowny_Naglowek, 0, 1);
    grid->addLayout(row({Przycisk_Uklad_Naglowek_Lewa, Przycisk_Uklad_Naglowek_Srodek, Przycisk_Uklad_Naglowek_Prawa,
                         Przycisk_Uklad_Naglowek_Kolor}), 0, 2);
    grid->addWidget(Label_Uklad_Podtytul, 1, 0);
    grid->addWidget(Edit_Uklad_Podtytul, 1, 1);
    grid->addLayout(row({Przycisk_Uklad_Podtytul_Lewa, Przycisk_Uklad_Podtytul_Srodek, Przycisk_Uklad_Podtytul_Prawa,
                         Przycisk_Uklad_Podtytul_Kolor}), 1, 2);
    // The check box's caption in the labels' column would push every field right.
    auto *logo = new QHBoxLayout;
    logo->addWidget(Check_Uklad_Logo);
    logo->addWidget(Edit_Uklad_Logo, 1);
    grid->addLayout(logo, 2, 0, 1, 3);
    grid->addWidget(Check_Uklad_Naglowek_Kreska, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget *TKreatorDlg::buildLinksBox(QWidget *parent)
{
    auto *box = named(new QGroupBox(QStringLiteral("Ulubione odnośniki"), parent), QStringLiteral("Group_Odnosniki"));
    auto *grid = new QGridLayout(box);
    grid->setSpacing(3);
    m_linksAlign = alignGroup(this);
    Label_Uklad_Naglowek_Odnosniki = label(QStringLiteral("Label_Uklad_Naglowek_Odnosniki"), QStringLiteral("Na&główek:"), box);
    Edit_Uklad_Naglowek_Odnosniki = lineEdit(QStringLiteral("Edit_Uklad_Naglowek_Odnosniki"),
                                             QStringLiteral("Nagłówek listy ulubionych odnośników"), box);
    Label_Uklad_Naglowek_Odnosniki->setBuddy(Edit_Uklad_Naglowek_Odnosniki);
    Przycisk_Uklad_Naglowek_Odnosniki_Lewa = alignButton(QStringLiteral("Przycisk_Uklad_Naglowek_Odnosniki_Lewa"), QStringLiteral("left"), m_linksAlign, box);
    Przycisk_Uklad_Naglowek_Odnosniki_Srodek = alignButton(QStringLiteral("Przycisk_Uklad_Naglowek_Odnosniki_Srodek"), QStringLiteral("center"), m_linksAlign, box);
    Przycisk_Uklad_Naglowek_Odnosniki_Prawa = alignButton(QStringLiteral("Przycisk_Uklad_Naglowek_Odnosniki_Prawa"), QStringLiteral("right"), m_linksAlign, box);
    Przycisk_Uklad_Naglowek_Odnosniki_Lewa->setChecked(true);
    Przycisk_Uklad_Naglowek_Odnosniki_Kolor = colorButton(QStringLiteral("Przycisk_Uklad_Naglowek_Odnosniki_Kolor"),
                                                          QStringLiteral("Kolor"), QStringLiteral("&Other"),
                                                          QColor(0, 0, 0),
                                                          QStringLiteral("Kolor nagłówka odnośników"), box);
    Grid_Uklad_Odnosniki = named(new StringGrid(2, box), QStringLiteral("Grid_Uklad_Odnosniki"),
                                 QStringLiteral("Lista ulubionych odnośników: Insert - dodaj, Delete - usuń, F2 - popraw"));
    Grid_Uklad_Odnosniki->setColumnWidth(0, 151);
    Grid_Uklad_Odnosniki->setColumnWidth(1, 268);
    Grid_Uklad_Odnosniki->setMinimumHeight(70);
    Przycisk_Uklad_Odnosniki_Dodaj = pushButton(QStringLiteral("Przycisk_Uklad_Odnosniki_Dodaj"), QStringLiteral("Dod&aj"),
                                                QStringLiteral("Dodanie odnośnika do listy"), box);
    Przycisk_Uklad_Odnosniki_Usun = pushButton(QStringLiteral("Przycisk_Uklad_Odnosniki_Usun"), QStringLiteral("&Usuń"),
                                               QStringLiteral("Usunięcie odnośnika z listy"), box);
    Przycisk_Uklad_Odnosniki_Edytuj = pushButton(QStringLiteral("Przycisk_Uklad_Odnosniki_Edytuj"), QStringLiteral("Pop&raw"),
                                                 QStringLiteral("Poprawki do wybranego odnośnika"), box);
    Przycisk_Uklad_Odnosniki_OdNowa = pushButton(QStringLiteral("Przycisk_Uklad_Odnosniki_OdNowa"), QStringLiteral("&Wyczyść"),
                                                 QStringLiteral("Wyczyszczenie listy ulubionych odnośników"), box);
    Check_Uklad_Odnosniki_Ikona = checkBox(QStringLiteral("Check_Uklad_Odnosniki_Ikona"), QStringLiteral("Ikonka"),
                                           QStringLiteral("Obrazek przy każdym odnośniku"), false, box);
    Edit_Uklad_Odnosniki_Ikonka = lineEdit(QStringLiteral("Edit_Uklad_Odnosniki_Ikonka"),
                                           QStringLiteral("Lokalizacja ikonki odnośników"), box);
    Edit_Uklad_Odnosniki_Ikonka->setReadOnly(true);
    Edit_Uklad_Odnosniki_Ikonka->setEnabled(false);
    grid->addWidget(Label_Uklad_Naglowek_Odnosniki, 0, 0);
    grid->addWidget(Edit_Uklad_Naglowek_Odnosniki, 0, 1);
    grid->addLayout(row({Przycisk_Uklad_Naglowek_Odnosniki_Lewa, Przycisk_Uklad_Naglowek_Odnosniki_Srodek,
                         Przycisk_Uklad_Naglowek_Odnosniki_Prawa, Przycisk_Uklad_Naglowek_Odnosniki_Kolor}), 0, 2);
    grid->addWidget(Grid_Uklad_Odnosniki, 1, 0, 1, 3);
    auto *buttons = row({Przycisk_Uklad_Odnosniki_Dodaj, Przycisk_Uklad_Odnosniki_Usun, Przycisk_Uklad_Odnosniki_Edytuj,
                         Przycisk_Uklad_Odnosniki_OdNowa});
    grid->addLayout(buttons, 2, 0, 1, 3);
    grid->addWidget(Check_Uklad_Odnosniki_Ikona, 3, 0);
    grid->addWidget(Edit_Uklad_Odnosniki_Ikonka, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    return box;
}

QWidget *TKreatorDlg::buildAddressesBox(QWidget *parent)
{
    auto *box = named(new QGroupBox(QStringLiteral("Skrzynka kontaktowa"), parent), QStringLiteral("Group_Adresy"));
    auto *grid = new QGridLayout(box);
    grid->setSpacing(3);
    Label_Uklad_Adresy = label(QStringLiteral("Label_Uklad_Adresy"), QStringLiteral("Adresy &e-mail:"), box);
    Lista_Uklad_Adresy = named(new QComboBox(box), QStringLiteral("Lista_Uklad_Adresy"),
                               QStringLiteral("Adresy kontaktowe: Insert - dodaj, Delete - usuń, F2 - popraw"));
    Label_Uklad_Adresy->setBuddy(Lista_Uklad_Adresy);
    Przycisk_Uklad_Adresy_Dodaj = pushButton(QStringLiteral("Przycisk_Uklad_Adresy_Dodaj"), QStringLiteral("Dodaj"),
                                             QStringLiteral("Dodanie adresu kontaktowego"), box);
    Przycisk_Uklad_Adresy_Usun = pushButton(QStringLiteral("Przycisk_Uklad_Adresy_Usun"), QStringLiteral("Usuń"),
                                            QStringLiteral("Usuniecie adresu"), box);
    Przycisk_Uklad_Adresy_Edytuj = pushButton(QStringLiteral("Przycisk_Uklad_Adresy_Edytuj"), QStringLiteral("Popraw"),
                                              QStringLiteral("Poprawki w wybranym adresie"), box);
    Przycisk_Uklad_Adresy_OdNowa = pushButton(QStringLiteral("Przycisk_Uklad_Adresy_OdNowa"), QStringLiteral("Wyczyść"),
                                              QStringLiteral("Usunięcie wszystkich adresów kontaktowych"), box);
    Check_Uklad_Adresy_Ikona = checkBox(QStringLiteral("Check_Uklad_Adresy_Ikona"), QStringLiteral("Ikonka"),
                                        QStringLiteral("Obrazek na górze skrzynki kontaktowej"), false, box);
    Edit_Uklad_Adresy_Ikona = lineEdit(QStringLiteral("Edit_Uklad_Adresy_Ikona"),
                                       QStringLiteral("Lokalizacja ikonki skrzynki kontaktowej"), box);
    Edit_Uklad_Adresy_Ikona->setReadOnly(true);
    Edit_Uklad_Adresy_Ikona->setEnabled(false);
    grid->addWidget(Label_Uklad_Adresy, 0, 0);
    grid->addWidget(Lista_Uklad_Adresy, 0, 1);
    grid->addLayout(row({Przycisk_Uklad_Adresy_Dodaj, Przycisk_Uklad_Adresy_Usun, Przycisk_Uklad_Adresy_Edytuj,
                         Przycisk_Uklad_Adresy_OdNowa}), 1, 0, 1, 2);
    grid->addWidget(Check_Uklad_Adresy_Ikona, 2, 0);
    grid->addWidget(Edit_Uklad_Adresy_Ikona, 2, 1);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget *TKreatorDlg::buildGlownaPage()
{
    Glowna = named(new QWidget, QStringLiteral("Glowna"));
    auto *page = new QVBoxLayout(Glowna);
    page->setContentsMargins(2, 2, 2, 2);
    page->setSpacing(2);
    Edytorek = named(new THtmlMemo(Glowna), QStringLiteral("Edytorek"),
                     QStringLiteral("Główna treść strony w języku HTML"));
    auto *panel = named(new QWidget(Glowna), QStringLiteral("Panel_WordWrap"));
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(2, 0, 2, 0);
    CHK_WordWrap = checkBox(QStringLiteral("CHK_WordWrap"), QStringLiteral("Zawijanie wierszy w edytorze"),
                            QStringLiteral("Zawijanie długich wierszy w edytorze"), false, panel);
    panelLayout->addWidget(CHK_WordWrap);
    panelLayout->addStretch(1);
    connect(CHK_WordWrap, &QCheckBox::clicked, this, &TKreatorDlg::CHK_WordWrapClick);
    setUpEditor();
    page->addWidget(buildEditorBar(Glowna));
    page->addWidget(Edytorek, 1);
    page->addWidget(panel);
    return Glowna;
}

void TKreatorDlg::setHelpContexts()
{
    const QList<std::pair<int, QList<QObject *>>> table = {
        {1000, {Check_Atrybuty_Naglowki, Check_Atrybuty_Odnosniki, Check_Atrybuty_Adresy}},
        {1001, {Lista_Atrybuty_DocType}},
        {1002, {Panel_Podglad_Naglowki, Przycisk_Atrybuty_Tlo, PopUp_Atrybuty_Tlo_Kolor, PopUp_Atrybuty_Tlo_Podklad}},
        {1003, {Przycisk_Atrybuty_Kolor_Tekst}},
        {1004, {Przycisk_Atrybuty_Kolor_Odnosniki}},
        {1005, {Przycisk_Atrybuty_Kolor_Aktywne}},
        {1006, {Przycisk_Atrybuty_Kolor_Odwiedzone}},
        {1007, {Lista_Atrybuty_Slowa_Kluczowe, Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj, Przycisk_Atrybuty_Slowo_Kluczowe_Usun}},
        {1008, {Edit_Atrybuty_Dokument_Bazowy}},
        {1009, {Edit_Atrybuty_Tytul}},
        {1010, {Edit_Uklad_Glowny_Naglowek}},
        {1011, {Edit_Uklad_Podtytul}},
        {1012, {Przycisk_Uklad_Naglowek_Kolor}},
        {1013, {Przycisk_Uklad_Podtytul_Kolor}},
        {1014, {Check_Uklad_Logo, Edit_Uklad_Logo}},
        {1015, {Check_Uklad_Naglowek_Kreska}},
        {1016, {Grid_Uklad_Odnosniki}},
        {1018, {Edit_Uklad_Naglowek_Odnosniki}},
        {1019, {Check_Uklad_Odnosniki_Ikona, Edit_Uklad_Odnosniki_Ikonka}},
        {1020, {Przycisk_Uklad_Naglowek_Odnosniki_Kolor}},
        {1021, {Lista_Uklad_Adresy}},
        {1023, {Check_Uklad_Adresy_Ikona, Edit_Uklad_Adresy_Ikona}},
        {1026, {Przycisk_Atrybuty_Polskie, PopUp_Atrybuty_Polskie_ISO, PopUp_Atrybuty_Polskie_Windows}},
        {1029, {PopUp_Atrybuty_Polskie_UTF8}},
        {1027, {CHK_WordWrap}},
        {1028, {Edit_Nazwa}},
        {1110, {Lista_Wyglad, Edit_Opis_Strony, Edit_Adres_Strony}},
        {1045, {Edytorek, BTN_Akapit, BTN_Pogrub, BTN_Pochylenie, BTN_Podkreslenie, BTN_Odnosnik, BTN_Grafika}},
        {1080, {Check_Play, Edit_Src}},
        {1081, {Check_Infinite}},
        {1100, {Pages}},
        {1106, {ToolBar}},
        {1108, {BTN_Zapisz}},
        {1109, {Przycisk_Podglad, Link_Telefon}},
        {1107, {Przycisk_Projekt, PopUp_Projekt, Projekt_Nowy, Projekt_Otworz, Projekt_Zapisz, Projekt_ZapiszJako}},
    };
    for (const auto &[context, objects] : table)
        for (QObject *o : objects)
            setHelpContext(o, context);
}

} // namespace zk
