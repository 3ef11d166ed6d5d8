#include "CommandLine.h"

#include "AppError.h"
#include "MidiRecording.h"
#include "PageGenerator.h"
#include "Html5Page.h"
#include "LiveCheck.h"
#include "PageChecks.h"
#include "PageOutput.h"
#include "PublishRun.h"
#include "WebFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zk {

// Qt's own options (-style Fusion, -platform xcb, -reverse...), which
// QApplication takes for itself: how many values follow each, or -1 for an
// option that is not Qt's. "-style=Fusion" carries its value inside.
static int qtOptionValues(const QString &argument)
{
    static const QStringList withValue = {
        QStringLiteral("style"),       QStringLiteral("stylesheet"),    QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("display"),     QStringLiteral("geometry"),      QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"),  QStringLiteral("title"),
        QStringLiteral("name"),        QStringLiteral("session"),       QStringLiteral("qmljsdebugger"),
        QStringLiteral("font"),        QStringLiteral("fn"),            QStringLiteral("bg"),
        QStringLiteral("fg"),          QStringLiteral("btn"),           QStringLiteral("visual"),
    };
    static const QStringList flags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("sync"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("testability")};
    if (!argument.startsWith(u'-') || argument.startsWith(QLatin1String("---")))
        return -1;
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    if (equals >= 0)
        return withValue.contains(name.left(equals)) ? 0 : -1;
    return withValue.contains(name) ? 1 : flags.contains(name) ? 0 : -1;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    const auto fail = [&](const QString &why) {
        line.mode = CommandLine::Mode::Error;
        line.error = why;
        return line;
    };
    // "--check" may stand anywhere, even between --build and its project.
    QStringList args = arguments;
    line.check = args.removeAll(QStringLiteral("--check")) > 0;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const auto value = [&](const QString &option) -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            Q_UNUSED(option);
            return args[++i];
        };
        if (a == u"--help" || a == u"-h") {
            line.mode = CommandLine::Mode::Help;
        } else if (a == u"--version") {
            line.mode = CommandLine::Mode::Version;
        } else if (a == u"--build" || a == u"--publish") {
            const std::optional<QString> project = value(a);
            if (!project)
                return fail(QStringLiteral("Po %1 podaj plik projektu.").arg(a));
            line.mode = a == u"--build" ? CommandLine::Mode::Build : CommandLine::Mode::Publish;
            line.project = *project;
        } else if (a == u"--output" || a == u"-o") {
            const std::optional<QString> folder = value(a);
            if (!folder)
                return fail(QStringLiteral("Po %1 podaj folder.").arg(a));
            line.output = *folder;
        } else if (a == u"--dry-run") {
            line.dryRun = true;
        } else if (a == u"--all") {
            line.all = true;
        } else if (a == u"--connections") {
            const std::optional<QString> n = value(a);
            bool ok = false;
            line.connections = n ? n->toInt(&ok) : 0;
            if (!ok || line.connections < 1 || line.connections > MaxConnections)
                return fail(QStringLiteral("Po %1 podaj liczbę połączeń od 1 do %2.").arg(a).arg(MaxConnections));
        } else if (a == u"--verbose" || a == u"-v") {
            line.verbose = true;
        } else if (a == u"--trust-certificate") {
            const std::optional<QString> fingerprint = value(a);
            if (!fingerprint)
                return fail(QStringLiteral("Po %1 podaj odcisk SHA-256 certyfikatu.").arg(a));
            line.trustCertificate = fingerprint->toUpper();
        } else if (a == u"--trust-host-key") {
            const std::optional<QString> fingerprint = value(a);
            if (!fingerprint || !fingerprint->startsWith(QLatin1String("SHA256:")))
                return fail(QStringLiteral("Po %1 podaj odcisk klucza serwera SSH w postaci SHA256:... (tak, jak go podaje program).").arg(a));
            line.trustHostKey = *fingerprint; // base64: its case counts
        } else if (const int values = qtOptionValues(a); values >= 0) {
            i += values; // Qt's, taken by QApplication when the window starts
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return fail(QStringLiteral("Nieznana opcja \"%1\" (zobacz --help).").arg(a));
        } else if (line.project.isEmpty()) {
            line.project = a;
        } else {
            return fail(QStringLiteral("Podano więcej niż jeden plik projektu."));
        }
    }
    if (line.check && line.mode != CommandLine::Mode::Build)
        return fail(QStringLiteral("Opcja --check działa tylko z --build."));
    if (line.mode == CommandLine::Mode::Build && line.output.isEmpty() && !line.check)
        return fail(QStringLiteral("Do --build podaj folder: --output KATALOG."));
    if (!line.output.isEmpty() && line.mode != CommandLine::Mode::Build)
        return fail(QStringLiteral("Opcja --output działa tylko z --build."));
    if ((line.verbose || !line.trustCertificate.isEmpty() || !line.trustHostKey.isEmpty() || line.dryRun || line.all
         || args.contains(QStringLiteral("--connections")))
        && line.mode != CommandLine::Mode::Publish)
        return fail(QStringLiteral("Opcje --verbose, --trust-certificate, --trust-host-key, --dry-run, --all i --connections "
                                   "działają tylko z --publish."));
    return line;
}

QString commandLineHelp()
{
    return QStringLiteral(
        "Użycie:\n"
        "  zentarek [PLIK.zentarek]                 okno programu, z projektem, jeśli go podano\n"
        "  zentarek --build PLIK.zentarek --output KATALOG\n"
        "                                           zapisuje stronę i jej pliki do katalogu, bez okna;\n"
        "                                           pliki o tych samych nazwach zastępuje i wymienia je\n"
        "      --check                              najpierw wypisuje, co na stronie HTML5 warto poprawić\n"
        "                                           (bez --output tylko to)\n"
        "  zentarek --publish PLIK.zentarek         publikuje stronę na serwerze z projektu\n"
        "                                           (hasło z ustawień lub ze zmiennej ZENTAREK_PASSWORD)\n"
        "      --verbose                            wypisuje rozmowę z serwerem (bez hasła)\n"
        "      --trust-certificate ODCISK           ufa certyfikatowi o tym odcisku SHA-256\n"
        "      --trust-host-key SHA256:ODCISK       przy SFTP ufa nowemu kluczowi serwera o tym odcisku\n"
        "      --dry-run                            wypisuje, co zostałoby wysłane i usunięte, nic nie wysyła\n"
        "      --all                                wysyła wszystkie pliki od nowa, także te bez zmian\n"
        "      --connections N                      tyle połączeń wysyła pliki naraz (domyślnie 2)\n"
        "  zentarek --help                          ten opis\n"
        "  zentarek --version                       wersja programu\n");
}

namespace {

// Every end of a block is at most U+000D or at least U+2029: most of a text
// is passed eight characters at a time.
qsizetype nextPossibleEnd(const char16_t *data, qsizetype i, qsizetype size)
{
#ifdef __SSE2__
    const __m128i low = _mm_set1_epi16(0x0D), high = _mm_set1_epi16(0x2028), zero = _mm_setzero_si128();
    for (; i + 8 <= size; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i atMostLow = _mm_cmpeq_epi16(_mm_subs_epu16(c, low), zero);
        const __m128i aboveHigh = _mm_cmpeq_epi16(_mm_subs_epu16(high, c), zero);
        if (const int mask = _mm_movemask_epi8(_mm_or_si128(atMostLow, aboveHigh)))
            return i + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    for (; i < size; ++i)
        if (data[i] <= 0x0D || data[i] >= 0x2029)
            return i;
    return size;
}

} // namespace

// The lines as the editor's document makes them from the same text (a
// document built only to be split cost half of --build on a 5 MB page):
// a block ends at LF, CR, CR LF, the paragraph separator and the frame marks.
QStringList linesOfText(const QString &text)
{
    QStringList lines;
    const QChar *data = text.constData();
    const auto *units = reinterpret_cast<const char16_t *>(data);
    const auto line = [&](qsizetype from, qsizetype to) { return QString::fromRawData(data + from, to - from); };
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = nextPossibleEnd(units, 0, size); i < size; i = nextPossibleEnd(units, i + 1, size)) {
        const char16_t c = units[i];
        if (c != u'\n' && c != u'\r' && c != QChar::ParagraphSeparator && c != 0xFDD0 && c != 0xFDD1)
            continue;
        lines << line(start, i);
        if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines << line(start, size);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

namespace {

struct GeneratedProject {
    Project project;
    PageDescription page; // with the editor's lines
    QString pageName;
    AssetPlan plan;
    QStringList lines;
    QStringList findings; // of the checks, when asked for
};

// A MIDI sound on an HTML5 page travels as its recording: made here, once
// per melody (the cache keeps it for the window and later builds).
bool recordMelody(const AssetPlan &plan, const BuildContext &context)
{
    if (plan.melodyRecording.isEmpty() || QFileInfo::exists(plan.melodyRecording))
        return true;
    const std::atomic<bool> never{false};
    const RecordingResult result = recordMidi(plan.melody, plan.melodyRecording, never, context.recordingProgress);
    if (result.error.isEmpty())
        return true;
    context.report(result.error);
    return false;
}

std::optional<GeneratedProject> generateProject(const QString &projectPath, const BuildContext &context)
{
    const ProjectRead read = readProjectFile(projectPath);
    if (!read.project) {
        context.report(QStringLiteral("Nie można otworzyć projektu \"%1\": %2!").arg(projectPath, read.error));
        return std::nullopt;
    }
    GeneratedProject g{*read.project, read.project->page, {}, {}, {}, {}};
    g.page.Edytorek = linesOfText(g.project.mainText);
    const QString problem = pageFileNameProblem(g.page.Edit_Nazwa);
    if (!problem.isEmpty()) {
        context.report(problem);
        return std::nullopt;
    }
    g.pageName = normalizePageFileName(g.page.Edit_Nazwa);
    AssetContext assets;
    assets.baseFolder = QFileInfo(projectPath).absolutePath() + u'/';
    assets.reservedNames = {g.pageName, BadgeName};
    g.plan = Gen_List(g.page, assets);
    if (!recordMelody(g.plan, context))
        return std::nullopt;
    GeneratorContext generator;
    generator.ownerName = context.ownerName;
    generator.badgeExists = QFile::exists(context.badgeSourcePath);
    generator.nowUtc = QDateTime::currentDateTimeUtc();
    generator.today = QDate::currentDate();
    generator.locale = QLocale::system();
    generator.pageNames = g.plan.pageNames;
    generator.pageName = g.pageName;
    if (isHtml5(g.page.Lista_Atrybuty_DocType)) {
        const WebFiles web = prepareWebFiles(g.plan, g.page, g.pageName, context.badgeSourcePath);
        useWebFiles(generator, web);
        for (const QString &problem : web.problems)
            context.report(problem);
    }
    g.lines = Generuj_Strone(g.page, generator).pageLines;
    if (context.check && isHtml5(g.page.Lista_Atrybuty_DocType))
        g.findings = pageCheckList(g.page, g.plan, g.lines, {assets.baseFolder, g.pageName, context.badgeSourcePath});
    return g;
}

// After a publish: does the web show what was sent? A difference is a
// warning; the files did arrive, so the publish still succeeded.
void reportLivePage(const QString &address, const QList<SentFile> &sent, const QString &folder, const BuildContext &context)
{
    if (address.isEmpty())
        return;
    const QStringList differences = liveDifferences(address, sent);
    context.report(differences.isEmpty() ? QStringLiteral("Strona pod adresem %1 pokazuje to, co wysłano.").arg(address)
                                         : QStringLiteral("UWAGA! ") + liveCheckWarning(address, folder, differences));
}

void reportMissing(const AssetPlan &plan, const BuildContext &context)
{
    const QString note = missingFilesNote(plan.missing);
    if (!note.isEmpty())
        context.report(note);
}

} // namespace

bool buildProject(const QString &projectPath, const QString &outputFolder, const BuildContext &context)
{
    const std::optional<GeneratedProject> g = generateProject(projectPath, context);
    if (!g)
        return false;
    if (context.check) {
        context.report(g->findings.isEmpty() ? QStringLiteral("UWAGA! Sprawdzono stronę: nie ma nic do poprawienia.")
                                             : QStringLiteral("UWAGA! Na stronie warto poprawić:"));
        for (const QString &finding : g->findings)
            context.report(QStringLiteral("  • ") + finding);
        if (outputFolder.isEmpty())
            return true;
    }
    if (!QDir().mkpath(outputFolder)) {
        context.report(QStringLiteral("Nie można utworzyć folderu \"%1\"!").arg(outputFolder));
        return false;
    }
    const QString folder = QDir(outputFolder).absolutePath() + u'/';
    const MessageSink sink = [&](const QString &, const QString &text) { context.report(text); };
    const PageOutput page{g->lines, g->plan.files, g->page.PageEncoding, context.badgeSourcePath};
    // A script is not asked, as Save asks in the window: it is told what was replaced.
    const QStringList replaced = filesThatWouldChange(page, folder, g->pageName);
    try {
        if (!writePageWithAssets(page, folder, g->pageName, sink))
            return false;
        if (!replaced.isEmpty())
            context.report(QStringLiteral("Zastąpiono pliki w folderze \"%1\": %2").arg(folder, replaced.join(QStringLiteral(", "))));
    } catch (const AppError &e) {
        context.report(e.text());
        return false;
    }
    reportMissing(g->plan, context);
    return true;
}

bool publishProject(const QString &projectPath, const PublishContext &context)
{
    const std::optional<GeneratedProject> g = generateProject(projectPath, context);
    if (!g)
        return false;
    const QString pagePath = QDir(context.workFolder).absolutePath() + u'/' + g->pageName;
    const MessageSink sink = [&](const QString &, const QString &text) { context.report(text); };
    if (!SaveEncoded(g->lines, pagePath, g->page.PageEncoding, sink)) {
        context.report(QStringLiteral("Nie można zapisać pliku \"%1\"!").arg(pagePath));
        return false;
    }
    reportMissing(g->plan, context);
    const QStringList files = publicationFiles(g->plan, pagePath);
    QHash<QString, QString> remoteNames;
    for (const TravellingFile &f : g->plan.files)
        remoteNames.insert(f.source, f.target);

    qint64 total = QFileInfo(context.badgeSourcePath).size();
    for (const QString &f : files)
        total += QFileInfo(f).size();
    qint64 sent = 0;
    QString current;
    QElapsedTimer fileTime;
    fileTime.start();
    T_FTP ftp;
    FtpPublishClient ftpClient(ftp);
    SftpPublishClient sftp;
    const bool overSsh = g->project.profile.sftp;
    PublishClient &client = overSsh ? static_cast<PublishClient &>(sftp) : ftpClient;
    // A file that arrived: what it adds to the total, and its line.
    const auto arrived = [&](const QString &remoteName, qint64 bytes) {
        if (PublishRun::isManifest(remoteName))
            return; // the record: not the publication's bytes
        const bool badge = PublishRun::isBadge(remoteName); // the one file the run does not announce
        const QString done = badge ? context.badgeSourcePath : current;
        sent += QFileInfo(done).size();
        if (context.verbose)
            context.report(sentFileLine(badge ? PublishRun::BadgeRemoteName : remoteNames.value(done, QFileInfo(done).fileName()),
                                        bytes, fileTime.restart()));
        if (context.progress)
            context.progress(std::min(sent, total), total, badge ? PublishRun::BadgeRemoteName : done);
    };
    const auto traced = [&](const QString &line, TTraceLevel level) {
        if (const QString shown = conversationLine(line, level); !shown.isEmpty())
            context.report(shown);
    };
    // No one to ask: an unverified certificate or a new server key is reported with its fingerprint.
    PublishRun run(client,
                   {.error = context.report,
                    .confirm = [&](const QString &question) {
                        context.report(question + QStringLiteral(" Tak (wiersz poleceń tworzy brakujące foldery)."));
                        return true;
                    },
                    .sending = [&](const QString &file) { current = file; },
                    .planned = [&](const PublishPlan &plan) {
                        for (const QString &line : planLines(plan, context.dryRun ? 1000 : 10) + plan.notes)
                            context.report(line);
                    },
                    .confirmDeletion = [&](const QString &question) {
                        context.report(question + QStringLiteral(" Nie: z wiersza poleceń tyle plików nie jest usuwanych; "
                                                                 "zostają na serwerze i w spisie, usunie je publikowanie z okna programu."));
                        return false;
                    },
                    .sentElsewhere = [&](const QString &path, const QString &remoteName, qint64 bytes) {
                        sent += bytes;
                        if (context.verbose)
                            context.report(sentFileLine(remoteName, bytes, fileTime.elapsed()));
                        if (context.progress)
                            context.progress(std::min(sent, total), total, remoteName == PublishRun::BadgeRemoteName ? remoteName : path);
                    }});
    if (overSsh)
        run.setClientMaker([] { return std::make_unique<SftpPublishClient>(); });
    else
        run.setClientMaker([&ftp] { return makeFtpClient(ftp); });
    run.setDryRun(context.dryRun);
    if (context.verbose)
        ftp.OnTrace = traced;
    ftp.OnActionComplete = [&](QObject *, t_ftp_mode mode) {
        if (mode == tftp_upload) // not reading the server
            arrived(ftp.URI, ftp.TransferSize);
    };
    sftp.setEvents({.trace = context.verbose ? std::function<void(const QString &, TTraceLevel)>(traced) : nullptr,
                    .sent = arrived});
    ftp.OnAsyncError = [&](const ETcpIpError &e) { run.asyncFailed(e); };
    const PublishProfile &profile = g->project.profile;
    PublishSettings settings{profile.server, profile.user, context.password, profile.folder, profile.async,
                             profile.tls ? FtpSecurity::ExplicitTls : FtpSecurity::Plain, context.trustedFingerprint,
                             context.knownRevision, context.everything, context.connections,
                             overSsh ? PublishProtocol::Sftp : PublishProtocol::Ftp, context.trustedHostKey};
    if (context.verbose)
        run.setLoggedIn([&] { fileTime.restart(); });
    const bool done = run.run(settings, files, remoteNames, context.badgeSourcePath);
    if (done && context.dryRun) {
        context.report(QStringLiteral("Próba: nic nie zostało wysłane ani usunięte."));
        return true;
    }
    if (done && context.revisionWritten)
        context.revisionWritten(profile.server, profile.folder, run.writtenRevision());
    if (done) {
        run.closeQuietly();
        if (!run.folderOnServer().isEmpty())
            context.report(QStringLiteral("Folder na serwerze: %1").arg(run.folderOnServer()));
        reportLivePage(pageWebAddress(g->page), sentFiles(files, remoteNames, context.badgeSourcePath, PublishRun::BadgeRemoteName),
                       run.folderOnServer(), context);
    }
    return done;
}

} // namespace zk
