#include "PublishRun.h"

#include "Paths.h"
#include "PublishLogic.h"

#include <QCoreApplication>

namespace zk {

PublishRun::PublishRun(PublishClient &client, Hooks hooks) : m_client(client), m_hooks(std::move(hooks)) {}

PublishRun::~PublishRun()
{
    m_client.forgetFile(m_uploading.get()); // the file goes before the client
}

void PublishRun::cancel()
{
    m_cancelled = true;
}

void PublishRun::asyncFailed()
{
    m_asyncFailed = true; // the wait ends and the run reports the file under way
    m_client.stopWaiting();
}

// The server may already be gone; its failure must not bring a second message.
void PublishRun::closeQuietly()
{
    try {
        m_client.close();
    } catch (const std::exception &) {
    }
}

bool PublishRun::fail(const QString &text)
{
    if (!m_cancelled && !text.isEmpty())
        m_hooks.error(text);
    closeQuietly();
    return false;
}

// Nothing is sent when a name would break a command line in two.
bool PublishRun::namesCanBeSent(const PublishSettings &settings, const QStringList &files,
                                const QHash<QString, QString> &remoteNames)
{
    QStringList names = {settings.user, settings.folder};
    for (const QString &path : files)
        names << remoteNames.value(path, fileNameOf(path));
    const QString bad = firstUnsendableName(names);
    if (!bad.isEmpty()) {
        m_hooks.error(QStringLiteral("Nazwa \"%1\" zawiera znak końca wiersza, którego nie można wysłać na serwer!")
                          .arg(QString(bad).replace(u'\r', u' ').replace(u'\n', u' ').remove(QChar(0))));
        return false;
    }
    if (!firstUnsendableName({settings.password}).isEmpty()) {
        m_hooks.error(QStringLiteral("Hasło dla \"%1\" zawiera znak końca wiersza, którego nie można wysłać na serwer!")
                          .arg(settings.server));
        return false;
    }
    return true;
}

bool PublishRun::run(PublishSettings &settings, const QStringList &files, const QHash<QString, QString> &remoteNames,
                     const QString &badge)
{
    m_cancelled = false;
    m_asyncFailed = false;
    m_remoteFoldersMade.clear();
    if (!namesCanBeSent(settings, files, remoteNames))
        return false;
    if (const QString problem = targetFolder(settings.folder).problem; !problem.isEmpty()) {
        m_hooks.error(problem); // before anything is sent
        return false;
    }
    if (!logIn(settings))
        return false;
    if (m_loggedIn)
        m_loggedIn();
    settings.folder = normalizedTargetFolder(settings.folder);
    if (!enterFolders(settings))
        return false;
    const auto failed = [this](const QString &path) {
        return fail(QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!").arg(path));
    };
    // Pictures and sounds first, then the badge, the pages last: the live
    // page never shows a picture that has not arrived yet.
    QStringList pages;
    const auto send = [&](const QString &path) {
        // An asynchronous upload finishes while the next one waits: a failure
        // reported then belongs to the file under way, not to this one.
        if (!waitWhileBusy())
            return failed(m_current);
        const QString remoteName = remoteNames.value(path, fileNameOf(path));
        makeRemoteFoldersFor(remoteName);
        return uploadFile(path, remoteName, false) || failed(path);
    };
    for (const QString &path : files) {
        if (imageForFile(path) == 1)
            pages << path;
        else if (!send(path))
            return false;
    }
    if (!waitWhileBusy())
        return failed(m_current);
    // A program folder without the badge is no error; a badge that could
    // not be sent is, like any other file.
    if (QFile::exists(badge) && (!uploadFile(badge, BadgeRemoteName, true) || !waitWhileBusy()))
        return failed(badge);
    for (const QString &path : std::as_const(pages))
        if (!send(path))
            return false;
    if (!waitWhileBusy())
        return failed(m_current);
    return true;
}

// The login, and with TLS what stands in its way: a server without TLS
// (never a fall back to clear text), a failed handshake, or a certificate
// that the user is asked to trust (then the login is tried once more).
bool PublishRun::logIn(PublishSettings &settings)
{
    for (int attempt = 0;; ++attempt) {
        try {
            m_client.logIn(settings);
            return true;
        } catch (const ETlsError &e) {
            if (e.kind == ETlsError::Kind::Refused)
                return fail(QStringLiteral("Serwer \"%1\" nie przyjął polecenia AUTH TLS (odpowiedź: %2), więc nie można "
                                           "połączyć się z nim z szyfrowaniem. Nic nie zostało wysłane, także hasło. Aby "
                                           "publikować bez szyfrowania, wybierz w polu \"Połączenie:\" zwykłe FTP.")
                                .arg(settings.server, e.problem));
            if (e.kind == ETlsError::Kind::Handshake)
                return fail(QStringLiteral("Nie można nawiązać szyfrowanego połączenia z serwerem \"%1\": %2.")
                                .arg(settings.server, e.problem));
            if (attempt > 0 || !askToTrust(settings.server, e))
                return fail(QString());
            settings.trustedFingerprint = e.fingerprint;
            m_client.trustCertificate(e.fingerprint);
        } catch (const ETcpIpError &) {
            return fail(loginFailureText(m_client.lastReplyCode(), settings.server, settings.user, settings.folder));
        }
    }
}

bool PublishRun::askToTrust(const QString &server, const ETlsError &e)
{
    QString text = e.changed ? QStringLiteral("UWAGA! Serwer \"%1\" przedstawił inny certyfikat niż ten, któremu "
                                              "zaufano poprzednio.\n\n").arg(server)
                             : QString();
    text += QStringLiteral("Nie można zweryfikować certyfikatu serwera \"%1\": %2.\n\nOdcisk SHA-256 certyfikatu:\n%3\n\n"
                           "Jeśli ten odcisk zgadza się z podanym przez firmę hostingową, możesz zaufać temu "
                           "certyfikatowi dla tego serwera. Zaufać mu?")
                .arg(server, e.problem, e.fingerprint);
    if (!m_hooks.trustCertificate) { // no one to ask: the reason, the fingerprint and how to trust it are said
        m_hooks.error(text.left(text.lastIndexOf(QStringLiteral("\n\n")))
                      + QStringLiteral("\n\nJeśli ten odcisk zgadza się z podanym przez firmę hostingową, zaufaj certyfikatowi "
                                       "w oknie publikowania programu albo uruchom publikowanie z opcją "
                                       "--trust-certificate %1").arg(e.fingerprint));
        return false;
    }
    if (!m_hooks.trustCertificate(text))
        return false;
    if (m_hooks.trusted)
        m_hooks.trusted(server, e.fingerprint);
    return true;
}

QString PublishRun::folderFailureText(const PublishSettings &settings, const QString &piece, const ETcpIpError &e) const
{
    if (m_client.isConnectionLost(e))
        return QStringLiteral("Połączenie z serwerem \"%1\" zostało przerwane!").arg(settings.server);
    return QStringLiteral("Nie można przejść do foldera \"%1\" na serwerze!").arg(piece);
}

// Every folder of the path must be entered: a file sent from anywhere else
// would not be where the user asked for it.
bool PublishRun::enterFolders(const PublishSettings &settings)
{
    const TargetFolder target = targetFolder(settings.folder);
    if (target.fromRoot) {
        try {
            m_client.enterFolder(QStringLiteral("/"));
        } catch (const ETcpIpError &e) {
            return fail(folderFailureText(settings, QStringLiteral("/"), e));
        }
    }
    for (const QString &piece : target.pieces) {
        try {
            m_client.enterFolder(piece);
            continue;
        } catch (const ETcpIpError &e) {
            if (!m_client.isMissingFolder(e))
                return fail(folderFailureText(settings, piece, e));
        }
        if (!m_hooks.confirm(QStringLiteral("Folder \"%1\" nie istnieje na serwerze. Utworzyć?").arg(piece))) {
            closeQuietly(); // declined: the files have nowhere to go
            return false;
        }
        try {
            m_client.makeFolder(piece);
            m_client.enterFolder(piece);
        } catch (const ETcpIpError &e) {
            // The server may have given up on the session while the question was open.
            if (m_client.isConnectionLost(e))
                return fail(folderFailureText(settings, piece, e));
            return fail(QStringLiteral("Nie można utworzyć foldera \"%1\"!").arg(piece));
        }
    }
    return true;
}

// A file that travels to "img/a.gif" needs the folder "img" below the
// target folder; one that is already there refuses MKD, which is fine: a
// folder that really is missing makes the upload itself fail with its message.
void PublishRun::makeRemoteFoldersFor(const QString &remoteName)
{
    const QStringList pieces = remoteName.split(u'/');
    QString folder;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        folder += (folder.isEmpty() ? QString() : QStringLiteral("/")) + pieces[i];
        if (m_remoteFoldersMade.contains(folder))
            continue;
        m_remoteFoldersMade.insert(folder);
        try {
            m_client.makeFolder(folder);
        } catch (const ETcpIpError &) {
        }
    }
}

bool PublishRun::waitWhileBusy()
{
    // The client ends a transfer that stalls (its own deadline), so this
    // wait always ends.
    while (m_client.isSending() && !m_cancelled && !m_asyncFailed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !m_cancelled && !m_asyncFailed;
}

// The file is read from disk while it is sent, never held whole in memory.
bool PublishRun::uploadFile(const QString &path, const QString &remoteName, bool isBadge)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    m_client.forgetFile(m_uploading.get());
    m_uploading = std::move(file); // lives until the transfer has ended
    try {
        if (!isBadge) {
            m_current = path;
            if (m_hooks.sending)
                m_hooks.sending(path);
        }
        m_client.send(m_uploading.get(), remoteName);
    } catch (const ETcpIpError &) {
        return false;
    }
    return !m_asyncFailed;
}

} // namespace zk
