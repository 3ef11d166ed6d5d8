#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace zk {

// Who may read a file the program writes.
enum class FileAccess {
    Normal,   // the user's umask decides; an existing file keeps its mode
    OwnerOnly // 0600: it holds a password or the user's unsaved work
};

// The one way to write a file that must not be lost. The bytes go into a
// temporary file beside the target, every write's result is checked, the
// data is synced and its size compared before the rename, and the folder is
// synced after it. Until commit() succeeds the old target is untouched; a
// failure removes the temporary file and leaves a Polish reason. (QSaveFile
// alone is not enough: with Qt 6.4 its commit() reports success after a
// buffered write hit a full disk and leaves a 0-byte file behind.)
class CheckedFile {
public:
    explicit CheckedFile(QString target, FileAccess access = FileAccess::Normal);
    ~CheckedFile();
    CheckedFile(const CheckedFile &) = delete;
    CheckedFile &operator=(const CheckedFile &) = delete;

    bool open();
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Asks the system to start writing the bytes out now, so that a batch of
    // files is written out together and each commit's sync finds little left.
    void startWriteback();
    // The folder's sync after the rename may be left to the caller, who then
    // syncs each folder once for a whole batch (syncFolder); the file counts
    // as kept only after that.
    enum class FolderSync { Now, Later };
    bool commit(FolderSync folder = FolderSync::Now);
    void cancel();

    const QString &target() const { return m_target; }
    // Why the last step failed, in Polish ("brak miejsca na dysku", ...).
    const QString &reason() const { return m_reason; }

private:
    bool fail(int error);
    bool fail(const QString &reason);

    QString m_target;
    QString m_temporary;
    FileAccess m_access;
    int m_fd = -1;
    qint64 m_written = 0;
    QString m_reason;
};

// Writes `bytes` as the whole of `target`; the reason when it failed.
std::optional<QString> writeFileChecked(const QString &target, const QByteArray &bytes,
                                        FileAccess access = FileAccess::Normal);

// Syncs the folder itself (its entries, after renames); the reason when it failed.
std::optional<QString> syncFolder(const QString &folder);

// A system error number as a short Polish reason; the uncommon ones by name.
QString systemErrorText(int error);

// The system calls the helper makes, replaceable so that a test can make any
// one of them fail (a full disk at the third write, say).
struct FileCalls {
    int (*open)(const char *path, int flags, mode_t mode);
    ssize_t (*write)(int fd, const void *data, size_t size);
    int (*fdatasync)(int fd);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char *from, const char *to);
};
const FileCalls &systemFileCalls();
// Replaces the calls for the whole process and gives the previous ones back.
FileCalls setFileCalls(const FileCalls &calls);

} // namespace zk
