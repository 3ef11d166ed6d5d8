#pragma once

#include "Servers.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace zk::testing {

inline QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString currentUserName()
{
    const passwd *pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

// OpenSSH's sshd from Debian's packages on a free port of 127.0.0.1 with a
// configuration, host keys and pid file of its own; files land in root().
// It lets in the user who runs the tests with the client key of
// installClientKey() (and, where set, a password of an account's own).
class SshServer {
public:
    // `extra`: configuration lines that come first (the first value of a
    // setting is the one sshd takes); `diskKb` > 0: the files land on a tmpfs
    // of that size, mounted in a namespace of the server's own.
    explicit SshServer(const QString &hostKeyType = QStringLiteral("ed25519"), const QString &extra = {}, int diskKb = 0)
        : m_port(freePort()), m_extra(extra), m_diskKb(diskKb)
    {
        QDir().mkpath(root());
        runTool(QStringLiteral("/usr/bin/ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                                         QStringLiteral("-N"), QString(), QStringLiteral("-f"), clientKey()});
        QFile::copy(clientKey() + QStringLiteral(".pub"), m_dir.filePath(QStringLiteral("authorized_keys")));
        if (::getuid() == 0)
            QDir().mkpath(QStringLiteral("/run/sshd")); // the privilege separation folder sshd wants as root
        start(hostKeyType);
    }
    ~SshServer() { stop(); }

    bool isUp() const { return m_up; }
    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    QString clientKey() const { return m_dir.filePath(QStringLiteral("client")); }
    QString hostKey(const QString &type) const { return m_dir.filePath(QStringLiteral("host_") + type); }
    // As OpenSSH prints it: "SHA256:..."
    QString fingerprint(const QString &type) const
    {
        const QString line = runTool(QStringLiteral("/usr/bin/ssh-keygen"),
                                     {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"), QStringLiteral("-f"),
                                      hostKey(type) + QStringLiteral(".pub")});
        return QRegularExpression(QStringLiteral("SHA256:\\S+")).match(line).captured();
    }
    // The host key line as ~/.ssh/known_hosts would hold it.
    QString knownHostsLine(const QString &type) const
    {
        QFile pub(hostKey(type) + QStringLiteral(".pub"));
        pub.open(QIODevice::ReadOnly);
        const QStringList parts = QString::fromLatin1(pub.readAll()).split(u' ');
        return QStringLiteral("[127.0.0.1]:%1 %2 %3\n").arg(m_port).arg(parts.value(0), parts.value(1));
    }
    // The client key into the ~/.ssh the program reads.
    void installClientKey() const
    {
        const QString ssh = QDir::homePath() + QStringLiteral("/.ssh/");
        QDir().mkpath(ssh);
        QFile::copy(clientKey(), ssh + QStringLiteral("id_ed25519"));
        QFile::copy(clientKey() + QStringLiteral(".pub"), ssh + QStringLiteral("id_ed25519.pub"));
        QFile::setPermissions(ssh + QStringLiteral("id_ed25519"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // The client key locked with a passphrase from now on.
    void lockClientKey(const QString &passphrase) const
    {
        runTool(QStringLiteral("/usr/bin/ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-p"), QStringLiteral("-P"), QString(),
                                                         QStringLiteral("-N"), passphrase, QStringLiteral("-f"), clientKey()});
    }
    // The same port with another host key: a changed key, or one of another type.
    void restart(const QString &hostKeyType)
    {
        stop();
        start(hostKeyType);
    }
    // Every process of the server (the listener and each session) stops
    // or goes on, as a server that no longer answers.
    void freeze(bool frozen)
    {
        for (const qint64 pid : processes())
            ::kill(pid_t(pid), frozen ? SIGSTOP : SIGCONT);
    }
    // The sessions under way end at once (their connections drop); the listener stays.
    void dropSessions()
    {
        for (const qint64 pid : processes())
            if (pid != m_process.processId())
                ::kill(pid_t(pid), SIGKILL);
    }
    QString log() const { return m_log; }

private:
    void start(const QString &hostKeyType)
    {
        if (!QFile::exists(hostKey(hostKeyType)))
            runTool(QStringLiteral("/usr/bin/ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"), hostKeyType,
                                                             QStringLiteral("-N"), QString(), QStringLiteral("-f"),
                                                             hostKey(hostKeyType)});
        const QString config = m_dir.filePath(QStringLiteral("sshd_config"));
        QFile f(config);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(m_extra.toUtf8());
        f.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\nAuthorizedKeysFile %4\n"
                               "StrictModes no\nUsePAM no\nPermitRootLogin yes\nPasswordAuthentication yes\n"
                               "KbdInteractiveAuthentication no\nLogLevel ERROR\nSubsystem sftp internal-sftp -d %5\n")
                    .arg(m_port)
                    .arg(hostKey(hostKeyType), m_dir.filePath(QStringLiteral("sshd.pid")),
                         m_dir.filePath(QStringLiteral("authorized_keys")), root())
                    .toUtf8());
        f.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, [this] { m_log += QString::fromUtf8(m_process.readAll()); });
        if (m_diskKb > 0)
            m_process.start(QStringLiteral("/usr/bin/unshare"),
                            {QStringLiteral("-m"), QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                             QStringLiteral("mount -t tmpfs -o size=%1k tmpfs \"$1\" && exec /usr/sbin/sshd -D -e -f \"$2\"")
                                 .arg(m_diskKb),
                             QStringLiteral("sh"), root(), config});
        else
            m_process.start(QStringLiteral("/usr/sbin/sshd"), {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config});
        m_up = m_process.waitForStarted(10000) && waitForListener(m_port);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        freeze(false);
        dropSessions();
        m_process.kill();
        m_process.waitForFinished(5000);
        m_process.disconnect();
    }
    // The listener and everything it started, from /proc.
    QList<qint64> processes() const
    {
        QList<qint64> all;
        if (m_process.state() == QProcess::NotRunning)
            return all;
        all << m_process.processId();
        for (qsizetype i = 0; i < all.size(); ++i) {
            QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(all[i]));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QString &c : QString::fromLatin1(children.readAll()).split(u' ', Qt::SkipEmptyParts))
                all << c.toLongLong();
        }
        return all;
    }

    QTemporaryDir m_dir;
    quint16 m_port;
    QString m_extra;
    int m_diskKb = 0;
    QProcess m_process;
    QString m_log;
    bool m_up = false;
};

// An ssh-agent of the test's own, holding `key`, its socket in SSH_AUTH_SOCK
// while it lives.
class SshAgent {
public:
    explicit SshAgent(const QString &key)
    {
        const QString socket = m_dir.filePath(QStringLiteral("agent"));
        m_process.start(QStringLiteral("/usr/bin/ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), socket});
        m_process.waitForStarted(10000);
        zk::testing::pollUntil([&] { return QFile::exists(socket); }, 5000);
        m_saved = qgetenv("SSH_AUTH_SOCK");
        qputenv("SSH_AUTH_SOCK", socket.toLocal8Bit());
        QProcess add;
        add.start(QStringLiteral("/usr/bin/ssh-add"), {key});
        m_up = add.waitForFinished(10000) && add.exitCode() == 0;
    }
    ~SshAgent()
    {
        if (m_saved.isEmpty())
            qunsetenv("SSH_AUTH_SOCK");
        else
            qputenv("SSH_AUTH_SOCK", m_saved);
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isUp() const { return m_up; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_saved;
    bool m_up = false;
};

} // namespace zk::testing
