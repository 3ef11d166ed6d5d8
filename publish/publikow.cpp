#include "publikow.h"

#include "DialogKeys.h"
#include "Glyphs.h"
#include "HelpViewer.h"
#include "Messages.h"
#include "PasswordStore.h"
#include "Paths.h"
#include "Prompts.h"
#include "LiveCheck.h"
#include "PublishLogic.h"
#include "Registry.h"
#include "Services.h"
#include "SettingsKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zk {

namespace {
const QString ProfileSection = QStringLiteral("Profile");

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
      m_files(publishFiles), m_badge(badgeSourcePath), m_client(ftp),
      m_run(m_client,
            {.error = [this](const QString &text) { error(text); },
             .confirm = [this](const QString &text) { return Potwierdzenie(QString(), text, this); },
             .sending = [this](const QString &path) { ProgressFile = path; },
             .trustCertificate = [this](const QString &text) {
                 return services().prompts->question(QStringLiteral("BŁĄD!"), text, this);
             },
             .trusted = [](const QString &server, const QString &fingerprint) {
                 rememberTrustedFingerprint(*services().registry, server, fingerprint);
             },
             .planned = [this](const PublishPlan &plan) { showPlan(plan); },
             .sentElsewhere = [this](const QString &path, const QString &remoteName, qint64 bytes) {
                 fileSentElsewhere(path, remoteName, bytes);
             },
             .trustHostKey = [this](const QString &text) { return askAboutHostKey(text); },
             .hostKeyChanged = [this](const QString &text) {
                 services().prompts->choose(MB_ICONERROR, QStringLiteral("BŁĄD!"), text, {QStringLiteral("Anuluj")}, this);
             }})
{
    setObjectName(QStringLiteral("TPubDlg"));
    setWindowTitle(QStringLiteral("Publikowanie"));
    ftp.Mode = tftp_upload;
    ftp.Async = false;
    ftp.Username = QStringLiteral("ftp");
    ftp.Password = QStringLiteral("ftp@quorvel");
    ftp.OnActionComplete = [this](QObject *, t_ftp_mode mode) {
        if (mode == tftp_upload && !PublishRun::isManifest(ftp.URI))
            fileSent(ftp.URI, ftp.TransferSize); // reading the server and the record are no part of the total
    };
    ftp.OnAsyncError = [this](const ETcpIpError &e) { m_run.asyncFailed(e); };
    ftp.OnTrace = [this](const QString &line, TTraceLevel level) { note(conversationLine(line, level)); };
    ftp.OnDataReceived = [this](QObject *, t_ftp_mode, qint32 bytes) {
        if (bytes > 0 && ftp.Mode == tftp_upload && !PublishRun::isBadge(ftp.URI) && !PublishRun::isManifest(ftp.URI)) {
            m_progress.moved(bytes);
            showProgress();
        }
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
    CHK_Zapamietaj = new QCheckBox(QStringLiteral("Zapamię&taj hasło"), this);
    CHK_Zapamietaj->setObjectName(QStringLiteral("CHK_Zapamietaj"));
    CHK_Zapamietaj->setStatusTip(QStringLiteral("Hasło w pęku kluczy pulpitu, a gdy go nie ma, w pliku ustawień"));
    setHelpContext(CHK_Zapamietaj, 1097);
    CHK_Wszystko = new QCheckBox(QStringLiteral("Wyślij wszystko od &nowa"), this);
    CHK_Wszystko->setObjectName(QStringLiteral("CHK_Wszystko"));
    CHK_Wszystko->setStatusTip(QStringLiteral("Wysyła wszystkie pliki, także te, które na serwerze już są takie same"));
    setHelpContext(CHK_Wszystko, 1098);
    SE_Polaczenia = new QSpinBox(this);
    SE_Polaczenia->setObjectName(QStringLiteral("SE_Polaczenia"));
    SE_Polaczenia->setRange(1, MaxConnections);
    SE_Polaczenia->setStatusTip(QStringLiteral("Tyle połączeń z serwerem wysyła pliki naraz; 1 wysyła plik po pliku"));
    setHelpContext(SE_Polaczenia, 1099);
    CHK_Async = new QCheckBox(QStringLiteral("Połączenie asynchroniczne"), this);
    CHK_Async->setObjectName(QStringLiteral("CHK_Async"));
    setHelpContext(CHK_Async, 1095);
    CB_Polaczenie = new QComboBox(this);
    CB_Polaczenie->setObjectName(QStringLiteral("CB_Polaczenie"));
    CB_Polaczenie->addItems({QStringLiteral("FTP"), QStringLiteral("FTP z szyfrowaniem TLS (zalecane)"), QStringLiteral("SFTP (SSH)")});
    // SFTP has no asynchronous mode of its own: its calls never hold the window.
    connect(CB_Polaczenie, &QComboBox::currentIndexChanged, this, [this](int i) { CHK_Async->setEnabled(i != SftpIndex); });
    CB_Polaczenie->setStatusTip(QStringLiteral("Szyfrowanie chroni hasło i pliki w drodze na serwer"));
    setHelpContext(CB_Polaczenie, 1096);
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 100);
    Progress->setValue(0);
    LB_Postep = new QLabel(this);
    LB_Postep->setObjectName(QStringLiteral("LB_Postep"));
    BTN_Szczegoly = new QToolButton(this);
    BTN_Szczegoly->setObjectName(QStringLiteral("BTN_Szczegoly"));
    BTN_Szczegoly->setText(QStringLiteral("S&zczegóły"));
    BTN_Szczegoly->setCheckable(true);
    BTN_Szczegoly->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    BTN_Szczegoly->setArrowType(Qt::RightArrow);
    BTN_Szczegoly->setStatusTip(QStringLiteral("Rozmowa programu z serwerem: polecenia, odpowiedzi, szyfrowanie, czas każdego pliku"));
    connect(BTN_Szczegoly, &QToolButton::clicked, this, &TPubDlg::BTN_SzczegolyClick);
    Szczegoly = new QPlainTextEdit(this);
    Szczegoly->setObjectName(QStringLiteral("Szczegoly"));
    Szczegoly->setReadOnly(true);
    Szczegoly->setMaximumBlockCount(5000); // the latest of a long run
    Szczegoly->setLineWrapMode(QPlainTextEdit::NoWrap);
    Szczegoly->setMinimumHeight(150);
    Szczegoly->hide();

    Przycisk_OK = makeGlyphButton(QStringLiteral("Przycisk_OK"), QStringLiteral("&Wyślij"), QStringLiteral("PUBLIKUJ"), this);
    Przycisk_Anuluj = makeGlyphButton(QStringLiteral("Przycisk_Anuluj"), QStringLiteral("&Wyjdź"), QString(), this);
    BTN_Pomoc = makeGlyphButton(QStringLiteral("BTN_Pomoc"), QStringLiteral("&Pomoc"), QString(), this);
    LadujzRes(Przycisk_Anuluj, QStringLiteral("ANULUJ"));
    LadujzRes(BTN_Pomoc, QStringLiteral("POMOC"));
    for (QToolButton *b : {Przycisk_OK, Przycisk_Anuluj, BTN_Pomoc}) {
        b->setFixedSize(QSize(65, 65).expandedTo(b->sizeHint())); // larger for a larger font
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
    auto *connection = new QLabel(QStringLiteral("P&ołączenie:"), this);
    connection->setBuddy(CB_Polaczenie);
    fields->addWidget(connection, r, 0);
    fields->addWidget(CB_Polaczenie, r++, 1);
    fields->addWidget(CHK_Zapamietaj, r++, 1);
    auto *parallel = new QLabel(QStringLiteral("&Równoległe połączenia:"), this);
    parallel->setBuddy(SE_Polaczenia);
    fields->addWidget(parallel, r, 0);
    fields->addWidget(SE_Polaczenia, r++, 1, Qt::AlignLeft);
    fields->addWidget(CHK_Async, r++, 1);
    fields->addWidget(CHK_Wszystko, r, 1);
    grid->addLayout(fields, 1, 0, 1, 2);
    grid->addWidget(Progress, 2, 0, 1, 3);
    auto *under = new QHBoxLayout;
    under->addWidget(BTN_Szczegoly);
    under->addWidget(LB_Postep, 1);
    grid->addLayout(under, 3, 0, 1, 3);
    grid->addWidget(Szczegoly, 4, 0, 1, 3);
    setTabChain({Tree, ED_Serwer, Ed_User, ED_Haslo, Ed_Folder, CB_Polaczenie, CHK_Zapamietaj, SE_Polaczenia, CHK_Async,
                 CHK_Wszystko});
    m_run.setClientMaker([this] { return makeFtpClient(ftp); });
    BTN_Szczegoly->setFocusPolicy(Qt::NoFocus); // reached by Alt+Z, as the other buttons by their letters
    Szczegoly->setFocusPolicy(Qt::ClickFocus);

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
    const auto icon = [](int i) { return resourceIcon(QStringLiteral(":/icons/tree%1.png").arg(i)); };
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

void TPubDlg::setShownNames(const QHash<QString, QString> &names)
{
    QTreeWidgetItem *publication = Tree->topLevelItem(1);
    for (int i = 0; publication && i < publication->childCount() && i < m_files.size(); ++i)
        publication->child(i)->setText(0, names.value(m_files[i], m_files[i]));
}

PublishSettings TPubDlg::settings() const
{
    const int connection = CB_Polaczenie->currentIndex();
    PublishSettings s;
    s.server = ED_Serwer->text();
    s.user = Ed_User->text();
    s.password = ED_Haslo->text();
    s.folder = Ed_Folder->text();
    s.async = CHK_Async->isChecked();
    s.security = connection == 0 ? FtpSecurity::Plain : FtpSecurity::ExplicitTls;
    s.everything = CHK_Wszystko->isChecked();
    s.connections = SE_Polaczenia->value();
    s.protocol = connection == SftpIndex ? PublishProtocol::Sftp : PublishProtocol::Ftp;
    return s;
}

void TPubDlg::setSettings(const PublishSettings &s)
{
    ED_Serwer->setText(s.server);
    Ed_User->setText(s.user);
    ED_Haslo->setText(s.password);
    Ed_Folder->setText(s.folder);
    CHK_Async->setChecked(s.async);
    CHK_Wszystko->setChecked(s.everything);
    SE_Polaczenia->setValue(s.connections);
    CB_Polaczenie->setCurrentIndex(s.protocol == PublishProtocol::Sftp ? SftpIndex
                                   : s.security == FtpSecurity::Plain  ? 0
                                                                       : 1);
}

void TPubDlg::LadujProfile()
{
    const Registry &r = *services().registry;
    const auto text = [&r](const char *name, const QString &fallback) {
        return r.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QString::fromLatin1(name), fallback);
    };
    const auto number = [&r](const char *name, qint64 fallback) {
        return r.readInteger(Hive::CurrentUser, SettingsRootKey, ProfileSection, QString::fromLatin1(name), fallback);
    };
    PublishSettings s;
    s.server = text("Serwer", {});
    s.user = text("Uzytkownik", {});
    s.password = storedPassword(r, services().passwords, s.server, s.user, &m_passwordInKeyring);
    s.folder = text("Folder", {});
    s.async = number("Async", 0) != 0;
    s.connections = int(number("Polaczenia", 2));
    // A new profile encrypts; one kept from before TLS goes on as it did.
    const QString connection = text("Polaczenie", s.server.isEmpty() ? ConnectionTls : ConnectionPlain);
    s.security = connection == ConnectionPlain ? FtpSecurity::Plain : FtpSecurity::ExplicitTls;
    s.protocol = connection == ConnectionSftp ? PublishProtocol::Sftp : PublishProtocol::Ftp;
    setSettings(s);
    CHK_Zapamietaj->setChecked(number("ZapamietajHaslo", 1) != 0);
}

// One write of the settings file for the whole profile (each value apart
// cost a synced write of the file, eight of them on every close).
void TPubDlg::SaveProfile()
{
    Registry &r = *services().registry;
    keepPasswordAsChosen();
    const PublishSettings s = settings();
    r.writeTexts(Hive::CurrentUser, SettingsRootKey, ProfileSection,
                 {{QStringLiteral("Serwer"), s.server},
                  {QStringLiteral("Uzytkownik"), s.user},
                  {QStringLiteral("ZapamietajHaslo"), CHK_Zapamietaj->isChecked() ? QStringLiteral("1") : QStringLiteral("0")},
                  {QStringLiteral("Folder"), s.folder},
                  {QStringLiteral("Async"), s.async ? QStringLiteral("1") : QStringLiteral("0")},
                  {QStringLiteral("Polaczenia"), QString::number(s.connections)},
                  {QStringLiteral("Polaczenie"),
                   connectionName(s.protocol == PublishProtocol::Sftp, s.security != FtpSecurity::Plain)}});
}

// In the keyring when there is one; where none answers, in the settings
// file as before, and the user is told so once.
void TPubDlg::keepPasswordAsChosen()
{
    Registry &r = *services().registry;
    const PasswordKept kept = keepPassword(r, services().passwords, ED_Serwer->text(), Ed_User->text(), ED_Haslo->text(),
                                           CHK_Zapamietaj->isChecked(), m_passwordInKeyring);
    m_passwordInKeyring = kept == PasswordKept::Keyring;
    if (kept != PasswordKept::SettingsFile || !services().passwords
        || r.readInteger(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("HasloWPlikuZgloszone"), 0) != 0)
        return;
    r.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QStringLiteral("HasloWPlikuZgloszone"), QStringLiteral("1"));
    BladMsg(MB_ICONINFORMATION, QStringLiteral("Informacja!"),
            QStringLiteral("Pęk kluczy pulpitu (usługa Secret Service) nie odpowiada, więc hasło zostanie zapisane w pliku "
                           "ustawień, który może czytać tylko Ty."),
            this);
}

void TPubDlg::error(const QString &text)
{
    BladMsg(MB_ICONERROR, QStringLiteral("BŁĄD!"), text, this);
}

void TPubDlg::closeQuietly()
{
    m_run.closeQuietly();
}

void TPubDlg::Przycisk_OKClick()
{
    if (m_running)
        return; // a run is under way: Enter and the button start nothing
    m_running = true;
    runReportingErrors(this, [this] { run(); });
    m_running = false;
}

void TPubDlg::BTN_SzczegolyClick()
{
    const bool shown = BTN_Szczegoly->isChecked();
    BTN_Szczegoly->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
    Szczegoly->setVisible(shown);
    layout()->invalidate(); // the hint must count the panel as it is now
    setFixedSize(QSize(width(), layout()->totalSizeHint().height()).expandedTo(QSize(421, 379)));
}

void TPubDlg::note(const QString &line)
{
    if (line.isEmpty())
        return;
    Szczegoly->appendPlainText(line);
}

void TPubDlg::showProgress()
{
    if (!m_progress.dueForRedraw())
        return;
    Progress->setValue(m_progress.percent());
    LB_Postep->setText(m_progress.text());
    Progress->repaint(); // a synchronous run processes no events: paint now
    LB_Postep->repaint();
}

void TPubDlg::run()
{
    PublishSettings chosen = settings();
    chosen.trustedFingerprint = trustedFingerprint(*services().registry, chosen.server);
    chosen.knownRevision = knownRevision(*services().registry, chosen.server, chosen.folder);
    useProtocol(chosen);
    const QString typedFolder = Ed_Folder->text();
    Szczegoly->clear();
    m_progress.begin(PublishTotal);
    m_fileClock.start();
    const bool sent = m_run.run(chosen, m_files, m_remoteNames, m_badge);
    if (chosen.folder != Ed_Folder->text())
        Ed_Folder->setText(chosen.folder); // as the run used it
    if (!sent) {
        Progress->setValue(0); // a failed run has published nothing the user can count on
        LB_Postep->clear();
        return;
    }
    keepPasswordAsChosen(); // a password from the settings file moves to the keyring now
    rememberRevision(*services().registry, chosen.server, typedFolder, m_run.writtenRevision());
    const QStringList differences = livePageDifferences();
    if (!differences.isEmpty())
        BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"), liveCheckWarning(m_webAddress, m_run.folderOnServer(), differences), this);
    else
        BladMsg(MB_ICONINFORMATION, QStringLiteral("Informacja!"),
                publishedText(m_run.folderOnServer()) + planAfterwards(m_run.plan())
                    + (m_webAddress.isEmpty() ? QString() : QStringLiteral("\nStrona pod adresem %1 pokazuje to, co wysłano.").arg(m_webAddress)),
                this);
    Progress->setValue(0);
    ProgressFile.clear();
}

// What will change on the server, in the tree before it changes; the bar
// counts only what is to be sent.
void TPubDlg::showPlan(const PublishPlan &plan)
{
    delete Tree->topLevelItem(2);
    auto *changes = new QTreeWidgetItem(Tree, {QStringLiteral("Zmiany na serwerze")});
    changes->setIcon(0, resourceIcon(QStringLiteral(":/icons/tree5.png")));
    for (const QString &line : planLines(plan))
        (new QTreeWidgetItem(changes, {line}))->setIcon(0, resourceIcon(QStringLiteral(":/icons/tree7.png")));
    for (const QString &line : plan.notes)
        (new QTreeWidgetItem(changes, {line}))->setIcon(0, resourceIcon(QStringLiteral(":/icons/tree6.png")));
    changes->setExpanded(true);
    Tree->scrollToItem(changes);
    qint64 total = 0;
    for (const LocalFile &f : plan.toSend)
        if (m_files.contains(f.path))
            total += f.record.size;
    m_progress.begin(total);
    Tree->repaint(); // a synchronous run processes no events: paint now
}

// What the web shows at the page's address against what was sent.
QStringList TPubDlg::livePageDifferences()
{
    if (m_webAddress.isEmpty())
        return {};
    LB_Postep->setText(QStringLiteral("Sprawdzanie strony pod adresem %1...").arg(m_webAddress));
    LB_Postep->repaint();
    const QStringList differences =
        liveDifferences(m_webAddress, sentFiles(m_files, m_remoteNames, m_badge, PublishRun::BadgeRemoteName));
    LB_Postep->clear();
    return differences;
}

// A file that went over another connection: counted and traced like one of ours.
void TPubDlg::fileSentElsewhere(const QString &path, const QString &remoteName, qint64 bytes)
{
    note(sentFileLine(remoteName, bytes, m_fileClock.elapsed()));
    if (remoteName == PublishRun::BadgeRemoteName && path == m_badge)
        return; // not part of the publication's total
    m_progress.fileDone(bytes);
    showProgress();
}

// SFTP in place of the FTP client: its own client for this run, and its
// own further connections.
void TPubDlg::useProtocol(PublishSettings &settings)
{
    if (settings.protocol != PublishProtocol::Sftp) {
        m_run.useClient(m_client);
        m_run.setClientMaker([this] { return makeFtpClient(ftp); });
        return;
    }
    settings.async = false;
    if (!m_sftp) {
        m_sftp = std::make_unique<SftpPublishClient>();
        m_sftp->setEvents({.trace = [this](const QString &line, TTraceLevel level) { note(conversationLine(line, level)); },
                           .moved = [this](const QString &remoteName, qint64 bytes) {
                               if (!PublishRun::isBadge(remoteName) && !PublishRun::isManifest(remoteName)) {
                                   m_progress.moved(bytes);
                                   showProgress();
                               }
                           },
                           .sent = [this](const QString &remoteName, qint64 bytes) {
                               if (!PublishRun::isManifest(remoteName))
                                   fileSent(remoteName, bytes);
                           }});
    }
    m_run.useClient(*m_sftp);
    m_run.setClientMaker([timeout = m_sftp->TimeoutMs] {
        auto client = std::make_unique<SftpPublishClient>();
        client->TimeoutMs = timeout;
        return client;
    });
}

// "Zaufaj i zapamiętaj", "Połącz tylko raz" or "Anuluj", the last one Escape's.
HostKeyAnswer TPubDlg::askAboutHostKey(const QString &text)
{
    switch (services().prompts->choose(MB_ICONWARNING, QStringLiteral("Nieznany klucz serwera"), text,
                                       {QStringLiteral("&Zaufaj i zapamiętaj"), QStringLiteral("Połącz tylko &raz"),
                                        QStringLiteral("Anuluj")},
                                       this)) {
    case 0: return HostKeyAnswer::Remember;
    case 1: return HostKeyAnswer::Once;
    default: return HostKeyAnswer::Cancel;
    }
}

void TPubDlg::fileSent(const QString &remoteName, qint64 bytes)
{
    const bool badge = PublishRun::isBadge(remoteName);
    const QString shown = badge ? PublishRun::BadgeRemoteName : m_remoteNames.value(ProgressFile, fileNameOf(ProgressFile));
    note(sentFileLine(shown, bytes, m_fileClock.restart()));
    if (badge)
        return; // not part of the publication's total
    m_progress.fileDone(GetFileSize(ProgressFile));
    showProgress();
}

bool TPubDlg::mayClose()
{
    if (!m_running || m_closeApproved)
        return true; // the close box asks once, not again when it rejects the dialog
    if (!Potwierdzenie(QString(), QStringLiteral("Czy przerwać przesyłanie plików na serwer?"), this))
        return false;
    m_closeApproved = true;
    m_run.cancel(); // a wait under way ends at once
    // Inside a wait the operation under way still holds the connection: it
    // unwinds first, and the run closes it. Between notifications it is ours:
    // ABOR, QUIT and the sockets closed, each within a short limit.
    if (!ftp.isWaiting() && !(m_sftp && m_sftp->isWaiting()))
        closeQuietly();
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
