#include "PublishClient.h"

namespace zk {

void FtpPublishClient::logIn(const PublishSettings &settings)
{
    m_ftp.Async = settings.async;
    m_ftp.Hostname = settings.server;
    m_ftp.Username = settings.user;
    m_ftp.Password = settings.password;
    m_ftp.Security = settings.security;
    m_ftp.TrustedFingerprint = settings.trustedFingerprint;
    m_ftp.OpenSession();
}

void FtpPublishClient::send(QIODevice *file, const QString &remoteName)
{
    m_ftp.DataStream.clear();
    m_ftp.URI = remoteName;
    m_ftp.DataStream.device = file;
    m_ftp.Mode = tftp_upload;
    m_ftp.Upload();
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
