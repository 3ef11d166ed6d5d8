#include "Grafika.h"

#include "PictureFile.h"

#include "Decoders.h"
#include "ControlNames.h"
#include "DialogKeys.h"
#include "Glyphs.h"
#include "HelpViewer.h"
#include "Messages.h"
#include "Prompts.h"
#include "SpinEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace zk {

namespace {
const QString PictureFilter = QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.png");

QString attribute(const char *name, const QString &value)
{
    return u' ' + QString::fromLatin1(name) + QStringLiteral("=\"") + value + u'"';
}

QToolButton *folderButton(QWidget *parent, const char *name, const QString &hint)
{
    auto *b = namedControl(new QToolButton(parent), name, hint, 0);
    b->setIcon(resourceIcon(QStringLiteral(":/icons/folder.png")));
    b->setFocusPolicy(Qt::TabFocus); // reached by Tab from its field, pressed by Space or Enter
    return b;
}
} // namespace

QString buildImageFragment(const ImageFields &f)
{
    QString tag = QStringLiteral("<IMG");
    if (!f.location.isEmpty())
        tag += attribute("SRC", f.location);
    if (f.height != 0)
        tag += attribute("HEIGHT", QString::number(f.height));
    if (f.width != 0)
        tag += attribute("WIDTH", QString::number(f.width));
    if (f.hspace != 0)
        tag += attribute("HSPACE", QString::number(f.hspace));
    if (f.vspace != 0)
        tag += attribute("VSPACE", QString::number(f.vspace));
    if (!f.html5 || f.border != 0)
        tag += attribute("BORDER", QString::number(f.border));
    if (!f.align.isEmpty())
        tag += attribute("ALIGN", f.align);
    if (!f.alt.isEmpty())
        tag += attribute("ALT", f.alt);
    if (!f.lowsrc.isEmpty())
        tag += attribute("LOWSRC", f.lowsrc);
    if (!f.usemap.isEmpty())
        tag += attribute("USEMAP", u'#' + f.usemap);
    if (f.ismap)
        tag += QStringLiteral(" ISMAP");
    if (!f.clip.isEmpty()) {
        tag += attribute("DYNSRC", f.clip);
        tag += attribute("LOOP", f.infinite ? QStringLiteral("INFINITE") : QString::number(f.repeat));
        static const char *const starts[] = {"FILEOPEN", "MOUSEOVER", "FILEOPEN,MOUSEOVER"};
        if (f.start >= 0 && f.start <= 2)
            tag += attribute("START", QString::fromLatin1(starts[f.start]));
        if (f.controls)
            tag += QStringLiteral(" CONTROLS");
    }
    return tag + u'>';
}

TGrafikaDlg::TGrafikaDlg(PictureChooser choose, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint),
      GifDecoder(std::make_unique<GifImage>()), m_choose(std::move(choose))
{
    setObjectName(QStringLiteral("TGrafikaDlg"));
    setWindowTitle(QStringLiteral("Wstawianie grafiki"));
    Przycisk_OK = makeGlyphButton(QStringLiteral("Przycisk_OK"), QStringLiteral("&OK"), QStringLiteral("OK"), this);
    Przycisk_Anuluj = makeGlyphButton(QStringLiteral("Przycisk_Anuluj"), QStringLiteral("&Anuluj"), QStringLiteral("ANULUJ"), this);
    for (QToolButton *b : {Przycisk_OK, Przycisk_Anuluj}) {
        b->setFixedSize(QSize(65, 65).expandedTo(b->sizeHint())); // larger for a larger font
        b->setAutoRaise(false);
    }
    auto *picture = new QLabel(this);
    picture->setPixmap(resourcePixmap(QStringLiteral(":/icons/zentarek.png")));
    picture->setStatusTip(QStringLiteral("To narzędzie służy do umieszczania na stronie \nobrazów graficznych (np. Twojego zdjęcia)."));
    picture->setToolTip(picture->statusTip());
    auto *side = new QVBoxLayout;
    side->addWidget(picture, 0, Qt::AlignHCenter);
    side->addStretch(1);
    side->addWidget(Przycisk_OK);
    side->addWidget(Przycisk_Anuluj);
    auto *main = new QVBoxLayout;
    main->addWidget(buildPictureBox());
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    main->addWidget(line);
    main->addWidget(buildClipBox());
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(main, 1);
    layout->addLayout(side);

    connect(Przycisk_OK, &QToolButton::clicked, this, &TGrafikaDlg::Przycisk_OKClick);
    connect(Przycisk_Anuluj, &QToolButton::clicked, this, &TGrafikaDlg::Przycisk_AnulujClick);
    connect(Przycisk_Otworz, &QToolButton::clicked, this, &TGrafikaDlg::Przycisk_OtworzClick);
    connect(Przycisk_Lowsrc, &QToolButton::clicked, this, &TGrafikaDlg::Przycisk_LowsrcClick);
    connect(Przycisk_Animacja, &QToolButton::clicked, this, &TGrafikaDlg::Przycisk_AnimacjaClick);
    connect(Edit_Relacja, &QLineEdit::textChanged, this, &TGrafikaDlg::Edit_RelacjaChange);
    connect(Spin_height, &QSpinBox::valueChanged, this, &TGrafikaDlg::Spin_heightChange);
    connect(Spin_width, &QSpinBox::valueChanged, this, &TGrafikaDlg::Spin_widthChange);
    connect(Check_Infinite, &QCheckBox::clicked, this, &TGrafikaDlg::Check_InfiniteClick);
    for (QLineEdit *e : {Edit_Relacja, Edit_lowsrc, Edit_Animacja})
        e->installEventFilter(this);
    // Enter on a focused folder button opens its chooser, as Space does; anywhere else it is OK.
    new DialogKeys(
        this,
        [this] {
            auto *folder = qobject_cast<QToolButton *>(focusWidget());
            if (folder && (folder == Przycisk_Otworz || folder == Przycisk_Lowsrc || folder == Przycisk_Animacja))
                folder->click();
            else
                Przycisk_OKClick();
        },
        [this] { Przycisk_AnulujClick(); });
    Lista_Start->setCurrentIndex(0);
    setTabChain({Edit_Relacja, Przycisk_Otworz, Edit_Alt, Spin_vspace, Spin_hspace, Spin_height, Spin_width, Lista_Align,
                 Spin_Border, Edit_lowsrc, Przycisk_Lowsrc, Edit_usemap, Check_ismap, ScrollBox, Edit_Animacja,
                 Przycisk_Animacja, Lista_Start, Check_Control,
                 Spin_Powtorz, Check_Infinite, Przycisk_OK, Przycisk_Anuluj});
    setFixedSize(sizeHint().expandedTo(QSize(565, 363)));
    centerOnScreen(this);
}

TGrafikaDlg::~TGrafikaDlg() = default;

QWidget *TGrafikaDlg::buildPictureBox()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    Edit_Relacja = namedControl(new QLineEdit(box), "Edit_Relacja", QStringLiteral("Lokalizacja obrazu graficznego"), 1050);
    Przycisk_Otworz = folderButton(box, "Przycisk_Otworz", QStringLiteral("Kliknij, aby wybrać lokalizację obrazu graficznego"));
    Edit_Alt = namedControl(new QLineEdit(box), "Edit_Alt", QStringLiteral("Opis rysunku dla przeglądarek tekstowych"), 1051);
    Spin_vspace = namedControl(new SpinEdit(0, 99, 0, box), "Spin_vspace", QStringLiteral("Odstęp od innych elementów strony w pionie"), 1052);
    Spin_hspace = namedControl(new SpinEdit(0, 99, 0, box), "Spin_hspace", QStringLiteral("Odstęp od innych elementów strony w poziomie"), 1052);
    Spin_height = namedControl(new SpinEdit(0, 2048, 0, box), "Spin_height", QStringLiteral("Rozmiar grafiki w pionie"), 1053);
    Spin_width = namedControl(new SpinEdit(0, 2048, 0, box), "Spin_width", QStringLiteral("Rozmiar grafiki w poziomie"), 1053);
    Lista_Align = namedControl(new QComboBox(box), "Lista_Align", QStringLiteral("Wyrównanie grafiki w stosunku do innych elementów"), 1054);
    Lista_Align->addItems({QStringLiteral("TOP"), QStringLiteral("MIDDLE"), QStringLiteral("BOTTOM"), QStringLiteral("RIGHT"),
                           QStringLiteral("LEFT"), QStringLiteral("TEXTTOP"), QStringLiteral("BASELINE"),
                           QStringLiteral("ABSMIDDLE"), QStringLiteral("ABSBOTTOM")});
    Lista_Align->setCurrentIndex(-1);
    Spin_Border = namedControl(new SpinEdit(0, 99, 0, box), "Spin_Border", QStringLiteral("Rozmiar ramki wokół obrazu graficznego"), 1055);
    Edit_lowsrc = namedControl(new QLineEdit(box), "Edit_lowsrc", QStringLiteral("Lokalizacja miniatury obrazka"), 1057);
    Przycisk_Lowsrc = folderButton(box, "Przycisk_Lowsrc", QStringLiteral("Kliknij, aby wybrać lokalizację miniatruki obrazu graficznego"));
    Edit_usemap = namedControl(new QLineEdit(box), "Edit_usemap", QStringLiteral("Określenie używanej mapy"), 1058);
    Edit_usemap->setMaxLength(33);
    Check_ismap = namedControl(new QCheckBox(QStringLiteral("Jako mapa"), box), "Check_ismap", QStringLiteral("Znacznik identyfikacji grafiki jako mapy"), 1056);
    ScrollBox = namedControl(new QScrollArea(box), "ScrollBox", QStringLiteral("Podgląd wybranego pliku graficznego GIF"), 1059);
    ScrollBox->setFrameShape(QFrame::NoFrame);
    ScrollBox->setFixedSize(205, 187);
    ScrollBox->setWidgetResizable(false);
    BMP = new QLabel;
    BMP->setObjectName(QStringLiteral("BMP"));
    BMP->setScaledContents(true); // the preview stretches to the size the tag will ask for
    BMP->resize(0, 0);
    ScrollBox->setWidget(BMP);

    const auto label = [box](const char *text) { return new QLabel(QString::fromUtf8(text), box); };
    int r = 0;
    grid->addWidget(label("Lokalizacja:"), r, 0);
    grid->addWidget(Edit_Relacja, r, 1, 1, 3);
    grid->addWidget(Przycisk_Otworz, r++, 4);
    grid->addWidget(label("Opis:"), r, 0);
    grid->addWidget(Edit_Alt, r++, 1, 1, 3);
    grid->addWidget(label("Odstępy: w pionie"), r, 0);
    grid->addWidget(Spin_vspace, r, 1);
    grid->addWidget(label("w poziomie"), r, 2);
    grid->addWidget(Spin_hspace, r++, 3);
    grid->addWidget(label("Wymiary: w pionie"), r, 0);
    grid->addWidget(Spin_height, r, 1);
    grid->addWidget(label("w poziomie"), r, 2);
    grid->addWidget(Spin_width, r++, 3);
    grid->addWidget(label("Wyrównanie:"), r, 0);
    grid->addWidget(Lista_Align, r, 1);
    grid->addWidget(label("Ramka:"), r, 2);
    grid->addWidget(Spin_Border, r++, 3);
    grid->addWidget(label("Miniaturka:"), r, 0);
    grid->addWidget(Edit_lowsrc, r, 1, 1, 3);
    grid->addWidget(Przycisk_Lowsrc, r++, 4);
    grid->addWidget(label("Użyj mapy:"), r, 0);
    grid->addWidget(Edit_usemap, r, 1);
    grid->addWidget(Check_ismap, r++, 2, 1, 2);
    grid->addWidget(ScrollBox, 0, 5, r, 1);
    return box;
}

QWidget *TGrafikaDlg::buildClipBox()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    Edit_Animacja = namedControl(new QLineEdit(box), "Edit_Animacja", QStringLiteral("Lokalizacja pliku animacji"), 1060);
    Przycisk_Animacja = folderButton(box, "Przycisk_Animacja", QStringLiteral("Kliknij, aby wybrać plik animacji"));
    Lista_Start = namedControl(new QComboBox(box), "Lista_Start", QStringLiteral("Określa moment rozpoczęcia odtwarzania animacji."), 1061);
    Lista_Start->addItems({QStringLiteral("Zaraz po otwarciu pliku"), QStringLiteral("Gdy myszka będzie nad obiektem"),
                           QStringLiteral("Oba przypadki na raz")});
    Check_Control = namedControl(new QCheckBox(QStringLiteral("Panel sterowania"), box), "Check_Control", QStringLiteral("Panel sterowania animacją."), 1062);
    Spin_Powtorz = namedControl(new SpinEdit(1, 2048, 1, box), "Spin_Powtorz", QStringLiteral("Ilość powtórzeń animacji"), 1063);
    Check_Infinite = namedControl(new QCheckBox(QStringLiteral("odtwarzaj w nieskończoność"), box), "Check_Infinite",
                           QStringLiteral("Zaznacz, aby animacja była powtarzana w nieskończoność"), 1063);
    grid->addWidget(new QLabel(QStringLiteral("Animacja:"), box), 0, 0);
    grid->addWidget(Edit_Animacja, 0, 1, 1, 3);
    grid->addWidget(Przycisk_Animacja, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("Rozpocznij:"), box), 1, 0);
    grid->addWidget(Lista_Start, 1, 1);
    grid->addWidget(Check_Control, 1, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Powtarzaj:"), box), 2, 0);
    grid->addWidget(Spin_Powtorz, 2, 1);
    grid->addWidget(Check_Infinite, 2, 2, 1, 2);
    return box;
}

ImageFields TGrafikaDlg::fields() const
{
    ImageFields f;
    f.location = Edit_Relacja->text();
    f.alt = Edit_Alt->text();
    f.height = Spin_height->value();
    f.width = Spin_width->value();
    f.hspace = Spin_hspace->value();
    f.vspace = Spin_vspace->value();
    f.border = Spin_Border->value();
    f.align = Lista_Align->currentIndex() >= 0 ? Lista_Align->currentText() : QString();
    f.lowsrc = Edit_lowsrc->text();
    f.usemap = Edit_usemap->text();
    f.ismap = Check_ismap->isChecked();
    f.clip = Edit_Animacja->text();
    f.infinite = Check_Infinite->isChecked();
    f.repeat = Spin_Powtorz->value();
    f.start = Lista_Start->currentIndex();
    f.controls = Check_Control->isChecked();
    f.html5 = m_html5;
    return f;
}

void TGrafikaDlg::Przycisk_OKClick()
{
    if (Edit_Relacja->text().isEmpty() && Edit_Animacja->text().isEmpty())
        return; // nothing to insert: the dialog stays open
    ImageFragment = buildImageFragment(fields());
    accept();
}

void TGrafikaDlg::Przycisk_AnulujClick()
{
    reject();
}

void TGrafikaDlg::resetPreview()
{
    BMP->clear();
    BMP->resize(0, 0);
    Spin_height->setValue(0);
    Spin_width->setValue(0);
}

void TGrafikaDlg::showPicture(const QImage &picture)
{
    BMP->setPixmap(QPixmap::fromImage(picture));
    BMP->resize(picture.size());
    Spin_height->setValue(picture.height()); // kept to 0..2048; a change stretches the preview
    Spin_width->setValue(picture.width());
}

void TGrafikaDlg::Przycisk_OtworzClick()
{
    Edit_Relacja->setText(m_choose(QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.jpeg;*.png")));
    const QString path = Edit_Relacja->text();
    if (path.isEmpty()) {
        resetPreview();
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const PictureLoad loaded = loadPicture(path); // by what the file holds, not only its name
        QApplication::restoreOverrideCursor();
        switch (loaded.outcome) {
        case PictureLoad::Outcome::Shown:
            showPicture(loaded.image);
            break;
        case PictureLoad::Outcome::ShownWithNote:
            showPicture(loaded.image);
            BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"), loaded.text, this);
            break;
        case PictureLoad::Outcome::Unreadable:
            BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"), loaded.text, this);
            resetPreview();
            break;
        case PictureLoad::Outcome::Unsupported:
            BladMsg(MB_ICONERROR, QStringLiteral("UWAGA!"), loaded.text, this);
            resetPreview();
            break;
        }
    }
    Edit_Relacja->setFocus();
}

void TGrafikaDlg::Przycisk_LowsrcClick()
{
    Edit_lowsrc->setText(m_choose(PictureFilter));
    Edit_lowsrc->setFocus();
}

void TGrafikaDlg::Przycisk_AnimacjaClick()
{
    Edit_Animacja->setText(m_choose(PictureFilter + QStringLiteral("|Animacje|*.avi")));
    Edit_Animacja->setFocus();
}

void TGrafikaDlg::Edit_RelacjaChange()
{
    if (Edit_Relacja->text().isEmpty())
        resetPreview();
}

void TGrafikaDlg::Spin_heightChange()
{
    BMP->resize(BMP->width(), Spin_height->value());
}

void TGrafikaDlg::Spin_widthChange()
{
    BMP->resize(Spin_width->value(), BMP->height());
}

void TGrafikaDlg::Check_InfiniteClick()
{
    Spin_Powtorz->setEnabled(!Check_Infinite->isChecked());
}

bool TGrafikaDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Edit_Relacja)
            return Przycisk_OtworzClick(), true;
        if (watched == Edit_lowsrc)
            return Przycisk_LowsrcClick(), true;
        if (watched == Edit_Animacja)
            return Przycisk_AnimacjaClick(), true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zk
