#pragma once

class QWidget;

namespace zk {

// Start-up timing for the benchmark: with ZENTAREK_STARTUP_TRACE set, each
// mark prints "zentarek-startup <name> <wall-clock ns>" to stderr; with the
// value "quit" the program ends right after the main window's first paint.
namespace StartupTrace {
void mark(const char *name);
void watchFirstPaint(QWidget *window);
} // namespace StartupTrace

} // namespace zk
