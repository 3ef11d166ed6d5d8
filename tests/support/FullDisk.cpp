#include "FullDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <sys/mount.h>
#include <unistd.h>

namespace zk::testing {
namespace {

std::atomic<int> g_writes{0};
std::atomic<int> g_failing{-2};
std::atomic<int> g_error{ENOSPC};
std::atomic<bool> g_happened{false};
std::atomic<bool> g_andAfter{false};

ssize_t failingWrite(int fd, const void *data, size_t size)
{
    const int call = g_writes.fetch_add(1);
    if (call == g_failing || (g_andAfter && g_failing >= 0 && call > g_failing)) {
        g_happened = true;
        errno = g_error;
        return -1;
    }
    return systemFileCalls().write(fd, data, size);
}

int failingSync(int fd)
{
    if (g_failing == -1) {
        g_happened = true;
        errno = g_error;
        return -1;
    }
    return systemFileCalls().fdatasync(fd);
}

} // namespace

InjectedDiskFull::InjectedDiskFull(int failing, int error) : InjectedDiskFull(failing, error, false)
{
}

InjectedDiskFull::InjectedDiskFull(int failing, int error, bool andAfter)
{
    g_andAfter = andAfter;
    g_writes = 0;
    g_failing = failing;
    g_error = error;
    g_happened = false;
    FileCalls calls = systemFileCalls();
    calls.write = failingWrite;
    calls.fdatasync = failingSync;
    m_previous = setFileCalls(calls);
}

InjectedDiskFull::~InjectedDiskFull()
{
    setFileCalls(m_previous);
    g_failing = -2;
}

bool InjectedDiskFull::happened() const
{
    return g_happened;
}

SmallDisk::SmallDisk(int kilobytes)
{
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("a small file system of its own needs root to be mounted");
        return;
    }
    m_folder = QDir::tempPath() + QStringLiteral("/zk-maly-dysk-%1-%2/").arg(::getpid()).arg(quintptr(this), 0, 16);
    QDir().mkpath(m_folder);
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0777";
    if (::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_skipReason = QStringLiteral("tmpfs could not be mounted here (errno %1)").arg(errno);
        QDir().rmdir(m_folder);
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (!m_mounted)
        return;
    ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    QDir().rmdir(m_folder);
}

void SmallDisk::fill()
{
    QFile filler(path(QStringLiteral(".wypelniacz")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QByteArray block(4096, 'z');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last partial block too, byte by byte, so that nothing is left.
    while (filler.write("z", 1) == 1 && filler.flush()) {
    }
}

void SmallDisk::unfill()
{
    QFile::remove(path(QStringLiteral(".wypelniacz")));
}

} // namespace zk::testing
