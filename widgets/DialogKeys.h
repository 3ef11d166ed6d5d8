#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>

class QDialog;
class QWidget;

namespace zk {

// Every dialog of the program opens centred on the screen.
void centerOnScreen(QWidget *window);

// Puts the controls into the Tab order in the order given, after one another.
void orderTabStops(std::initializer_list<QWidget *> controls);
// The same for a dialog's controls, whose first one gets the focus the
// dialog opens with.
void setTabChain(std::initializer_list<QWidget *> controls);

// The dialogs' keyboard rule: with no modifier held, Enter acts as OK and
// Escape as Cancel, whichever control has the focus (an editable combo box
// included); the key is consumed. Any other key, or either with a
// modifier, goes to the focused control as usual.
class DialogKeys : public QObject {
    Q_OBJECT
public:
    // With `consume` false the key goes on to the focused control afterwards.
    DialogKeys(QDialog *dialog, std::function<void()> onEnter, std::function<void()> onEscape, bool consume = true);
    ~DialogKeys() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QDialog *m_dialog;
    std::function<void()> m_onEnter;
    std::function<void()> m_onEscape;
    bool m_consume;
    QEvent *m_handled = nullptr; // the key press acted on, while it travels to the parents
};

} // namespace zk
