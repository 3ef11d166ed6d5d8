#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "Eventually.h"

#include "SocketApi.h"

namespace zk::testing {

inline const QString DebianPython = QStringLiteral("/usr/bin/python3");

// Waits until something accepts connections on 127.0.0.1:port.
inline bool waitForListener(quint16 port, int timeoutMs = 15000)
{
    const quint32 loopback = net::parseDotted(QStringLiteral("127.0.0.1"));
    return zk::testing::pollUntil([&] {
        const net::SocketHandle s = net::createTcpSocket();
        const bool up = net::connectTo(s, loopback, port) == 0;
        net::closeHandle(s);
        return up;
    }, timeoutMs, 50);
}

inline quint16 freePort()
{
    const net::SocketHandle s = net::createTcpSocket();
    net::bindTo(s, net::parseDotted(QStringLiteral("127.0.0.1")), 0);
    quint16 port = 0;
    net::boundPort(s, port);
    net::closeHandle(s);
    return port;
}

// A scripted server of our own, playing one exchange (scripted_ftp.py).
class ScriptedServer {
public:
    explicit ScriptedServer(const QJsonArray &script)
    {
        QFile f(m_dir.filePath(QStringLiteral("script.json")));
        f.open(QIODevice::WriteOnly);
        f.write(QJsonDocument(script).toJson());
        f.close();
        m_process.start(DebianPython, {QStringLiteral(ZK_SOURCE_DIR "/tests/publish/scripted_ftp.py"), f.fileName(),
                                       m_dir.filePath(QStringLiteral("port")), m_dir.filePath(QStringLiteral("transcript"))});
        zk::testing::pollUntil([&] { return QFile::exists(m_dir.filePath(QStringLiteral("port"))); }, 6000);
        QFile p(m_dir.filePath(QStringLiteral("port")));
        if (p.open(QIODevice::ReadOnly))
            m_port = quint16(p.readAll().toInt());
    }
    ~ScriptedServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    quint16 port() const { return m_port; }
    // The commands the server received, once it has played its script.
    QStringList transcript(int timeoutMs = 15000)
    {
        m_process.waitForFinished(timeoutMs);
        QFile t(m_dir.filePath(QStringLiteral("transcript")));
        if (!t.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(t.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// pyftpdlib from Debian's packages, on a free port of 127.0.0.1.
class PyFtpServer {
public:
    PyFtpServer(const QString &root, const QString &user, const QString &password) : m_port(freePort())
    {
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(DebianPython, {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                                       QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                                       QStringLiteral("-w"), QStringLiteral("-d"), root, QStringLiteral("-u"), user,
                                       QStringLiteral("-P"), password});
        m_up = m_process.waitForStarted(10000) && waitForListener(m_port);
    }
    ~PyFtpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isUp() const { return m_up; }
    quint16 port() const { return m_port; }

private:
    quint16 m_port;
    QProcess m_process;
    bool m_up = false;
};

// Python's http.server on a free port of 127.0.0.1, serving `root`: the web
// as a visitor of the published page sees it.
class HttpServer {
public:
    explicit HttpServer(const QString &root) : m_port(freePort())
    {
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(DebianPython, {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(m_port),
                                       QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), root});
        m_up = m_process.waitForStarted(10000) && waitForListener(m_port);
    }
    ~HttpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isUp() const { return m_up; }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }

private:
    quint16 m_port;
    QProcess m_process;
    bool m_up = false;
};

// vsftpd from Debian's packages, run as the launching user on free ports of
// 127.0.0.1, anonymous uploads into <root>/upload.
class VsFtpServer {
public:
    // With a certificate (the path of NAME.pem, its key beside it as
    // NAME.key), TLS is required for the login and every transfer, and each
    // data connection must take up the control connection's TLS session.
    // `extra`: more lines of configuration (a limit of connections, say).
    explicit VsFtpServer(const QString &certificate = {}, const QString &extra = {}) : m_port(freePort())
    {
        const QString root = m_dir.filePath(QStringLiteral("root"));
        QDir().mkpath(root + QStringLiteral("/upload"));
        QDir().mkpath(m_dir.filePath(QStringLiteral("empty")));
        QFile::setPermissions(root + QStringLiteral("/upload"), QFileDevice::Permissions(0x7777));
        const quint16 pasv = freePort();
        QFile conf(m_dir.filePath(QStringLiteral("vsftpd.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral(
                       "listen=YES\nlisten_address=127.0.0.1\nlisten_port=%1\nlisten_ipv6=NO\nbackground=NO\n"
                       "run_as_launching_user=YES\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                       "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                       "anon_root=%2\nno_anon_password=YES\npasv_enable=YES\npasv_min_port=%3\npasv_max_port=%4\n"
                       "secure_chroot_dir=%5\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\nxferlog_enable=NO\n"
                       "connect_from_port_20=NO\nallow_writeable_chroot=YES\nanon_umask=022\nutf8_filesystem=YES\n")
                       .arg(m_port).arg(root).arg(pasv).arg(pasv + 50).arg(m_dir.filePath(QStringLiteral("empty")))
                       .toLatin1());
        if (!certificate.isEmpty())
            conf.write(QStringLiteral("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                                      "force_anon_data_ssl=YES\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\n"
                                      "require_ssl_reuse=YES\nrsa_cert_file=%1\nrsa_private_key_file=%2\n")
                           .arg(certificate, certificate.chopped(4) + QStringLiteral(".key"))
                           .toLatin1());
        conf.write(extra.toLatin1());
        conf.close();
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("/usr/sbin/vsftpd"), {conf.fileName()});
        m_up = m_process.waitForStarted(10000) && waitForListener(m_port);
        m_root = root + QStringLiteral("/upload/");
    }
    ~VsFtpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isUp() const { return m_up; }
    quint16 port() const { return m_port; }
    QString uploadFolder() const { return m_root; }

private:
    QTemporaryDir m_dir;
    quint16 m_port;
    QProcess m_process;
    QString m_root;
    bool m_up = false;
};

// The test authority and its certificates (tls_ftp.py), made once per test
// program; SSL_CERT_FILE points the client at the authority.
inline QString testCertificates()
{
    static QTemporaryDir folder;
    static const bool made = QProcess::execute(DebianPython, {QStringLiteral(ZK_SOURCE_DIR "/tests/publish/tls_ftp.py"),
                                                              QStringLiteral("certificates"), folder.path()}) == 0;
    if (!made)
        return {};
    qputenv("SSL_CERT_FILE", QFile::encodeName(folder.filePath(QStringLiteral("ca.pem"))));
    return folder.path() + u'/';
}

// A helper server of tls_ftp.py ("serve", "drop" or "silent") on a free port of 127.0.0.1.
class TlsHelperServer {
public:
    explicit TlsHelperServer(const QStringList &arguments)
    {
        const QString portFile = m_dir.filePath(QStringLiteral("port"));
        QStringList args{QStringLiteral(ZK_SOURCE_DIR "/tests/publish/tls_ftp.py"), arguments.first(), portFile};
        args += arguments.mid(1);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(DebianPython, args);
        zk::testing::pollUntil([&] { return QFile::exists(portFile); }, 10000);
        QFile p(portFile);
        if (p.open(QIODevice::ReadOnly))
            m_port = quint16(p.readAll().toInt());
    }
    ~TlsHelperServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace zk::testing
