#pragma once

#include "HelpViewer.h"

#include <QString>
#include <QWidget>

namespace zk {

// A dialog control with its name, its hint (status bar and tool tip) and
// its help context number (0: the enclosing one's).
template <typename W> W *namedControl(W *widget, const char *name, const QString &hint, int helpContext)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setStatusTip(hint);
    widget->setToolTip(hint);
    if (helpContext)
        setHelpContext(widget, helpContext);
    return widget;
}

} // namespace zk
