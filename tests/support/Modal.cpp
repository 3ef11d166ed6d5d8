#include "Modal.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace zk::testing {

void whenModal(std::function<void(QWidget *dialog)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog && ++*tries <= 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            act(dialog);
        else
            ADD_FAILURE() << "no dialog was shown";
    });
    timer->start();
}

} // namespace zk::testing
