#include "PublishClient.h"

#include <QRegularExpression>
#include <QScopeGuard>

namespace zk {

void FtpPublishClient::logIn(const PublishSettings &settings)
{
    m_ftp.Async = settings.async;
    m_ftp.Hostname = settings.server;
    m_ftp.Username = settings.user;
    m_ftp.Password = settings.password;
    m_ftp.Security = settings.security;
    m_ftp.TrustedFingerprint = settings.trustedFingerprint;
    m_ftp.OnAuthenticated = authenticated;
    const auto reset = qScopeGuard([this] { m_ftp.OnAuthenticated = nullptr; });
    m_ftp.OpenSession();
}

void FtpPublishClient::send(QIODevice *file, const QString &remoteName, qint64 from)
{
    m_ftp.DataStream.clear();
    m_ftp.URI = remoteName;
    m_ftp.DataStream.device = file;
    m_ftp.Mode = tftp_upload;
    m_ftp.RestartAt = from;
    const auto reset = qScopeGuard([this] { m_ftp.RestartAt = 0; });
    m_ftp.Upload();
}

// A file this computer wrote there last time goes straight to RETR (a 550
// if someone removed it since); any other is asked for with SIZE first, the
// cheaper question when the answer is mostly no.
std::optional<QByteArray> FtpPublishClient::download(const QString &remoteName, qint64 limit, bool expected)
{
    qint64 size = 0;
    if (!expected) {
        size = m_ftp.RemoteSize(remoteName);
        if (size < 0)
            return std::nullopt; // not there (or a server that will not say: taken as not there)
        if (size > limit)
            throw ETcpIpError(QStringLiteral("%1 is larger than %2 bytes").arg(remoteName).arg(limit),
                              QStringLiteral("plik %1 na serwerze jest większy niż %2 bajtów").arg(remoteName).arg(limit));
    }
    m_ftp.DataStream.clear();
    m_ftp.URI = remoteName;
    m_ftp.Mode = tftp_download;
    m_ftp.DownloadLimit = limit; // stops a file larger than SIZE said, or one not asked about
    m_ftp.TransferSize = size;
    m_ftp.AskSizeFirst = false;
    const auto reset = qScopeGuard([this] {
        m_ftp.DownloadLimit = -1;
        m_ftp.AskSizeFirst = true;
        m_ftp.Mode = tftp_upload;
    });
    try {
        m_ftp.Download();
    } catch (const EProtocolError &e) {
        if ((m_ftp.ReplyCode == 550 || m_ftp.ReplyCode == 450) && !T_FTP::isSessionFailure(e))
            return std::nullopt; // not there, or gone between SIZE and RETR
        throw;
    }
    QByteArray bytes = m_ftp.DataStream.data;
    m_ftp.DataStream.clear();
    return bytes;
}

void FtpPublishClient::list(const QString &folder, ServerView &into)
{
    const bool facts = m_ftp.offersFacts();
    const QString path = folder.isEmpty() ? QStringLiteral(".") : folder;
    try {
        facts ? m_ftp.ListFacts(path) : m_ftp.ListDir(path);
    } catch (const EProtocolError &e) {
        // No such folder (pyftpdlib says 501 to MLSD): nothing in it. Taking
        // nothing is the safe side: a file not seen is sent, never deleted.
        const int code = m_ftp.ReplyCode;
        if ((code == 550 || code == 450 || code == 501) && !T_FTP::isSessionFailure(e))
            return;
        throw;
    }
    const QString prefix = folder.isEmpty() ? QString() : folder + u'/';
    for (const QString &line : std::as_const(m_ftp.Listing)) {
        const std::optional<ListedName> entry = parseListingLine(line, facts);
        if (!entry)
            continue;
        if (entry->folder)
            into.folders.insert(prefix + entry->name);
        else
            into.files.insert(prefix + entry->name, entry->size);
    }
}

namespace {
class OwnFtpClient : public FtpPublishClient {
public:
    explicit OwnFtpClient(std::unique_ptr<T_FTP> ftp) : FtpPublishClient(*ftp), m_own(std::move(ftp)) {}

private:
    std::unique_ptr<T_FTP> m_own;
};
} // namespace

std::unique_ptr<PublishClient> makeFtpClient(const T_FTP &like)
{
    auto ftp = std::make_unique<T_FTP>();
    ftp->TimeoutMs = like.TimeoutMs;
    ftp->Passive = like.Passive;
    return std::make_unique<OwnFtpClient>(std::move(ftp));
}

std::optional<ListedName> parseListingLine(const QString &line, bool facts)
{
    ListedName entry;
    if (facts) {
        // "type=file;size=123;modify=20261209120000; name": the name after the first space.
        const qsizetype space = line.indexOf(u' ');
        if (space < 0)
            return std::nullopt;
        entry.name = line.mid(space + 1);
        QString type;
        for (const QString &fact : line.left(space).split(u';', Qt::SkipEmptyParts)) {
            const QString key = fact.section(u'=', 0, 0).toLower();
            const QString value = fact.section(u'=', 1);
            if (key == QLatin1String("type"))
                type = value.toLower();
            else if (key == QLatin1String("size"))
                entry.size = value.toLongLong();
        }
        if (type == QLatin1String("dir"))
            entry.folder = true;
        else if (type != QLatin1String("file"))
            return std::nullopt; // cdir, pdir, links: not ours to count
    } else {
        // "-rw-r--r--   1 owner group   12345 Dec 09 12:00 name"
        const QStringList f = line.simplified().split(u' ');
        if (f.size() < 9 || (!line.startsWith(u'-') && !line.startsWith(u'd')))
            return std::nullopt;
        bool ok = false;
        entry.size = f[4].toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        entry.folder = line.startsWith(u'd');
        // The name is what follows the time or year field, spaces kept.
        static const QRegularExpression head(QStringLiteral("^\\S+\\s+\\S+\\s+\\S+\\s+\\S+\\s+\\d+\\s+\\S+\\s+\\S+\\s+\\S+\\s"));
        const QRegularExpressionMatch m = head.match(line);
        entry.name = m.hasMatch() ? line.mid(m.capturedEnd()) : f.mid(8).join(u' ');
    }
    if (entry.name.isEmpty() || entry.name == u'.' || entry.name == QLatin1String("..") || entry.name.contains(u'/'))
        return std::nullopt;
    if (entry.folder)
        entry.size = 0;
    else if (entry.size < 0)
        return std::nullopt;
    return entry;
}

void FtpPublishClient::forgetFile(QIODevice *file)
{
    if (m_ftp.DataStream.device == file)
        m_ftp.DataStream.device = nullptr;
}

// 500 to 504: the command is unknown or not implemented, whatever its argument.
bool FtpPublishClient::isUnsupported(const ETcpIpError &error) const
{
    const auto *reply = dynamic_cast<const EProtocolError *>(&error);
    return reply && reply->ErrorCode >= 500 && reply->ErrorCode <= 504;
}

bool FtpPublishClient::isMissingFolder(const ETcpIpError &error) const
{
    return m_ftp.ReplyCode == 550 && !T_FTP::isSessionFailure(error);
}

} // namespace zk
