// Typing into one very long line: the editor (with its HTML highlighting,
// without and with word wrap) beside Qt's plain QPlainTextEdit holding the
// same line. For each: the time from a key press to the repainted editor,
// per key (median and worst of 30 keys typed in the middle of the line, from
// 100 ms after the line was shown; the processor time of that pause is shown
// beside the load), and the processor time used in 3 s of doing nothing
// afterwards (the caret blinks; nothing else should run).
//
//     QT_QPA_PLATFORM=offscreen build/bench/bench_long_line [megabytes] [only the rows with this in their name]
#include "THtmlMemo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace zk;

static QString longLine(qint64 bytes)
{
    const QString piece = QString::fromUtf8("<B>Zażółć</B> gęślą <A HREF=\"strona.html\">jaźń</A> &amp; <I>tekst</I> ");
    QString line;
    line.reserve(bytes + piece.size());
    while (line.toUtf8().size() < bytes)
        line += piece.repeated(1024);
    return line.left(int(bytes));
}

static double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Result {
    double loadMs = 0, putOffCpuMs = 0, medianMs = 0, worstMs = 0, idleCpuMs = 0;
};

static Result measure(QPlainTextEdit &editor, const QString &line)
{
    Result r;
    editor.resize(700, 450);
    editor.show();
    QElapsedTimer t;
    t.start();
    editor.setPlainText(line);
    editor.repaint();
    QCoreApplication::processEvents();
    r.loadMs = t.nsecsElapsed() / 1e6;
    // Nobody types within 100 ms of a paste or an opened file (a fast typist
    // leaves about 125 ms between keys): what the editor puts off that long
    // is not a key's cost. Work put off longer still lands in the keys.
    const double beforePause = cpuSeconds();
    QEventLoop pause;
    QTimer::singleShot(100, &pause, &QEventLoop::quit);
    pause.exec();
    r.putOffCpuMs = (cpuSeconds() - beforePause) * 1000;
    QTextCursor c(editor.document());
    c.setPosition(int(line.size() / 2));
    editor.setTextCursor(c);
    editor.setFocus();
    std::vector<double> keys;
    for (int i = 0; i < 30; ++i) {
        t.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(&editor, &press);
        QApplication::sendEvent(&editor, &release);
        editor.viewport()->repaint();
        QCoreApplication::processEvents();
        keys.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(keys.begin(), keys.end());
    r.medianMs = keys[keys.size() / 2];
    r.worstMs = keys.back();
    const double before = cpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(3000, &idle, &QEventLoop::quit);
    idle.exec();
    r.idleCpuMs = (cpuSeconds() - before) * 1000;
    editor.hide();
    return r;
}

static const char *only = nullptr;

static void run(const char *name, QPlainTextEdit &editor, const QString &line)
{
    if (only && !std::strstr(name, only))
        return;
    const Result r = measure(editor, line);
    std::printf("%-28s load %5.0f ms + %4.0f ms CPU put off   key: median %6.1f ms, worst %6.1f ms   idle 3 s: %4.0f ms CPU\n",
                name, r.loadMs, r.putOffCpuMs, r.medianMs, r.worstMs, r.idleCpuMs);
    std::fflush(stdout);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 1.0;
    only = argc > 2 ? argv[2] : nullptr;
    const QString line = longLine(qint64(megabytes * 1048576));
    std::printf("one line of %.1f MB (goal: under 100 ms per key, nothing running while idle)\n", megabytes);
    {
        QPlainTextEdit plain;
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        run("QPlainTextEdit, no wrap", plain, line);
    }
    {
        QPlainTextEdit plain;
        run("QPlainTextEdit, word wrap", plain, line);
    }
    {
        THtmlMemo memo;
        run("THtmlMemo, no wrap option", memo, line);
    }
    {
        THtmlMemo memo;
        memo.setWordWrap(true);
        run("THtmlMemo, word wrap option", memo, line);
    }
    return 0;
}
