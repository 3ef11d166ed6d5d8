#include "SpinEdit.h"

#include <QLineEdit>

namespace zk {

SpinEdit::SpinEdit(int minimum, int maximum, int value, QWidget *parent) : QSpinBox(parent)
{
    setRange(minimum, maximum);
    setValue(value);
    setAccelerated(true);
}

void SpinEdit::setEditName(const QString &name)
{
    lineEdit()->setObjectName(name);
}

} // namespace zk
