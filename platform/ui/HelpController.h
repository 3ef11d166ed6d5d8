#pragma once

#include <QObject>

namespace zk {

// Application-wide help keys: F1 on a control (or a highlighted menu
// item) pops up its topic at the control's top-left corner; a click in
// What's This mode (the title bar's "?" button, or Shift+F1) does the same.
class HelpController : public QObject {
    Q_OBJECT
public:
    explicit HelpController(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace zk
