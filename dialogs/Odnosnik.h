#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace zk {

class OpenFileDialog;
class TWWWBtn97;

struct LinkFields {
    QString address = {}, description = {}, name = {}, target = {}, statusText = {};
};

// "<A HREF="…" NAME="…" TARGET="…" onMouseOver="self.status='…'; return true">…</A>",
// each attribute only when its field is not empty, the texts as typed.
QString buildLinkFragment(const LinkFields &fields);

// "Wstawianie odnośnika": one hyperlink's address, description and, on
// request, anchor name, target window and status-bar text.
class TOdnosnikDlg : public QDialog {
    Q_OBJECT
public:
    // `openDoc` is the main window's shared open-file dialog.
    explicit TOdnosnikDlg(OpenFileDialog *openDoc, QWidget *parent = nullptr);

    QString LinkFragment;

    QComboBox *Edit_Adres = nullptr;
    QLineEdit *Edit_Opis = nullptr;
    QLabel *Label_Name = nullptr;
    QLineEdit *Edit_Name = nullptr;
    QLabel *Label_Target = nullptr;
    QComboBox *Edit_Target = nullptr;
    QLabel *Label_JS = nullptr;
    QLineEdit *Edit_OnMouse = nullptr;
    QToolButton *Przycisk_Otworz = nullptr;
    QToolButton *Przycisk_OK = nullptr;
    QToolButton *Przycisk_Anuluj = nullptr;
    TWWWBtn97 *WWW = nullptr;

    LinkFields fields() const;
    // The fields to start from (a link being edited, or the selected words).
    void setFields(const LinkFields &fields);
    void setStatusTextEnabled(bool enabled);
    // For an entry of the favourite-links list, which keeps only a
    // description and an address: the other fields are off, and the title
    // says what is being edited.
    void useForFavouriteList();

    void Przycisk_OKClick();
    void Przycisk_AnulujClick();
    void Przycisk_OtworzClick();
    // A favourite chosen: its name becomes description and status text.
    void WWWSelectURL(const QString &urlName, const QString &urlPath);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    OpenFileDialog *m_openDoc;
};

} // namespace zk
