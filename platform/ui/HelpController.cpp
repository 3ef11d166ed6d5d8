#include "HelpController.h"

#include "HelpViewer.h"
#include "Services.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QWhatsThis>
#include <QWidget>

namespace zk {

HelpController::HelpController(QObject *parent) : QObject(parent) {}

static int contextFor(QWidget *widget)
{
    if (auto *menu = qobject_cast<QMenu *>(widget); menu && menu->activeAction())
        if (const int n = helpContextOf(menu->activeAction()))
            return n;
    return helpContextOf(widget);
}

static bool showHelpAt(QWidget *widget)
{
    const int context = contextFor(widget);
    if (context <= 0 || !services().help)
        return false;
    services().help->showTopic(context, widget->mapToGlobal(QPoint(0, 0)), widget);
    return true;
}

bool HelpController::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_F1)
            return false;
        if (key->modifiers() != Qt::NoModifier && key->modifiers() != Qt::ShiftModifier)
            return false;
        // One press, one pop-up: an ignored key would travel on to the
        // parents, and this filter would show their topic too.
        key->accept();
        if (key->modifiers() == Qt::ShiftModifier)
            QWhatsThis::enterWhatsThisMode();
        else
            showHelpAt(widget);
        return true;
    }
    case QEvent::QueryWhatsThis:
        if (helpContextOf(widget) > 0) {
            event->accept();
            return true;
        }
        return false;
    case QEvent::WhatsThis:
        if (showHelpAt(widget)) {
            event->accept();
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace zk
