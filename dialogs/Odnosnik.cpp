#include "Odnosnik.h"

#include "ControlNames.h"
#include "DialogKeys.h"
#include "Glyphs.h"
#include "HelpViewer.h"
#include "OpenFileDialog.h"
#include "TypingLimit.h"
#include "WWWBtn97.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

namespace zk {

static QString attribute(const char *name, const QString &value)
{
    return u' ' + QString::fromLatin1(name) + QStringLiteral("=\"") + value + u'"';
}

QString buildLinkFragment(const LinkFields &f)
{
    QString link = QStringLiteral("<A") + attribute("HREF", f.address);
    if (!f.name.isEmpty())
        link += attribute("NAME", f.name);
    if (!f.target.isEmpty())
        link += attribute("TARGET", f.target);
    if (!f.statusText.isEmpty())
        link += attribute("onMouseOver", QStringLiteral("self.status='") + f.statusText + QStringLiteral("'; return true"));
    return link + u'>' + f.description + QStringLiteral("</A>");
}

namespace {

QComboBox *combo(QWidget *parent, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
    return box;
}

} // namespace

TOdnosnikDlg::TOdnosnikDlg(OpenFileDialog *openDoc, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint),
      m_openDoc(openDoc)
{
    setObjectName(QStringLiteral("TOdnosnikDlg"));
    setWindowTitle(QStringLiteral("Wstawianie odnośnika"));
    Edit_Adres = namedControl(combo(this, {QStringLiteral("http://"), QStringLiteral("ftp://"), QStringLiteral("mailto:"),
                                    QStringLiteral("news:"), QStringLiteral("newsrc:"), QStringLiteral("nntp://"),
                                    QStringLiteral("gopher://"), QStringLiteral("telnet://"), QStringLiteral("wais://")}),
                       "Edit_Adres", QStringLiteral("Tutaj wpisz adres URL odnośnika"), 1030);
    Edit_Adres->lineEdit()->installEventFilter(this); // a double-click picks a local file
    Edit_Opis = namedControl(new QLineEdit(this), "Edit_Opis", QStringLiteral("Opis odnośnika"), 1032);
    limitTyping(Edit_Opis, 240); // typed text only: a long selection or favourite name stays whole
    Edit_Name = namedControl(new QLineEdit(this), "Edit_Name", QStringLiteral("Parametr NAME odnośnika"), 1033);
    Edit_Target = namedControl(combo(this, {QStringLiteral("_blank"), QStringLiteral("_self"), QStringLiteral("_parent"),
                                     QStringLiteral("_top")}),
                        "Edit_Target", QStringLiteral("Parametr TARGET odnośnika"), 1031);
    Edit_OnMouse = namedControl(new QLineEdit(this), "Edit_OnMouse", QStringLiteral("Tekst na linię statusu"), 1034);
    Label_Name = namedControl(new QLabel(QStringLiteral("&Etykieta"), this), "Label_Name", QString(), 0);
    Label_Target = namedControl(new QLabel(QStringLiteral("Okno &docelowe"), this), "Label_Target", QString(), 0);
    Label_JS = namedControl(new QLabel(QStringLiteral("Tekst na &pasku stanu"), this), "Label_JS", QString(), 0);
    auto *addressLabel = new QLabel(QStringLiteral("Ad&res URL odnośnika"), this);
    auto *descriptionLabel = new QLabel(QStringLiteral("Op&is odnośnika"), this);
    addressLabel->setBuddy(Edit_Adres);
    descriptionLabel->setBuddy(Edit_Opis);
    Label_Name->setBuddy(Edit_Name);
    Label_Target->setBuddy(Edit_Target);
    Label_JS->setBuddy(Edit_OnMouse);

    Przycisk_Otworz = namedControl(new QToolButton(this), "Przycisk_Otworz", QStringLiteral("Wybierz plik z dysku"), 1030);
    Przycisk_Otworz->setIcon(resourceIcon(QStringLiteral(":/icons/folder.png")));
    Przycisk_Otworz->setFocusPolicy(Qt::NoFocus);
    Przycisk_OK = makeGlyphButton(QStringLiteral("Przycisk_OK"), QStringLiteral("&OK"), QStringLiteral("OK"), this);
    Przycisk_Anuluj = makeGlyphButton(QStringLiteral("Przycisk_Anuluj"), QStringLiteral("&Anuluj"), QStringLiteral("ANULUJ"), this);
    for (QToolButton *b : {Przycisk_OK, Przycisk_Anuluj}) {
        b->setFixedSize(QSize(65, 65).expandedTo(b->sizeHint())); // larger for a larger font
        b->setAutoRaise(false);
    }
    WWW = new TWWWBtn97(this);
    WWW->setObjectName(QStringLiteral("WWW"));
    WWW->Caption = QStringLiteral(" &Ulubione");
    WWW->setStatusTip(QStringLiteral("Zawartość foldera MS IE Ulubione"));
    WWW->setToolTip(WWW->statusTip());
    WWW->setFixedSize(QSize(90, 26).expandedTo(WWW->sizeHint()));
    WWW->MenuOptions.ItemBmpFolder = resourcePixmap(QStringLiteral(":/icons/folder.png"));
    WWW->MenuOptions.ItemBmpURL = resourcePixmap(QStringLiteral(":/icons/tree1.png"));
    WWW->MenuOptions.URLBitmapDisplay = TMenuOption::All_icon;
    WWW->MenuOptions.ItemSelectColor = palette().color(QPalette::HighlightedText);
    WWW->MenuOptions.FontItemColor = palette().color(QPalette::ButtonText);
    WWW->loadFavorites(); // again, now with the dialog's menu options
    connect(WWW, &TWWWBtn97::OnSelectURL, this, [this] { WWWSelectURL(WWW->URLName, WWW->URLPath); });
    auto *picture = new QLabel(this);
    picture->setPixmap(resourcePixmap(QStringLiteral(":/icons/odnosnik.png")));
    picture->setStatusTip(QStringLiteral("Wstawienie odnośnika"));
    picture->setToolTip(picture->statusTip());

    auto *grid = new QGridLayout;
    grid->addWidget(addressLabel, 0, 0, 1, 2);
    grid->addWidget(Edit_Adres, 1, 0, 1, 2);
    grid->addWidget(Przycisk_Otworz, 1, 2);
    grid->addWidget(descriptionLabel, 2, 0, 1, 2);
    grid->addWidget(Edit_Opis, 3, 0, 1, 3);
    grid->addWidget(Label_Name, 4, 0);
    grid->addWidget(Label_Target, 4, 1);
    grid->addWidget(Edit_Name, 5, 0);
    grid->addWidget(Edit_Target, 5, 1, 1, 2);
    grid->addWidget(Label_JS, 6, 0, 1, 2);
    grid->addWidget(Edit_OnMouse, 7, 0, 1, 2);
    grid->addWidget(WWW, 7, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    auto *side = new QVBoxLayout;
    side->addWidget(picture, 0, Qt::AlignHCenter);
    side->addStretch(1);
    side->addWidget(Przycisk_OK);
    side->addWidget(Przycisk_Anuluj);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(side);
    setTabChain({Edit_Adres, Edit_Opis, Edit_Name, Edit_Target, Edit_OnMouse, WWW, Przycisk_OK, Przycisk_Anuluj});

    connect(Przycisk_OK, &QToolButton::clicked, this, &TOdnosnikDlg::Przycisk_OKClick);
    connect(Przycisk_Anuluj, &QToolButton::clicked, this, &TOdnosnikDlg::Przycisk_AnulujClick);
    connect(Przycisk_Otworz, &QToolButton::clicked, this, &TOdnosnikDlg::Przycisk_OtworzClick);
    new DialogKeys(this, [this] { Przycisk_OKClick(); }, [this] { Przycisk_AnulujClick(); });
    setFixedSize(sizeHint().expandedTo(QSize(472, 209)));
    centerOnScreen(this);
}

LinkFields TOdnosnikDlg::fields() const
{
    return {Edit_Adres->currentText(), Edit_Opis->text(), Edit_Name->text(), Edit_Target->currentText(),
            Edit_OnMouse->text()};
}

void TOdnosnikDlg::setFields(const LinkFields &fields)
{
    Edit_Adres->setEditText(fields.address);
    Edit_Opis->setText(fields.description);
    Edit_Name->setText(fields.name);
    Edit_Target->setEditText(fields.target);
    Edit_OnMouse->setText(fields.statusText);
}

void TOdnosnikDlg::setStatusTextEnabled(bool enabled)
{
    Edit_OnMouse->setEnabled(enabled);
    Label_JS->setEnabled(enabled);
}

void TOdnosnikDlg::useForFavouriteList()
{
    setStatusTextEnabled(false);
    for (QWidget *w : std::initializer_list<QWidget *>{Label_Name, Edit_Name, Label_Target, Edit_Target})
        w->setEnabled(false);
    setWindowTitle(QStringLiteral("Ulubiony odnośnik"));
}

void TOdnosnikDlg::Przycisk_OKClick()
{
    if (Edit_Adres->currentText().isEmpty()) {
        reject();
        return;
    }
    LinkFragment = buildLinkFragment(fields());
    accept();
}

void TOdnosnikDlg::Przycisk_AnulujClick()
{
    reject();
}

void TOdnosnikDlg::Przycisk_OtworzClick()
{
    const QString savedFilter = m_openDoc->Filter;
    m_openDoc->Filter = QStringLiteral("Dokumenty HTML|*.htm;*.html|Dokumenty tekstowe|*.txt|Arkusze styli|*.css|"
                                       "Wszystkie pliki|*.*");
    if (m_openDoc->Execute(this) && !m_openDoc->FileName.isEmpty())
        Edit_Adres->setEditText(m_openDoc->FileName);
    m_openDoc->Filter = savedFilter;
    Edit_Adres->setFocus();
}

void TOdnosnikDlg::WWWSelectURL(const QString &urlName, const QString &urlPath)
{
    setFields({.address = urlPath, .description = urlName, .name = Edit_Name->text(), .target = Edit_Target->currentText(),
               .statusText = urlName});
}

bool TOdnosnikDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit_Adres->lineEdit() && event->type() == QEvent::MouseButtonDblClick) {
        Przycisk_OtworzClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zk
