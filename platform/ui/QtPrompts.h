#pragma once

#include "Prompts.h"

namespace zk {

// Prompts shown with Qt's own message boxes and dialogs.
class QtPrompts : public Prompts {
public:
    void message(int flags, const QString &caption, const QString &text, QWidget *owner) override;
    bool question(const QString &caption, const QString &text, QWidget *owner) override;
    YesNoCancel questionWithCancel(const QString &caption, const QString &text, QWidget *owner) override;
    int choose(int flags, const QString &caption, const QString &text, const QStringList &buttons, QWidget *owner) override;
    QString openFile(const OpenFileRequest &request, QWidget *owner) override;
    QString saveFile(const OpenFileRequest &request, QWidget *owner) override;
    std::optional<QColor> chooseColor(ColorRequest &request, QWidget *owner) override;
    QString chooseFolder(const QString &title, const QString &startFolder, QWidget *owner) override;
};

} // namespace zk
