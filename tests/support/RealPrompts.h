#pragma once

#include "QtPrompts.h"
#include "Services.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace zk::testing {

// The real Qt message boxes and dialogs in place of the scripted ones, for
// as long as it lives (made after the test's services are set up).
class RealPrompts {
public:
    RealPrompts() : m_saved(services().prompts) { services().prompts = &m_real; }
    ~RealPrompts() { services().prompts = m_saved; }
    RealPrompts(const RealPrompts &) = delete;
    RealPrompts &operator=(const RealPrompts &) = delete;

private:
    QtPrompts m_real;
    Prompts *m_saved;
};

// Presses the next of its keys on each real message box that shows, and
// keeps each box's text; keys are given before the command that shows them.
class BoxKeys {
public:
    BoxKeys()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || keys.isEmpty())
                return;
            titles << box->windowTitle();
            texts << box->text();
            QTest::keyClick(box, keys.takeFirst());
        });
        m_timer.start();
    }
    QList<Qt::Key> keys;
    QStringList titles, texts;

private:
    QTimer m_timer;
};

} // namespace zk::testing
