#include "CommandLine.h"

#include "AppError.h"
#include "PageGenerator.h"
#include "PageOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextDocument>

namespace zk {

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    const auto fail = [&](const QString &why) {
        line.mode = CommandLine::Mode::Error;
        line.error = why;
        return line;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const auto value = [&](const QString &option) -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            Q_UNUSED(option);
            return arguments[++i];
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
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return fail(QStringLiteral("Nieznana opcja \"%1\" (zobacz --help).").arg(a));
        } else if (line.project.isEmpty()) {
            line.project = a;
        } else {
            return fail(QStringLiteral("Podano więcej niż jeden plik projektu."));
        }
    }
    if (line.mode == CommandLine::Mode::Build && line.output.isEmpty())
        return fail(QStringLiteral("Do --build podaj folder: --output KATALOG."));
    if (!line.output.isEmpty() && line.mode != CommandLine::Mode::Build)
        return fail(QStringLiteral("Opcja --output działa tylko z --build."));
    return line;
}

QString commandLineHelp()
{
    return QStringLiteral(
        "Użycie:\n"
        "  zentarek [PLIK.zentarek]                 okno programu, z projektem, jeśli go podano\n"
        "  zentarek --build PLIK.zentarek --output KATALOG\n"
        "                                           zapisuje stronę i jej pliki do katalogu, bez okna\n"
        "  zentarek --publish PLIK.zentarek         publikuje stronę na serwerze z projektu\n"
        "                                           (hasło z ustawień lub ze zmiennej ZENTAREK_PASSWORD)\n"
        "  zentarek --help                          ten opis\n"
        "  zentarek --version                       wersja programu\n");
}

QStringList linesOfText(const QString &text)
{
    QTextDocument document;
    document.setPlainText(text);
    QStringList lines;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        lines << b.text();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool buildProject(const QString &projectPath, const QString &outputFolder, const BuildContext &context)
{
    const ProjectRead read = readProjectFile(projectPath);
    if (!read.project) {
        context.report(QStringLiteral("Nie można otworzyć projektu \"%1\": %2!").arg(projectPath, read.error));
        return false;
    }
    PageDescription d = read.project->page;
    d.Edytorek = linesOfText(read.project->mainText);
    const QString problem = pageFileNameProblem(d.Edit_Nazwa);
    if (!problem.isEmpty()) {
        context.report(problem);
        return false;
    }
    const QString name = normalizePageFileName(d.Edit_Nazwa);
    if (!QDir().mkpath(outputFolder)) {
        context.report(QStringLiteral("Nie można utworzyć folderu \"%1\"!").arg(outputFolder));
        return false;
    }
    AssetContext assets;
    assets.baseFolder = QFileInfo(projectPath).absolutePath() + u'/';
    assets.reservedNames = {name, BadgeName};
    const AssetPlan plan = Gen_List(d, assets);
    GeneratorContext generator;
    generator.ownerName = context.ownerName;
    generator.badgeExists = QFile::exists(context.badgeSourcePath);
    generator.nowUtc = QDateTime::currentDateTimeUtc();
    generator.today = QDate::currentDate();
    generator.locale = QLocale::system();
    generator.pageNames = plan.pageNames;
    const GeneratedPage page = Generuj_Strone(d, generator);
    const QString folder = QDir(outputFolder).absolutePath() + u'/';
    const MessageSink sink = [&](const QString &, const QString &text) { context.report(text); };
    try {
        if (!writePageWithAssets(PageOutput{page.pageLines, plan.files, d.PageEncoding, context.badgeSourcePath}, folder, name, sink))
            return false;
    } catch (const AppError &e) {
        context.report(e.text());
        return false;
    }
    const QString note = missingFilesNote(plan.missing);
    if (!note.isEmpty())
        context.report(note);
    return true;
}

} // namespace zk
