#pragma once

#include "Manifest.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace zk {

// The files of a publication shared by its connections, in stages: a file
// of the next stage is handed out only once every file of this one has
// arrived (pictures and sounds, then pages, then the start page alone), so
// the live page never points at what is not there yet.
class SendQueue {
public:
    struct Done {
        LocalFile file;
        bool ok = false;
        QString reason; // why it failed, in Polish
        int connection = 0;
    };

    explicit SendQueue(QList<QList<LocalFile>> stages) : m_stages(std::move(stages)) {}

    // The next file; nothing when all are out or the run stops. With
    // `mayWait` (a second connection's thread) it waits for the stage to
    // finish; without it (the window's thread) `*later` says to ask again.
    std::optional<LocalFile> next(bool mayWait, bool *later = nullptr);
    void finished(Done done);
    // A connection could not join (the server allows fewer): it takes nothing.
    void stop();
    bool stopped() const;
    // What arrived or failed since the last call, for the window's thread to report.
    QList<Done> takeFinished();
    // The window's thread between its checks: until something changes (or
    // `until` holds), or `ms`.
    void waitForChange(int ms, const std::function<bool()> &until = {});
    // Something outside the queue changed (a connection finished its part).
    void wake();

private:
    bool stageOpen() const; // caller holds the lock
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<QList<LocalFile>> m_stages;
    qsizetype m_stage = 0, m_taken = 0, m_done = 0;
    bool m_stopped = false;
    QList<Done> m_finished;
};

} // namespace zk
