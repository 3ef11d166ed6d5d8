#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace zk::testing {

// Shows the window and follows the keyboard focus: the control it opens
// with, then the one reached by each of `presses` Tab keys.
inline QStringList tabWalk(QWidget *window, int presses)
{
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return {QStringLiteral("<window never became active>")};
    QStringList names;
    for (int i = 0;; ++i) {
        QWidget *focus = QApplication::focusWidget();
        names << (focus ? focus->objectName() : QStringLiteral("<none>"));
        if (i == presses)
            break;
        QTest::keyClick(focus ? focus : window, Qt::Key_Tab);
    }
    window->hide();
    return names;
}

} // namespace zk::testing
