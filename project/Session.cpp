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
    const QByteArray json = projectToJson(tagged, folder);
    if (const QString problem = oversizeProblem(tagged, json.size()); !problem.isEmpty())
        return problem;
    return writeFileChecked(file, json, FileAccess::OwnerOnly);
}

QString SessionFiles::recoveryOf(int n) const
{
    return n == 0 ? recovery : folder + QStringLiteral("odzyskiwanie-%1.zentarek").arg(n + 1);
}

SessionSlot::SessionSlot(const SessionFiles &files)
{
    m_recovery = files.recovery;
    if (!QDir().mkpath(files.folder)) {
        m_problem = QStringLiteral("nie można utworzyć folderu \"%1\"").arg(files.folder);
        return;
    }
    constexpr int Slots = 64;
    for (int n = 0; n < Slots; ++n) {
        auto lock = std::make_unique<QLockFile>(files.recoveryOf(n) + QStringLiteral(".lock"));
        lock->setStaleLockTime(0); // only a dead process's lock is stale, however old a live one is
        if (lock->tryLock(0)) {
            m_number = n;
            m_recovery = files.recoveryOf(n);
            m_lock = std::move(lock);
            return;
        }
        if (lock->error() != QLockFile::LockFailedError) {
            m_problem = QStringLiteral("nie można zapisać w folderze \"%1\"").arg(files.folder);
            return;
        }
    }
    m_problem = QStringLiteral("otwarto zbyt wiele okien programu");
}

RecoveryWriter::RecoveryWriter(QString file, FailureSink failed) : m_file(std::move(file)), m_failed(std::move(failed))
{
    m_pool.setMaxThreadCount(1); // one after another: a later snapshot is never overwritten by an earlier one
}

RecoveryWriter::~RecoveryWriter()
{
    m_pool.waitForDone(10000);
}

void RecoveryWriter::write(const Project &project, const QString &projectPath)
{
    const int generation = m_generation.loadAcquire();
    m_pool.start([this, project, projectPath, generation] {
        std::lock_guard lock(m_writing);
        if (generation != m_generation.loadAcquire())
            return; // discarded while it waited
        const std::optional<QString> error = writeSessionFile(project, projectPath, m_file);
        if (generation != m_generation.loadAcquire()) {
            QFile::remove(m_file); // discarded while it was written: the close gave up waiting for it
            return;
        }
        if (!error)
            m_written.ref();
        else if (m_failed)
            m_failed(*error);
    });
}

bool RecoveryWriter::waitForDone(int milliseconds)
{
    return m_pool.waitForDone(milliseconds);
}

void RecoveryWriter::discard()
{
    m_generation.ref();
    // A write under way finishes first; one the disk holds longer removes the file itself.
    const bool waited = m_writing.try_lock_for(std::chrono::seconds(2));
    QFile::remove(m_file);
    if (waited)
        m_writing.unlock();
}

} // namespace zk
