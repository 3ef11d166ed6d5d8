#include "ZentarekApplication.h"

#include "AppError.h"
#include "Messages.h"

#include <algorithm>

#include <QAbstractSpinBox>
#include <QFont>
#include <QComboBox>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
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

QFont programFont(const QFont &desktop)
{
    QFont font = desktop;
    const double size = desktop.pointSizeF() > 0 ? desktop.pointSizeF() : 10.0;
    font.setPointSizeF(8.5 * std::max(1.0, size / 10.0));
    return font;
}

static QWidget *ownerOf(QObject *receiver)
{
    auto *widget = qobject_cast<QWidget *>(receiver);
    return widget ? widget->window() : QApplication::activeWindow();
}

// Alt with a letter or digit reaches a text field only when no control owns
// it as its mnemonic; a field would type the letter (Qt inserts it), and the
// user, who meant a command, would not see the text change behind the focus.
// AltGr letters (ą, ę, ż...) are never plain ASCII, so they still type.
static bool isUnownedMnemonic(QObject *receiver, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers();
    if (!(mods & Qt::AltModifier) || (mods & (Qt::ControlModifier | Qt::MetaModifier)) || key->text().size() != 1)
        return false;
    const QChar c = key->text()[0];
    if (c.unicode() >= 128 || !c.isLetterOrNumber())
        return false;
    // An editable combo box holds the focus and hands keys to its line edit itself.
    const auto *combo = qobject_cast<QComboBox *>(receiver);
    return (combo && combo->isEditable()) || qobject_cast<QLineEdit *>(receiver) || qobject_cast<QPlainTextEdit *>(receiver)
           || qobject_cast<QTextEdit *>(receiver) || qobject_cast<QAbstractSpinBox *>(receiver);
}

bool ZentarekApplication::notify(QObject *receiver, QEvent *event)
{
    if (isUnownedMnemonic(receiver, event)) {
        event->accept(); // taken: it goes no further, not even to the window
        return true;
    }
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
