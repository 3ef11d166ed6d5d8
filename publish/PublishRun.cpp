#include "PublishRun.h"

#include "Paths.h"
#include "PublishLogic.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <QDir>
#include <QScopeGuard>
#include <QLocale>
#include <QTemporaryFile>
#include <QUuid>

namespace zk {

// Where the further connections wait, logged in, until the plan says
// whether they carry files (and which folders exist by then).
struct PublishRun::LaneGate {
    std::mutex mutex;
    std::condition_variable decided;
    int wanted = -1; // how many of them carry files; -1 while the plan is made
    SendQueue *queue = nullptr;
    std::unique_ptr<SendQueue> keptQueue;
    QSet<QString> foldersMade, absent;
    std::atomic<int> busy{0}; // given files and not yet done

    // Folders the first connection offers to be listed while it reads the
    // record: each is listed once, by whichever connection takes it first.
    struct Listing {
        QString folder;
        enum { Waiting, Taken, Done, Failed, Withdrawn } state = Waiting;
        ServerView seen;
    };
    QList<Listing> listings; // fixed once offered
    bool offered = false;
    std::condition_variable listed;
};


QString reasonFor(const ETcpIpError &error)
{
    if (!error.reason.isEmpty())
        return error.reason;
    if (const auto *tls = dynamic_cast<const ETlsError *>(&error); tls && !tls->problem.isEmpty())
        return tls->problem;
    const auto *reply = dynamic_cast<const EProtocolError *>(&error);
    if (!reply || reply->ErrorCode < 400 || reply->ErrorCode > 599)
        return QStringLiteral("nieoczekiwany błąd połączenia z serwerem");
    const QString words = QStringLiteral("odpowiedź serwera: %1 %2").arg(reply->ErrorCode).arg(error.text().trimmed().left(200));
    switch (reply->ErrorCode) {
    case 421: return QStringLiteral("serwer zakończył połączenie (%1)").arg(words);
    case 425:
    case 426: return QStringLiteral("serwer przerwał połączenie danych (%1)").arg(words);
    case 450:
    case 550: return QStringLiteral("serwer odmówił: brak uprawnień albo nie ma takiego pliku lub foldera (%1)").arg(words);
    case 452:
    case 552: return QStringLiteral("brak miejsca na serwerze (%1)").arg(words);
    case 553: return QStringLiteral("serwer nie przyjął tej nazwy pliku albo brak uprawnień (%1)").arg(words);
    case 530: return QStringLiteral("serwer nie przyjął logowania (%1)").arg(words);
    case 500:
    case 501:
    case 502:
    case 504: return QStringLiteral("serwer nie obsługuje tego polecenia (%1)").arg(words);
    case 522:
    case 534: return QStringLiteral("serwer wymaga innego szyfrowania połączenia (%1)").arg(words);
    default: return QStringLiteral("serwer odmówił (%1)").arg(words);
    }
}

QString conversationLine(const QString &line, TTraceLevel level)
{
    if (level == tt_command)
        return QStringLiteral("> ") + line;
    if (level == tt_reply)
        return QStringLiteral("< ") + line;
    if (line.startsWith(QLatin1String("TLS")) || line.startsWith(QLatin1String("SSL")))
        return QStringLiteral("Szyfrowanie: ") + line.section(QStringLiteral(" on socket"), 0, 0);
    return {};
}

QString sentFileLine(const QString &name, qint64 bytes, qint64 ms)
{
    const QLocale polish(QLocale::Polish);
    const double seconds = std::max<qint64>(1, ms) / 1000.0;
    return QStringLiteral("Wysłano \"%1\": %2 bajtów w %3 s (%4 kB/s)")
        .arg(name)
        .arg(bytes)
        .arg(polish.toString(seconds, 'f', 2), polish.toString(double(bytes) / 1000 / seconds, 'f', 1));
}

void TransferProgress::begin(qint64 total)
{
    m_total = total;
    m_done = m_current = 0;
    m_lastRedraw = -1000;
    m_clock.start();
}

void TransferProgress::fileDone(qint64 size)
{
    m_done += size;
    m_current = 0;
}

int TransferProgress::percent() const
{
    return m_total > 0 ? int(std::min<qint64>(100, (m_done + m_current) * 100 / m_total)) : 0;
}

QString TransferProgress::text() const
{
    const QLocale polish(QLocale::Polish);
    const qint64 sent = std::min(m_total, m_done + m_current);
    QString text = QStringLiteral("Wysłano %1 z %2").arg(polish.formattedDataSize(sent, 1, QLocale::DataSizeSIFormat),
                                                        polish.formattedDataSize(m_total, 1, QLocale::DataSizeSIFormat));
    const qint64 ms = m_clock.isValid() ? m_clock.elapsed() : 0;
    if (ms < 500 || sent == 0)
        return text; // too early for a speed that means anything
    const double perSecond = sent * 1000.0 / ms;
    text += QStringLiteral(", %1/s").arg(polish.formattedDataSize(qint64(perSecond), 1, QLocale::DataSizeSIFormat));
    const qint64 left = qint64((m_total - sent) / perSecond + 0.5);
    if (sent < m_total)
        text += left >= 90 ? QStringLiteral(", zostało ok. %1 min").arg((left + 30) / 60)
                           : QStringLiteral(", zostało ok. %1 s").arg(std::max<qint64>(1, left));
    return text;
}

bool TransferProgress::dueForRedraw()
{
    const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
    if (now - m_lastRedraw < 100 && m_done + m_current < m_total)
        return false;
    m_lastRedraw = now;
    return true;
}

QString PublishRun::temporaryNameFor(const QString &remoteName)
{
    const qsizetype slash = remoteName.lastIndexOf(u'/');
    return remoteName.left(slash + 1) + u'.' + remoteName.mid(slash + 1) + QStringLiteral(".zentarek-czesc");
}

PublishRun::PublishRun(PublishClient &client, Hooks hooks) : m_client(&client), m_hooks(std::move(hooks)) {}

void PublishRun::useClient(PublishClient &client)
{
    if (&client != m_client)
        m_client->forgetFile(m_uploading.get());
    m_client = &client;
}

PublishRun::~PublishRun()
{
    m_client->forgetFile(m_uploading.get()); // the file goes before the client
}

void PublishRun::cancel()
{
    m_cancelled = true;
    m_client->interrupt();
}

void PublishRun::asyncFailed(const ETcpIpError &error)
{
    m_asyncFailed = true; // the wait ends and the run reports the file under way
    m_reason = reasonFor(error);
    m_lost = m_client->isConnectionLost(error);
    m_client->stopWaiting();
}

QString PublishRun::withReason(const QString &text, const ETcpIpError &error) const
{
    return text + QStringLiteral("\nPrzyczyna: %1.").arg(reasonFor(error));
}

// The file under way and why; and what the server already holds anew.
bool PublishRun::failed(const QString &path)
{
    QString text = QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!").arg(path);
    if (!m_reason.isEmpty())
        text += QStringLiteral("\nPrzyczyna: %1.").arg(m_reason);
    if (!m_placed.isEmpty()) {
        constexpr qsizetype Shown = 10;
        QString names = m_placed.mid(0, Shown).join(QStringLiteral(", "));
        if (m_placed.size() > Shown)
            names += QStringLiteral(" i %1 innych").arg(m_placed.size() - Shown);
        text += QStringLiteral("\nNa serwer trafiły już nowe wersje plików: %1.").arg(names);
    }
    return fail(text);
}

// The server may already be gone; its failure must not bring a second message.
void PublishRun::closeQuietly()
{
    try {
        m_client->close();
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
    m_directly = false;
    m_reason.clear();
    m_placed.clear();
    m_folderOnServer.clear();
    m_remoteFoldersMade.clear();
    m_foldersCreated.clear();
    m_targetMade = false;
    m_plan = {};
    m_writtenRevision.clear();
    if (!namesCanBeSent(settings, files, remoteNames))
        return false;
    if (const QString problem = targetFolder(settings.folder).problem; !problem.isEmpty()) {
        m_hooks.error(problem); // before anything is sent
        return false;
    }
    // Read here before the server is kept waiting, on every core: a site of
    // photos is seconds of hashing. The pool is this run's, so its threads
    // end with it.
    PlanInput in;
    {
        QThreadPool pool;
        in.files = QtConcurrent::blockingMapped(&pool, files, [&remoteNames](const QString &path) {
            return describeLocalFile(path, remoteNames.value(path, fileNameOf(path)));
        });
    }
    // A program folder without the badge is no error; a badge that could
    // not be sent is, like any other file.
    if (QFile::exists(badge))
        in.files << describeLocalFile(badge, BadgeRemoteName);
    // The further connections log in while this one finishes its own and
    // reads the server (any question of trust is answered by then); they
    // list folders for it, wait for the plan, and go without a file when it
    // needs none of them. However the run ends, they are joined.
    const auto lanesEnd = qScopeGuard([this] { endLanes(); });
    m_client->authenticated = [this, &settings, &in] { startLanes(settings, in.files.size()); };
    const bool loggedIn = logIn(settings);
    m_client->authenticated = nullptr;
    if (!loggedIn)
        return false;
    if (m_loggedIn)
        m_loggedIn();
    settings.folder = normalizedTargetFolder(settings.folder);
    if (!enterFolders(settings))
        return false;
    try {
        m_folderOnServer = m_client->currentFolder();
    } catch (const ETcpIpError &e) {
        return fail(withReason(QStringLiteral("Błąd przy próbie połączenia z \"%1\"!").arg(settings.server), e));
    }
    m_target = m_folderOnServer.isEmpty() ? settings.folder : m_folderOnServer;
    if (!readServer(settings, in))
        return false;
    m_plan = planPublish(in);
    if (m_hooks.planned)
        m_hooks.planned(m_plan);
    if (m_dryRun) {
        closeQuietly();
        return true;
    }
    if (!sendPlanned(settings, badge))
        return false;
    deleteOldFiles();
    return writeManifest(settings);
}

// The record of what this program wrote there, and what the server holds:
// the listing of each folder concerned where the record can be trusted,
// else the size of each file of the publication (nothing is deleted then).
bool PublishRun::readServer(const PublishSettings &settings, PlanInput &in)
{
    m_journalPath = journalPathFor(settings.server, m_target);
    in.knownRevision = settings.knownRevision;
    in.everything = settings.everything;
    m_keepsRecord = m_client->canTellSizes();
    if (!m_keepsRecord)
        return true; // every file goes, and no record that could never be read
    if (m_targetMade)
        in.server.listed = true; // a folder made just now holds nothing: nothing to ask
    else if (!readWhatIsThere(settings, in))
        return false;
    m_journal = readJournal(m_journalPath);
    if (m_journal.baseRevision != in.manifest.manifest.revision)
        m_journal = PublishJournal{in.manifest.manifest.revision, {}, {}, {}};
    in.journal = m_journal;
    return true;
}

bool PublishRun::readWhatIsThere(const PublishSettings &settings, PlanInput &in)
{
    try {
        const bool wroteItLastTime = !settings.knownRevision.isEmpty();
        const auto withdraw = qScopeGuard([this] { withdrawListings(); });
        if (wroteItLastTime) { // its folders will be listed: the other connections start on them now
            QStringList names;
            for (const LocalFile &f : std::as_const(in.files))
                names << f.remoteName;
            offerListings(foldersNeeded(names));
        }
        const std::optional<QByteArray> bytes = m_client->download(ManifestName, ManifestSizeLimit, wroteItLastTime);
        in.manifest = bytes ? readManifest(*bytes, m_target) : ManifestRead{};
        if (in.manifest.state == ManifestState::Valid) {
            in.server.listed = true;
            QStringList names = in.manifest.manifest.files.keys();
            for (const LocalFile &f : std::as_const(in.files))
                names << f.remoteName;
            QStringList folders = QStringList{QString()} + foldersNeeded(names) + in.manifest.manifest.folders;
            folders.removeDuplicates();
            listFolders(folders, in.server);
        } else {
            serverSizes(in);
        }
    } catch (const ETcpIpError &e) {
        return fail(withReason(QStringLiteral("Nie można odczytać, co jest w folderze \"%1\" na serwerze \"%2\"!")
                                   .arg(m_target, settings.server), e));
    }
    return true;
}

// Without a record: the size of each file of the publication, from a listing
// of its folders where that takes fewer round trips than asking file by file.
void PublishRun::serverSizes(PlanInput &in)
{
    QStringList names;
    for (const LocalFile &f : std::as_const(in.files))
        names << f.remoteName;
    const QStringList folders = QStringList{QString()} + foldersNeeded(names);
    constexpr qsizetype RoundTripsPerListing = 4; // PASV, the listing, its end, TYPE
    if (names.size() > RoundTripsPerListing * folders.size()) {
        in.server.listed = true;
        listFolders(folders, in.server);
        return;
    }
    for (const QString &name : std::as_const(names))
        if (const qint64 size = m_client->remoteSize(name); size >= 0)
            in.server.files.insert(name, size);
}

void PublishRun::offerListings(const QStringList &folders)
{
    if (!m_gate || folders.isEmpty())
        return;
    std::lock_guard lock(m_gate->mutex);
    for (const QString &folder : folders)
        m_gate->listings.append({folder, LaneGate::Listing::Waiting, {}});
    m_gate->offered = true;
    m_gate->decided.notify_all();
}

// On this connection, save the folders another one has taken: those are
// waited for, and listed here after all if that connection failed.
void PublishRun::listFolders(const QStringList &folders, ServerView &into)
{
    QList<qsizetype> elsewhere;
    for (const QString &folder : folders) {
        if (const qsizetype job = takeListing(folder); job >= 0)
            elsewhere << job;
        else
            m_client->list(folder, into);
    }
    for (const qsizetype job : std::as_const(elsewhere)) {
        std::unique_lock lock(m_gate->mutex);
        LaneGate::Listing &l = m_gate->listings[job];
        while (l.state == LaneGate::Listing::Taken) {
            if (m_cancelled)
                throw ETcpIpError(QStringLiteral("cancelled"), QStringLiteral("przerwano"));
            m_gate->listed.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20); // the window stays alive meanwhile
            lock.lock();
        }
        if (l.state == LaneGate::Listing::Done) {
            into.files.insert(l.seen.files);
            into.folders.unite(l.seen.folders);
            continue;
        }
        const QString folder = l.folder;
        lock.unlock();
        m_client->list(folder, into);
    }
}

// -1: list it here (not offered, or nobody had taken it yet); else the
// listing another connection has taken or finished.
qsizetype PublishRun::takeListing(const QString &folder)
{
    if (!m_gate)
        return -1;
    std::lock_guard lock(m_gate->mutex);
    for (qsizetype i = 0; i < m_gate->listings.size(); ++i) {
        LaneGate::Listing &l = m_gate->listings[i];
        if (l.folder != folder)
            continue;
        if (l.state == LaneGate::Listing::Waiting || l.state == LaneGate::Listing::Withdrawn) {
            l.state = LaneGate::Listing::Withdrawn;
            return -1;
        }
        return i;
    }
    return -1;
}

void PublishRun::withdrawListings()
{
    if (!m_gate)
        return;
    std::lock_guard lock(m_gate->mutex);
    for (LaneGate::Listing &l : m_gate->listings)
        if (l.state == LaneGate::Listing::Waiting)
            l.state = LaneGate::Listing::Withdrawn;
}

// On a further connection, in the target folder: the offered folders until
// none is left. False when this session failed and can carry nothing more.
bool PublishRun::listForTheFirst(LaneGate &gate, const PublishSettings &settings, bool &inFolder)
{
    for (;;) {
        qsizetype job = -1;
        QString folder;
        {
            std::lock_guard lock(gate.mutex);
            for (qsizetype i = 0; i < gate.listings.size() && job < 0; ++i)
                if (gate.listings[i].state == LaneGate::Listing::Waiting)
                    job = i;
            if (job < 0)
                return true;
            gate.listings[job].state = LaneGate::Listing::Taken;
            folder = gate.listings[job].folder;
        }
        ServerView seen;
        bool ok = inFolder || enterTargetFolder(settings);
        inFolder = ok;
        try {
            if (ok)
                m_client->list(folder, seen);
        } catch (const std::exception &) {
            ok = false; // the first connection lists it itself
        }
        {
            std::lock_guard lock(gate.mutex);
            gate.listings[job].state = ok ? LaneGate::Listing::Done : LaneGate::Listing::Failed;
            gate.listings[job].seen = std::move(seen);
        }
        gate.listed.notify_all();
        if (!ok)
            return false;
    }
}

namespace {

// Pictures and sounds, then the other pages, then the start page alone.
QList<QList<LocalFile>> stagesOf(const QList<LocalFile> &inOrder)
{
    QList<QList<LocalFile>> stages(3);
    for (const LocalFile &f : inOrder) {
        const bool start = f.remoteName.compare(QLatin1String("index.html"), Qt::CaseInsensitive) == 0
                        || f.remoteName.compare(QLatin1String("index.htm"), Qt::CaseInsensitive) == 0;
        stages[start ? 2 : imageForFile(f.path) == 1 ? 1 : 0] << f;
    }
    return stages;
}

} // namespace

// Folders first, on this connection; then the files, each on the connection
// that is free, the stages in turn. A server that refuses the further
// logins is used with the connections it allowed, without a word.
bool PublishRun::sendPlanned(const PublishSettings &settings, const QString &badge)
{
    if (m_plan.keepBadAside)
        setBadManifestAside();
    for (const LocalFile &f : std::as_const(m_plan.toSend))
        makeRemoteFoldersFor(f.remoteName);
    m_absent = m_plan.absent;
    QList<QList<LocalFile>> stages = stagesOf(m_plan.toSend);
    const bool recordAhead = queueRecordAhead(stages);
    auto owned = std::make_unique<SendQueue>(stages);
    SendQueue &queue = *owned;
    // The further connections may still be saying goodbye after this
    // returns: their queue lives until they are joined, however the run ends.
    if (m_gate)
        m_gate->keptQueue = std::move(owned);
    const auto stopOnExit = qScopeGuard([&] { queue.stop(); });
    const qsizetype worthIt = recordAhead ? std::max<qsizetype>(1, m_plan.toSend.size() - 2) : m_plan.toSend.size() - 2;
    openLanes(queue, int(std::clamp<qsizetype>(worthIt, 0, qsizetype(m_lanes.size()))));
    QString failedPath;
    for (bool later = false;;) {
        takeFinished(queue, failedPath);
        if (m_cancelled)
            queue.stop();
        if (const std::optional<LocalFile> f = queue.next(false, &later)) {
            if (sentIfRecordAhead(queue, *f, *this, 0))
                continue;
            const bool sent = sendWithRetries(settings, *f, f->remoteName == BadgeRemoteName && f->path == badge);
            queue.finished({*f, sent, m_reason, 0});
            continue;
        }
        if (!later)
            break;
        queue.waitForChange(20); // the stage's last files are on other connections
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    while (m_gate && m_gate->busy > 0) {
        queue.waitForChange(20, [this] { return m_gate->busy == 0; });
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    takeFinished(queue, failedPath);
    return failedPath.isEmpty() ? !m_cancelled : failed(failedPath);
}

void PublishRun::startLanes(const PublishSettings &settings, qsizetype files)
{
    if (m_gate || !m_makeClient || m_dryRun || settings.connections < 2 || files < 3)
        return;
    m_gate = std::make_unique<LaneGate>();
    for (int i = 1; i < settings.connections; ++i)
        m_lanes.emplace_back([this, settings, i] {
            try {
                sendOnAnotherConnection(settings, *m_gate, i);
            } catch (const std::exception &) {
                // a connection that cannot even start leaves the files to the others
            }
        });
}

void PublishRun::openLanes(SendQueue &queue, int wanted)
{
    if (!m_gate)
        return;
    std::lock_guard lock(m_gate->mutex);
    m_gate->queue = &queue;
    m_gate->foldersMade = m_remoteFoldersMade;
    m_gate->absent = m_absent;
    m_gate->busy = wanted;
    m_gate->wanted = wanted;
    m_gate->decided.notify_all();
}

// Those still waiting go without a file; every thread is joined.
void PublishRun::endLanes()
{
    if (!m_gate)
        return;
    {
        std::lock_guard lock(m_gate->mutex);
        if (m_gate->wanted < 0)
            m_gate->wanted = 0;
        m_gate->decided.notify_all();
    }
    for (std::thread &t : m_lanes)
        if (t.joinable())
            t.join();
    m_lanes.clear();
    m_gate.reset();
}

// One more session, in its own thread: it logs in, waits for the plan, then
// takes files until none are left and reports each through the queue; it
// says nothing itself.
void PublishRun::sendOnAnotherConnection(const PublishSettings &settings, LaneGate &gate, int connection)
{
    std::unique_ptr<PublishClient> client = m_makeClient();
    PublishRun lane(*client, {.error = [](const QString &) {}, .confirm = [](const QString &) { return false; }});
    PublishSettings own = settings;
    own.async = false; // this thread has no event loop: its waits are plain ones with deadlines
    bool loggedIn = true;
    try {
        client->logIn(own);
    } catch (const ETcpIpError &) {
        loggedIn = false; // the server allows fewer connections: the others carry on
    }
    bool listing = false, inFolder = false;
    if (loggedIn) {
        std::unique_lock lock(gate.mutex);
        gate.decided.wait(lock, [&] { return gate.wanted >= 0 || gate.offered; });
        listing = gate.wanted < 0 && gate.offered;
    }
    if (listing)
        loggedIn = lane.listForTheFirst(gate, own, inFolder);
    SendQueue *queue = nullptr;
    {
        std::unique_lock lock(gate.mutex);
        gate.decided.wait(lock, [&] { return gate.wanted >= 0; });
        if (connection <= gate.wanted) {
            queue = gate.queue;
            lane.m_remoteFoldersMade = gate.foldersMade;
            lane.m_absent = gate.absent;
        }
    }
    const auto done = qScopeGuard([&] {
        if (queue) {
            --gate.busy;
            queue->wake(); // the first connection need not wait for this one's QUIT
        }
        lane.closeQuietly();
    });
    if (!queue || !loggedIn || (!inFolder && !lane.enterTargetFolder(own)))
        return;
    while (const std::optional<LocalFile> f = queue->next(true)) {
        if (sentIfRecordAhead(*queue, *f, lane, connection)) {
            if (lane.m_lost)
                break;
            continue;
        }
        bool sent = false;
        try {
            sent = lane.sendWithRetries(own, *f, false);
        } catch (const std::exception &) {
            lane.m_reason = QStringLiteral("nieoczekiwany błąd połączenia z serwerem");
        }
        queue->finished({*f, sent, lane.m_reason, connection}); // every file taken is given back, sent or not
        if (!sent)
            break;
    }
}

// In the window's thread: what arrived is recorded and reported; the
// first failure is the one said.
void PublishRun::takeFinished(SendQueue &queue, QString &failedPath)
{
    for (const SendQueue::Done &d : queue.takeFinished()) {
        if (isRecordAhead(d.file))
            continue; // not a file of the publication
        if (!d.ok) {
            if (failedPath.isEmpty()) {
                failedPath = d.file.path;
                m_reason = d.reason;
            }
            continue;
        }
        notePlaced(d.file);
        if (d.connection != 0) {
            m_placed << d.file.remoteName;
            if (m_hooks.sentElsewhere)
                m_hooks.sentElsewhere(d.file.path, d.file.remoteName, d.file.record.size);
        }
    }
}

void PublishRun::notePlaced(const LocalFile &file)
{
    m_journal.placed.insert(file.remoteName, file.record);
    if (m_journal.partialName == temporaryNameFor(file.remoteName))
        m_journal.partialName.clear();
    if (!m_journalPath.isEmpty())
        writeJournal(m_journalPath, m_journal);
}

bool PublishRun::sendWithRetries(const PublishSettings &settings, const LocalFile &file, bool isBadge)
{
    for (int attempt = 0;; ++attempt) {
        m_lost = false;
        if (uploadFile(file.path, file.remoteName, isBadge, file.record.sha256))
            return true;
        if (!m_lost || m_cancelled || attempt == Retries || !reconnect(settings))
            return false;
    }
}

// After a lost connection: a fresh login, and back into the target folder
// (which exists by now).
bool PublishRun::reconnect(const PublishSettings &settings)
{
    closeQuietly();
    try {
        m_client->logIn(settings);
    } catch (const ETcpIpError &) {
        return false; // the file's own failure is the one said
    }
    return enterTargetFolder(settings);
}

bool PublishRun::enterTargetFolder(const PublishSettings &settings)
{
    try {
        const TargetFolder target = targetFolder(settings.folder);
        if (target.fromRoot)
            m_client->enterFolder(QStringLiteral("/"));
        for (const QString &piece : target.pieces)
            m_client->enterFolder(piece);
    } catch (const ETcpIpError &) {
        return false;
    }
    m_asyncFailed = false;
    return true;
}

// Only files this program wrote there, and only once everything arrived; the
// many are not deleted without asking. A file that will not go stays in the
// record, to be deleted next time.
void PublishRun::deleteOldFiles()
{
    if (m_plan.doUsuniecia.isEmpty() || m_cancelled)
        return;
    const auto &ask = m_hooks.confirmDeletion ? m_hooks.confirmDeletion : m_hooks.confirm;
    if (m_plan.deletionNeedsConsent && !ask(deletionQuestion(m_plan))) {
        for (const QString &path : std::as_const(m_plan.doUsuniecia))
            m_plan.next.files.insert(path, m_plan.toDeleteRecords.value(path));
        m_plan.next.folders += m_plan.foldersToRemove;
        return;
    }
    for (const QString &path : std::as_const(m_plan.doUsuniecia)) {
        try {
            m_client->remove(path);
        } catch (const ETcpIpError &) {
            m_plan.next.files.insert(path, m_plan.toDeleteRecords.value(path));
        }
    }
    for (const QString &folder : std::as_const(m_plan.foldersToRemove)) {
        try {
            m_client->removeFolder(folder);
        } catch (const ETcpIpError &) {
            m_plan.next.folders << folder;
        }
    }
}

namespace {

// The record as a local file for the client to send.
std::unique_ptr<QTemporaryFile> recordFileOf(const Manifest &manifest)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/zentarek-spis-XXXXXX"));
    const QByteArray bytes = manifestJson(manifest);
    if (!file->open() || file->write(bytes) != bytes.size() || !file->flush())
        return nullptr;
    return file;
}

} // namespace

// Last of all, so that a run cut short leaves the old record true of what
// it names; a record that cannot be written is a failed publication. One
// that went ahead on another connection is only renamed here.
bool PublishRun::writeManifest(const PublishSettings &settings)
{
    if (!m_keepsRecord)
        return true;
    const bool ahead = bool(m_recordFile);
    const Manifest next = ahead ? m_recordAhead : nextManifest();
    const auto done = qScopeGuard([this] { m_recordFile.reset(); });
    if (ahead && m_recordAheadSent && putRecordAheadInPlace()) {
        m_writtenRevision = next.revision;
        removeJournal(m_journalPath);
        return true;
    }
    const QString failure = QStringLiteral("Nie można zapisać na serwerze \"%1\" spisu wysłanych plików (%2)!")
                                .arg(settings.server, ManifestName);
    if (!ahead)
        m_recordFile = recordFileOf(next);
    if (!m_recordFile) {
        m_hooks.error(failure + QStringLiteral("\nPrzyczyna: nie można zapisać pliku tymczasowego na tym komputerze."));
        closeQuietly();
        return false;
    }
    m_lost = false;
    if (!sendWithRetries(settings, LocalFile{m_recordFile->fileName(), ManifestName, {}}, true)) {
        m_current.clear();
        return fail(failure + (m_reason.isEmpty() ? QString() : QStringLiteral("\nPrzyczyna: %1.").arg(m_reason)));
    }
    m_writtenRevision = next.revision;
    removeJournal(m_journalPath);
    return true;
}

Manifest PublishRun::nextManifest() const
{
    Manifest next = m_plan.next;
    next.revision = QUuid::createUuid().toString(QUuid::WithoutBraces);
    next.time = QDateTime::currentDateTimeUtc();
    next.target = m_target;
    next.folders += m_foldersCreated;
    next.folders.removeDuplicates();
    next.folders.sort();
    return next;
}

// With nothing to delete, the record is known once the folders are made:
// it goes beside the last files under its temporary name, on whichever
// connection is free, and only its renaming is left for the end. Worth it
// only when there is something to go beside.
bool PublishRun::queueRecordAhead(QList<QList<LocalFile>> &stages)
{
    m_recordFile.reset();
    m_recordAheadSent = false;
    if (!m_gate || m_lanes.empty() || !m_keepsRecord || m_directly || m_plan.toSend.isEmpty()
        || !m_plan.doUsuniecia.isEmpty() || !m_plan.foldersToRemove.isEmpty())
        return false;
    m_recordAhead = nextManifest();
    m_recordFile = recordFileOf(m_recordAhead);
    if (!m_recordFile)
        return false; // said, if it fails again, at the end
    qsizetype last = stages.size() - 1;
    while (last > 0 && stages[last].isEmpty())
        --last;
    stages[last] << LocalFile{m_recordFile->fileName(), temporaryNameFor(ManifestName), {}};
    return true;
}

bool PublishRun::isRecordAhead(const LocalFile &file)
{
    return file.remoteName == temporaryNameFor(ManifestName);
}

// The record that went ahead, on the connection `on`: whether it arrived is
// kept for the end, and the queue counts it as done either way (if it
// failed, it goes the usual way at the end; a failure must not stop the
// files of the publication).
bool PublishRun::sentIfRecordAhead(SendQueue &queue, const LocalFile &file, PublishRun &on, int connection)
{
    if (!isRecordAhead(file))
        return false;
    m_recordAheadSent = on.sendRecordAhead(file);
    queue.finished({file, true, {}, connection});
    return true;
}

// Under the temporary name only, its size checked; no word to the window.
bool PublishRun::sendRecordAhead(const LocalFile &record)
{
    m_lost = false;
    if (!sendAndWait(record.path, record.remoteName))
        return false;
    try {
        checkSize(record.remoteName, GetFileSize(record.path));
    } catch (const ETcpIpError &e) {
        m_reason = reasonFor(e);
        m_lost = m_client->isConnectionLost(e);
        return false;
    }
    return true;
}

// Everything else is in place: the record goes last, as always. If that
// fails here, it is sent again the usual way.
bool PublishRun::putRecordAheadInPlace()
{
    if (m_directly)
        return false; // the server cannot rename: sent under its own name
    try {
        putInPlace(temporaryNameFor(ManifestName), ManifestName, m_recordFile->fileName());
        return true;
    } catch (const ETcpIpError &e) {
        m_lost = m_client->isConnectionLost(e); // the usual way then logs in again
        return false;
    }
}

// A record that is damaged or not ours is kept for whoever wants to look.
void PublishRun::setBadManifestAside()
{
    try {
        removeQuietly(BadManifestName);
        m_client->rename(ManifestName, BadManifestName);
    } catch (const ETcpIpError &) {
    }
}

// The login, and with TLS what stands in its way: a server without TLS
// (never a fall back to clear text), a failed handshake, or a certificate
// that the user is asked to trust (then the login is tried once more).
bool PublishRun::logIn(PublishSettings &settings)
{
    for (int attempt = 0;; ++attempt) {
        try {
            m_client->logIn(settings);
            return true;
        } catch (const EHostKeyError &e) {
            m_client->close();
            if (attempt > 0 || !askAboutHostKey(settings, e))
                return fail(QString());
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
            m_client->trustCertificate(e.fingerprint);
        } catch (const ETcpIpError &e) {
            return fail(withReason(loginFailureText(m_client->lastReplyCode(), settings.server, settings.user), e));
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

namespace {

QString unknownHostKeyText(const QString &server, const EHostKeyError &e)
{
    return QStringLiteral("Serwer \"%1\" przedstawił klucz, którego ten komputer jeszcze nie zna.\n\n"
                          "Typ klucza: %2\nOdcisk klucza: %3\n\n"
                          "Jeśli ten odcisk zgadza się z podanym przez firmę hostingową, możesz zaufać temu kluczowi. "
                          "Zapamiętany klucz będzie sprawdzany przy każdym następnym połączeniu.")
        .arg(server, e.keyType, e.fingerprint);
}

QString changedHostKeyText(const QString &server, const EHostKeyError &e)
{
    const QString known = e.knownFingerprint.isEmpty() ? QStringLiteral("(nie można go odczytać)")
                                                       : e.knownType + u' ' + e.knownFingerprint;
    const QString what = e.kind == EHostKeyError::Kind::Changed
                             ? QStringLiteral("UWAGA! Klucz serwera \"%1\" ZMIENIŁ SIĘ od ostatniego połączenia!").arg(server)
                             : QStringLiteral("UWAGA! Serwer \"%1\" przedstawił klucz innego typu niż ten, który zna ten "
                                              "komputer!").arg(server);
    return what
           + QStringLiteral("\n\nKtoś może podszywać się pod serwer, aby przechwycić hasło i pliki. Możliwe też, że "
                            "firma hostingowa wymieniła klucz serwera.\n\nZnany klucz: %1\nNowy klucz: %2 %3\n\n"
                            "Połączenie zostało przerwane; nic nie zostało wysłane, także hasło. Zapytaj firmę "
                            "hostingową, czy klucz serwera został wymieniony. Jeśli tak, usuń stary klucz z pliku "
                            "\"%4\" (na przykład poleceniem: ssh-keygen -R \"%5\" -f \"%4\") i połącz się ponownie: "
                            "program zapyta wtedy o nowy klucz.")
                 .arg(known, e.keyType, e.fingerprint, e.knownIn, e.host);
}

} // namespace

// A new key may be trusted, for good or for this run; a changed one is
// said and never accepted here: the old entry goes first, by the user's hand.
bool PublishRun::askAboutHostKey(PublishSettings &settings, const EHostKeyError &e)
{
    if (e.kind != EHostKeyError::Kind::Unknown) {
        (m_hooks.hostKeyChanged ? m_hooks.hostKeyChanged : m_hooks.error)(changedHostKeyText(settings.server, e));
        return false;
    }
    const QString text = unknownHostKeyText(settings.server, e);
    if (!m_hooks.trustHostKey) {
        m_hooks.error(text + QStringLiteral("\n\nPołączenie zostało przerwane; nic nie zostało wysłane. Aby zaufać temu "
                                            "kluczowi, połącz się w oknie publikowania programu albo uruchom publikowanie "
                                            "z opcją --trust-host-key %1").arg(e.fingerprint));
        return false;
    }
    const HostKeyAnswer answer = m_hooks.trustHostKey(text);
    if (answer == HostKeyAnswer::Cancel)
        return false;
    settings.trustedHostKey = e.fingerprint;
    settings.rememberHostKey = answer == HostKeyAnswer::Remember;
    return true;
}

QString PublishRun::folderFailureText(const PublishSettings &settings, const QString &piece, const ETcpIpError &e) const
{
    if (m_client->isConnectionLost(e))
        return withReason(QStringLiteral("Połączenie z serwerem \"%1\" zostało przerwane!").arg(settings.server), e);
    return withReason(QStringLiteral("Nie można przejść do foldera \"%1\" na serwerze!").arg(piece), e);
}

// Every folder of the path must be entered: a file sent from anywhere else
// would not be where the user asked for it.
bool PublishRun::enterFolders(const PublishSettings &settings)
{
    const TargetFolder target = targetFolder(settings.folder);
    if (target.fromRoot) {
        try {
            m_client->enterFolder(QStringLiteral("/"));
        } catch (const ETcpIpError &e) {
            return fail(folderFailureText(settings, QStringLiteral("/"), e));
        }
    }
    for (const QString &piece : target.pieces) {
        try {
            m_client->enterFolder(piece);
            continue;
        } catch (const ETcpIpError &e) {
            if (!m_client->isMissingFolder(e))
                return fail(folderFailureText(settings, piece, e));
        }
        if (!m_hooks.confirm(QStringLiteral("Folder \"%1\" nie istnieje na serwerze. Utworzyć?").arg(piece))) {
            closeQuietly(); // declined: the files have nowhere to go
            return false;
        }
        try {
            m_client->makeFolder(piece);
            m_client->enterFolder(piece);
            m_targetMade = true;
        } catch (const ETcpIpError &e) {
            // The server may have given up on the session while the question was open.
            if (m_client->isConnectionLost(e))
                return fail(folderFailureText(settings, piece, e));
            return fail(withReason(QStringLiteral("Nie można utworzyć foldera \"%1\"!").arg(piece), e));
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
            m_client->makeFolder(folder);
            m_foldersCreated << folder;
        } catch (const ETcpIpError &) {
        }
    }
}

bool PublishRun::waitWhileBusy()
{
    // The client ends a transfer that stalls (its own deadline), so this
    // wait always ends.
    while (m_client->isSending() && !m_cancelled && !m_asyncFailed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !m_cancelled && !m_asyncFailed;
}

// The file is read from disk while it is sent, never held whole in memory.
// It goes up under a temporary name, its size on the server is checked, and
// only then does it take its real name. A small picture or sound that the
// server does not hold yet goes up under its own name: nothing there can be
// lost, no page links to it before the pages (sent after it) arrive, and the
// rename's two round trips a file were a third of a first publication's time
// on a distant server. Pages always take their place whole.
bool PublishRun::uploadFile(const QString &path, const QString &remoteName, bool isBadge, const QString &sha256)
{
    if (!isBadge) {
        m_current = path;
        if (m_hooks.sending)
            m_hooks.sending(path);
    }
    const bool direct = m_directly
                        || (m_absent.contains(remoteName) && GetFileSize(path) < WorthResuming && imageForFile(path) != 1);
    const QString temporary = direct ? remoteName : temporaryNameFor(remoteName);
    const qint64 from = direct ? 0 : resumableBytes(temporary, path, sha256);
    if (!sha256.isEmpty() && !direct && !m_journalPath.isEmpty()) {
        m_journal.partialName = temporary;
        m_journal.partialSha256 = sha256;
        writeJournal(m_journalPath, m_journal);
    }
    if (!sendAndWait(path, temporary, from))
        return false;
    try {
        checkSize(temporary, GetFileSize(path));
        if (!direct)
            putInPlace(temporary, remoteName, path);
    } catch (const ETcpIpError &e) {
        m_reason = reasonFor(e);
        m_lost = m_client->isConnectionLost(e);
        if (!m_lost)
            removeQuietly(temporary);
        return false;
    }
    if (remoteName != ManifestName)
        m_placed << remoteName;
    return true;
}

// A large file whose upload broke off continues where it stopped, when the
// server can, and only when the piece there is of this very file.
qint64 PublishRun::resumableBytes(const QString &temporary, const QString &path, const QString &sha256)
{
    const qint64 size = GetFileSize(path);
    if (sha256.isEmpty() || size < WorthResuming || !m_client->canResume() || m_journal.partialName != temporary
        || m_journal.partialSha256 != sha256)
        return 0;
    try {
        const qint64 there = m_client->remoteSize(temporary);
        return there > 0 && there < size ? there : 0;
    } catch (const ETcpIpError &e) {
        m_lost = m_client->isConnectionLost(e);
        return 0;
    }
}

bool PublishRun::sendAndWait(const QString &path, const QString &remoteName, qint64 from)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        m_reason = QStringLiteral("nie można odczytać pliku na tym komputerze");
        return false;
    }
    m_client->forgetFile(m_uploading.get());
    m_uploading = std::move(file); // lives until the transfer has ended
    try {
        m_client->send(m_uploading.get(), remoteName, from);
    } catch (const ETcpIpError &e) {
        m_reason = reasonFor(e);
        m_lost = m_client->isConnectionLost(e);
        if (!m_lost)
            removeQuietly(remoteName);
        return false;
    }
    // Asynchronously the transfer goes on through notifications: a failure
    // then is reported through asyncFailed.
    if (!waitWhileBusy()) {
        if (!m_lost)
            removeQuietly(remoteName);
        return false;
    }
    return true;
}

// A server that kept less than it was sent (a quota, a full disk, a broken
// proxy) may answer 226 all the same: its own count of the bytes is the proof.
// One that will not say is taken at its word.
void PublishRun::checkSize(const QString &name, qint64 size)
{
    const qint64 kept = m_client->remoteSize(name);
    if (kept >= 0 && kept != size)
        // A reply-like failure: the connection is fine, the file is not.
        throw EProtocolError(QStringLiteral("FTP"), 552, QStringLiteral("The server keeps %1 of the %2 bytes of %3").arg(kept).arg(size).arg(name),
                             QStringLiteral("serwer zachował tylko %1 z %2 bajtów pliku").arg(kept).arg(size));
}

// Some servers will not rename over an existing file: the old one is then
// removed first. One that cannot rename at all gets every file under its own
// name from now on (this one sent again).
void PublishRun::putInPlace(const QString &temporary, const QString &remoteName, const QString &path)
{
    try {
        m_client->rename(temporary, remoteName);
        return;
    } catch (const ETcpIpError &e) {
        if (m_client->isConnectionLost(e))
            throw;
        if (m_client->isUnsupported(e)) {
            removeQuietly(temporary);
            m_directly = true;
            if (!sendAndWait(path, remoteName))
                throw ETcpIpError(QStringLiteral("Upload of %1 failed").arg(remoteName), m_reason);
            checkSize(remoteName, GetFileSize(path));
            return;
        }
    }
    try {
        m_client->remove(remoteName);
    } catch (const ETcpIpError &e) {
        if (m_client->isConnectionLost(e))
            throw;
    }
    m_client->rename(temporary, remoteName);
}

// A partial file is not left behind; a failure here says nothing more.
void PublishRun::removeQuietly(const QString &remoteName)
{
    if (m_cancelled)
        return;
    try {
        m_client->remove(remoteName);
    } catch (const ETcpIpError &) {
    }
}

} // namespace zk
