#include "ZentarekApplication.h"

#include "AppError.h"
#include "Messages.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

namespace zk {

ZentarekApplication::ZentarekApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("zentarek"));
    setOrganizationName(QString());
    // Window titles are exactly the program's own; without this the
    // platform appends the application name to each of them.
    setApplicationDisplayName(QString());
}

static QWidget *ownerOf(QObject *receiver)
{
    auto *widget = qobject_cast<QWidget *>(receiver);
    return widget ? widget->window() : QApplication::activeWindow();
}

bool ZentarekApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError &e) {
        showErrorReport(e.text(), ownerOf(receiver));
    } catch (const std::exception &e) {
        showErrorReport(QString::fromUtf8(e.what()), ownerOf(receiver));
    }
    return true;
}

void ZentarekApplication::installPolishTranslation()
{
    auto *translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Polish), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        delete translator;
}

} // namespace zk
