#pragma once

#include "ProjectFile.h"

#include <QLockFile>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <mutex>

namespace zk {

// Where the page outlives the program: the last page (kept at every close,
// named project or not) and the recovery file written while the user works,
// in the per-user data folder (XDG_DATA_HOME honoured).
struct SessionFiles {
    QString folder; // ends with "/"
    QString lastPage;
    QString recovery;
    static SessionFiles standard();
    // The recovery file of the window in slot `n`: 0 is the first window's.
    QString recoveryOf(int n) const;
};

// Which recovery file a window writes: the first one no running window
// holds. A file left in a slot nobody holds is a crashed window's page.
class SessionSlot {
public:
    explicit SessionSlot(const SessionFiles &files);
    int number() const { return m_number; }
    const QString &recoveryFile() const { return m_recovery; }
    // The first window: it keeps and brings back the last page.
    bool first() const { return m_number == 0; }
    // Why no slot could be held ("" when one is): the data folder cannot be written.
    const QString &problem() const { return m_problem; }

private:
    int m_number = 0;
    QString m_recovery;
    std::unique_ptr<QLockFile> m_lock;
    QString m_problem;
};

// In the last-page and recovery files: the named project the page belongs to.
inline const QString SessionProjectKey = QStringLiteral("projekt");

// Writes snapshots of the page to one file, one after another, on a thread
// of its own, so that typing never waits for the disk.
class RecoveryWriter {
public:
    // Called on the writer's thread with the Polish reason of a failed write.
    using FailureSink = std::function<void(const QString &reason)>;
    explicit RecoveryWriter(QString file, FailureSink failed = {});
    ~RecoveryWriter();

    const QString &file() const { return m_file; }
    // Queued; returns at once. `projectPath` is "" for an untitled page.
    void write(const Project &project, const QString &projectPath);
    bool waitForDone(int milliseconds);
    // Removes the file: the page is safe elsewhere. A snapshot queued or
    // being written at that moment never puts it back, even if the disk
    // keeps it longer than the wait.
    void discard();
    int written() const { return m_written.loadAcquire(); }

private:
    QString m_file;
    FailureSink m_failed;
    QThreadPool m_pool;
    QAtomicInt m_written;
    QAtomicInt m_generation; // raised by every discard: older snapshots are void
    std::timed_mutex m_writing;
};

// Writes `project` with the name of the project it belongs to.
std::optional<QString> writeSessionFile(const Project &project, const QString &projectPath, const QString &file);

} // namespace zk
