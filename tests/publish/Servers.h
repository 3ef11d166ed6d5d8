#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "SocketApi.h"

namespace zk::testing {

inline const QString DebianPython = QStringLiteral("/usr/bin/python3");

// Waits until something accepts connections on 127.0.0.1:port.
inline bool waitForListener(quint16 port, int timeoutMs = 15000)
{
    const quint32 loopback = net::parseDotted(QStringLiteral("127.0.0.1"));
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        const net::SocketHandle s = net::createTcpSocket();
        const bool up = net::connectTo(s, loopback, port) == 0;
        net::closeHandle(s);
        if (up)
            return true;
        QThread::msleep(50);
    }
    return false;
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
        for (int i = 0; i < 300 && !QFile::exists(m_dir.filePath(QStringLiteral("port"))); ++i)
            QThread::msleep(20);
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

} // namespace zk::testing
