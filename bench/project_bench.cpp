// Projects with a 5 MB main text and 1,000 links: writing and reading the
// file, opening it into the window and saving it from there; then the
// longest stall of the GUI thread while keys are typed into that text and
// the recovery file is written every two seconds.
//
//     QT_QPA_PLATFORM=offscreen build/bench/bench_project
#include "FileRegistry.h"
#include "Kreator.h"
#include "ProjectFile.h"
#include "QtPrompts.h"
#include "Services.h"
#include "Session.h"
#include "THtmlMemo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace zk;

namespace {

Project bigProject()
{
    Project p;
    for (int i = 0; i < 1000; ++i)
        p.page.Grid_Uklad_Odnosniki.append({QStringLiteral("Odnośnik %1").arg(i), QStringLiteral("http://example.pl/%1").arg(i)});
    p.page.Edit_Nazwa = QStringLiteral("index.html");
    while (p.mainText.size() < 5 * 1024 * 1024)
        p.mainText += QStringLiteral("<P>Zażółć gęślą jaźń, <B>pogrubione</B> i <A HREF=\"strona.html\">odnośnik</A>.\n");
    return p;
}

// `after`, untimed, follows each run.
double medianMs(int runs, const std::function<void()> &work, const std::function<void()> &after = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (after)
            after();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A timer firing every `everyMs`: the longest time the GUI thread did not
// get to it is the longest stall.
class StallWatch {
public:
    explicit StallWatch(int everyMs)
    {
        m_since.start();
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            m_worst = std::max(m_worst, m_since.nsecsElapsed() / 1e6);
            m_since.restart();
        });
        m_tick.start(everyMs);
    }
    double worstMs() const { return std::max(m_worst, m_since.nsecsElapsed() / 1e6); }

private:
    QTimer m_tick;
    QElapsedTimer m_since;
    double m_worst = 0;
};

// Types a key every 40 ms for `seconds`, watching for stalls every 5 ms.
double longestStallWhileTyping(TKreatorDlg &window, int seconds)
{
    QElapsedTimer clock;
    clock.start();
    const StallWatch watch(5);
    QTimer typing;
    int typed = 0;
    QObject::connect(&typing, &QTimer::timeout, [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(window.Edytorek, &press);
        ++typed;
    });
    typing.start(40);
    while (clock.elapsed() < seconds * 1000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("  %d keys typed, %d recovery files written\n", typed, window.recoveryWriter().written());
    return watch.worstMs();
}

// The rest of a long text arrives between events: when it is all in, and the
// longest time events waited meanwhile.
void reportArrival(TKreatorDlg &window, const QString &file)
{
    window.openProject(file);
    QElapsedTimer clock;
    clock.start();
    const StallWatch watch(1);
    while (window.Edytorek->isLoading())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("  the whole text in after %.1f ms more; events waited at most %.1f ms meanwhile\n",
                clock.nsecsElapsed() / 1e6, watch.worstMs());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir root;
    qputenv("XDG_DATA_HOME", (root.path() + QStringLiteral("/data")).toLocal8Bit());
    FileRegistry registry({root.path() + QStringLiteral("/user.ini"), root.path() + QStringLiteral("/machine.ini")});
    QtPrompts prompts;
    services().registry = &registry;
    services().prompts = &prompts;

    const Project project = bigProject();
    const QString file = root.path() + QStringLiteral("/duzy.zentarek");
    std::printf("project: %lld characters of text, %lld links\n", qint64(project.mainText.size()),
                qint64(project.page.Grid_Uklad_Odnosniki.size()));
    std::printf("write file     %7.1f ms (goal < 100)\n", medianMs(5, [&] { writeProjectFile(project, file); }));
    std::printf("read file      %7.1f ms (goal < 100)\n", medianMs(5, [&] { readProjectFile(file); }));

    // Two files taken in turn, so that each open and save changes the list
    // of recent projects in the settings file, as a first open does.
    const QString other = root.path() + QStringLiteral("/drugi.zentarek");
    QFile::copy(file, other);
    int turn = 0;
    const auto next = [&] { return ++turn % 2 ? other : file; };
    TKreatorDlg window(QApplication::applicationDirPath());
    window.show();
    std::printf("open in window %7.1f ms (goal < 100): the window answers, the text's start is shown\n",
                medianMs(5, [&] { window.openProject(next()); }, [&] { window.Edytorek->finishLoading(); }));
    reportArrival(window, next());
    std::printf("save in window %7.1f ms (goal < 100)\n", medianMs(5, [&] { window.saveProjectTo(next()); }));

    window.Edytorek->setFocus();
    std::printf("typing for 10 s with the recovery file written every %d ms:\n", TKreatorDlg::ChangeCheckDelay);
    const double stall = longestStallWhileTyping(window, 10);
    std::printf("  longest GUI-thread stall %.1f ms\n", stall);
    window.recoveryWriter().waitForDone(10000);
    window.hide();
    return 0;
}
