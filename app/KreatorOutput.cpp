// The output commands of the wizard window: generating the page, Preview
// and Save. The work itself is done by the generator and output modules.
#include "Kreator.h"

#include "Assets.h"
#include "Encoding.h"
#include "Messages.h"
#include "Paths.h"
#include "PageGenerator.h"
#include "PageOutput.h"
#include "Prompts.h"
#include "Services.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "publikow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

namespace zk {

void TKreatorDlg::Gen_List()
{
    PublishFiles = zk::Gen_List(description()).entries();
}

void TKreatorDlg::Generuj_Strone()
{
    const PageDescription d = description();
    GeneratorContext context;
    context.ownerName = GetWinUserName(*services().registry, services().accountFullName);
    context.badgeExists = QFile::exists(m_paths.badgeSourcePath);
    context.nowUtc = QDateTime::currentDateTimeUtc();
    context.today = QDate::currentDate();
    context.locale = QLocale::system();
    PublishFiles = zk::Gen_List(d, context.locale).entries();
    context.publishFiles = PublishFiles;
    GeneratedPage page = zk::Generuj_Strone(d, context);
    PageLines = std::move(page.pageLines);
    MainSectionLines = std::move(page.mainSectionLines);
}

bool TKreatorDlg::SaveEncoded(const QStringList &lines, const QString &target)
{
    return zk::SaveEncoded(lines, {target, m_paths.intermediateFile}, PageEncoding,
                           [this](const QString &caption, const QString &text) {
                               BladMsg(MB_ICONERROR, caption, text, this);
                           });
}

QString TKreatorDlg::normalizedPageFileName()
{
    Edit_Nazwa->setText(normalizePageFileName(Edit_Nazwa->text()));
    return Edit_Nazwa->text();
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
    Generuj_Strone(); // collects PublishFiles on the way
    const QString name = normalizedPageFileName();
    const PageOutput page{PageLines, PublishFiles, PageEncoding, m_paths.intermediateFile, m_paths.badgeSourcePath};
    if (!writePageWithAssets(page, m_paths.tempFolder, name, errorBoxesOf(this)))
        return;
    if (!services().shell->openDocument(m_paths.tempFolder + name, this))
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można wyświetlić strony!"), this);
}

void TKreatorDlg::save()
{
    const QString name = normalizedPageFileName();
    m_paths.pageFilePath = m_paths.tempFolder + name;
    Generuj_Strone();
    const QString chosen = services().prompts->chooseFolder(QString(), QString(), this);
    if (chosen.isEmpty())
        return;
    const QString folder = withTrailingSeparator(QDir::toNativeSeparators(chosen));
    const PageOutput page{PageLines, PublishFiles, PageEncoding, m_paths.intermediateFile, m_paths.badgeSourcePath};
    writePageWithAssets(page, folder, fileNameOf(m_paths.pageFilePath), errorBoxesOf(this));
}

} // namespace zk

namespace zk {

void TKreatorDlg::Przycisk_PunlikuClick()
{
    runReportingErrors(this, [this] { publish(); });
}

void TKreatorDlg::publish()
{
    Generuj_Strone(); // collects PublishFiles on the way
    const QString name = normalizedPageFileName();
    m_paths.pageFilePath = m_paths.tempFolder + name;
    PublishFileList files;
    for (const QString &f : PublishFiles)
        files.add(f);
    files.add(m_paths.pageFilePath);
    PublishFiles = files.entries();
    if (!SaveEncoded(PageLines, m_paths.pageFilePath))
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można zapisać pliku \"%1\"!").arg(m_paths.pageFilePath), this);
    TPubDlg dialog(PublishFiles, m_paths.badgeSourcePath, this);
    dialog.exec();
}

} // namespace zk
