#include "FuzzTargets.h"

#include "Bookmarks.h"
#include "Decoders.h"
#include "FileRegistry.h"
#include "HelpFile.h"
#include "References.h"
#include "WWWBtn97.h"
#include "ftp.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace zk::fuzz {

namespace {

QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The readers that take a path get the input as a file.
QString asFile(const uint8_t *data, size_t size, const char *name)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(bytes(data, size));
    return path;
}

int gif(const uint8_t *data, size_t size)
{
    const DecodeResult r = decodeGif(asFile(data, size, "in.gif"));
    if (r.ok() && r.image.width() * qint64(r.image.height()) > MaxPicturePixels)
        std::abort(); // the size limit must hold for every picture it accepts
    return 0;
}

int jpeg(const uint8_t *data, size_t size)
{
    const DecodeResult r = decodeJpeg(asFile(data, size, "in.jpg"));
    if (r.ok() && r.image.width() * qint64(r.image.height()) > MaxPicturePixels)
        std::abort();
    return 0;
}

int settings(const uint8_t *data, size_t size)
{
    // What it writes back must read back the same.
    const FileRegistry::Tree tree = FileRegistry::parse(QString::fromUtf8(bytes(data, size)));
    const QString written = FileRegistry::format(tree);
    if (FileRegistry::format(FileRegistry::parse(written)) != written)
        std::abort();
    return 0;
}

int shortcut(const uint8_t *data, size_t size)
{
    readShortcutUrl(asFile(data, size, "in.url"));
    return 0;
}

int bookmarks(const uint8_t *data, size_t size)
{
    readChromiumBookmarks(asFile(data, size, "Bookmarks"));
    return 0;
}

int help(const uint8_t *data, size_t size)
{
    const HelpFile file = HelpFile::parse(QString::fromUtf8(bytes(data, size)));
    for (const HelpTopic &t : file.topics())
        for (int context : t.contexts)
            if (!file.topic(context))
                std::abort(); // every listed number finds its topic
    return 0;
}

int pasv(const uint8_t *data, size_t size)
{
    quint32 address = 0;
    quint16 port = 0;
    T_FTP::parsePassiveReply(QString::fromLatin1(bytes(data, size)), address, port);
    return 0;
}

// The bytes as a server's replies on the control connection, read until
// the client gives up on them: framing, multi-line replies and the limits.
int ftpReply(const uint8_t *data, size_t size)
{
    int pair[2];
    if (size > 60000 || socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    if (size && write(pair[1], data, size) != ssize_t(size))
        std::abort();
    close(pair[1]);
    T_FTP ftp;
    ftp.TimeoutMs = 200;
    ftp.ControlSocket = pair[0];
    // Refusals keep the session and the next reply is read; the end of the
    // bytes, or a reply that breaks the framing, drops it.
    for (int i = 0; i < 1000 && ftp.ControlSocket != net::NoSocket; ++i) {
        try {
            ftp.ReadReply();
        } catch (const ETcpIpError &) {
        }
    }
    if (ftp.ControlSocket != net::NoSocket)
        close(pair[0]);
    return 0;
}

int references(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(bytes(data, size));
    for (const ReferenceSpan &span : referenceSpans(line)) {
        if (span.start < 0 || span.length < 0 || span.start + span.length > line.size())
            std::abort(); // a span outside the line would rewrite the wrong text
        classifyReference(line.mid(span.start, span.length));
    }
    return 0;
}

} // namespace

const NamedTarget Targets[] = {
    {"gif", gif},           {"jpeg", jpeg}, {"settings", settings}, {"shortcut", shortcut}, {"bookmarks", bookmarks},
    {"help", help},         {"pasv", pasv}, {"ftp_reply", ftpReply}, {"references", references},
};
const size_t TargetCount = sizeof(Targets) / sizeof(Targets[0]);

} // namespace zk::fuzz
