#include "Run.h"

#include "Glyphs.h"

#include <QApplication>
#include <QPixmap>

namespace zk {

TRunDlg::TRunDlg()
    : QSplashScreen(resourcePixmap(QStringLiteral(":/splash.png")).copy(0, 0, 349, 329))
{
    setObjectName(QStringLiteral("TRunDlg"));
    setWindowTitle(QStringLiteral("Zentarek Light - Uruchamianie"));
    setFixedSize(349, 329);
}

void TRunDlg::showNow()
{
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace zk
