#pragma once

#include <QSplashScreen>

namespace zk {

// The borderless start-up picture, shown while the main window is built.
class TRunDlg : public QSplashScreen {
    Q_OBJECT
public:
    explicit TRunDlg();
    // Shows the window and paints it at once: no events run until the
    // main window exists.
    void showNow();
};

} // namespace zk
