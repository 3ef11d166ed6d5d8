// The page as a project: new, open, save, save as, the last five projects,
// the window title, the page kept at every close and the recovery file.
#include "Kreator.h"

#include "ColorPickerButton.h"
#include "Glyphs.h"
#include "Messages.h"
#include "Prompts.h"
#include "PublishLogic.h"
#include "Registry.h"
#include "Services.h"
#include "Session.h"
#include "SettingsKeys.h"
#include "SpinEdit.h"
#include "StringGrid.h"
#include "THtmlMemo.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace zk {

namespace {

const QString ProfileSection = QStringLiteral("Profile");
const QString RecentSection = QStringLiteral("Projekty");
constexpr int RecentCount = 5;
const QString ProjectFilter = QStringLiteral("Projekty stron (*.zentarek)|*.zentarek");

void setItems(QComboBox *list, const QStringList &items)
{
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(-1);
}

void setAlignment(QButtonGroup *group, Alignment a)
{
    const QList<QAbstractButton *> buttons = group->buttons(); // left, centre, right
    buttons.value(a == Alignment::Left ? 0 : a == Alignment::Center ? 1 : 2)->setChecked(true);
}

QString projectName(const QString &path)
{
    return path.isEmpty() ? QStringLiteral("Bez nazwy") : QFileInfo(path).completeBaseName();
}

// Beside the project, hidden: it says that a window has the project open.
std::unique_ptr<QLockFile> projectLockFor(const QString &path)
{
    const QFileInfo info(path);
    auto lock = std::make_unique<QLockFile>(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock"));
    lock->setStaleLockTime(0); // only a dead window's lock is stale
    return lock;
}

// What the publish dialog last kept; the connection the dialog shows when
// the settings name none is the one `current` has.
PublishProfile storedProfile(const PublishProfile &current)
{
    const Registry &r = *services().registry;
    const auto read = [&](const char *name) {
        return r.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, QString::fromLatin1(name), {});
    };
    const QString connection = read("Polaczenie");
    const bool tls = connection.isEmpty() ? current.tls : connection != ConnectionPlain;
    const bool sftp = connection.isEmpty() ? current.sftp : connection == ConnectionSftp;
    return {read("Serwer"), read("Uzytkownik"), read("Folder"), read("Async") == u"1", tls, sftp};
}

void storeProfile(const PublishProfile &p)
{
    services().registry->writeTexts(Hive::CurrentUser, SettingsRootKey, ProfileSection,
                                    {{QStringLiteral("Serwer"), p.server},
                                     {QStringLiteral("Uzytkownik"), p.user},
                                     {QStringLiteral("Folder"), p.folder},
                                     {QStringLiteral("Async"), p.async ? QStringLiteral("1") : QStringLiteral("0")},
                                     {QStringLiteral("Polaczenie"), connectionName(p.sftp, p.tls)}});
}

} // namespace

Project TKreatorDlg::currentProject(bool withText) const
{
    Project p;
    p.page = descriptionWithoutText();
    if (withText)
        p.mainText = Edytorek->toPlainText();
    p.wordWrap = CHK_WordWrap->isChecked();
    p.profile = m_profile;
    p.kept = m_keptJson;
    return p;
}

void TKreatorDlg::applyProject(const Project &project)
{
    const PageDescription &d = project.page;
    Check_Atrybuty_Naglowki->setChecked(d.Check_Atrybuty_Naglowki);
    Check_Atrybuty_Odnosniki->setChecked(d.Check_Atrybuty_Odnosniki);
    Check_Atrybuty_Adresy->setChecked(d.Check_Atrybuty_Adresy);
    Lista_Atrybuty_DocType->setEditText(d.Lista_Atrybuty_DocType);
    PopUp_Atrybuty_Tlo_Kolor->setChecked(d.PopUp_Atrybuty_Tlo_Kolor);
    PopUp_Atrybuty_Tlo_Podklad->setChecked(!d.PopUp_Atrybuty_Tlo_Kolor);
    setBackgroundColor(d.Panel_Podglad_Naglowki);
    BackgroundImagePath = d.BackgroundImagePath;
    showBackground();
    setEncoding(d.PageEncoding);
    // The text colour is handed on to the headers: theirs are set after it.
    Przycisk_Atrybuty_Kolor_Tekst->setColor(d.Przycisk_Atrybuty_Kolor_Tekst);
    Przycisk_Atrybuty_Kolor_Odnosniki->setColor(d.Przycisk_Atrybuty_Kolor_Odnosniki);
    Przycisk_Atrybuty_Kolor_Aktywne->setColor(d.Przycisk_Atrybuty_Kolor_Aktywne);
    Przycisk_Atrybuty_Kolor_Odwiedzone->setColor(d.Przycisk_Atrybuty_Kolor_Odwiedzone);
    applySound(d);
    setItems(Lista_Atrybuty_Slowa_Kluczowe, d.Lista_Atrybuty_Slowa_Kluczowe);
    Edit_Atrybuty_Dokument_Bazowy->setText(d.Edit_Atrybuty_Dokument_Bazowy);
    // The title is copied into the subtitle as it changes: the subtitle comes after.
    Edit_Atrybuty_Tytul->setText(d.Edit_Atrybuty_Tytul);
    Edit_Nazwa->setText(d.Edit_Nazwa);
    Lista_Wyglad->setCurrentIndex(std::max(0, Lista_Wyglad->findData(d.Lista_Wyglad)));
    Edit_Opis_Strony->setText(d.Edit_Opis_Strony);
    Edit_Adres_Strony->setText(d.Edit_Adres_Strony);

    Edit_Uklad_Glowny_Naglowek->setText(d.Edit_Uklad_Glowny_Naglowek);
    setAlignment(m_headerAlign, d.headerAlignment);
    Przycisk_Uklad_Naglowek_Kolor->setColor(d.Przycisk_Uklad_Naglowek_Kolor);
    Edit_Uklad_Podtytul->setText(d.Edit_Uklad_Podtytul);
    setAlignment(m_subtitleAlign, d.subtitleAlignment);
    Przycisk_Uklad_Podtytul_Kolor->setColor(d.Przycisk_Uklad_Podtytul_Kolor);
    Check_Uklad_Logo->setChecked(d.Check_Uklad_Logo);
    Edit_Uklad_Logo->setText(d.Edit_Uklad_Logo);
    Check_Uklad_Naglowek_Kreska->setChecked(d.Check_Uklad_Naglowek_Kreska);
    Grid_Uklad_Odnosniki->setGridRowCount(std::max<int>(2, int(d.Grid_Uklad_Odnosniki.size()) + 1));
    for (int r = 1; r < Grid_Uklad_Odnosniki->gridRowCount(); ++r) {
        Grid_Uklad_Odnosniki->setCell(0, r, d.Grid_Uklad_Odnosniki.value(r - 1).name);
        Grid_Uklad_Odnosniki->setCell(1, r, d.Grid_Uklad_Odnosniki.value(r - 1).address);
    }
    Edit_Uklad_Naglowek_Odnosniki->setText(d.Edit_Uklad_Naglowek_Odnosniki);
    setAlignment(m_linksAlign, d.linksHeadingAlignment);
    Przycisk_Uklad_Naglowek_Odnosniki_Kolor->setColor(d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor);
    Check_Uklad_Odnosniki_Ikona->setChecked(d.Check_Uklad_Odnosniki_Ikona);
    Edit_Uklad_Odnosniki_Ikonka->setText(d.Edit_Uklad_Odnosniki_Ikonka);
    ContactAddresses = d.Lista_Uklad_Adresy;
    setItems(Lista_Uklad_Adresy, d.Lista_Uklad_Adresy);
    Check_Uklad_Adresy_Ikona->setChecked(d.Check_Uklad_Adresy_Ikona);
    Edit_Uklad_Adresy_Ikona->setText(d.Edit_Uklad_Adresy_Ikona);

    // Which controls are usable follows the switches, as after a click.
    Edit_Uklad_Logo->setEnabled(d.Check_Uklad_Logo);
    Edit_Uklad_Odnosniki_Ikonka->setEnabled(d.Check_Uklad_Odnosniki_Ikona);
    Edit_Uklad_Adresy_Ikona->setEnabled(d.Check_Uklad_Adresy_Ikona);
    Check_Atrybuty_NaglowkiClick();
    Check_Atrybuty_OdnosnikiClick();
    Check_Atrybuty_AdresyClick();

    Edytorek->setPlainText(project.mainText);
    CHK_WordWrap->setChecked(project.wordWrap);
    CHK_WordWrapClick();
    m_profile = project.profile;
    m_keptJson = project.kept;
    m_keptJson.remove(SessionProjectKey);
}

void TKreatorDlg::applySound(const PageDescription &d)
{
    closeSound();
    Check_Play->setChecked(d.Check_Play);
    Edit_Src->setText(d.Edit_Src);
    Check_Infinite->setChecked(d.Check_Infinite);
    Spin_Powtorz->setValue(d.Spin_Powtorz);
    setSoundControlsEnabled(d.Check_Play);
    if (d.Check_Play && QFileInfo(d.Edit_Src).isFile())
        loadSound(d.Edit_Src); // Play plays the project's sound
}

// ---- the commands ----

void TKreatorDlg::buildProjectButton()
{
    Przycisk_Projekt = makeGlyphButton(QStringLiteral("Przycisk_Projekt"), QStringLiteral("Pro&jekt"), QStringLiteral("PROJEKT"),
                                       ToolBar);
    Przycisk_Projekt->setStatusTip(QStringLiteral("Nowy projekt strony, otwarcie i zapisanie projektu"));
    Przycisk_Projekt->setFixedWidth(57);
    Przycisk_Projekt->setPopupMode(QToolButton::InstantPopup);
    PopUp_Projekt = new QMenu(Przycisk_Projekt);
    PopUp_Projekt->setObjectName(QStringLiteral("PopUp_Projekt"));
    const auto item = [this](const char *name, const QString &caption, const QKeySequence &key, const QString &hint,
                             void (TKreatorDlg::*handler)()) {
        QAction *a = PopUp_Projekt->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setStatusTip(hint);
        addAction(a); // the keys work with the menu closed
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    Projekt_Nowy = item("Projekt_Nowy", QStringLiteral("&Nowy"), QKeySequence(Qt::CTRL | Qt::Key_N),
                        QStringLiteral("Nowa strona z wartościami początkowymi"), &TKreatorDlg::Projekt_NowyClick);
    Projekt_Otworz = item("Projekt_Otworz", QStringLiteral("&Otwórz…"), QKeySequence(Qt::CTRL | Qt::Key_O),
                          QStringLiteral("Otwarcie zapisanego projektu strony"), &TKreatorDlg::Projekt_OtworzClick);
    Projekt_Zapisz = item("Projekt_Zapisz", QStringLiteral("&Zapisz"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                          QStringLiteral("Zapisanie projektu strony (pliku .zentarek) do dalszej pracy"), &TKreatorDlg::Projekt_ZapiszClick);
    Projekt_ZapiszJako = item("Projekt_ZapiszJako", QStringLiteral("Zapisz &jako…"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S),
                              QStringLiteral("Zapisanie projektu strony pod nową nazwą"), &TKreatorDlg::Projekt_ZapiszJakoClick);
    m_recentSeparator = PopUp_Projekt->addSeparator();
    Przycisk_Projekt->setMenu(PopUp_Projekt);
    ToolBar->insertWidget(ToolBar->actions().value(0), Przycisk_Projekt);
    rebuildRecentMenu();
}

QStringList TKreatorDlg::recentProjects() const
{
    QStringList out;
    for (int n = 0; n < RecentCount; ++n) {
        const QString path = services().registry->readText(Hive::CurrentUser, SettingsRootKey, RecentSection,
                                                           QStringLiteral("Projekt_%1").arg(n), {});
        if (!path.isEmpty())
            out << path;
    }
    return out;
}

void TKreatorDlg::rememberRecent(const QString &path)
{
    QStringList recent = recentProjects();
    recent.removeAll(path);
    recent.prepend(path);
    Registry::NamedStrings values;
    for (int n = 0; n < RecentCount; ++n)
        values.append({QStringLiteral("Projekt_%1").arg(n), recent.value(n)});
    try {
        services().registry->writeTexts(Hive::CurrentUser, SettingsRootKey, RecentSection, values);
    } catch (const AppError &e) {
        reportStoreFailure(e.text()); // the project itself is saved
    }
    rebuildRecentMenu();
}

void TKreatorDlg::rebuildRecentMenu()
{
    qDeleteAll(m_recentActions);
    m_recentActions.clear();
    const QStringList recent = recentProjects();
    m_recentSeparator->setVisible(!recent.isEmpty());
    for (qsizetype n = 0; n < recent.size(); ++n) {
        QAction *a = PopUp_Projekt->addAction(QStringLiteral("&%1 %2").arg(n + 1).arg(QString(recent[n]).replace(u'&', QStringLiteral("&&"))));
        a->setObjectName(QStringLiteral("Projekt_Ostatni_%1").arg(n + 1));
        a->setStatusTip(QStringLiteral("Otwarcie projektu ") + recent[n]);
        const QString path = recent[n];
        connect(a, &QAction::triggered, this, [this, path] { openProjectAsked(path); });
        m_recentActions << a;
    }
}

void TKreatorDlg::Projekt_NowyClick()
{
    if (!confirmLeavingPage())
        return;
    applyProject(m_startProject);
    setProject(QString(), nullptr);
    setBaseFolder(QString());
    markSaved();
}

void TKreatorDlg::setProject(const QString &path, std::unique_ptr<QLockFile> lock)
{
    m_projectPath = path;
    m_projectLock = std::move(lock);
    m_readOnly = false;
}

void TKreatorDlg::Projekt_OtworzClick()
{
    if (!confirmLeavingPage())
        return;
    OpenFileRequest request{QStringLiteral("Otwórz projekt strony"), ProjectFilter, {},
                            m_projectPath.isEmpty() ? QString() : QFileInfo(m_projectPath).absolutePath(), {}};
    const QString path = services().prompts->openFile(request, this);
    if (!path.isEmpty())
        openProject(path);
}

void TKreatorDlg::Projekt_ZapiszClick()
{
    if (m_projectPath.isEmpty() || m_readOnly) // another window writes that file

        Projekt_ZapiszJakoClick();
    else
        saveProjectTo(m_projectPath);
}

void TKreatorDlg::Projekt_ZapiszJakoClick()
{
    askProjectPathAndSave();
}

bool TKreatorDlg::askProjectPathAndSave()
{
    const QString suggested = m_projectPath.isEmpty() ? QFileInfo(normalizedPageFileName()).completeBaseName() + ProjectExtension
                                                      : m_projectPath;
    OpenFileRequest request{QStringLiteral("Zapisz projekt strony"), ProjectFilter, suggested, {},
                            ProjectExtension.mid(1)};
    QString path = services().prompts->saveFile(request, this);
    if (path.isEmpty())
        return false;
    if (!path.endsWith(ProjectExtension, Qt::CaseInsensitive))
        path += ProjectExtension;
    return saveProjectTo(path);
}

bool TKreatorDlg::openProject(const QString &path)
{
    const ProjectRead read = readProjectFile(path);
    if (!read.project) {
        BladMsg(MB_ICONERROR, ErrorCaption,
                QStringLiteral("Nie można otworzyć projektu \"%1\": %2!").arg(QDir::toNativeSeparators(path), read.error), this);
        return false;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const bool ours = absolute == m_projectPath && m_projectLock && m_projectLock->isLocked();
    auto lock = ours ? std::move(m_projectLock) : projectLockFor(absolute); // opened again in this window: still ours
    bool readOnly = false;
    bool copy = false;
    if (!ours && !lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            const YesNoCancel answer = services().prompts->questionWithCancel(
                QStringLiteral("Potwierdzenie"),
                QStringLiteral("Projekt \"%1\" jest otwarty w innym oknie programu.\n\n"
                               "Tak – otwórz go tylko do odczytu (zapisać można go wtedy pod inną nazwą),\n"
                               "Nie – otwórz jego kopię bez nazwy,\nAnuluj – nie otwieraj.")
                    .arg(QDir::toNativeSeparators(absolute)),
                this);
            if (answer == YesNoCancel::Cancel)
                return false;
            readOnly = answer == YesNoCancel::Yes;
            copy = !readOnly;
        }
        lock.reset(); // a folder without write access: no other window can write there either
    }
    applyProject(*read.project);
    setProject(copy ? QString() : absolute, std::move(lock));
    m_readOnly = readOnly;
    setBaseFolder(QFileInfo(path).absolutePath() + u'/');
    markSaved();
    m_restoredUnsaved = copy; // a copy is in no file yet
    updateTitle();
    rememberRecent(absolute);
    try {
        storeProfile(m_profile); // the publish dialog opens on the project's server
    } catch (const AppError &e) {
        reportStoreFailure(e.text());
    }
    QStringList notes = read.notes;
    if (const QStringList missing = missingProjectFiles(*read.project); !missing.isEmpty())
        notes.prepend(QStringLiteral("Tych plików projektu nie ma na dysku:\n") + missing.join(u'\n'));
    if (!notes.isEmpty())
        BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"), notes.join(QStringLiteral("\n\n")), this);
    return true;
}

bool TKreatorDlg::saveProjectTo(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    std::unique_ptr<QLockFile> lock;
    if (absolute == m_projectPath && !m_readOnly) {
        lock = std::move(m_projectLock);
    } else {
        lock = projectLockFor(absolute);
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError) {
                BladMsg(MB_ICONERROR, ErrorCaption,
                        QStringLiteral("Nie można zapisać projektu \"%1\": jest otwarty w innym oknie programu!")
                            .arg(QDir::toNativeSeparators(absolute)), this);
                return false;
            }
            lock.reset();
        }
    }
    m_profile = storedProfile(m_profile);
    const std::optional<QString> error = writeProjectFile(currentProject(true), path);
    if (error) {
        if (absolute == m_projectPath && !m_readOnly)
            m_projectLock = std::move(lock);
        BladMsg(MB_ICONERROR, ErrorCaption,
                QStringLiteral("Nie można zapisać projektu \"%1\": %2!").arg(QDir::toNativeSeparators(path), *error), this);
        return false;
    }
    setProject(absolute, std::move(lock));
    setBaseFolder(QFileInfo(path).absolutePath() + u'/');
    markSaved();
    Panel_Hint->showMessage(QStringLiteral(" Zapisano projekt: %1").arg(QDir::toNativeSeparators(absolute)));
    rememberRecent(m_projectPath);
    m_recovery->discard(); // the project holds it now
    return true;
}

// "Tak" saves first, "Nie" lets the changes go, "Anuluj" keeps the page.
bool TKreatorDlg::confirmLeavingPage()
{
    if (!isPageModified())
        return true;
    const QString text = m_projectPath.isEmpty()
        ? QStringLiteral("Strona ma niezapisane zmiany. Czy zapisać ją jako projekt?")
        : QStringLiteral("Czy zapisać zmiany w projekcie \"%1\"?").arg(projectName(m_projectPath));
    switch (services().prompts->questionWithCancel(QStringLiteral("Potwierdzenie"), text, this)) {
    case YesNoCancel::Yes:
        return m_projectPath.isEmpty() ? askProjectPathAndSave() : saveProjectTo(m_projectPath);
    case YesNoCancel::No:
        return true;
    default:
        return false;
    }
}

// ---- changes, title, recovery ----

QByteArray TKreatorDlg::fieldsSnapshot() const
{
    return projectToJson(currentProject(false), {});
}

bool TKreatorDlg::isPageModified() const
{
    return m_restoredUnsaved || Edytorek->isModified() || fieldsSnapshot() != m_savedFields;
}

void TKreatorDlg::markSaved()
{
    m_restoredUnsaved = false;
    Edytorek->setModified(false);
    m_savedFields = fieldsSnapshot();
    updateTitle();
}

void TKreatorDlg::updateTitle()
{
    const QString readOnly = m_readOnly ? QStringLiteral(" (tylko do odczytu)") : QString();
    setWindowTitle(projectName(m_projectPath) + readOnly + QStringLiteral("[*] - ") + AppTitle);
    setWindowModified(isPageModified());
}

void TKreatorDlg::watchForChanges()
{
    m_changeTimer = new QTimer(this);
    m_changeTimer->setSingleShot(true);
    m_changeTimer->setInterval(ChangeCheckDelay);
    connect(m_changeTimer, &QTimer::timeout, this, &TKreatorDlg::checkForChanges);
    const auto changed = [this] { noteChange(); };
    for (QLineEdit *e : findChildren<QLineEdit *>())
        connect(e, &QLineEdit::textChanged, this, changed);
    for (QAbstractButton *b : findChildren<QAbstractButton *>())
        connect(b, &QAbstractButton::toggled, this, changed);
    for (QComboBox *c : findChildren<QComboBox *>()) {
        connect(c, &QComboBox::currentTextChanged, this, changed);
        connect(c->model(), &QAbstractItemModel::rowsInserted, this, changed);
        connect(c->model(), &QAbstractItemModel::rowsRemoved, this, changed);
        connect(c->model(), &QAbstractItemModel::dataChanged, this, changed);
    }
    for (ColorPickerButton *b : findChildren<ColorPickerButton *>())
        connect(b, &ColorPickerButton::colorChanged, this, changed);
    for (QAction *a : {PopUp_Atrybuty_Tlo_Kolor, PopUp_Atrybuty_Tlo_Podklad, PopUp_Atrybuty_Polskie_ISO, PopUp_Atrybuty_Polskie_Windows,
                       PopUp_Atrybuty_Polskie_UTF8})
        connect(a, &QAction::toggled, this, changed);
    connect(Grid_Uklad_Odnosniki, &QTableWidget::cellChanged, this, changed);
    connect(Grid_Uklad_Odnosniki->model(), &QAbstractItemModel::rowsInserted, this, changed);
    connect(Grid_Uklad_Odnosniki->model(), &QAbstractItemModel::rowsRemoved, this, changed);
    connect(Spin_Powtorz, &SpinEdit::valueChanged, this, changed);
    connect(Edytorek->document(), &QTextDocument::contentsChanged, this, changed);
}

void TKreatorDlg::noteChange()
{
    pageChangedForPreview();
    if (m_changeTimer && !m_changeTimer->isActive()) // not restarted: a long burst of typing is still saved every few seconds
        m_changeTimer->start();
}

void TKreatorDlg::checkForChanges()
{
    updateTitle();
    if (m_closing || m_closed || !isPageModified())
        return;
    const QByteArray fields = fieldsSnapshot();
    const int revision = Edytorek->document()->revision();
    if (fields == m_recoveryFields && revision == m_recoveryRevision)
        return;
    m_recoveryFields = fields;
    m_recoveryRevision = revision;
    m_recovery->write(currentProject(true), m_projectPath); // written on another thread
}

// At the start: the page of a run that did not end properly, else the page
// the last run closed with.
void TKreatorDlg::restoreLastPage()
{
    const SessionFiles files = SessionFiles::standard();
    const ProjectRead recovered = readProjectFile(m_slot->recoveryFile());
    if (recovered.project) {
        const QString belongsTo = recovered.project->kept.value(SessionProjectKey).toString();
        applyProject(*recovered.project);
        std::unique_ptr<QLockFile> lock;
        if (!belongsTo.isEmpty())
            lock = projectLockFor(belongsTo);
        const bool elsewhere = lock && !lock->tryLock(0) && lock->error() == QLockFile::LockFailedError;
        if (elsewhere)
            lock.reset(); // another window has the project open: this page comes back as a copy
        setProject(elsewhere ? QString() : belongsTo, std::move(lock));
        setBaseFolder(belongsTo.isEmpty() ? QString() : QFileInfo(belongsTo).absolutePath() + u'/');
        markSaved();
        m_restoredUnsaved = true; // not yet in any project
        updateTitle();
        Panel_Hint->showMessage(QStringLiteral(" Przywrócono stronę sprzed nieoczekiwanego zamknięcia programu."));
        return;
    }
    if (!m_slot->first())
        return; // the first window keeps the last page; this one starts afresh
    const ProjectRead last = readProjectFile(files.lastPage);
    if (!last.project)
        return; // a first start, or nothing to bring back
    const QString belongsTo = last.project->kept.value(SessionProjectKey).toString();
    if (!belongsTo.isEmpty()) {
        m_lastPageProtected = !openProject(belongsTo);
        return;
    }
    const QByteArray startFields = projectToJson(m_startProject, {});
    applyProject(*last.project);
    markSaved();
    // An untitled page lives in no project: leaving it asks, unless it is a fresh page.
    m_restoredUnsaved = projectToJson(currentProject(true), {}) != startFields;
    updateTitle();
}

bool TKreatorDlg::openProjectAsked(const QString &path)
{
    return confirmLeavingPage() && openProject(path);
}

// At the close: the page is kept for the next start; the recovery file goes.
// Where it cannot be kept, an untitled page is not dropped unasked.
bool TKreatorDlg::keepPageForNextStart()
{
    m_closing = true; // no snapshot starts while the questions are open
    m_changeTimer->stop();
    const auto resume = [this] {
        m_closing = false;
        return false;
    };
    if (!confirmLeavingPageOnClose())
        return resume();
    QString why = whyPageCannotBeKept();
    if (why.isEmpty()) {
        const SessionFiles files = SessionFiles::standard();
        const std::optional<QString> error = writeSessionFile(currentProject(true), m_projectPath, files.lastPage);
        if (!error) {
            m_recovery->discard();
            return true;
        }
        why = QStringLiteral("nie można zapisać pliku \"%1\": %2").arg(files.lastPage, *error);
    }
    if (!askToSaveWhatCannotBeKept(why))
        return resume();
    m_recovery->discard(); // the user has decided: nothing is brought back against it
    return true;
}

bool TKreatorDlg::confirmLeavingPageOnClose()
{
    return m_projectPath.isEmpty() || confirmLeavingPage(); // an untitled page is kept without a question
}

QString TKreatorDlg::whyPageCannotBeKept() const
{
    if (!m_slot->first())
        return QStringLiteral("stronę ostatniego zamknięcia zachowuje pierwsze okno programu");
    if (m_lastPageProtected)
        return QStringLiteral("plik ostatniej strony zachowuje projekt, którego nie udało się otworzyć");
    return {};
}

// An untitled page that cannot be kept: "Tak" saves it as a project,
// "Nie" lets it go, "Anuluj" keeps the window open.
bool TKreatorDlg::askToSaveWhatCannotBeKept(const QString &why)
{
    if (!m_projectPath.isEmpty() || !isPageModified())
        return true; // a named project was saved or let go by the question before
    const QString text = QStringLiteral("Strony nie można zachować do następnego uruchomienia (%1).\n\n"
                                        "Czy zapisać ją jako projekt?").arg(why);
    switch (services().prompts->questionWithCancel(QStringLiteral("Potwierdzenie"), text, this)) {
    case YesNoCancel::Yes:
        return askProjectPathAndSave();
    case YesNoCancel::No:
        return true;
    default:
        return false;
    }
}

// Told once, at once: the user then saves the page elsewhere.
void TKreatorDlg::reportCannotKeepPage(const QString &why)
{
    if (!m_cannotKeepPage.isEmpty() || m_closed)
        return;
    m_cannotKeepPage = why;
    Panel_Hint->showMessage(QStringLiteral(" Strona nie jest zapisywana na wypadek awarii: %1.").arg(why));
    BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"),
            QStringLiteral("Nie można zapisywać strony na wypadek awarii programu w pliku \"%1\": %2.\n\n"
                           "Zapisz stronę jako projekt w innym miejscu (Projekt, Zapisz jako…).")
                .arg(m_recovery->file(), why),
            this);
}

} // namespace zk
