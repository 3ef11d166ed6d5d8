#include "PreviewServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace zk {

namespace {

constexpr qsizetype MaxRequestSize = 16 * 1024;
// A browser that stops reading its event stream is let go rather than fed forever.
constexpr qint64 MaxUnreadEvents = 64 * 1024;
const char *const RequestProperty = "zentarekRequest";

// The script is plain ASCII, so it reads the same in every encoding the page may have.
const QByteArray ReloadScript = QByteArrayLiteral(
    "<script>(function(){var k=\"zentarek-przewiniecie\",y=sessionStorage.getItem(k);"
    "if(y!==null){sessionStorage.removeItem(k);history.scrollRestoration=\"manual\";"
    "addEventListener(\"load\",function(){scrollTo(0,+y);});}"
    "new EventSource(\"/__zentarek_zmiany\").onmessage=function(){"
    "sessionStorage.setItem(k,String(scrollY));location.reload();};})();</script>\n");

QByteArray contentTypeOf(const QString &path)
{
    static const QHash<QString, QByteArray> types = {
        {QStringLiteral("html"), "text/html"},   {QStringLiteral("htm"), "text/html"},
        {QStringLiteral("css"), "text/css"},     {QStringLiteral("js"), "text/javascript"},
        {QStringLiteral("gif"), "image/gif"},    {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},  {QStringLiteral("png"), "image/png"},
        {QStringLiteral("webp"), "image/webp"},  {QStringLiteral("svg"), "image/svg+xml"},
        {QStringLiteral("ico"), "image/x-icon"}, {QStringLiteral("bmp"), "image/bmp"},
        {QStringLiteral("wav"), "audio/wav"},    {QStringLiteral("mid"), "audio/midi"},
        {QStringLiteral("midi"), "audio/midi"},  {QStringLiteral("ogg"), "audio/ogg"},
        {QStringLiteral("opus"), "audio/ogg"},   {QStringLiteral("mp3"), "audio/mpeg"},
    };
    return types.value(QFileInfo(path).suffix().toLower(), "application/octet-stream");
}

bool isPage(const QString &path)
{
    return contentTypeOf(path) == "text/html";
}

QByteArray statusLine(int code)
{
    switch (code) {
    case 200: return "HTTP/1.1 200 OK\r\n";
    case 403: return "HTTP/1.1 403 Forbidden\r\n";
    case 404: return "HTTP/1.1 404 Not Found\r\n";
    case 405: return "HTTP/1.1 405 Method Not Allowed\r\n";
    case 431: return "HTTP/1.1 431 Request Header Fields Too Large\r\n";
    default: return "HTTP/1.1 400 Bad Request\r\n";
    }
}

QByteArray headers(int code, const QByteArray &type, qint64 length)
{
    return statusLine(code) + "Content-Type: " + type + "\r\nContent-Length: " + QByteArray::number(length)
         + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
}

void reply(QTcpSocket *socket, int code, const QByteArray &type, const QByteArray &body, bool withBody = true)
{
    socket->write(headers(code, type, body.size()));
    if (withBody)
        socket->write(body);
    socket->disconnectFromHost();
}

void replyError(QTcpSocket *socket, int code)
{
    reply(socket, code, "text/plain; charset=utf-8", statusLine(code).mid(9).trimmed());
}

// The deadline restarts while the other side takes what is sent: a slow
// reader of a large sound file is not cut off, a silent one is.
void armDeadline(QTcpSocket *socket, int ms)
{
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    deadline->setInterval(ms);
    QObject::connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
    QObject::connect(socket, &QTcpSocket::bytesWritten, deadline, qOverload<>(&QTimer::start));
    deadline->start();
}

void disarmDeadline(QTcpSocket *socket)
{
    qDeleteAll(socket->findChildren<QTimer *>(Qt::FindDirectChildrenOnly));
}

QByteArray headerValue(const QList<QByteArray> &lines, const QByteArray &name)
{
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

} // namespace

QString previewFileFor(const QString &root, const QByteArray &requestPath)
{
    QByteArray path = requestPath;
    const qsizetype end = path.indexOf('?');
    if (end >= 0)
        path.truncate(end);
    if (!path.startsWith('/'))
        return {};
    const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(path));
    if (decoded.contains(QChar(0)) || decoded.contains(u'\\'))
        return {};
    QStringList parts;
    for (const QString &part : decoded.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            return {};
        if (part != QLatin1String("."))
            parts << part;
    }
    const QFileInfo file(root + parts.join(u'/'));
    if (parts.isEmpty() || !file.isFile())
        return {};
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    const QString canonical = file.canonicalFilePath();
    if (canonicalRoot.isEmpty() || !canonical.startsWith(canonicalRoot + u'/'))
        return {};
    return canonical;
}

QByteArray withReloadScript(const QByteArray &page)
{
    const qsizetype body = page.toLower().lastIndexOf("</body");
    if (body < 0)
        return page + ReloadScript;
    QByteArray served = page;
    served.insert(body, ReloadScript);
    return served;
}

PreviewServer::PreviewServer(QObject *parent) : QObject(parent) {}

PreviewServer::~PreviewServer()
{
    blockSignals(true); // whoever listens may be going away too
    stop();
}

bool PreviewServer::start(const QString &root, bool allowNetwork, quint16 port)
{
    stop();
    m_root = root;
    m_allowNetwork = allowNetwork;
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &PreviewServer::accept);
    const QHostAddress address = allowNetwork ? QHostAddress::Any : QHostAddress::LocalHost;
    if ((port != 0 && m_server->listen(address, port)) || m_server->listen(address, 0)) {
        m_error.clear();
        return true;
    }
    m_error = allowNetwork ? QStringLiteral("System nie pozwolił otworzyć portu dla urządzeń w sieci.")
                           : QStringLiteral("System nie pozwolił otworzyć portu na adresie 127.0.0.1.");
    delete m_server;
    m_server = nullptr;
    return false;
}

void PreviewServer::stop()
{
    const bool hadWatchers = !m_watchers.isEmpty();
    m_watchers.clear();
    if (m_server) {
        for (QTcpSocket *socket : m_server->findChildren<QTcpSocket *>())
            disconnect(socket, nullptr, this, nullptr);
    }
    delete m_server; // its connections are its children
    m_server = nullptr;
    if (hadWatchers)
        emit watchersChanged(0);
}

bool PreviewServer::isListening() const
{
    return m_server && m_server->isListening();
}

quint16 PreviewServer::port() const
{
    return isListening() ? m_server->serverPort() : 0;
}

QHostAddress PreviewServer::listensOn() const
{
    return isListening() ? m_server->serverAddress() : QHostAddress();
}

QString PreviewServer::address(const QString &pageName) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(port()).arg(QString::fromLatin1(QUrl::toPercentEncoding(pageName)));
}

QString PreviewServer::networkAddress(const QString &pageName) const
{
    if (!isListening() || !m_allowNetwork)
        return {};
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback() && !a.isLinkLocal())
            return QStringLiteral("http://%1:%2/%3").arg(a.toString()).arg(port()).arg(QString::fromLatin1(QUrl::toPercentEncoding(pageName)));
    }
    return {};
}

void PreviewServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (!m_allowNetwork && !socket->peerAddress().isLoopback()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        armDeadline(socket, m_deadline);
    }
}

void PreviewServer::readRequest(QTcpSocket *socket)
{
    if (m_watchers.contains(socket)) { // an event stream has nothing more to say
        socket->readAll();
        return;
    }
    QByteArray request = socket->property(RequestProperty).toByteArray() + socket->readAll();
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0) {
        if (request.size() > MaxRequestSize)
            replyError(socket, 431);
        else
            socket->setProperty(RequestProperty, request);
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const QList<QByteArray> lines = request.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
        replyError(socket, 400);
        return;
    }
    answer(socket, requestLine[0], requestLine[1], headerValue(lines.mid(1), "host"));
}

// The host a browser names must be this computer: a page elsewhere on the web
// that points its own name at 127.0.0.1 gets nothing from the preview.
bool PreviewServer::hostIsOurs(const QByteArray &host) const
{
    if (m_allowNetwork)
        return true;
    const QByteArray port = ':' + QByteArray::number(m_server->serverPort());
    return host == "127.0.0.1" + port || host == "localhost" + port;
}

void PreviewServer::answer(QTcpSocket *socket, const QByteArray &method, const QByteArray &target, const QByteArray &host)
{
    if (!hostIsOurs(host))
        return replyError(socket, 403);
    if (method != "GET" && method != "HEAD")
        return replyError(socket, 405);
    if (target == EventsPath && method == "GET")
        return watch(socket);
    const QString path = previewFileFor(m_root, target);
    if (path.isEmpty())
        return replyError(socket, 404);
    sendFile(socket, path, method == "GET");
}

void PreviewServer::sendFile(QTcpSocket *socket, const QString &path, bool withBody)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return replyError(socket, 404);
    const QByteArray body = isPage(path) ? withReloadScript(file.readAll()) : file.readAll();
    reply(socket, 200, contentTypeOf(path), body, withBody);
}

void PreviewServer::watch(QTcpSocket *socket)
{
    disarmDeadline(socket);
    socket->write(statusLine(200) + "Content-Type: text/event-stream\r\nCache-Control: no-store\r\n\r\nretry: 500\n\n");
    m_watchers << socket;
    emit watchersChanged(watchers());
}

void PreviewServer::forget(QTcpSocket *socket)
{
    if (m_watchers.removeOne(socket))
        emit watchersChanged(watchers());
    socket->deleteLater();
}

void PreviewServer::pageChanged()
{
    const QList<QTcpSocket *> watching = m_watchers;
    for (QTcpSocket *socket : watching) {
        if (socket->bytesToWrite() > MaxUnreadEvents)
            socket->abort();
        else
            socket->write("data: zmiana\n\n");
    }
}

} // namespace zk
