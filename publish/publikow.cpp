#include "publikow.h"

#include "DialogKeys.h"
#include "Glyphs.h"
#include "HelpViewer.h"
#include "Messages.h"
#include "Paths.h"
#include "Prompts.h"
#include "PublishLogic.h"
#include "Registry.h"
#include "Services.h"
#include "SettingsKeys.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zk {

namespace {
const QString ProfileSection = QStringLiteral("Profile");
const QString BadgeRemoteName = QStringLiteral("zenanim.gif");

QLineEdit *field(QWidget *parent, const char *name, int help, const QString &hint)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setStatusTip(hint);
    setHelpContext(e, help);
    return e;
}
} // namespace

TPubDlg::TPubDlg(const QStringList &publishFiles, const QString &badgeSourcePath, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint),
      m_files(publishFiles), m_badge(badgeSourcePath)
{
    setObjectName(QStringLiteral("TPubDlg"));
    setWindowTitle(QStringLiteral("Publikowanie"));
    ftp.Mode = tftp_upload;
    ftp.Async = false;
    ftp.Username = QStringLiteral("ftp");
    ftp.Password = QStringLiteral("ftp@quorvel");
    ftp.OnActionComplete = [this](QObject *, t_ftp_mode) { ftpActionComplete(); };
    ftp.OnAsyncError = [this](const ETcpIpError &) {
        m_asyncFailed = true; // the wait ends and the run reports the file under way
        ftp.Busy = false;
    };

    auto *panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Tree = new QTreeWidget(panel);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setHeaderHidden(true);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tree->setMinimumSize(343, 213);
    setHelpContext(Tree, 1090);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->addWidget(Tree);

    ED_Serwer = field(this, "ED_Serwer", 1091, QStringLiteral("Adres serwera FTP (także z numerem portu: serwer:port)"));
    Ed_User = field(this, "Ed_User", 1092, QStringLiteral("Nazwa użytkownika na serwerze"));
    ED_Haslo = field(this, "ED_Haslo", 1093, QStringLiteral("Hasło użytkownika"));
    ED_Haslo->setEchoMode(QLineEdit::Password);
    Ed_Folder = field(this, "Ed_Folder", 1094, QStringLiteral("Folder na serwerze, do którego trafi strona"));
    CHK_Async = new QCheckBox(QStringLiteral("Połączenie asynchroniczne"), this);
    CHK_Async->setObjectName(QStringLiteral("CHK_Async"));
    setHelpContext(CHK_Async, 1095);
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 100);
    Progress->setValue(0);

    Przycisk_OK = makeGlyphButton(QStringLiteral("Przycisk_OK"), QStringLiteral("&Wyślij"), QStringLiteral("PUBLIKUJ"), this);
    Przycisk_Anuluj = makeGlyphButton(QStringLiteral("Przycisk_Anuluj"), QStringLiteral("&Wyjdź"), QString(), this);
    BTN_Pomoc = makeGlyphButton(QStringLiteral("BTN_Pomoc"), QStringLiteral("&Pomoc"), QString(), this);
    LadujzRes(Przycisk_Anuluj, QStringLiteral("ANULUJ"));
    LadujzRes(BTN_Pomoc, QStringLiteral("POMOC"));
    for (QToolButton *b : {Przycisk_OK, Przycisk_Anuluj, BTN_Pomoc}) {
        b->setFixedSize(65, 65);
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(Przycisk_OK, &QToolButton::clicked, this, &TPubDlg::Przycisk_OKClick);
    connect(Przycisk_Anuluj, &QToolButton::clicked, this, &TPubDlg::Przycisk_AnulujClick);
    connect(BTN_Pomoc, &QToolButton::clicked, this, &TPubDlg::BTN_PomocClick);
    // Enter starts the run; Escape reaches QDialog, whose reject() asks first.
    new DialogKeys(this, [this] { Przycisk_OKClick(); }, nullptr, false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(panel, 0, 0, 1, 2);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Przycisk_OK);
    buttons->addWidget(Przycisk_Anuluj);
    buttons->addWidget(BTN_Pomoc);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 2, 1);
    auto *fields = new QGridLayout;
    const std::pair<const char *, QLineEdit *> rows[] = {
        {"Adres &serwera:", ED_Serwer}, {"&Użytkownik:", Ed_User}, {"&Hasło:", ED_Haslo}, {"&Folder docelowy:", Ed_Folder}};
    int r = 0;
    for (const auto &[text, edit] : rows) {
        auto *label = new QLabel(QString::fromUtf8(text), this);
        label->setBuddy(edit);
        fields->addWidget(label, r, 0);
        fields->addWidget(edit, r++, 1);
    }
    fields->addWidget(CHK_Async, r, 1);
    grid->addLayout(fields, 1, 0, 1, 2);
    grid->addWidget(Progress, 2, 0, 1, 3);
    setTabChain({Tree, ED_Serwer, Ed_User, ED_Haslo, Ed_Folder, CHK_Async});

    PublishTotal = 0;
    for (const QString &f : m_files)
        PublishTotal += GetFileSize(f);
    buildTree();
    LadujProfile();
    setFixedSize(sizeHint().expandedTo(QSize(421, 379)));
    centerOnScreen(this);
}

TPubDlg::~TPubDlg()
{
    ftp.DataStream.device = nullptr; // the file goes before the client
}

void TPubDlg::buildTree()
{
    Tree->setUpdatesEnabled(false);
    const auto icon = [](int i) { return QIcon(QStringLiteral(":/icons/tree%1.png").arg(i)); };
    auto *info = new QTreeWidgetItem(Tree, {QStringLiteral("Informacje")});
    info->setIcon(0, icon(5));
    const QStringList lines = estimateLines(PublishTotal);
    for (int i = 0; i < lines.size(); ++i)
        (new QTreeWidgetItem(info, {lines[i]}))->setIcon(0, icon(i == 0 ? 6 : 7));
    auto *publication = new QTreeWidgetItem(Tree, {QStringLiteral("Twoja publikacja")});
    publication->setIcon(0, icon(0));
    for (const QString &f : m_files)
        (new QTreeWidgetItem(publication, {f}))->setIcon(0, icon(imageForFile(f)));
    Tree->expandAll();
    Tree->setCurrentItem(publication);
    Tree->setUpdatesEnabled(true);
}

void TPubDlg::LadujProfile()
{
    const Registry &r = *services().registry;
    ED_Serwer->setText(r.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Serwer"), {}));
    Ed_User->setText(r.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Uzytkownik"), {}));
    ED_Haslo->setText(r.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Haslo"), {}));
    Ed_Folder->setText(r.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Folder"), {}));
    CHK_Async->setChecked(r.readInteger(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Async"), 0) != 0);
}

void TPubDlg::SaveProfile()
{
    Registry &r = *services().registry;
    r.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Serwer"), ED_Serwer->text());
    r.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Uzytkownik"), Ed_User->text());
    r.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Haslo"), ED_Haslo->text());
    r.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Folder"), Ed_Folder->text());
    r.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("Async"),
                CHK_Async->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void TPubDlg::error(const QString &text)
{
    BladMsg(MB_ICONERROR, QStringLiteral("BŁĄD!"), text, this);
}

// The server may already be gone; its failure must not bring a second box.
void TPubDlg::closeQuietly()
{
    try {
        ftp.CloseSession();
    } catch (const std::exception &) {
    }
}

void TPubDlg::Przycisk_OKClick()
{
    if (m_running)
        return; // a run is under way: Enter and the button start nothing
    m_running = true;
    m_cancelled = false;
    m_asyncFailed = false;
    m_remoteFoldersMade.clear();
    runReportingErrors(this, [this] { run(); });
    m_running = false;
}

// Nothing is sent when a name would break a command line in two.
bool TPubDlg::namesCanBeSent()
{
    QStringList names = {Ed_User->text(), Ed_Folder->text()};
    for (const QString &path : std::as_const(m_files))
        names << m_remoteNames.value(path, fileNameOf(path));
    const QString bad = firstUnsendableName(names);
    if (!bad.isEmpty()) {
        error(QStringLiteral("Nazwa \"%1\" zawiera znak końca wiersza, którego nie można wysłać na serwer!")
                  .arg(QString(bad).replace(u'\r', u' ').replace(u'\n', u' ').remove(QChar(0))));
        return false;
    }
    if (!firstUnsendableName({ED_Haslo->text()}).isEmpty()) {
        error(QStringLiteral("Hasło dla \"%1\" zawiera znak końca wiersza, którego nie można wysłać na serwer!")
                  .arg(ED_Serwer->text()));
        return false;
    }
    return true;
}

void TPubDlg::run()
{
    if (!namesCanBeSent())
        return;
    ftp.Async = CHK_Async->isChecked();
    ftp.Hostname = ED_Serwer->text();
    ftp.Username = Ed_User->text();
    ftp.Password = ED_Haslo->text();
    try {
        ftp.OpenSession();
    } catch (const ETcpIpError &) {
        error(loginFailureText(ftp.ReplyCode, ED_Serwer->text(), Ed_User->text(), Ed_Folder->text()));
        closeQuietly();
        return;
    }
    Ed_Folder->setText(normalizedTargetFolder(Ed_Folder->text()));
    if (!enterFolders())
        return;
    const auto failed = [this](const QString &path) {
        if (!m_cancelled)
            error(QStringLiteral("Błąd przy przesyłaniu pliku \"%1\"!").arg(path));
        closeQuietly();
    };
    for (const QString &path : std::as_const(m_files)) {
        // An asynchronous upload finishes while the next one waits: a failure
        // reported then belongs to the file under way, not to this one.
        if (!waitWhileBusy())
            return failed(ProgressFile);
        const QString remoteName = m_remoteNames.value(path, fileNameOf(path));
        makeRemoteFoldersFor(remoteName);
        if (!uploadFile(path, remoteName))
            return failed(path);
    }
    if (!waitWhileBusy())
        return failed(ProgressFile);
    // A program folder without the badge is no error; a badge that could
    // not be sent is, like any other file.
    if (QFile::exists(m_badge) && (!uploadFile(m_badge, BadgeRemoteName) || !waitWhileBusy()))
        return failed(m_badge);
    BladMsg(MB_ICONINFORMATION, QStringLiteral("Informacja!"),
            QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!"), this);
    Progress->setValue(0);
    ProgressFile.clear();
}

QString TPubDlg::folderFailureText(const QString &piece, const ETcpIpError &e) const
{
    if (T_FTP::isSessionFailure(e))
        return QStringLiteral("Połączenie z serwerem \"%1\" zostało przerwane!").arg(ED_Serwer->text());
    return QStringLiteral("Nie można przejść do foldera \"%1\" na serwerze!").arg(piece);
}

// Every folder of the path must be entered: a file sent from anywhere else
// would not be where the user asked for it.
bool TPubDlg::enterFolders()
{
    QStringList pieces;
    Token(Ed_Folder->text(), u'/', pieces);
    for (const QString &piece : pieces) {
        try {
            ftp.ChangeDir(piece);
            continue;
        } catch (const ETcpIpError &e) {
            if (ftp.ReplyCode != 550 || T_FTP::isSessionFailure(e)) {
                error(folderFailureText(piece, e));
                closeQuietly();
                return false;
            }
        }
        if (!Potwierdzenie(QString(), QStringLiteral("Folder \"%1\" nie istnieje na serwerze. Utworzyć?").arg(piece), this)) {
            closeQuietly(); // declined: the files have nowhere to go
            return false;
        }
        try {
            ftp.MakeDir(piece);
            ftp.ChangeDir(piece);
        } catch (const ETcpIpError &) {
            error(QStringLiteral("Nie można utworzyć foldera \"%1\"!").arg(piece));
            closeQuietly();
            return false;
        }
    }
    return true;
}

// A file that travels to "img/a.gif" needs the folder "img" below the
// target folder; one that is already there refuses MKD, which is fine: a
// folder that really is missing makes the upload itself fail with its message.
void TPubDlg::makeRemoteFoldersFor(const QString &remoteName)
{
    const QStringList pieces = remoteName.split(u'/');
    QString folder;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        folder += (folder.isEmpty() ? QString() : QStringLiteral("/")) + pieces[i];
        if (m_remoteFoldersMade.contains(folder))
            continue;
        m_remoteFoldersMade.insert(folder);
        try {
            ftp.MakeDir(folder);
        } catch (const ETcpIpError &) {
        }
    }
}

bool TPubDlg::waitWhileBusy()
{
    // The client ends a transfer that stalls (its own deadline), so this
    // wait always ends.
    while (ftp.Busy && !m_cancelled && !m_asyncFailed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !m_cancelled && !m_asyncFailed;
}

// The file is read from disk while it is sent, never held whole in memory.
bool TPubDlg::uploadFile(const QString &path, const QString &remoteName)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    ftp.DataStream.clear();
    m_uploading = std::move(file); // lives until the transfer has ended
    try {
        ftp.URI = remoteName;
        ftp.DataStream.device = m_uploading.get();
        if (path != m_badge)
            ProgressFile = path;
        ftp.Mode = tftp_upload;
        ftp.Upload();
    } catch (const ETcpIpError &) {
        return false;
    }
    return !m_asyncFailed;
}

void TPubDlg::ftpActionComplete()
{
    if (PublishTotal > 0)
        Progress->setValue(int(std::min<qint64>(
            100, Progress->value() + roundedQuotient(GetFileSize(ProgressFile) * 100, PublishTotal))));
    Progress->repaint(); // a synchronous run processes no events: paint now
}

bool TPubDlg::mayClose()
{
    if (!m_running || m_closeApproved)
        return true; // the close box asks once, not again when it rejects the dialog
    if (!Potwierdzenie(QString(), QStringLiteral("Czy przerwać przesyłanie plików na serwer?"), this))
        return false;
    m_closeApproved = true;
    m_cancelled = true;
    closeQuietly(); // ABOR, QUIT and the sockets closed, each within a short limit
    return true;
}

void TPubDlg::Przycisk_AnulujClick()
{
    if (mayClose())
        done(QDialog::Rejected);
}

void TPubDlg::reject()
{
    Przycisk_AnulujClick();
}

void TPubDlg::closeEvent(QCloseEvent *event)
{
    if (!mayClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TPubDlg::done(int result)
{
    try {
        SaveProfile(); // every way of closing keeps the profile
    } catch (const AppError &e) {
        // The dialog still closes: a settings folder that cannot be written
        // must not keep the user in it.
        BladMsg(MB_ICONERROR, QStringLiteral("BŁĄD!"),
                QStringLiteral("Nie można zapisać profilu publikowania: %1").arg(errorReportText(e.text())), this);
    }
    if (!m_running && ftp.Connected)
        closeQuietly(); // a successful run left the connection open: QUIT
    QDialog::done(result);
}

void TPubDlg::BTN_PomocClick()
{
    if (services().help)
        services().help->showTopic(10, BTN_Pomoc->mapToGlobal(QPoint(0, 0)), this);
}

} // namespace zk
