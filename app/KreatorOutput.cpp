// The output commands of the wizard window: generating the page, Preview
// and Save. The work itself is done by the generator and output modules.
#include "Kreator.h"

#include "Assets.h"
#include "Encoding.h"
#include "Html5Page.h"
#include "Messages.h"
#include "Paths.h"
#include "PageGenerator.h"
#include "PageChecks.h"
#include "PageOutput.h"
#include "PreviewServer.h"
#include "Prompts.h"
#include "Services.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "WebFiles.h"
#include "publikow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStatusBar>

namespace zk {

void TKreatorDlg::Gen_List()
{
    AssetContext context;
    context.baseFolder = m_baseFolder;
    context.reservedNames = {normalizePageFileName(Edit_Nazwa->text()), BadgeName};
    m_assets = zk::Gen_List(description(), context);
    PublishFiles = m_assets.sources();
}

void TKreatorDlg::Generuj_Strone()
{
    Gen_List();
    const PageDescription d = description();
    GeneratorContext context;
    context.ownerName = GetWinUserName(*services().registry, services().accountFullName);
    context.badgeExists = QFile::exists(m_paths.badgeSourcePath);
    context.nowUtc = QDateTime::currentDateTimeUtc();
    context.today = QDate::currentDate();
    context.locale = QLocale::system();
    context.pageNames = m_assets.pageNames;
    context.pageName = normalizePageFileName(Edit_Nazwa->text());
    if (isHtml5(d.Lista_Atrybuty_DocType)) {
        const WebFiles web = prepareWebFiles(m_assets, d, context.pageName, m_paths.badgeSourcePath);
        useWebFiles(context, web);
        PublishFiles = m_assets.sources();
        if (!web.problems.isEmpty()) // the original pictures travel instead: worth a line, not a box
            Panel_Hint->showMessage(u' ' + web.problems.first());
    }
    GeneratedPage page = zk::Generuj_Strone(d, context);
    PageLines = std::move(page.pageLines);
    MainSectionLines = std::move(page.mainSectionLines);
}

bool TKreatorDlg::SaveEncoded(const QStringList &lines, const QString &target)
{
    return zk::SaveEncoded(lines, target, PageEncoding, [this](const QString &caption, const QString &text) {
        BladMsg(MB_ICONERROR, caption, text, this);
    });
}

QString TKreatorDlg::normalizedPageFileName()
{
    Edit_Nazwa->setText(normalizePageFileName(Edit_Nazwa->text()));
    return Edit_Nazwa->text();
}

// A name with a folder in it would put the page somewhere else; an empty
// one would make the hidden ".html".
bool TKreatorDlg::pageFileNameIsUsable()
{
    const QString problem = pageFileNameProblem(Edit_Nazwa->text());
    if (problem.isEmpty())
        return true;
    BladMsg(MB_ICONERROR, ErrorCaption, problem, this);
    Edit_Nazwa->setFocus();
    return false;
}

bool TKreatorDlg::isHtml5Page() const
{
    return isHtml5(Lista_Atrybuty_DocType->currentText());
}

void TKreatorDlg::warnAboutMissingFiles()
{
    if (isHtml5Page())
        return; // the checks before have named them
    const QString note = missingFilesNote(m_assets.missing);
    if (!note.isEmpty())
        BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"), note, this);
}

// An HTML5 page is looked over first: what is worth mending is listed in
// one question that never blocks ("Nie" goes back to the form).
bool TKreatorDlg::pageChecksAllowGoingOn()
{
    if (!isHtml5Page())
        return true;
    const PageCheckContext context{m_baseFolder, normalizePageFileName(Edit_Nazwa->text()), m_paths.badgeSourcePath};
    const QStringList findings = pageCheckList(description(), m_assets, PageLines, context);
    return findings.isEmpty() || Potwierdzenie(QStringLiteral("UWAGA!"), checkListQuestion(findings), this);
}

PageOutput TKreatorDlg::pageOutput() const
{
    return PageOutput{PageLines, m_assets.files, PageEncoding, m_paths.badgeSourcePath};
}

static MessageSink errorBoxesOf(QWidget *owner)
{
    return [owner](const QString &caption, const QString &text) { BladMsg(MB_ICONERROR, caption, text, owner); };
}

void TKreatorDlg::Przycisk_PodgladClick()
{
    runReportingErrors(this, [this] { preview(); });
}

void TKreatorDlg::BTN_ZapiszClick()
{
    runReportingErrors(this, [this] { save(); });
}

void TKreatorDlg::preview()
{
    if (!pageFileNameIsUsable())
        return;
    Generuj_Strone(); // collects the page's files on the way
    if (!recordMelodyIfNeeded() || !pageChecksAllowGoingOn())
        return;
    const QString name = normalizedPageFileName();
    if (!writePageWithAssets(pageOutput(), m_paths.tempFolder, name, errorBoxesOf(this), &m_madeTempFolders))
        return;
    m_liveStale = false;
    // Served, the page follows the form; without the server it is still shown as a file.
    const QString shown = startLivePreview() ? previewServer()->address(name) : m_paths.tempFolder + name;
    if (!services().shell->openDocument(shown, this))
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można wyświetlić strony!"), this);
    warnAboutMissingFiles();
}

void TKreatorDlg::save()
{
    if (!pageFileNameIsUsable())
        return;
    const QString name = normalizedPageFileName();
    m_paths.pageFilePath = m_paths.tempFolder + name;
    const QString chosen = services().prompts->chooseFolder(QString(), QString(), this);
    if (chosen.isEmpty())
        return;
    const QString folder = withTrailingSeparator(QDir::toNativeSeparators(chosen));
    Generuj_Strone();
    if (!recordMelodyIfNeeded() || !pageChecksAllowGoingOn())
        return;
    const PageOutput page = pageOutput();
    const QStringList replaced = filesThatWouldChange(page, folder, name);
    if (!replaced.isEmpty()
        && !Potwierdzenie(QString(),
                          QStringLiteral("W folderze \"%1\" są już inne pliki o tych nazwach:\n%2\nZastąpić je?")
                              .arg(folder, replaced.join(u'\n')),
                          this))
        return;
    if (writePageWithAssets(page, folder, name, errorBoxesOf(this))) {
        // A project's references are relative to its own folder, wherever its page goes.
        if (m_projectPath.isEmpty())
            m_baseFolder = folder;
        const int files = int(page.files.size()) + (QFile::exists(page.badgeSourcePath) ? 1 : 0);
        Panel_Hint->showMessage(u' ' + pageSavedText(folder + name, files));
    }
    warnAboutMissingFiles();
}

} // namespace zk

namespace zk {

void TKreatorDlg::Przycisk_PunlikuClick()
{
    runReportingErrors(this, [this] { publish(); });
}

void TKreatorDlg::publish()
{
    if (!pageFileNameIsUsable())
        return;
    Generuj_Strone(); // collects the page's files on the way
    if (!recordMelodyIfNeeded() || !pageChecksAllowGoingOn())
        return;
    const QString name = normalizedPageFileName();
    m_paths.pageFilePath = m_paths.tempFolder + name;
    // A page that could not be written must not be replaced on the server
    // by an older copy left in the temporary folder.
    if (!SaveEncoded(PageLines, m_paths.pageFilePath)) {
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można zapisać pliku \"%1\"!").arg(m_paths.pageFilePath), this);
        return;
    }
    warnAboutMissingFiles();
    QHash<QString, QString> remoteNames;
    for (const TravellingFile &f : m_assets.files)
        remoteNames.insert(f.source, f.target);
    PublishFiles = publicationFiles(m_assets, m_paths.pageFilePath);
    TPubDlg dialog(PublishFiles, m_paths.badgeSourcePath, this);
    dialog.setRemoteNames(remoteNames);
    dialog.setWebAddress(pageWebAddress(description()));
    if (!m_assets.melody.isEmpty())
        dialog.setShownNames({{m_assets.melodyRecording, QStringLiteral("%1 (nagranie melodii %2)")
                                                             .arg(remoteNames.value(m_assets.melodyRecording), m_assets.melody)}});
    dialog.exec();
}

} // namespace zk
