#include "Kreator.h"

#include "DialogKeys.h"

#include "AppError.h"
#include "HelpViewer.h"
#include "Messages.h"
#include "Paths.h"
#include "Prompts.h"
#include "Services.h"
#include "Registry.h"
#include "SettingsStore.h"
#include "Session.h"
#include "Shell.h"
#include "TempFiles.h"
#include "Product.h"

#include "ColorPickerButton.h"
#include "Glyphs.h"
#include "StringGrid.h"

#include <QApplication>
#include <QDir>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

namespace zk {

TKreatorDlg::TKreatorDlg(const QString &appFolder, QWidget *parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint)
{
    setObjectName(QStringLiteral("TKreatorDlg"));
    m_paths.appFolder = withTrailingSeparator(appFolder);
    buildToolBar();
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addTab(buildSekcjePage(), QStringLiteral("Ustawienia sekcji"));
    Pages->addTab(buildAtrybutyPage(), QStringLiteral("Atrybuty sekcji"));
    Pages->addTab(buildGlownaPage(), QStringLiteral("Główna sekcja"));
    setCentralWidget(Pages);
    Panel_Hint = new QStatusBar(this);
    Panel_Hint->setObjectName(QStringLiteral("Panel_Hint"));
    Panel_Hint->setSizeGripEnabled(false);
    setStatusBar(Panel_Hint);
    buildLivePreview();
    setHelpContexts();
    connectSectionCommands();
    // Placed before FormCreate, whose error boxes centre over the window.
    placeCentred();
    FormCreate();
    m_slot = std::make_unique<SessionSlot>(SessionFiles::standard());
    m_recovery = std::make_unique<RecoveryWriter>(m_slot->recoveryFile(), [this](const QString &why) {
        QMetaObject::invokeMethod(this, [this, why] { reportCannotKeepPage(why); }, Qt::QueuedConnection);
    });
    if (!m_slot->problem().isEmpty())
        reportCannotKeepPage(m_slot->problem());
    m_startProject = currentProject(true);
    watchForChanges();
    markSaved();
    placeCentred();
    focusFirstControlOf(Pages->currentWidget()); // typing starts on the page, not on the toolbar
}

void TKreatorDlg::placeCentred()
{
    setFixedSize(minimumSizeHint().expandedTo(QSize(504, 406)));
    centerOnScreen(this);
}

TKreatorDlg::~TKreatorDlg()
{
    closeSound();
    qApp->removeEventFilter(this);
}

void TKreatorDlg::FormCreate()
{
    LadujzRes(Przycisk_Anuluj, QStringLiteral("ANULUJ"));
    LadujzRes(Przycisk_Pomoc, QStringLiteral("POMOC"));
    qApp->installEventFilter(this); // sees every key before the focused control
    m_paths.helpFile = m_paths.appFolder + QStringLiteral("stronarz.hlp");
    if (services().help)
        services().help->setHelpFile(m_paths.helpFile);

    const TempFolderChoice temp =
        chooseTempFolder(m_paths.appFolder, QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    m_paths = makeAppPaths(m_paths.appFolder, temp.folder);
    if (!temp.created)
        BladMsg(MB_ICONERROR, ErrorCaption,
                QStringLiteral("Nie można utworzyć katalogu tymczasowego \"%1\"!").arg(temp.failedFolder), this);

    const QString owner = GetWinUserName(*services().registry, services().accountFullName);
    Edit_Atrybuty_Tytul->setText(owner + QStringLiteral(" - Strona Domowa - Firmowa"));
    Edit_Uklad_Glowny_Naglowek->setText(owner);
    Edit_Uklad_Podtytul->setText(QStringLiteral("Strona Domowa - Firmowa"));
    Edit_Uklad_Naglowek_Odnosniki->setText(QStringLiteral("Moje ulubione odnośniki"));

    Grid_Uklad_Odnosniki->setTitleAlignment(Qt::AlignCenter);
    Grid_Uklad_Odnosniki->setColumnAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    Grid_Uklad_Odnosniki->setColumnAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    Grid_Uklad_Odnosniki->setCell(0, 0, QStringLiteral("Nazwa Odnośnika"));
    Grid_Uklad_Odnosniki->setCell(1, 0, QStringLiteral("Adres URL Odnośnika"));

    PageLines.clear();
    PublishFiles.clear();
    MainSectionLines.clear();
    ContactAddresses.clear();
    LoadConfig();
}

void TKreatorDlg::reportStoreFailure(const QString &text)
{
    if (m_storeFailuresShown.contains(text))
        return; // one settings file that cannot be written is said once
    m_storeFailuresShown.insert(text);
    showErrorReport(text, this);
}

// A damaged settings file is said once, with where its copy is kept.
bool TKreatorDlg::reportReadProblems()
{
    const QStringList problems = services().registry->takeReadProblems();
    if (!problems.isEmpty())
        BladMsg(MB_ICONWARNING, QStringLiteral("UWAGA!"), problems.join(QStringLiteral("\n\n")), this);
    return !problems.isEmpty();
}

void TKreatorDlg::LoadConfig()
{
    QString failure;
    try {
        SettingsStore store(*services().registry, m_paths.appFolder);
        const StoredConfig config = store.load();
        RunCount = config.runCount;
        ContactAddresses = config.contactAddresses;
        Lista_Uklad_Adresy->addItems(ContactAddresses);
        Lista_Uklad_Adresy->setCurrentIndex(-1);
    } catch (const AppError &e) {
        failure = e.text(); // the window still opens
    }
    if (failure.isEmpty())
        reportReadProblems();
    else if (!reportReadProblems())
        reportStoreFailure(failure);
    else
        m_storeFailuresShown.insert(failure); // the note already says the settings stay unsaved
}

void TKreatorDlg::SaveConfig()
{
    try {
        SettingsStore(*services().registry, m_paths.appFolder).save(ContactAddresses, RunCount);
    } catch (const AppError &e) {
        reportStoreFailure(e.text()); // closing is always allowed
    }
    reportReadProblems();
}

void TKreatorDlg::DeleteDir(const QString &folder)
{
    TempFilesReport report;
    report.cannotDelete = [this](const QString &path) {
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można usunąć pliku \"%1\"!").arg(path), this);
    };
    report.cannotList = [this] {
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można usunąć plików tymczasowych!"), this);
    };
    deleteTempFiles(folder, report);
}

void TKreatorDlg::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        if (!keepPageForNextStart()) {
            event->ignore(); // "Anuluj": the user goes on working
            return;
        }
        m_closed = true;
        closeSound(); // also ends a melody still being prepared
        stopLivePreview(); // before the temporary folder goes, so no late refresh writes it again
        DeleteDir(m_paths.tempFolder);
        for (const QString &sub : std::as_const(m_madeTempFolders))
            QDir(sub).removeRecursively(); // folders of relative references, made by this run
        SaveConfig();
    }
    event->accept();
}

void TKreatorDlg::Przycisk_AnulujClick()
{
    close();
}

void TKreatorDlg::Przycisk_PomocClick()
{
    if (services().help)
        services().help->showContents(this);
}

void TKreatorDlg::BTN_OnLineClick()
{
    if (!services().shell->openDocument(MakerHomePage, this))
        BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Nie można nawiązać połączenia!"), this);
}

void TKreatorDlg::Edit_Atrybuty_TytulChange()
{
    Edit_Uklad_Podtytul->setText(Edit_Atrybuty_Tytul->text());
}

bool TKreatorDlg::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        Panel_Hint->showMessage(u' ' + static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TKreatorDlg::switchPageByKey(QKeyEvent *key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool next = key->key() == Qt::Key_Tab && mods == Qt::ControlModifier;
    const bool previous = (key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Tab)
                          && mods == (Qt::ControlModifier | Qt::ShiftModifier);
    if (!next && !previous)
        return false;
    const int count = Pages->count();
    // Hiding a page that holds the focus would pass it along the chain first.
    if (QWidget *focus = QApplication::focusWidget(); focus && Pages->isAncestorOf(focus))
        focus->clearFocus();
    Pages->setCurrentIndex((Pages->currentIndex() + (next ? 1 : count - 1)) % count);
    focusFirstControlOf(Pages->currentWidget());
    key->accept(); // a consumed key that stays ignored travels on to the parents, and back here
    return true;
}

// The focus follows the page, so typing goes on where the user now looks.
void TKreatorDlg::focusFirstControlOf(QWidget *page)
{
    for (QWidget *w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(page) && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

// A popup menu is a window of its own, where the hint of an item stops.
static bool isMenuOf(QObject *watched, const QWidget *window)
{
    const QWidget *w = qobject_cast<QMenu *>(watched);
    while (qobject_cast<const QMenu *>(w))
        w = w->parentWidget();
    return w && w->window() == window;
}

bool TKreatorDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::StatusTip && isMenuOf(watched, this)) {
        Panel_Hint->showMessage(u' ' + static_cast<QStatusTipEvent *>(event)->tip());
        return false;
    }
    if (handleSectionEvent(watched, event))
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return false;
    return switchPageByKey(static_cast<QKeyEvent *>(event));
}

} // namespace zk
