#include "SendQueue.h"

namespace zk {

bool SendQueue::stageOpen() const
{
    return m_stage < m_stages.size() && m_taken < m_stages[m_stage].size();
}

std::optional<LocalFile> SendQueue::next(bool mayWait, bool *later)
{
    std::unique_lock lock(m_mutex);
    if (later)
        *later = false;
    for (;;) {
        if (m_stopped)
            return std::nullopt;
        // A stage whose every file has arrived opens the next one.
        while (m_stage < m_stages.size() && m_done == m_stages[m_stage].size()) {
            ++m_stage;
            m_taken = m_done = 0;
        }
        if (m_stage >= m_stages.size())
            return std::nullopt;
        if (stageOpen())
            return m_stages[m_stage][m_taken++];
        if (!mayWait) {
            if (later)
                *later = true;
            return std::nullopt;
        }
        m_changed.wait(lock);
    }
}

void SendQueue::finished(Done done)
{
    {
        std::lock_guard lock(m_mutex);
        if (!done.ok)
            m_stopped = true; // one failure ends the run; the others finish their file
        ++m_done;
        m_finished << std::move(done);
    }
    m_changed.notify_all();
}

void SendQueue::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

bool SendQueue::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

QList<SendQueue::Done> SendQueue::takeFinished()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_finished, {});
}

void SendQueue::waitForChange(int ms, const std::function<bool()> &until)
{
    std::unique_lock lock(m_mutex);
    if (until)
        m_changed.wait_for(lock, std::chrono::milliseconds(ms), until);
    else
        m_changed.wait_for(lock, std::chrono::milliseconds(ms));
}

void SendQueue::wake()
{
    {
        std::lock_guard lock(m_mutex); // a waiter between its check and its sleep is not missed
    }
    m_changed.notify_all();
}

} // namespace zk
