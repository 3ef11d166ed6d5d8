#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;

namespace zk {

class GifImage;
class SpinEdit;

struct ImageFields {
    QString location, alt, lowsrc, usemap, clip;
    int height = 0, width = 0, hspace = 0, vspace = 0, border = 0;
    QString align;   // empty: none selected
    bool ismap = false;
    bool infinite = false;
    int repeat = 1;
    int start = 0;   // -1 none, 0 FILEOPEN, 1 MOUSEOVER, 2 both
    bool controls = false;
    bool html5 = false; // for an HTML5 page: no border of ours unless one is chosen
};

// "<IMG SRC=… HEIGHT=… WIDTH=… HSPACE=… VSPACE=… BORDER=… ALIGN=… ALT=…
// LOWSRC=… USEMAP=… ISMAP DYNSRC=… LOOP=… START=… CONTROLS>", each only when
// given (BORDER always on a 1998 page; on an HTML5 page, which draws no
// border round a picture, only when one is chosen), the texts as typed.
QString buildImageFragment(const ImageFields &fields);

// "Wstawianie grafiki": one picture or clip with its attributes, with a
// preview of GIF and JPEG pictures that gives the display size.
class TGrafikaDlg : public QDialog {
    Q_OBJECT
public:
    using PictureChooser = std::function<QString(const QString &filter)>;
    // `choose` is the main window's WybierzGrafike.
    explicit TGrafikaDlg(PictureChooser choose, QWidget *parent = nullptr);
    ~TGrafikaDlg() override;
    // The picture goes into an HTML5 page.
    void setForHtml5(bool html5) { m_html5 = html5; }

    QString ImageFragment;

    QLineEdit *Edit_Relacja = nullptr;
    QLineEdit *Edit_Alt = nullptr;
    SpinEdit *Spin_vspace = nullptr;
    SpinEdit *Spin_hspace = nullptr;
    SpinEdit *Spin_height = nullptr;
    SpinEdit *Spin_width = nullptr;
    QComboBox *Lista_Align = nullptr;
    SpinEdit *Spin_Border = nullptr;
    QLineEdit *Edit_lowsrc = nullptr;
    QLineEdit *Edit_usemap = nullptr;
    QCheckBox *Check_ismap = nullptr;
    QScrollArea *ScrollBox = nullptr;
    QLabel *BMP = nullptr;
    QLineEdit *Edit_Animacja = nullptr;
    QComboBox *Lista_Start = nullptr;
    QCheckBox *Check_Control = nullptr;
    SpinEdit *Spin_Powtorz = nullptr;
    QCheckBox *Check_Infinite = nullptr;
    QToolButton *Przycisk_Otworz = nullptr;
    QToolButton *Przycisk_Lowsrc = nullptr;
    QToolButton *Przycisk_Animacja = nullptr;
    QToolButton *Przycisk_OK = nullptr;
    QToolButton *Przycisk_Anuluj = nullptr;
    std::unique_ptr<GifImage> GifDecoder;

    ImageFields fields() const;

    void Przycisk_OKClick();
    void Przycisk_AnulujClick();
    void Przycisk_OtworzClick();
    void Przycisk_LowsrcClick();
    void Przycisk_AnimacjaClick();
    void Edit_RelacjaChange();
    void Spin_heightChange();
    void Spin_widthChange();
    void Check_InfiniteClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void resetPreview();
    void showPicture(const QImage &picture);
    QWidget *buildPictureBox();
    QWidget *buildClipBox();

    PictureChooser m_choose;
    bool m_html5 = false;
};

} // namespace zk
