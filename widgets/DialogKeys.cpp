#include "DialogKeys.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>

#include <QScreen>
#include <QWindow>

namespace zk {

namespace {
void placeInTheMiddle(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect frame = window->frameGeometry();
    const QPoint topLeft = screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
    if (window->windowHandle() && window->isVisible())
        window->windowHandle()->setFramePosition(topLeft);
    else
        window->move(topLeft);
}

// The window manager's frame is known only once the window is shown: the
// window is centred again then, frame included, once.
class CentreWithFrame : public QObject {
public:
    explicit CentreWithFrame(QWidget *window) : QObject(window)
    {
        setObjectName(QStringLiteral("CentreWithFrame"));
        window->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && window->isVisible()
            && window->frameGeometry().size() != window->size()) {
            window->removeEventFilter(this);
            placeInTheMiddle(window);
            deleteLater();
        }
        return false;
    }
};
} // namespace

void centerOnScreen(QWidget *window)
{
    placeInTheMiddle(window);
    if (!window->findChild<CentreWithFrame *>(QStringLiteral("CentreWithFrame"), Qt::FindDirectChildrenOnly))
        new CentreWithFrame(window);
}

void orderTabStops(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *control : controls) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void setTabChain(std::initializer_list<QWidget *> controls)
{
    orderTabStops(controls);
    if (controls.size() > 0)
        (*controls.begin())->setFocus(Qt::OtherFocusReason);
}

DialogKeys::DialogKeys(QDialog *dialog, std::function<void()> onEnter, std::function<void()> onEscape, bool consume)
    : QObject(dialog), m_dialog(dialog), m_onEnter(std::move(onEnter)), m_onEscape(std::move(onEscape)), m_consume(consume)
{
    qApp->installEventFilter(this);
}

DialogKeys::~DialogKeys()
{
    qApp->removeEventFilter(this);
}

bool DialogKeys::eventFilter(QObject *watched, QEvent *event)
{
    // A key the focused control ignores travels on to its parents, and this
    // filter sees the same event at every step: it acts on it once. Any other
    // event (a new key press is always preceded by its shortcut check) ends
    // that key's journey.
    if (m_handled) {
        if (event == m_handled && event->type() == QEvent::KeyPress)
            return false;
        m_handled = nullptr;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != m_dialog)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_onEnter) {
        m_onEnter();
        m_handled = m_consume ? nullptr : event;
        return m_consume;
    }
    if (key->key() == Qt::Key_Escape && m_onEscape) {
        m_onEscape();
        m_handled = m_consume ? nullptr : event;
        return m_consume;
    }
    return false;
}

} // namespace zk
