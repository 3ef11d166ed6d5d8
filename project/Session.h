#pragma once

#include "ProjectFile.h"

#include <QThreadPool>

namespace zk {

// Where the page outlives the program: the last page (kept at every close,
// named project or not) and the recovery file written while the user works,
// in the per-user data folder (XDG_DATA_HOME honoured).
struct SessionFiles {
    QString folder; // ends with "/"
    QString lastPage;
    QString recovery;
    static SessionFiles standard();
};

// In the last-page and recovery files: the named project the page belongs to.
inline const QString SessionProjectKey = QStringLiteral("projekt");

// Writes snapshots of the page to one file, one after another, on a thread
// of its own, so that typing never waits for the disk.
class RecoveryWriter {
public:
    explicit RecoveryWriter(QString file);
    ~RecoveryWriter();

    const QString &file() const { return m_file; }
    // Queued; returns at once. `projectPath` is "" for an untitled page.
    void write(const Project &project, const QString &projectPath);
    bool waitForDone(int milliseconds);
    // Waits for what is queued, then removes the file: the page is safe elsewhere.
    void discard();
    int written() const { return m_written.loadAcquire(); }

private:
    QString m_file;
    QThreadPool m_pool;
    QAtomicInt m_written;
};

// Writes `project` with the name of the project it belongs to.
std::optional<QString> writeSessionFile(const Project &project, const QString &projectPath, const QString &file);

} // namespace zk
