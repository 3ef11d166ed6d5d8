#pragma once

#include <QPoint>
#include <QString>

class QObject;
class QWidget;

namespace zk {

// Shows the program's help file: its contents page in a help window, and
// one topic as a pop-up at a control.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void setHelpFile(const QString &path) = 0;
    virtual void showContents(QWidget *parent) = 0;
    virtual void showTopic(int context, const QPoint &globalPos, QWidget *parent) = 0;
};

// Every control carries a help context number; a control without one uses
// the number of its nearest enclosing object that has one (0: none).
void setHelpContext(QObject *object, int context);
int helpContextOf(const QObject *object);

} // namespace zk
