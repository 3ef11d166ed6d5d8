// A minimal Qt 6 program: a QMainWindow holding a QTabWidget, which prints
// the wall-clock time of its first paint and quits, as zentarek does with
// ZENTAREK_STARTUP_TRACE=quit.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <cstdio>

static void mark(const char *name)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count();
    std::fprintf(stderr, "zentarek-startup %s %lld\n", name, static_cast<long long>(ns));
}

class Watcher : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [] {
                mark("firstpaint");
                QCoreApplication::quit();
            });
        }
        return false;
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    auto *tabs = new QTabWidget;
    for (const char *title : {"Ustawienia sekcji", "Atrybuty sekcji", "Główna sekcja"})
        tabs->addTab(new QLabel(QString::fromUtf8(title)), QString::fromUtf8(title));
    window.setCentralWidget(tabs);
    mark("formcreate");
    Watcher watcher;
    window.installEventFilter(&watcher);
    window.show();
    return app.exec();
}
