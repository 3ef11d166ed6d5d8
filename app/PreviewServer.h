#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace zk {

// Where a request's path leads inside `root` (a folder ending in its
// separator): the file's canonical path, or "" when the path is not a plain
// file below the root (".." anywhere, encoded or not, a symbolic link that
// leads out, a folder, a missing file).
QString previewFileFor(const QString &root, const QByteArray &requestPath);

// The page as the browser gets it from the preview: the same bytes with a
// small script before "</body>" (or at the end) that reloads the page when
// the server says it changed, keeping its scroll position.
QByteArray withReloadScript(const QByteArray &page);

// Serves the preview folder over HTTP so that the page in the browser
// follows the form: a browser holding the page open listens on an event
// stream, and pageChanged() tells it to reload. Files on disk never carry
// the reload script; it is added while serving. By default only this
// computer can connect (127.0.0.1); allowNetwork lets a phone on the same
// network open the page too.
class PreviewServer : public QObject {
    Q_OBJECT
public:
    static inline const QByteArray EventsPath = QByteArrayLiteral("/__zentarek_zmiany");

    explicit PreviewServer(QObject *parent = nullptr);
    ~PreviewServer() override;

    // Listens on `port` when it is free, else on any free port; false with
    // errorText() when it cannot listen at all.
    bool start(const QString &root, bool allowNetwork = false, quint16 port = 0);
    void stop();
    bool isListening() const;
    bool allowsNetwork() const { return m_allowNetwork; }
    quint16 port() const;
    // A request must arrive whole, and a reply be taken, at this pace (ms).
    void setRequestDeadline(int ms) { m_deadline = ms; }
    QHostAddress listensOn() const;
    const QString &errorText() const { return m_error; }
    // "http://127.0.0.1:PORT/NAME", the name percent-encoded.
    QString address(const QString &pageName) const;
    // The same page at this computer's address on the network, "" when
    // the network is not allowed or the computer has no such address.
    QString networkAddress(const QString &pageName) const;

    // Browsers holding a page open (their event streams).
    int watchers() const { return int(m_watchers.size()); }
    void pageChanged();

signals:
    void watchersChanged(int watchers);

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &method, const QByteArray &target, const QByteArray &host);
    void sendFile(QTcpSocket *socket, const QString &path, bool withBody);
    void watch(QTcpSocket *socket);
    void forget(QTcpSocket *socket);
    bool hostIsOurs(const QByteArray &host) const;

    QTcpServer *m_server = nullptr;
    QString m_root;
    bool m_allowNetwork = false;
    QString m_error;
    int m_deadline = 10000;
    QList<QTcpSocket *> m_watchers;
};

} // namespace zk
