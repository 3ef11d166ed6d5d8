#include "LiveCheck.h"

#include "Manifest.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace zk {

namespace {

QString reasonOf(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    switch (reply->error()) {
    case QNetworkReply::ContentNotFoundError: return QStringLiteral("nie ma go tam (HTTP 404)");
    case QNetworkReply::ContentAccessDenied: return QStringLiteral("serwer nie pozwala go pobrać (HTTP 403)");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("nie znaleziono serwera o tej nazwie");
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("serwer odmówił połączenia");
    case QNetworkReply::RemoteHostClosedError: return QStringLiteral("serwer zamknął połączenie");
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError: return QStringLiteral("serwer nie odpowiedział w czasie");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("certyfikatu serwera nie udało się zweryfikować");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError: return QStringLiteral("serwer odsyła gdzie indziej (przekierowania)");
    default: break;
    }
    return status > 0 ? QStringLiteral("serwer odpowiedział błędem HTTP %1").arg(status)
                      : QStringLiteral("nie udało się go pobrać (błąd sieci %1)").arg(int(reply->error()));
}

// The server answered for this file (its content, a 404, a 500), rather
// than failing for every file alike (no connection, no answer in time).
bool isFileProblem(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::NoError
           || (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
           || error >= QNetworkReply::InternalServerError;
}

QUrl addressOf(const QUrl &folder, const QString &remoteName)
{
    QUrl relative;
    relative.setPath(remoteName);
    return folder.resolved(relative);
}

QByteArray localBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

QList<SentFile> sentFiles(const QStringList &files, const QHash<QString, QString> &remoteNames, const QString &badge,
                          const QString &badgeName)
{
    QList<SentFile> sent;
    for (const QString &f : files)
        sent << SentFile{f, remoteNames.value(f, QFileInfo(f).fileName())};
    if (QFileInfo::exists(badge))
        sent << SentFile{badge, badgeName};
    return sent;
}

QStringList liveDifferences(const QString &address, const QList<SentFile> &files, int deadlineMs)
{
    const QUrl folder(address);
    if (!folder.isValid() || files.isEmpty())
        return {};
    QNetworkAccessManager network;
    network.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QEventLoop loop;
    QList<QNetworkReply *> replies;
    int open = 0;
    for (const SentFile &f : files) {
        QNetworkRequest request(addressOf(folder, f.remoteName));
        request.setTransferTimeout(deadlineMs);
        QNetworkReply *reply = network.get(request);
        replies << reply;
        ++open;
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
            if (--open == 0)
                loop.quit();
        });
    }
    // One deadline for all, however slowly a server trickles its bytes.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        for (QNetworkReply *r : std::as_const(replies))
            if (r->isRunning())
                r->abort();
    });
    deadline.start(deadlineMs);
    if (open > 0)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    QStringList differences;
    QString unreachable;
    for (qsizetype i = 0; i < files.size(); ++i) {
        QNetworkReply *reply = replies[i];
        const QString name = files[i].remoteName;
        if (!isFileProblem(reply->error())) {
            unreachable = reasonOf(reply); // the same for every file: said once
            continue;
        }
        if (reply->error() != QNetworkReply::NoError)
            differences << QStringLiteral("%1: %2").arg(name, reasonOf(reply));
        // A page the server kept (the same but for its build date) is what was meant.
        else if (comparableBytes(name, reply->readAll()) != comparableBytes(name, localBytes(files[i].localPath)))
            differences << QStringLiteral("%1: inna treść niż wysłana").arg(name);
    }
    qDeleteAll(replies);
    if (!unreachable.isEmpty())
        differences.prepend(QStringLiteral("%1: %2").arg(folder.host(), unreachable));
    return differences;
}

QString liveCheckWarning(const QString &address, const QString &folderOnServer, const QStringList &differences)
{
    QStringList lines;
    for (const QString &d : differences)
        lines << QStringLiteral("• ") + d;
    QString text = QStringLiteral("Pliki wysłano, ale pod adresem %1 internet pokazuje co innego:\n\n%2\n\n")
                       .arg(address, lines.join(u'\n'));
    text += folderOnServer.isEmpty()
                ? QStringLiteral("Sprawdź, czy folder na serwerze i adres strony wskazują to samo miejsce.")
                : QStringLiteral("Sprawdź, czy folder na serwerze (\"%1\") i adres strony wskazują to samo miejsce.").arg(folderOnServer);
    return text;
}

} // namespace zk
