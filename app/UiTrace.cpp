#include "UiTrace.h"

#include "Glyphs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QStatusBar>
#include <QWidget>

#include <cstdio>

namespace zk::UiTrace {

namespace {

void write(const char *what, const QString &text)
{
    std::fprintf(stderr, "zentarek-ui %s %s\n", what, text.simplified().toUtf8().constData());
    std::fflush(stderr);
}

// "Window/Page/Control": the names from the window down, unnamed levels left out.
QString pathOf(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("-");
    QStringList names;
    for (const QWidget *w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (!w->objectName().isEmpty())
            names.prepend(w->objectName());
    names.prepend(QString::fromLatin1(widget->window()->metaObject()->className()));
    return names.join(u'/');
}

// Where a named button shows on the screen, so that a test can point at it with the mouse.
void tellPlace(const QWidget *widget)
{
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    if (!button || widget->objectName().isEmpty())
        return;
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    // With the width its caption takes in its font, so a test can tell whether it fits.
    const QString caption = shownCaption(button->text());
    write("place", QStringLiteral("%1 %2 %3 %4 %5 text %6")
                       .arg(pathOf(widget)).arg(at.x()).arg(at.y()).arg(widget->width()).arg(widget->height())
                       .arg(widget->fontMetrics().horizontalAdvance(caption)));
}

class Watcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto type = event->type();
        if (type != QEvent::Show && type != QEvent::Hide)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && !widget->isWindow() && type == QEvent::Show)
            tellPlace(widget);
        if (!widget || !widget->isWindow())
            return false;
        write(type == QEvent::Show ? "shown" : "hidden", pathOf(widget) + u' ' + widget->windowTitle());
        if (type == QEvent::Show)
            for (QStatusBar *bar : widget->findChildren<QStatusBar *>())
                if (!bar->property("zkTraced").toBool()) {
                    bar->setProperty("zkTraced", true);
                    connect(bar, &QStatusBar::messageChanged, this, [](const QString &m) { write("status", m); });
                    if (!bar->currentMessage().isEmpty()) // said before the window was shown
                        write("status", bar->currentMessage());
                }
        return false;
    }
};

} // namespace

void install(QApplication &app)
{
    if (!qEnvironmentVariableIsSet("ZENTAREK_UI_TRACE"))
        return;
    app.installEventFilter(new Watcher(&app));
    QObject::connect(&app, &QApplication::focusChanged, &app,
                     [](QWidget *, QWidget *now) { write("focus", pathOf(now)); });
}

} // namespace zk::UiTrace
