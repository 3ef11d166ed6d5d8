#pragma once

#include <QSpinBox>

namespace zk {

// A number field with its up-down arrows; the text field inside carries
// its own name, so the form can name both halves as the design does.
class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    SpinEdit(int minimum, int maximum, int value, QWidget *parent = nullptr);
    void setEditName(const QString &name);
};

} // namespace zk
