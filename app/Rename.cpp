#include "Rename.h"

#include "DialogKeys.h"
#include "Glyphs.h"
#include "HelpViewer.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

namespace zk {

static QLabel *iconLabel(const QString &name, const QString &resource, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(resourcePixmap(resource));
    label->setFixedSize(32, 32);
    label->hide();
    return label;
}

TDlg_Rename::TDlg_Rename(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint)
{
    setObjectName(QStringLiteral("TDlg_Rename"));
    setWindowTitle(QStringLiteral("Zmiana nazwy pliku"));
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Image_Klucz = iconLabel(QStringLiteral("Image_Klucz"), QStringLiteral(":/icons/klucz.png"), panel);
    Image_Mail = iconLabel(QStringLiteral("Image_Mail"), QStringLiteral(":/icons/koperta.png"), panel);
    Label_Etykieta = new QLabel(QStringLiteral("Podaj nową nazwę:"), panel);
    Label_Etykieta->setObjectName(QStringLiteral("Label_Etykieta"));
    Edit_Nazwa = new QLineEdit(panel);
    Edit_Nazwa->setObjectName(QStringLiteral("Edit_Nazwa"));
    Edit_Nazwa->setMinimumWidth(220);
    Label_Etykieta->setBuddy(Edit_Nazwa);
    setHelpContext(Edit_Nazwa, 1025);
    auto *grid = new QGridLayout(panel);
    grid->addWidget(Image_Klucz, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Image_Mail, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Label_Etykieta, 0, 1);
    grid->addWidget(Edit_Nazwa, 1, 1);
    grid->setColumnMinimumWidth(0, 32);

    Przycisk_OK = makeGlyphButton(QStringLiteral("Przycisk_OK"), QStringLiteral("&OK"), QString(), this);
    Przycisk_Anuluj = makeGlyphButton(QStringLiteral("Przycisk_Anuluj"), QStringLiteral("&Anuluj"), QString(), this);
    LadujzRes(Przycisk_OK, QStringLiteral("OK"));
    LadujzRes(Przycisk_Anuluj, QStringLiteral("ANULUJ"));
    for (QToolButton *b : {Przycisk_OK, Przycisk_Anuluj}) {
        b->setFixedSize(QSize(65, 65).expandedTo(b->sizeHint())); // larger for a larger font
        b->setAutoRaise(false);
    }
    connect(Przycisk_OK, &QToolButton::clicked, this, &TDlg_Rename::Przycisk_OKClick);
    connect(Przycisk_Anuluj, &QToolButton::clicked, this, &TDlg_Rename::Przycisk_AnulujClick);
    new DialogKeys(this, [this] { Przycisk_OKClick(); }, [this] { Przycisk_AnulujClick(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Przycisk_OK);
    buttons->addWidget(Przycisk_Anuluj);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    setTabChain({Edit_Nazwa, Przycisk_OK, Przycisk_Anuluj});
    setFixedSize(sizeHint().expandedTo(QSize(284, 132)));
    centerOnScreen(this);
}

// The window manager draws the title in its own, usually bold, font beside
// an icon and three buttons; the dialog is made wide enough for all of it.
static int widthForTitle(const QWidget *dialog, const QString &title)
{
    QFont bold = dialog->font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(title) * 23 / 20 + 5 * dialog->fontMetrics().height() + 16;
}

void TDlg_Rename::dress(const Request &request)
{
    setWindowTitle(request.caption);
    if (const int needed = widthForTitle(this, request.caption); needed > width()) {
        setFixedWidth(needed);
        centerOnScreen(this);
    }
    Label_Etykieta->setText(request.prompt);
    Edit_Nazwa->setText(request.text);
    Edit_Nazwa->setToolTip(request.hint);
    Edit_Nazwa->setStatusTip(request.hint);
    Image_Klucz->setVisible(request.icon == Icon::Key);
    Image_Mail->setVisible(request.icon == Icon::Mail);
    setHelpContext(Edit_Nazwa, request.helpContext);
}

std::optional<QString> TDlg_Rename::ask(const Request &request, QWidget *parent)
{
    TDlg_Rename dialog(parent);
    dialog.dress(request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Edit_Nazwa->text();
}

void TDlg_Rename::Przycisk_OKClick()
{
    accept();
}

void TDlg_Rename::Przycisk_AnulujClick()
{
    reject();
}

} // namespace zk
