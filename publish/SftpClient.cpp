#include "SftpClient.h"

#include "CheckedFile.h"
#include "SocketApi.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QScopeGuard>
#include <QThread>

#include "LibsshCalls.h"

#include <condition_variable>
#include <fcntl.h>
#include <thread>

namespace zk {

namespace {

constexpr int DefaultPort = 22;
constexpr int CloseLimitMs = 2000;
// Each write waits for the server's word on it: large pieces keep the
// round trips few (OpenSSH takes up to 256 kB a message).
constexpr qint64 ChunkSize = 128 * 1024;

// A failure of the SSH session or of one SFTP request; `lost` when the
// session cannot be used any more.
class ESftpError : public ETcpIpError {
public:
    ESftpError(const QString &message, const QString &reason, int status, bool lost)
        : ETcpIpError(message, reason), status(status), lost(lost)
    {
    }
    int status; // SSH_FX_..., 0 for the session's own failures
    bool lost;
};

qint64 clockMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

bool onWindowThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

QString dataFolder()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/zentarek/");
}

QString sftpReason(int status)
{
    switch (status) {
    case SSH_FX_NO_SUCH_FILE:
    case SSH_FX_NO_SUCH_PATH: return QStringLiteral("na serwerze nie ma takiego pliku ani folderu");
    case SSH_FX_PERMISSION_DENIED:
    case SSH_FX_WRITE_PROTECT: return QStringLiteral("brak uprawnień na serwerze");
    case SSH_FX_OP_UNSUPPORTED: return QStringLiteral("serwer nie obsługuje tego polecenia");
    case SSH_FX_FILE_ALREADY_EXISTS: return QStringLiteral("taki plik lub folder już jest na serwerze");
    case SSH_FX_NO_CONNECTION:
    case SSH_FX_CONNECTION_LOST: return QStringLiteral("połączenie z serwerem zostało przerwane");
    case SSH_FX_FAILURE: return QStringLiteral("serwer odmówił (błąd SFTP bez bliższej przyczyny)");
    default: return QStringLiteral("serwer odmówił (kod błędu SFTP %1)").arg(status);
    }
}

struct ServerKey {
    QString type;
    QString fingerprint;
};

ServerKey describeKey(ssh_key key)
{
    ServerKey out;
    if (!key)
        return out;
    out.type = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    unsigned char *hash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == 0) {
        char *text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
        out.fingerprint = QString::fromLatin1(text);
        ssh_string_free_char(text);
        ssh_clean_pubkey_hash(&hash);
    }
    return out;
}

bool namesHost(const QString &names, const QString &host)
{
    if (!names.startsWith(QLatin1String("|1|")))
        return names.split(u',').contains(host);
    const QStringList parts = names.mid(3).split(u'|'); // a hashed name: |1|salt|HMAC-SHA1(salt, host)
    if (parts.size() != 2)
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts[0].toLatin1());
    return QMessageAuthenticationCode::hash(host.toUtf8(), salt, QCryptographicHash::Sha1).toBase64() == parts[1].toLatin1();
}

// The keys `file` holds for `host` ("host" or "[host]:port"), with their
// fingerprints as OpenSSH prints them.
QList<ServerKey> knownKeysFor(const QString &file, const QString &host)
{
    QList<ServerKey> keys;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    while (!f.atEnd()) {
        const QStringList parts = QString::fromUtf8(f.readLine()).simplified().split(u' ');
        if (parts.size() < 3 || parts[0].startsWith(u'#') || parts[0].startsWith(u'@') || !namesHost(parts[0], host))
            continue;
        const QByteArray blob = QByteArray::fromBase64(parts[2].toLatin1());
        QByteArray digest = QCryptographicHash::hash(blob, QCryptographicHash::Sha256).toBase64();
        while (digest.endsWith('='))
            digest.chop(1);
        keys.append({parts[1], QStringLiteral("SHA256:") + QString::fromLatin1(digest)});
    }
    return keys;
}

} // namespace

QString ownKnownHostsFile()
{
    return dataFolder() + QStringLiteral("known_hosts");
}

QString userKnownHostsFile()
{
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

// One blocking call at a time, on a thread of its own.
class SftpPublishClient::CallThread {
public:
    CallThread() : m_thread([this] { loop(); }) {}
    ~CallThread()
    {
        {
            std::lock_guard lock(m_lock);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void start(std::function<void()> work)
    {
        std::lock_guard lock(m_lock);
        m_work = std::move(work);
        m_done = false;
        m_error = nullptr;
        m_changed.notify_all();
    }
    bool waitDone(int ms)
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_done; });
    }
    void forgetError() { m_error = nullptr; }
    void rethrow()
    {
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
    }

private:
    void loop()
    {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_changed.wait(lock, [this] { return m_quit || m_work; });
            if (m_quit)
                return;
            std::function<void()> work = std::exchange(m_work, nullptr);
            lock.unlock();
            std::exception_ptr error;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            m_error = error;
            m_done = true;
            m_changed.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void()> m_work;
    bool m_done = true;
    bool m_quit = false;
    std::exception_ptr m_error;
    std::thread m_thread; // last: it starts once the rest is ready
};

SftpPublishClient::SftpPublishClient() = default;

SftpPublishClient::~SftpPublishClient()
{
    try {
        close();
    } catch (const ETcpIpError &) {
    }
}

// Runs `work` on the call thread; the caller waits, the window's events go
// on, and the deadline (each operation's, or an upload's progress) or the
// user's giving up cuts the connection, which ends the call.
void SftpPublishClient::call(const QString &what, const std::function<void()> &work, Limit limit, int limitMs)
{
    if (!m_thread)
        m_thread = std::make_unique<CallThread>();
    m_limitMs = limitMs > 0 ? limitMs : TimeoutMs;
    m_callStarted = clockMs();
    m_progressMark = m_callStarted;
    m_timedOut = false;
    const bool pump = onWindowThread();
    m_thread->start(work);
    if (pump)
        ++m_pumping;
    while (!m_thread->waitDone(20)) {
        deliverEvents();
        if (pump)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!m_cut && !keepWaiting(limit))
            cutConnection();
    }
    if (pump)
        --m_pumping;
    deliverEvents();
    if (m_interrupted)
        throw ESftpError(QStringLiteral("Cancelled by the user"), QStringLiteral("przerwane przez użytkownika"), 0, true);
    if (m_timedOut) {
        m_thread->forgetError(); // what the cut call said is not the reason
        throw ESftpError(QStringLiteral("Timed out: %1").arg(what),
                         QStringLiteral("serwer nie odpowiedział w ciągu %1 s (%2)").arg(m_limitMs / 1000.0).arg(what), 0, true);
    }
    m_thread->rethrow();
}

bool SftpPublishClient::keepWaiting(Limit limit)
{
    if (m_interrupted)
        return false;
    const qint64 from = limit == Limit::Progress ? qint64(m_progressMark) : m_callStarted;
    if (clockMs() - from <= m_limitMs)
        return true;
    m_timedOut = true;
    return false;
}

void SftpPublishClient::deliverEvents()
{
    QStringList lines;
    {
        std::lock_guard lock(m_traceLock);
        lines.swap(m_traceLines);
    }
    if (m_events.trace)
        for (const QString &line : std::as_const(lines))
            m_events.trace(line.mid(1), TTraceLevel(line.at(0).unicode()));
    const qint64 moved = m_movedBytes.exchange(0);
    if (moved > 0 && m_events.moved)
        m_events.moved(m_sending, moved);
}

void SftpPublishClient::note(const QString &line, TTraceLevel level)
{
    std::lock_guard lock(m_traceLock);
    m_traceLines.append(QChar(ushort(level)) + line);
}

void SftpPublishClient::cutConnection()
{
    std::lock_guard lock(m_socketLock);
    m_cut = true;
    if (m_socket >= 0)
        net::shutdownBoth(m_socket);
}

void SftpPublishClient::interrupt()
{
    m_interrupted = true;
    cutConnection();
}

void SftpPublishClient::failSsh(const QString &what)
{
    const QString words = m_ssh ? QString::fromUtf8(ssh_get_error(m_ssh)) : QString();
    note(QStringLiteral("%1: %2").arg(what, words), tt_reply);
    throw ESftpError(QStringLiteral("SSH %1 failed: %2").arg(what, words),
                     m_cut ? QStringLiteral("połączenie zostało przerwane") : QStringLiteral("połączenie SSH z serwerem zostało przerwane"),
                     0, true);
}

void SftpPublishClient::failSftp(const QString &what, const QString &name)
{
    const int status = m_sftp ? sftp_get_error(m_sftp) : 0;
    if (status == SSH_FX_OK || status == SSH_FX_NO_CONNECTION || status == SSH_FX_CONNECTION_LOST || m_cut)
        failSsh(what + u' ' + name);
    note(QStringLiteral("%1 %2: %3").arg(what, name, sftpReason(status)), tt_reply);
    throw ESftpError(QStringLiteral("SFTP %1 %2 failed with status %3").arg(what, name).arg(status), sftpReason(status), status,
                     false);
}

QByteArray SftpPublishClient::pathOf(const QString &name) const
{
    if (name.startsWith(u'/'))
        return name.toUtf8();
    if (name.isEmpty() || name == u".")
        return m_folder.toUtf8();
    return (m_folder.endsWith(u'/') ? m_folder + name : m_folder + u'/' + name).toUtf8();
}

// --- The login ---

void SftpPublishClient::logIn(const PublishSettings &settings)
{
    close();
    m_interrupted = false;
    m_cut = false;
    m_replyCode = 0;
    m_server = settings.server;
    if (const QString problem = net::libssh().problem; !problem.isEmpty())
        throw ESftpError(QStringLiteral("libssh"), problem, 0, true);
    m_ssh = ssh_new();
    if (!m_ssh)
        throw ESftpError(QStringLiteral("ssh_new failed"), QStringLiteral("brak pamięci na połączenie SSH"), 0, true);
    setOptions(settings);
    call(QStringLiteral("połączenie"), [&] {
        connectSocket();
        if (ssh_connect(m_ssh) != SSH_OK)
            failSsh(QStringLiteral("connect"));
        note(QStringLiteral("SSH %1, %2").arg(QString::fromLatin1(ssh_get_cipher_out(m_ssh)),
                                              QString::fromLatin1(ssh_get_kex_algo(m_ssh))));
    });
    checkHostKey(settings);
    call(QStringLiteral("logowanie"), [&] { authenticate(settings); });
    if (authenticated)
        authenticated();
    call(QStringLiteral("otwarcie SFTP"), [&] {
        m_sftp = sftp_new(m_ssh);
        if (!m_sftp || sftp_init(m_sftp) != SSH_OK)
            failSsh(QStringLiteral("sftp_init"));
        char *home = sftp_canonicalize_path(m_sftp, ".");
        m_folder = home ? QString::fromUtf8(home) : QStringLiteral(".");
        ssh_string_free_char(home);
    });
}

// The server as typed ("host" or "host:port"), then what ~/.ssh/config
// says of it; the keys and known hosts are looked for in the home folder
// the program uses.
void SftpPublishClient::setOptions(const PublishSettings &settings)
{
    QString host = settings.server.trimmed();
    int port = 0;
    if (const qsizetype colon = host.lastIndexOf(u':'); colon > 0) {
        bool ok = false;
        port = host.mid(colon + 1).toInt(&ok);
        if (ok && port > 0 && port <= 65535)
            host.truncate(colon);
        else
            port = 0;
    }
    const QByteArray sshDir = QFile::encodeName(QDir::homePath() + QStringLiteral("/.ssh"));
    const QByteArray own = QFile::encodeName(ownKnownHostsFile());
    const QByteArray user = QFile::encodeName(userKnownHostsFile());
    // libssh's own limit stays behind ours, so that ours is the one that speaks.
    const long seconds = TimeoutMs / 1000 + 5;
    ssh_options_set(m_ssh, SSH_OPTIONS_HOST, host.toUtf8().constData());
    ssh_options_set(m_ssh, SSH_OPTIONS_SSH_DIR, sshDir.constData());
    ssh_options_parse_config(m_ssh, nullptr);
    if (port > 0)
        ssh_options_set(m_ssh, SSH_OPTIONS_PORT, &port);
    if (!settings.user.isEmpty())
        ssh_options_set(m_ssh, SSH_OPTIONS_USER, settings.user.toUtf8().constData());
    ssh_options_set(m_ssh, SSH_OPTIONS_KNOWNHOSTS, own.constData());
    ssh_options_set(m_ssh, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, user.constData());
    ssh_options_set(m_ssh, SSH_OPTIONS_TIMEOUT, &seconds);
}

// Our own socket, so that a deadline can shut it whatever libssh waits for.
void SftpPublishClient::connectSocket()
{
    char *hostName = nullptr;
    ssh_options_get(m_ssh, SSH_OPTIONS_HOST, &hostName);
    const QString host = QString::fromUtf8(hostName);
    ssh_string_free_char(hostName);
    unsigned int port = DefaultPort;
    ssh_options_get_port(m_ssh, &port);
    quint32 address = net::parseDotted(host);
    if (address == net::NoAddress)
        address = net::lookupHost(host);
    if (address == net::NoAddress) {
        m_replyCode = 221;
        throw ESftpError(QStringLiteral("Couldn't resolve hostname ") + host,
                         QStringLiteral("nie można znaleźć adresu serwera o tej nazwie"), 0, true);
    }
    const net::SocketHandle s = net::createTcpSocket();
    if (s == net::NoSocket)
        throw ESftpError(QStringLiteral("socket failed"), systemErrorText(net::lastError()), 0, true);
    {
        std::lock_guard lock(m_socketLock);
        m_socket = s;
    }
    net::setNonBlocking(s, true);
    int error = net::connectTo(s, address, quint16(port));
    if (net::wouldBlock(error)) {
        const net::Wait w = net::waitWritable(s, m_limitMs);
        error = w == net::Wait::Ready ? net::pendingError(s) : net::TimedOutError;
    }
    net::setNonBlocking(s, false);
    if (error != 0 || m_cut)
        throw ESftpError(QStringLiteral("connect to %1:%2 failed").arg(host).arg(port),
                         error == net::TimedOutError
                             ? QStringLiteral("serwer nie odpowiedział w ciągu %1 s na próbę połączenia (port %2)")
                                   .arg(m_limitMs / 1000.0).arg(port)
                             : QStringLiteral("%1 (port %2)").arg(systemErrorText(error)).arg(port),
                         0, true);
    note(QStringLiteral("Połączono z %1, port %2").arg(host).arg(port));
    socket_t fd = s;
    ssh_options_set(m_ssh, SSH_OPTIONS_FD, &fd); // the session uses it; closing it stays ours
}

// --- The server's key ---

void SftpPublishClient::checkHostKey(const PublishSettings &settings)
{
    ssh_key key = nullptr;
    ssh_get_server_publickey(m_ssh, &key);
    const ServerKey seen = describeKey(key);
    ssh_key_free(key);
    note(QStringLiteral("SSH: klucz serwera %1 %2").arg(seen.type, seen.fingerprint));
    const ssh_known_hosts_e state = ssh_session_is_known_server(m_ssh);
    if (state == SSH_KNOWN_HOSTS_OK)
        return;
    if (state == SSH_KNOWN_HOSTS_ERROR)
        throw ESftpError(QStringLiteral("known hosts: %1").arg(QString::fromUtf8(ssh_get_error(m_ssh))),
                         QStringLiteral("nie można odczytać pliku znanych serwerów \"%1\" ani \"%2\"")
                             .arg(ownKnownHostsFile(), userKnownHostsFile()),
                         0, true);
    if (state == SSH_KNOWN_HOSTS_UNKNOWN || state == SSH_KNOWN_HOSTS_NOT_FOUND) {
        if (!settings.trustedHostKey.isEmpty() && settings.trustedHostKey == seen.fingerprint) {
            if (settings.rememberHostKey)
                rememberHostKey();
            return;
        }
        throw hostKeyError(EHostKeyError::Kind::Unknown, seen.type, seen.fingerprint);
    }
    throw hostKeyError(state == SSH_KNOWN_HOSTS_CHANGED ? EHostKeyError::Kind::Changed : EHostKeyError::Kind::OtherType, seen.type,
                       seen.fingerprint);
}

EHostKeyError SftpPublishClient::hostKeyError(EHostKeyError::Kind kind, const QString &type, const QString &fingerprint)
{
    EHostKeyError e(kind, QStringLiteral("The host key of %1 is not known: %2").arg(m_server, fingerprint));
    e.reason = kind == EHostKeyError::Kind::Unknown ? QStringLiteral("nieznany klucz serwera")
                                                    : QStringLiteral("klucz serwera jest inny niż zapamiętany");
    e.host = knownHostsName();
    e.keyType = type;
    e.fingerprint = fingerprint;
    if (kind == EHostKeyError::Kind::Unknown)
        return e;
    e.knownIn = knownIn();
    const QList<ServerKey> known = knownKeysFor(e.knownIn, e.host);
    for (const ServerKey &k : known)
        if (e.knownFingerprint.isEmpty() || k.type == type) {
            e.knownType = k.type;
            e.knownFingerprint = k.fingerprint;
        }
    return e;
}

// "host", or "[host]:port" off the usual port, as the known-hosts files name it.
QString SftpPublishClient::knownHostsName() const
{
    char *hostName = nullptr;
    ssh_options_get(m_ssh, SSH_OPTIONS_HOST, &hostName);
    const QString host = QString::fromUtf8(hostName);
    ssh_string_free_char(hostName);
    unsigned int port = DefaultPort;
    ssh_options_get_port(m_ssh, &port);
    return port == DefaultPort ? host : QStringLiteral("[%1]:%2").arg(host).arg(port);
}

// Which file holds the key the server no longer shows: asked of our own alone.
QString SftpPublishClient::knownIn()
{
    const QByteArray none = QFile::encodeName(ownKnownHostsFile() + QStringLiteral(".brak"));
    const QByteArray user = QFile::encodeName(userKnownHostsFile());
    ssh_options_set(m_ssh, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, none.constData());
    const ssh_known_hosts_e own = ssh_session_is_known_server(m_ssh);
    ssh_options_set(m_ssh, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, user.constData());
    return own == SSH_KNOWN_HOSTS_CHANGED || own == SSH_KNOWN_HOSTS_OTHER ? ownKnownHostsFile() : userKnownHostsFile();
}

void SftpPublishClient::rememberHostKey()
{
    char *line = nullptr;
    if (ssh_session_export_known_hosts_entry(m_ssh, &line) != SSH_OK)
        failSsh(QStringLiteral("export of the host key"));
    QByteArray entry(line);
    ssh_string_free_char(line);
    if (!entry.endsWith('\n'))
        entry += '\n';
    const QString file = ownKnownHostsFile();
    QByteArray bytes;
    if (QFile existing(file); existing.open(QIODevice::ReadOnly))
        bytes = existing.readAll();
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (const std::optional<QString> problem = writeFileChecked(file, bytes + entry, FileAccess::OwnerOnly))
        throw ESftpError(QStringLiteral("Could not write %1").arg(file),
                         QStringLiteral("nie można zapamiętać klucza serwera w pliku \"%1\": %2").arg(file, *problem), 0, true);
    note(QStringLiteral("SSH: klucz serwera zapamiętany w %1").arg(file));
}

// The agent and the keys of ~/.ssh first (nothing typed is needed), then
// the password, as such or as the answer to keyboard-interactive prompts.
void SftpPublishClient::authenticate(const PublishSettings &settings)
{
    int rc = ssh_userauth_none(m_ssh, nullptr);
    if (rc == SSH_AUTH_SUCCESS)
        return;
    if (rc == SSH_AUTH_ERROR)
        failSsh(QStringLiteral("login"));
    const int methods = ssh_userauth_list(m_ssh, nullptr);
    const QByteArray password = settings.password.toUtf8();
    if (methods & SSH_AUTH_METHOD_PUBLICKEY) {
        rc = ssh_userauth_publickey_auto(m_ssh, nullptr, password.isEmpty() ? nullptr : password.constData());
        if (rc == SSH_AUTH_SUCCESS) {
            note(QStringLiteral("Zalogowano kluczem"), tt_reply);
            return;
        }
        if (rc == SSH_AUTH_ERROR)
            failSsh(QStringLiteral("login"));
    }
    if (!password.isEmpty() && passwordLogin(methods, password))
        return;
    m_replyCode = 530;
    note(QStringLiteral("Logowanie odrzucone"), tt_reply);
    throw ESftpError(QStringLiteral("Authentication refused"),
                     password.isEmpty() ? QStringLiteral("serwer nie przyjął żadnego klucza, a nie podano hasła")
                                        : QStringLiteral("serwer nie przyjął hasła ani klucza"),
                     0, false);
}

bool SftpPublishClient::passwordLogin(int methods, const QByteArray &password)
{
    if (methods & SSH_AUTH_METHOD_PASSWORD) {
        const int rc = ssh_userauth_password(m_ssh, nullptr, password.constData());
        if (rc == SSH_AUTH_SUCCESS)
            return true;
        if (rc == SSH_AUTH_ERROR)
            failSsh(QStringLiteral("login"));
    }
    if (!(methods & SSH_AUTH_METHOD_INTERACTIVE))
        return false;
    int rc = ssh_userauth_kbdint(m_ssh, nullptr, nullptr);
    for (int round = 0; rc == SSH_AUTH_INFO && round < 5; ++round) {
        const int prompts = ssh_userauth_kbdint_getnprompts(m_ssh);
        for (int i = 0; i < prompts; ++i) {
            char echo = 0;
            ssh_userauth_kbdint_getprompt(m_ssh, unsigned(i), &echo);
            ssh_userauth_kbdint_setanswer(m_ssh, unsigned(i), echo ? "" : password.constData());
        }
        rc = ssh_userauth_kbdint(m_ssh, nullptr, nullptr);
    }
    if (rc == SSH_AUTH_ERROR)
        failSsh(QStringLiteral("login"));
    return rc == SSH_AUTH_SUCCESS;
}

// --- Folders and files ---

void SftpPublishClient::enterFolder(const QString &name)
{
    const QByteArray path = name == u"/" ? QByteArray("/") : pathOf(name);
    call(QStringLiteral("folder"), [&] {
        sftp_attributes a = sftp_stat(m_sftp, path.constData());
        if (!a)
            failSftp(QStringLiteral("stat"), name);
        const bool folder = a->type == SSH_FILEXFER_TYPE_DIRECTORY;
        sftp_attributes_free(a);
        if (!folder)
            throw ESftpError(QStringLiteral("%1 is not a folder").arg(name),
                             QStringLiteral("\"%1\" na serwerze jest plikiem, nie folderem").arg(name), SSH_FX_FAILURE, false);
        char *canonical = sftp_canonicalize_path(m_sftp, path.constData());
        m_folder = canonical ? QString::fromUtf8(canonical) : QString::fromUtf8(path);
        ssh_string_free_char(canonical);
    });
    note(QStringLiteral("cd ") + name, tt_command);
}

// One request on one path that answers only yes or no.
void SftpPublishClient::request(const QString &command, const QString &what, const QString &name,
                                const std::function<int(const char *)> &send)
{
    note(command + u' ' + name, tt_command);
    const QByteArray path = pathOf(name);
    call(what, [&] {
        if (send(path.constData()) != 0)
            failSftp(command, name);
    });
}

void SftpPublishClient::makeFolder(const QString &name)
{
    request(QStringLiteral("mkdir"), QStringLiteral("tworzenie folderu"), name,
            [this](const char *path) { return sftp_mkdir(m_sftp, path, 0755); });
}

void SftpPublishClient::removeFolder(const QString &name)
{
    request(QStringLiteral("rmdir"), QStringLiteral("usuwanie folderu"), name,
            [this](const char *path) { return sftp_rmdir(m_sftp, path); });
}

void SftpPublishClient::remove(const QString &remoteName)
{
    request(QStringLiteral("rm"), QStringLiteral("usuwanie pliku"), remoteName,
            [this](const char *path) { return sftp_unlink(m_sftp, path); });
}

qint64 SftpPublishClient::remoteSize(const QString &remoteName)
{
    const QByteArray path = pathOf(remoteName);
    qint64 size = -1;
    call(QStringLiteral("rozmiar pliku"), [&] {
        sftp_attributes a = sftp_stat(m_sftp, path.constData());
        if (!a) {
            if (sftp_get_error(m_sftp) == SSH_FX_NO_SUCH_FILE)
                return;
            failSftp(QStringLiteral("stat"), remoteName);
        }
        if (a->flags & SSH_FILEXFER_ATTR_SIZE)
            size = qint64(a->size);
        sftp_attributes_free(a);
    });
    return size;
}

// SFTP as OpenSSH speaks it (version 3) renames onto no existing file: the
// old one steps aside first and comes back if the new one cannot take its
// place, so the real name is never left empty by a failure.
void SftpPublishClient::rename(const QString &from, const QString &to)
{
    note(QStringLiteral("rename %1 %2").arg(from, to), tt_command);
    const QByteArray source = pathOf(from);
    const QByteArray target = pathOf(to);
    const QByteArray aside = pathOf(to + QStringLiteral(".zk-stary"));
    call(QStringLiteral("zmiana nazwy"), [&] {
        if (sftp_rename(m_sftp, source.constData(), target.constData()) == 0)
            return;
        sftp_attributes there = sftp_stat(m_sftp, target.constData());
        if (!there)
            failSftp(QStringLiteral("rename"), from);
        sftp_attributes_free(there);
        sftp_unlink(m_sftp, aside.constData());
        if (sftp_rename(m_sftp, target.constData(), aside.constData()) != 0)
            failSftp(QStringLiteral("rename"), to);
        if (sftp_rename(m_sftp, source.constData(), target.constData()) != 0) {
            const int status = sftp_get_error(m_sftp);
            sftp_rename(m_sftp, aside.constData(), target.constData());
            throw ESftpError(QStringLiteral("rename %1 failed").arg(from), sftpReason(status), status, false);
        }
        sftp_unlink(m_sftp, aside.constData());
    });
}

void SftpPublishClient::send(QIODevice *file, const QString &remoteName, qint64 from)
{
    note(QStringLiteral("put %1%2").arg(remoteName, from > 0 ? QStringLiteral(" od bajtu %1").arg(from) : QString()), tt_command);
    const QByteArray path = pathOf(remoteName);
    m_sending = remoteName;
    qint64 sent = 0;
    call(QStringLiteral("wysyłanie pliku"), [&] { sent = uploadFrom(file, path, remoteName, from); }, Limit::Progress);
    note(QStringLiteral("%1: %2 bajtów").arg(remoteName).arg(sent), tt_reply);
    deliverEvents();
    if (m_events.sent)
        m_events.sent(remoteName, sent);
}

// Streams the file in pieces, never whole in memory; the progress each
// piece makes keeps the deadline away.
qint64 SftpPublishClient::uploadFrom(QIODevice *file, const QByteArray &path, const QString &name, qint64 from)
{
    const int flags = O_WRONLY | O_CREAT | (from > 0 ? 0 : O_TRUNC);
    sftp_file remote = sftp_open(m_sftp, path.constData(), flags, 0644);
    if (!remote)
        failSftp(QStringLiteral("open"), name);
    auto closer = qScopeGuard([&] { sftp_close(remote); });
    if (from > 0 && (sftp_seek64(remote, quint64(from)) != 0 || !file->seek(from)))
        throw ESftpError(QStringLiteral("seek failed"), QStringLiteral("nie można wznowić wysyłania od bajtu %1").arg(from),
                         0, false);
    QByteArray buffer(ChunkSize, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = file->read(buffer.data(), ChunkSize);
        if (n < 0)
            throw ESftpError(QStringLiteral("read failed"),
                             QStringLiteral("nie można odczytać pliku: %1").arg(file->errorString()), 0, false);
        if (n == 0)
            break;
        if (sftp_write(remote, buffer.constData(), size_t(n)) != n)
            failWrite(name, path);
        total += n;
        m_movedBytes += n;
        m_progressMark = clockMs();
    }
    closer.dismiss();
    if (sftp_close(remote) != 0)
        failWrite(name, path);
    return total;
}

// A refused write is most often a full disk, which SFTP version 3 calls
// only "failure": the server's free space says which.
void SftpPublishClient::failWrite(const QString &name, const QByteArray &path)
{
    if (sftp_get_error(m_sftp) == SSH_FX_FAILURE && sftp_extension_supported(m_sftp, "statvfs@openssh.com", "2")) {
        const QByteArray folder = path.left(std::max<qsizetype>(1, path.lastIndexOf('/')));
        if (sftp_statvfs_t space = sftp_statvfs(m_sftp, folder.constData())) {
            const quint64 free = space->f_bavail * space->f_frsize;
            sftp_statvfs_free(space);
            if (free < quint64(ChunkSize))
                throw ESftpError(QStringLiteral("write %1: no space").arg(name), QStringLiteral("brak miejsca na serwerze"),
                                 SSH_FX_FAILURE, false);
        }
    }
    failSftp(QStringLiteral("write"), name);
}

std::optional<QByteArray> SftpPublishClient::download(const QString &remoteName, qint64 limit, bool)
{
    const QByteArray path = pathOf(remoteName);
    std::optional<QByteArray> bytes;
    call(QStringLiteral("pobieranie pliku"), [&] {
        sftp_file remote = sftp_open(m_sftp, path.constData(), O_RDONLY, 0);
        if (!remote) {
            if (sftp_get_error(m_sftp) == SSH_FX_NO_SUCH_FILE)
                return;
            failSftp(QStringLiteral("open"), remoteName);
        }
        const auto closer = qScopeGuard([&] { sftp_close(remote); });
        QByteArray data;
        char buffer[32768];
        for (;;) {
            const ssize_t n = sftp_read(remote, buffer, sizeof buffer);
            if (n < 0)
                failSftp(QStringLiteral("read"), remoteName);
            if (n == 0)
                break;
            data.append(buffer, n);
            if (data.size() > limit)
                throw ESftpError(QStringLiteral("%1 is larger than %2 bytes").arg(remoteName).arg(limit),
                                 QStringLiteral("plik %1 na serwerze jest większy niż %2 bajtów").arg(remoteName).arg(limit),
                                 0, false);
        }
        bytes = data;
    }, Limit::Progress);
    return bytes;
}

void SftpPublishClient::list(const QString &folder, ServerView &into)
{
    const QByteArray path = pathOf(folder);
    const QString prefix = folder.isEmpty() ? QString() : folder + u'/';
    call(QStringLiteral("spis folderu"), [&] {
        sftp_dir dir = sftp_opendir(m_sftp, path.constData());
        if (!dir) {
            // No such folder: nothing in it, the safe side (a file not seen is sent, never deleted).
            if (sftp_get_error(m_sftp) == SSH_FX_NO_SUCH_FILE)
                return;
            failSftp(QStringLiteral("ls"), folder);
        }
        const auto closer = qScopeGuard([&] { sftp_closedir(dir); });
        while (sftp_attributes a = sftp_readdir(m_sftp, dir)) {
            const QString name = QString::fromUtf8(a->name);
            if (name != u"." && name != u"..") {
                if (a->type == SSH_FILEXFER_TYPE_DIRECTORY)
                    into.folders.insert(prefix + name);
                else if (a->type == SSH_FILEXFER_TYPE_REGULAR)
                    into.files.insert(prefix + name, (a->flags & SSH_FILEXFER_ATTR_SIZE) ? qint64(a->size) : -1);
            }
            sftp_attributes_free(a);
        }
        if (!sftp_dir_eof(dir))
            failSftp(QStringLiteral("ls"), folder);
    });
}

// --- Errors and the end ---

bool SftpPublishClient::isUnsupported(const ETcpIpError &error) const
{
    const auto *e = dynamic_cast<const ESftpError *>(&error);
    return e && e->status == SSH_FX_OP_UNSUPPORTED;
}

bool SftpPublishClient::isMissingFolder(const ETcpIpError &error) const
{
    const auto *e = dynamic_cast<const ESftpError *>(&error);
    return e && (e->status == SSH_FX_NO_SUCH_FILE || e->status == SSH_FX_NO_SUCH_PATH);
}

bool SftpPublishClient::isConnectionLost(const ETcpIpError &error) const
{
    const auto *e = dynamic_cast<const ESftpError *>(&error);
    return !e || e->lost;
}

void SftpPublishClient::close()
{
    if (!m_ssh)
        return;
    if (m_thread && !m_cut) {
        try {
            call(QStringLiteral("zamykanie"), [this] { endSession(); }, Limit::Operation, CloseLimitMs);
            return;
        } catch (const ETcpIpError &) {
            // cut by its limit: what is left is freed below without a word to the server
        }
    }
    endSession();
}

void SftpPublishClient::endSession()
{
    if (m_sftp)
        sftp_free(std::exchange(m_sftp, nullptr));
    ssh_session ssh = std::exchange(m_ssh, nullptr);
    if (!ssh)
        return;
    net::SocketHandle own = net::NoSocket;
    {
        std::lock_guard lock(m_socketLock);
        own = std::exchange(m_socket, net::NoSocket);
    }
    // libssh closes the socket itself when the server drops the connection;
    // its number may then already be another file's, which must stay open.
    // (Its disconnect below lets go of the socket without closing it.)
    const bool stillOpen = ssh_get_fd(ssh) == own;
    if (!m_cut)
        ssh_disconnect(ssh);
    ssh_free(ssh);
    if (own != net::NoSocket && stillOpen)
        net::closeHandle(own);
}

} // namespace zk
