#pragma once

class QApplication;

namespace zk {

// For tests that drive the real program by real keys: with ZENTAREK_UI_TRACE
// set, every focus change, every window shown or hidden and every status bar
// message is written to stderr as one "zentarek-ui ..." line, so the test
// sees where each key went without reading pixels.
namespace UiTrace {
void install(QApplication &app);
}

} // namespace zk
