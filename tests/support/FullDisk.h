#pragma once

#include "CheckedFile.h"

#include <QString>

namespace zk::testing {

// Makes one call of the checked writer fail as a full disk does: the write
// call number `failingWrite` (counted from 0 over the whole process), or the
// data sync when `failingWrite` is -1. Restores the system's calls when it goes.
class InjectedDiskFull {
public:
    explicit InjectedDiskFull(int failingWrite, int error = ENOSPC);
    // Every write call from now on fails: a disk that stays full.
    static InjectedDiskFull always() { return InjectedDiskFull(0, ENOSPC, true); }
    ~InjectedDiskFull();
    InjectedDiskFull(const InjectedDiskFull &) = delete;
    InjectedDiskFull &operator=(const InjectedDiskFull &) = delete;
    // Whether the failure was reached (false: the writer needed fewer writes).
    bool happened() const;

private:
    InjectedDiskFull(int failingWrite, int error, bool andAfter);
    FileCalls m_previous;
};

// A file system of its own, `kilobytes` large, mounted by the test (tmpfs,
// as root only); `skipReason` says why there is none.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return m_mounted; }
    const QString &skipReason() const { return m_skipReason; }
    // The mount point, with a trailing "/".
    QString path(const QString &relative = {}) const { return m_folder + relative; }
    // Fills what is left with one file, so that the next write meets ENOSPC.
    void fill();
    // Frees the filler again.
    void unfill();

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_skipReason;
};

} // namespace zk::testing
