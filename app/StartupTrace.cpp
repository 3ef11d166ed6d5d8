#include "StartupTrace.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace zk::StartupTrace {

static bool enabled()
{
    static const bool on = qEnvironmentVariableIsSet("ZENTAREK_STARTUP_TRACE");
    return on;
}

void mark(const char *name)
{
    if (!enabled())
        return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    std::fprintf(stderr, "zentarek-startup %s %lld\n", name, static_cast<long long>(ns));
    std::fflush(stderr);
}

namespace {
class FirstPaintWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After the paint has reached the screen, not before it.
            QTimer::singleShot(0, [] {
                mark("firstpaint");
                if (qEnvironmentVariable("ZENTAREK_STARTUP_TRACE") == QStringLiteral("quit"))
                    QCoreApplication::quit();
            });
            deleteLater();
        }
        return false;
    }
};
} // namespace

void watchFirstPaint(QWidget *window)
{
    if (enabled())
        window->installEventFilter(new FirstPaintWatcher(window));
}

} // namespace zk::StartupTrace
