#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace zk {

// The desktop: opening a file or address in its default program, and
// starting a program in a working folder. Both report failure as false.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool openDocument(const QString &pathOrAddress, QWidget *parent) = 0;
    virtual bool startProgram(const QString &program, const QStringList &arguments,
                              const QString &workingFolder, QWidget *parent) = 0;
};

class DesktopShell : public Shell {
public:
    bool openDocument(const QString &pathOrAddress, QWidget *parent) override;
    bool startProgram(const QString &program, const QStringList &arguments,
                      const QString &workingFolder, QWidget *parent) override;
};

} // namespace zk
