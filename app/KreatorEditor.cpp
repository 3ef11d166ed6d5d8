// The main-section editor of the wizard window: its set-up, its context
// menu with the tag commands, and the shared picture chooser.
#include "Kreator.h"

#include "EditorCommands.h"
#include "Grafika.h"
#include "Odnosnik.h"
#include "Services.h"
#include "SettingsStore.h"
#include "THtmlMemo.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QToolButton>
#include <QLineEdit>
#include <QMenu>

namespace zk {

void TKreatorDlg::setUpEditor()
{
    using O = EditorOption;
    EditorOptions options = 0;
    for (O o : {O::optSyntaxHighlight, O::optPrintWrap, O::optPrintLineNos, O::optPrintFilename, O::optPrintDate,
                O::optPrintPageNos, O::optAutoIndent, O::optTabToColumn, O::optWordSelect, O::optShowRMargin,
                O::optShowGutter, O::optShowWrapColumn, O::optTitleAsFilename, O::optProcessDroppedFiles,
                O::optBlockOverwriteCursor, O::optShowWrapGlyph, O::optColumnTrack, O::optUseTAB, O::optSmartFill,
                O::optOLEDragSource})
        options |= bit(o);
    Edytorek->setOptions(options);
    Edytorek->fn_CharIsInWord = Edytorekfn_CharIsInWord;
    Edytorek->fn_CharStartsWord = Edytorekfn_CharStartsWord;
    Edytorek->useRegistry(services().registry, settings::RootKey + QStringLiteral("\\Kolorowanie"));
    Edytorek->loadSettings();
    buildEditorMenu();
    // One word-wrap state: the options dialog's box and the form's show it alike.
    connect(Edytorek, &THtmlMemo::wordWrapChanged, CHK_WordWrap, &QCheckBox::setChecked);
    Edytorek->setModified(false);

    OpenDoc.Title = QStringLiteral("Otwórz");
    OpenDoc.Filter = QStringLiteral("Dokumenty HTML (*.htm;*.html)|*.htm;*.html");
    OpenDoc.DefaultExt = QStringLiteral("html");
    OpenDoc.FileName = QStringLiteral("index.html");
}

void TKreatorDlg::buildEditorMenu()
{
    POP_Edytorek = new QMenu(Edytorek);
    POP_Edytorek->setObjectName(QStringLiteral("POP_Edytorek"));
    const auto item = [this](const char *name, const QString &caption, const QKeySequence &key, const QString &hint,
                             void (TKreatorDlg::*handler)()) {
        QAction *a = POP_Edytorek->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    Edytorek_Odnos = item("Edytorek_Odnos", QStringLiteral("&Odnośnik"), QKeySequence(Qt::CTRL | Qt::Key_A),
                          QStringLiteral("Wstawienie odnośnika hipertekstowego"), &TKreatorDlg::Edytorek_OdnosClick);
    Edytorek_GRafika = item("Edytorek_GRafika", QStringLiteral("&Grafika"), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_I),
                            QStringLiteral("Wstawienie grafiki"), &TKreatorDlg::Edytorek_GRafikaClick);
    POP_Edytorek->addSeparator();
    Edytorek_Akapit = item("Edytorek_Akapit", QStringLiteral("&Nowy akapit"), QKeySequence(Qt::CTRL | Qt::Key_P),
                           QStringLiteral("Rozpoczęcie nowego akapitu"), &TKreatorDlg::Edytorek_AkapitClick);
    Edytorek_Pogrub = item("Edytorek_Pogrub", QStringLiteral("Pogru&bienie"), QKeySequence(Qt::CTRL | Qt::Key_B),
                           QStringLiteral("Pogrubienie zaznaczonego tekstu"), &TKreatorDlg::Edytorek_PogrubClick);
    Edytorek_Pochylenie = item("Edytorek_Pochylenie", QStringLiteral("Pochylen&ie"), QKeySequence(Qt::CTRL | Qt::Key_I),
                               QStringLiteral("Pochylenie zaznaczonego tekstu"), &TKreatorDlg::Edytorek_PochylenieClick);
    Edytorek_Podkreslenie = item("Edytorek_Podkreslenie", QStringLiteral("Pod&kreślenie"), QKeySequence(Qt::CTRL | Qt::Key_U),
                                 QStringLiteral("Podkreslenie zaznaczonego tekstu"), &TKreatorDlg::Edytorek_PodkreslenieClick);
    POP_Edytorek->addSeparator();
    Edytorek_Przeglad = item("Edytorek_Przeglad", QStringLiteral("&Przeglądanie"), QKeySequence(Qt::Key_F11),
                             QStringLiteral("Podgląd strony w przeglądarce"), &TKreatorDlg::Przycisk_PodgladClick);
    Edytorek_Wstaw = item("Edytorek_Wstaw", QStringLiteral("&Zachowanie"), QKeySequence(Qt::CTRL | Qt::Key_S), QString(),
                          &TKreatorDlg::BTN_ZapiszClick);
    Edytorek_Wyjcie = item("Edytorek_Wyjcie", QStringLiteral("&Wyjście"), QKeySequence(Qt::ALT | Qt::Key_X),
                           QStringLiteral("Wyjście z generatora stron"), &TKreatorDlg::Przycisk_AnulujClick);
    Edytorek->setPopupMenu(POP_Edytorek);
}

// The bar's buttons run the menu's own items, so a command, its key and its
// hint are one thing. They take no focus: the caret and the selection stay
// in the editor, where the command works.
QWidget *TKreatorDlg::buildEditorBar(QWidget *parent)
{
    Pasek_Edytora = new QWidget(parent);
    Pasek_Edytora->setObjectName(QStringLiteral("Pasek_Edytora"));
    auto *layout = new QHBoxLayout(Pasek_Edytora);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    const auto button = [this, layout](const char *name, const QString &glyph, QAction *action) {
        auto *b = new QToolButton(Pasek_Edytora);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(glyph);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        const QString hint = QStringLiteral("%1 (%2)").arg(action->statusTip(), action->shortcut().toString(QKeySequence::NativeText));
        b->setStatusTip(hint);
        b->setToolTip(hint);
        connect(b, &QToolButton::clicked, action, &QAction::trigger);
        layout->addWidget(b);
        return b;
    };
    const auto styled = [](QToolButton *b, void (QFont::*set)(bool)) {
        QFont f = b->font();
        (f.*set)(true);
        b->setFont(f);
    };
    BTN_Akapit = button("BTN_Akapit", QStringLiteral("¶"), Edytorek_Akapit);
    BTN_Pogrub = button("BTN_Pogrub", QStringLiteral("B"), Edytorek_Pogrub);
    styled(BTN_Pogrub, &QFont::setBold);
    BTN_Pochylenie = button("BTN_Pochylenie", QStringLiteral("I"), Edytorek_Pochylenie);
    styled(BTN_Pochylenie, &QFont::setItalic);
    BTN_Podkreslenie = button("BTN_Podkreslenie", QStringLiteral("U"), Edytorek_Podkreslenie);
    styled(BTN_Podkreslenie, &QFont::setUnderline);
    layout->addSpacing(6);
    BTN_Odnosnik = button("BTN_Odnosnik", QStringLiteral("Odnośnik…"), Edytorek_Odnos);
    BTN_Grafika = button("BTN_Grafika", QStringLiteral("Grafika…"), Edytorek_GRafika);
    layout->addStretch(1);
    return Pasek_Edytora;
}

void TKreatorDlg::CHK_WordWrapClick()
{
    Edytorek->setWordWrap(CHK_WordWrap->isChecked());
}

void TKreatorDlg::Edytorek_OdnosClick()
{
    TOdnosnikDlg dialog(&OpenDoc, this);
    dialog.setFields({.description = Edytorek->SelText()});
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The caret goes behind the link, so the next key goes on with the text
    // instead of replacing the link's words; a link without words gets its
    // caret inside, before "</A>", where they are typed.
    Edytorek->setSelText(dialog.LinkFragment);
    if (dialog.fields().description.isEmpty())
        Edytorek->setSelStart(Edytorek->SelStart() - 4);
}

void TKreatorDlg::Edytorek_GRafikaClick()
{
    TGrafikaDlg dialog([this](const QString &filter) { return WybierzGrafike(filter); }, this);
    dialog.setForHtml5(isHtml5Page());
    if (dialog.exec() == QDialog::Accepted)
        Edytorek->setSelText(dialog.ImageFragment);
}

void TKreatorDlg::Edytorek_AkapitClick()
{
    wrapSelection(Edytorek, QStringLiteral("<P>"), QStringLiteral("</P>"));
}

void TKreatorDlg::Edytorek_PogrubClick()
{
    wrapSelection(Edytorek, QStringLiteral("<B>"), QStringLiteral("</B>"));
}

void TKreatorDlg::Edytorek_PochylenieClick()
{
    wrapSelection(Edytorek, QStringLiteral("<I>"), QStringLiteral("</I>"));
}

void TKreatorDlg::Edytorek_PodkreslenieClick()
{
    wrapSelection(Edytorek, QStringLiteral("<U>"), QStringLiteral("</U>"));
}

QString TKreatorDlg::WybierzGrafike(const QString &filter)
{
    const QString savedFilter = OpenDoc.Filter;
    const QString savedTitle = OpenDoc.Title;
    OpenDoc.Filter = filter;
    OpenDoc.Title = QStringLiteral("Wybierz plik graficzny");
    const QString chosen = OpenDoc.Execute(this) ? OpenDoc.FileName : QString();
    OpenDoc.Filter = savedFilter;
    OpenDoc.Title = savedTitle;
    return chosen;
}

} // namespace zk
