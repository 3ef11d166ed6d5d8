#pragma once

#include <QApplication>

namespace zk {

// The application object: an error that escapes a command's handler ends
// that command and is shown by the default error report, and the program
// goes on waiting for the next command.
// The program's font: the desktop's family at 8.5 points, the size the
// windows are drawn for; a desktop font chosen larger than the usual
// 10 points makes it larger in proportion, and the windows grow with it.
QFont programFont(const QFont &desktop);

class ZentarekApplication : public QApplication {
    Q_OBJECT
public:
    ZentarekApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Loads Qt's Polish translation for its own dialogs and buttons.
    void installPolishTranslation();
};

} // namespace zk
