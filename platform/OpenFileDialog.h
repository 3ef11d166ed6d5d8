#pragma once

#include <QString>

class QWidget;

namespace zk {

// The main window's shared open-file dialog: callers set its title and
// filter, and may restore them afterwards; the chosen file stays in
// FileName. Shown through Prompts.
class OpenFileDialog {
public:
    QString Title;
    QString Filter;
    QString FileName;
    QString InitialDir;
    QString DefaultExt;

    // True when a file was chosen; FileName then holds its full path.
    bool Execute(QWidget *owner);
};

} // namespace zk
