#include "CheckedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zk {
namespace {

int openFile(const char *path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}

const FileCalls SystemCalls = {openFile, ::write, ::fdatasync, ::fsync, ::close, ::rename};
FileCalls g_calls = SystemCalls;

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// Where the bytes really go: a link is followed, as an editor saving through it would.
QString resolvedTarget(const QString &target)
{
    const QFileInfo info(target);
    if (!info.isSymLink())
        return target;
    const QString pointed = info.symLinkTarget();
    return pointed.isEmpty() ? target : pointed;
}

QString temporaryNameFor(const QString &target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.'
           + QString::number(QRandomGenerator::global()->generate() & 0xffffff, 16) + QStringLiteral(".zapis");
}

// A folder whose file system cannot sync folders (EINVAL) counts as synced.
int syncFolderOf(const QString &path)
{
    const int fd = g_calls.open(encoded(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    const int synced = g_calls.fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
    g_calls.close(fd);
    return synced;
}

} // namespace

QString systemErrorText(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("brak miejsca na dysku");
    case EDQUOT:
        return QStringLiteral("przekroczony przydział miejsca na dysku");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak uprawnień");
    case EROFS:
        return QStringLiteral("dysk jest tylko do odczytu");
    case EIO:
        return QStringLiteral("błąd odczytu lub zapisu dysku");
    case ENOENT:
        return QStringLiteral("folder nie istnieje");
    case ENOTDIR:
        return QStringLiteral("część ścieżki nie jest folderem");
    case EISDIR:
        return QStringLiteral("w tym miejscu jest folder");
    case ENAMETOOLONG:
        return QStringLiteral("nazwa pliku jest za długa");
    case EFBIG:
        return QStringLiteral("plik jest za duży dla tego dysku");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("otwarto zbyt wiele plików");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("plik jest zajęty");
    case EEXIST:
        return QStringLiteral("plik już istnieje");
    case ECONNREFUSED:
        return QStringLiteral("serwer odmówił połączenia (nic nie nasłuchuje na tym porcie)");
    case ECONNRESET:
    case EPIPE:
        return QStringLiteral("połączenie zostało zerwane");
    case ETIMEDOUT:
        return QStringLiteral("serwer nie odpowiedział na czas");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return QStringLiteral("serwer jest nieosiągalny w sieci");
    case ENETDOWN:
        return QStringLiteral("sieć jest niedostępna");
    case ECANCELED:
        return QStringLiteral("przerwane przez użytkownika");
    default:
        break;
    }
    const char *name = strerrorname_np(error);
    return QStringLiteral("błąd systemu %1 (nr %2)").arg(QString::fromLatin1(name ? name : "?")).arg(error);
}

const FileCalls &systemFileCalls()
{
    return SystemCalls;
}

FileCalls setFileCalls(const FileCalls &calls)
{
    const FileCalls previous = g_calls;
    g_calls = calls;
    return previous;
}

CheckedFile::CheckedFile(QString target, FileAccess access)
    : m_target(resolvedTarget(target)), m_access(access)
{
}

CheckedFile::~CheckedFile()
{
    cancel();
}

bool CheckedFile::fail(int error)
{
    return fail(systemErrorText(error));
}

bool CheckedFile::fail(const QString &reason)
{
    m_reason = reason;
    cancel();
    return false;
}

bool CheckedFile::open()
{
    cancel();
    m_reason.clear();
    m_written = 0;
    struct stat old {};
    const bool replaces = ::stat(encoded(m_target).constData(), &old) == 0;
    if (replaces && S_ISDIR(old.st_mode))
        return fail(EISDIR);
    const mode_t mode = m_access == FileAccess::OwnerOnly ? 0600 : 0666; // the umask applies
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        m_temporary = temporaryNameFor(m_target);
        m_fd = g_calls.open(encoded(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd < 0 && errno != EEXIST) {
            const int error = errno;
            m_temporary.clear();
            return fail(error);
        }
    }
    if (m_fd < 0)
        return fail(EEXIST);
    if (m_access == FileAccess::Normal && replaces && S_ISREG(old.st_mode))
        ::fchmod(m_fd, old.st_mode & 07777);
    return true;
}

bool CheckedFile::write(const char *data, qint64 size)
{
    if (m_fd < 0)
        return m_reason.isEmpty() ? fail(EBADF) : false;
    while (size > 0) {
        const ssize_t done = g_calls.write(m_fd, data, size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) // a write of nothing would loop for ever; the disk is full in all but name
            return fail(done < 0 ? errno : ENOSPC);
        data += done;
        size -= done;
        m_written += done;
    }
    return true;
}

void CheckedFile::startWriteback()
{
    if (m_fd >= 0)
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE); // an optimisation: commit() syncs all the same
}

std::optional<QString> syncFolder(const QString &folder)
{
    if (const int error = syncFolderOf(folder + QStringLiteral("/.")))
        return systemErrorText(error);
    return std::nullopt;
}

bool CheckedFile::commit(FolderSync folder)
{
    if (m_fd < 0)
        return m_reason.isEmpty() ? fail(EBADF) : false;
    if (g_calls.fdatasync(m_fd) != 0)
        return fail(errno);
    struct stat written {};
    if (::fstat(m_fd, &written) != 0)
        return fail(errno);
    if (qint64(written.st_size) != m_written)
        return fail(QStringLiteral("na dysku jest %1 z %2 bajtów").arg(qint64(written.st_size)).arg(m_written));
    const int fd = m_fd;
    m_fd = -1;
    if (g_calls.close(fd) != 0)
        return fail(errno);
    if (g_calls.rename(encoded(m_temporary).constData(), encoded(m_target).constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    if (folder == FolderSync::Later)
        return true;
    // The new file is in place; only a folder that cannot be synced is left to say.
    if (const int error = syncFolderOf(m_target)) {
        m_reason = systemErrorText(error);
        return false;
    }
    return true;
}

void CheckedFile::cancel()
{
    if (m_fd >= 0) {
        g_calls.close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(encoded(m_temporary).constData());
        m_temporary.clear();
    }
}

std::optional<QString> writeFileChecked(const QString &target, const QByteArray &bytes, FileAccess access)
{
    CheckedFile file(target, access);
    if (file.open() && file.write(bytes) && file.commit())
        return std::nullopt;
    return file.reason();
}

} // namespace zk
