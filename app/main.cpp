#include "AppPaths.h"
#include "CheckedFile.h"
#include "CommandLine.h"
#include "FileRegistry.h"
#include "PasswordStore.h"
#include "ProgramStyle.h"
#include "Paths.h"
#include "PublishLogic.h"
#include "HelpController.h"
#include "Kreator.h"
#include "Messages.h"
#include "QtHelpViewer.h"
#include "QtPrompts.h"
#include "Run.h"
#include "Registry.h"
#include "Services.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "LateSoundPlayer.h"
#include "StartupTrace.h"
#include "UiTrace.h"
#include "ZentarekApplication.h"

#include <QFileInfo>
#include <QFont>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void printError(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

// One line per file; on a terminal a bar redrawn in place.
void printProgress(qint64 sent, qint64 total, const QString &file)
{
    const int percent = total > 0 ? int(sent * 100 / total) : 100;
    const QByteArray name = QFileInfo(file).fileName().toLocal8Bit();
    if (isatty(fileno(stderr))) {
        const int filled = percent / 5;
        std::fprintf(stderr, "\r[%s%s] %3d%%  %-40.40s", QByteArray(filled, '#').constData(),
                     QByteArray(20 - filled, '.').constData(), percent, name.constData());
        if (sent >= total)
            std::fputc('\n', stderr);
    } else {
        std::fprintf(stderr, "%3d%%  %s\n", percent, name.constData());
    }
    std::fflush(stderr);
}

// The recording of a MIDI melody for the page: on a terminal a percentage
// redrawn in place, otherwise a line at every tenth.
void printRecordingProgress(double share)
{
    static int shown = -1;
    const int percent = int(share * 100);
    const bool terminal = isatty(fileno(stderr));
    if (percent == shown || (!terminal && percent / 10 == shown / 10))
        return;
    shown = percent;
    const QString line = QStringLiteral("Nagrywanie melodii dla przeglądarek: %1%").arg(percent, 3);
    std::fputs(((terminal ? QStringLiteral("\r") : QString()) + line).toLocal8Bit().constData(), stderr);
    if (!terminal || percent >= 100)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The password: ZENTAREK_PASSWORD, else the one the publish dialog keeps for
// the same server and user.
QString passwordFor(const zk::Project &project, const zk::Registry &registry)
{
    if (qEnvironmentVariableIsSet("ZENTAREK_PASSWORD"))
        return qEnvironmentVariable("ZENTAREK_PASSWORD");
    const auto stored = [&](const char *name) {
        return registry.readText(zk::Hive::CurrentUser, zk::SettingsRootKey, QStringLiteral("Profile"), QString::fromLatin1(name), {});
    };
    if (stored("Serwer") == project.profile.server && stored("Uzytkownik") == project.profile.user) {
        zk::KeyringPasswordStore keyring;
        return zk::storedPassword(registry, &keyring, project.profile.server, project.profile.user);
    }
    return {};
}

int publishFromCommandLine(const zk::CommandLine &line, zk::Registry &registry)
{
    const zk::ProjectRead read = zk::readProjectFile(line.project);
    QTemporaryDir work;
    zk::PublishContext context;
    context.ownerName = zk::GetWinUserName(registry, zk::services().accountFullName);
    context.badgeSourcePath = zk::makeAppPaths(zk::withTrailingSeparator(QApplication::applicationDirPath()), {}).badgeSourcePath;
    context.report = printError;
    context.recordingProgress = printRecordingProgress;
    context.password = read.project ? passwordFor(*read.project, registry) : QString();
    context.trustedFingerprint = read.project ? zk::trustedFingerprint(registry, read.project->profile.server) : QString();
    if (!line.trustCertificate.isEmpty())
        context.trustedFingerprint = line.trustCertificate;
    context.trustedHostKey = line.trustHostKey;
    context.verbose = line.verbose;
    context.dryRun = line.dryRun;
    context.everything = line.all;
    context.connections = line.connections;
    if (read.project)
        context.knownRevision = zk::knownRevision(registry, read.project->profile.server, read.project->profile.folder);
    context.revisionWritten = [&](const QString &server, const QString &folder, const QString &revision) {
        zk::rememberRevision(registry, server, folder, revision);
    };
    context.workFolder = work.path();
    context.progress = printProgress;
    if (!work.isValid()) {
        printError(QStringLiteral("Nie można utworzyć folderu tymczasowego!"));
        return 1;
    }
    if (!zk::publishProject(line.project, context))
        return 1;
    if (line.dryRun)
        return 0;
    printError(QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!"));
    return 0;
}

// Standard output that cannot take the text (a full disk, a closed pipe) is a failure.
int printed(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) && std::fflush(stdout) == 0)
        return 0;
    printError(QStringLiteral("Nie można wypisać tekstu na standardowe wyjście: %1!").arg(zk::systemErrorText(errno)));
    return 1;
}

// Qt ends the program when it finds no display; the user is told why in
// Polish, and Qt's own words of the start are printed only if it goes on.
QStringList g_startMessages;
void sayWhenNoDisplay(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtFatalMsg) {
        g_startMessages << message;
        return;
    }
    if (message.contains(QStringLiteral("platform plugin")) || message.contains(QStringLiteral("display"))) {
        printError(QStringLiteral("Nie znaleziono ekranu, na którym program mógłby otworzyć okno (zmienna DISPLAY lub "
                                  "WAYLAND_DISPLAY nie wskazuje działającego serwera). Stronę można zbudować bez okna: "
                                  "zentarek --build PROJEKT --output FOLDER."));
        std::_Exit(1);
    }
    std::fputs((message + u'\n').toLocal8Bit().constData(), stderr);
}

// The work done without a window; the exit status says how it went.
int runWithoutWindow(const zk::CommandLine &line, zk::Registry &registry)
{
    switch (line.mode) {
    case zk::CommandLine::Mode::Help:
        return printed(zk::commandLineHelp());
    case zk::CommandLine::Mode::Version:
        return printed(QStringLiteral("Zentarek Light %1\n").arg(zk::ProgramVersion));
    case zk::CommandLine::Mode::Build: {
        zk::BuildContext context;
        context.ownerName = zk::GetWinUserName(registry, zk::services().accountFullName);
        context.badgeSourcePath = zk::makeAppPaths(zk::withTrailingSeparator(QApplication::applicationDirPath()), {}).badgeSourcePath;
        context.report = printError;
        context.recordingProgress = printRecordingProgress;
        context.check = line.check;
        return zk::buildProject(line.project, line.output, context) ? 0 : 1;
    }
    case zk::CommandLine::Mode::Publish:
        return publishFromCommandLine(line, registry);
    default:
        printError(line.error);
        return 2;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // A peer that closed its connection is an error of that write, never the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const zk::CommandLine line = zk::parseCommandLine(arguments);
    if (line.mode != zk::CommandLine::Mode::Window) {
        // No window, so no display, fonts or platform plug-in: a script on a
        // server can build a page, and a build starts as fast as it can.
        QCoreApplication app(argc, argv);
        zk::FileRegistry registry(zk::FileRegistry::defaultFiles());
        zk::services().registry = &registry;
        return runWithoutWindow(line, registry);
    }
    const QtMessageHandler previous = qInstallMessageHandler(sayWhenNoDisplay);
    zk::ZentarekApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString &message : std::as_const(g_startMessages))
        std::fputs((message + u'\n').toLocal8Bit().constData(), stderr);
    zk::StartupTrace::mark("qapplication");
    app.installPolishTranslation();
    QApplication::setStyle(new zk::ProgramStyle);
    QApplication::setFont(zk::programFont(QApplication::font()));

    zk::FileRegistry registry(zk::FileRegistry::defaultFiles());
    zk::QtPrompts prompts;
    zk::DesktopShell shell;
    zk::QtHelpViewer help;
    zk::LateSoundPlayer media(zk::LateSoundPlayer::modulePath(QApplication::applicationDirPath()));
    zk::services().registry = &registry;
    zk::services().prompts = &prompts;
    zk::services().shell = &shell;
    zk::services().help = &help;
    zk::services().media = &media;
    zk::KeyringPasswordStore keyring;
    zk::services().passwords = &keyring;
    app.installEventFilter(new zk::HelpController(&app));
    zk::UiTrace::install(app);

    auto *splash = new zk::TRunDlg;
    splash->showNow();
    zk::StartupTrace::mark("splash");
    int result = 0;
    {
        zk::TKreatorDlg window(QApplication::applicationDirPath());
        zk::StartupTrace::mark("formcreate");
        zk::StartupTrace::watchFirstPaint(&window);
        delete splash;
        // The last page first, so that a project opened from the file manager
        // cannot push an untitled page out unasked.
        window.restoreLastPage();
        if (!line.project.isEmpty())
            window.openProjectAsked(QFileInfo(line.project).absoluteFilePath());
        window.show();
        result = app.exec();
    }
    return result;
}
