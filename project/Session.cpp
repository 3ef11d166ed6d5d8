#include "Session.h"

#include "CheckedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zk {

SessionFiles SessionFiles::standard()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = data + QStringLiteral("/zentarek/");
    return {folder, folder + QStringLiteral("ostatnia-strona.zentarek"), folder + QStringLiteral("odzyskiwanie.zentarek")};
}

std::optional<QString> writeSessionFile(const Project &project, const QString &projectPath, const QString &file)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return QStringLiteral("nie można utworzyć folderu \"%1\"").arg(QFileInfo(file).absolutePath());
    Project tagged = project;
    if (projectPath.isEmpty())
        tagged.kept.remove(SessionProjectKey);
    else
        tagged.kept.insert(SessionProjectKey, projectPath);
    // Files of the project's folder stay relative to it, as in the project itself.
    const QString folder = projectPath.isEmpty() ? QString() : QFileInfo(projectPath).absolutePath();
    return writeFileChecked(file, projectToJson(tagged, folder), FileAccess::OwnerOnly);
}

RecoveryWriter::RecoveryWriter(QString file) : m_file(std::move(file))
{
    m_pool.setMaxThreadCount(1); // one after another: a later snapshot is never overwritten by an earlier one
}

RecoveryWriter::~RecoveryWriter()
{
    m_pool.waitForDone(10000);
}

void RecoveryWriter::write(const Project &project, const QString &projectPath)
{
    m_pool.start([this, project, projectPath] {
        if (!writeSessionFile(project, projectPath, m_file))
            m_written.ref();
    });
}

bool RecoveryWriter::waitForDone(int milliseconds)
{
    return m_pool.waitForDone(milliseconds);
}

void RecoveryWriter::discard()
{
    m_pool.waitForDone(10000);
    QFile::remove(m_file);
}

} // namespace zk
