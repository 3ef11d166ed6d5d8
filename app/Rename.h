#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QToolButton;

namespace zk {

// The one-line input box. Each caller dresses it (caption, prompt,
// starting text, hint, icon, help number), shows it and reads the text
// back, exactly as typed, when the user accepted.
class TDlg_Rename : public QDialog {
    Q_OBJECT
public:
    explicit TDlg_Rename(QWidget *parent = nullptr);

    enum class Icon { None, Key, Mail };
    struct Request {
        QString caption;
        QString prompt;
        QString text;
        QString hint;
        Icon icon = Icon::None;
        int helpContext = 1025;
    };
    // Shows the dialog dressed for one use; the typed text, or nothing
    // when the user cancelled.
    static std::optional<QString> ask(const Request &request, QWidget *parent);

    void dress(const Request &request);

    QLabel *Image_Klucz = nullptr;
    QLabel *Image_Mail = nullptr;
    QLabel *Label_Etykieta = nullptr;
    QLineEdit *Edit_Nazwa = nullptr;
    QToolButton *Przycisk_OK = nullptr;
    QToolButton *Przycisk_Anuluj = nullptr;

    void Przycisk_OKClick();
    void Przycisk_AnulujClick();
};

} // namespace zk
