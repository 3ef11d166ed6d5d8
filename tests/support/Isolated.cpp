#include "Isolated.h"

#include "Services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWindow>

namespace zk::testing {

// A widget's window is named after the widget, with "Window" added by Qt.
static QString windowName(const QWindow *w)
{
    const QString name = w->objectName();
    return name.endsWith(QLatin1String("Window")) ? name.chopped(6) : name;
}

void Isolated::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("system")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", path(QStringLiteral("cache")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit()); // the last page and the recovery file
    qputenv("HOME", folder(QStringLiteral("home")).chopped(1).toLocal8Bit()); // no real browser bookmarks
    registry = std::make_unique<FileRegistry>(FileRegistry::defaultFiles());
    Services &s = services();
    s.registry = registry.get();
    s.prompts = &prompts;
    s.shell = &shell;
    s.help = &help;
    s.media = &media;
    s.accountFullName = [this] { return accountName; };
}

void Isolated::TearDown()
{
    if (qApp) {
        QGuiApplication::processEvents();
        for (QWindow *w : QGuiApplication::topLevelWindows())
            if (w->isVisible())
                ADD_FAILURE() << "a window was left open: " << windowName(w).toStdString();
    }
    if (!prompts.allAnswersUsed())
        ADD_FAILURE() << "scripted answers were left unused: the prompts they stood for never came";
    services() = Services{};
}

QString Isolated::folder(const QString &relative) const
{
    const QString p = path(relative);
    QDir().mkpath(p);
    return p.endsWith(u'/') ? p : p + u'/';
}

QString Isolated::programFolderWithBadge() const
{
    const QString app = folder(QStringLiteral("program"));
    QDir().mkpath(app + QStringLiteral("grafika/animgifs"));
    QFile::copy(QStringLiteral(ZK_SOURCE_DIR "/resources/grafika/animgifs/zen_anim.gif"),
                app + QStringLiteral("grafika/animgifs/zen_anim.gif"));
    return app;
}

void Isolated::writeFile(const QString &p, const QByteArray &content) const
{
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << p.toStdString();
    f.write(content);
}

QByteArray readFile(const QString &p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace zk::testing
