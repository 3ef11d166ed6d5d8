#include "FileRegistry.h"
#include "HelpController.h"
#include "Kreator.h"
#include "Messages.h"
#include "QtHelpViewer.h"
#include "QtPrompts.h"
#include "Run.h"
#include "Services.h"
#include "Shell.h"
#include "SoundPlayer.h"
#include "StartupTrace.h"
#include "UiTrace.h"
#include "ZentarekApplication.h"

#include <QFont>

int main(int argc, char *argv[])
{
    zk::ZentarekApplication app(argc, argv);
    zk::StartupTrace::mark("qapplication");
    app.installPolishTranslation();
    QFont font = QApplication::font();
    font.setPointSizeF(8.5);
    QApplication::setFont(font);

    zk::FileRegistry registry(zk::FileRegistry::defaultFiles());
    zk::QtPrompts prompts;
    zk::DesktopShell shell;
    zk::QtHelpViewer help;
    zk::SoundPlayer media;
    zk::services().registry = &registry;
    zk::services().prompts = &prompts;
    zk::services().shell = &shell;
    zk::services().help = &help;
    zk::services().media = &media;
    app.installEventFilter(new zk::HelpController(&app));
    zk::UiTrace::install(app);

    auto *splash = new zk::TRunDlg;
    splash->showNow();
    zk::StartupTrace::mark("splash");
    int result = 0;
    {
        zk::TKreatorDlg window(QApplication::applicationDirPath());
        zk::StartupTrace::mark("formcreate");
        zk::StartupTrace::watchFirstPaint(&window);
        delete splash;
        window.show();
        result = app.exec();
    }
    return result;
}
