#pragma once

#include "AppPaths.h"
#include "Assets.h"
#include "OpenFileDialog.h"
#include "PageDescription.h"
#include "ProjectFile.h"

#include <QJsonObject>
#include <memory>

#include <QList>
#include <QSet>
#include <QMainWindow>

#include <optional>
#include <QStringList>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTimer;
class QShortcut;
class QLockFile;

namespace zk {

struct PageOutput;
class PreviewServer;
class ColorPickerButton;
class SpinEdit;
class StringGrid;
struct LinkFields;
class RecoveryWriter;
class SessionSlot;
class THtmlMemo;

// The wizard window: toolbar, the three tab pages that hold the page
// description, and the status bar with the hint of the control under the
// pointer.
class TKreatorDlg : public QMainWindow {
    Q_OBJECT
public:
    // `appFolder` is the program's own folder (where the help file, the
    // badge and the temporary folder live).
    explicit TKreatorDlg(const QString &appFolder, QWidget *parent = nullptr);
    ~TKreatorDlg() override;

    const AppPaths &paths() const { return m_paths; }
    const QString &PageFilePath() const { return m_paths.pageFilePath; }
    int runCount() const { return RunCount; }
    const QStringList &contactAddresses() const { return ContactAddresses; }

    // The page description as the controls hold it now.
    PageDescription description() const;
    PageDescription descriptionWithoutText() const;

    // Projects: the whole page in one file (see ProjectFile.h).
    Project currentProject(bool withText) const;
    void applyProject(const Project &project);
    const QString &projectPath() const { return m_projectPath; }
    bool projectReadOnly() const { return m_readOnly; }
    bool isPageModified() const;
    // With their messages; false when nothing was opened or saved.
    bool openProject(const QString &path);
    bool saveProjectTo(const QString &path);
    // At the start: the page of a run that did not end properly, else the last one.
    void restoreLastPage();
    // Opens a project after asking, as "Otwórz…" does, whether to save the page shown.
    bool openProjectAsked(const QString &path);
    void Projekt_NowyClick();
    void Projekt_OtworzClick();
    void Projekt_ZapiszClick();
    void Projekt_ZapiszJakoClick();
    // A change is looked at this long after it, then the title and the recovery file follow.
    static constexpr int ChangeCheckDelay = 2000;
    void checkForChanges();
    RecoveryWriter &recoveryWriter() const { return *m_recovery; }
    QStringList editorLines() const;

    // Output commands.
    void Generuj_Strone();
    void Gen_List();
    bool SaveEncoded(const QStringList &lines, const QString &target);
    void Przycisk_PodgladClick();
    void BTN_ZapiszClick();
    void Przycisk_PunlikuClick();
    // The page in the browser follows the form (see PreviewServer.h).
    static constexpr int LivePreviewDelay = 150;
    PreviewServer *previewServer() const { return m_live; }
    void Link_TelefonClick();
    // Makes the page file name end in ".html", in the field too.
    QString normalizedPageFileName();
    // Relative references in the main text are resolved against this
    // folder: the one the page was last saved into ("" at first).
    const QString &baseFolder() const { return m_baseFolder; }
    void setBaseFolder(const QString &folder) { m_baseFolder = folder; }
    // The files that travel with the page, as the last generation found them.
    const AssetPlan &assets() const { return m_assets; }

    void Przycisk_AnulujClick();
    void Przycisk_PomocClick();
    void BTN_OnLineClick();
    void Edit_Atrybuty_TytulChange();
    void CHK_WordWrapClick();

    // The section editing commands.
    void PopUp_Atrybuty_Tlo_KolorClick();
    void PopUp_Atrybuty_Tlo_PodkladClick();
    void PopUp_Atrybuty_Polskie_ISOClick();
    void PopUp_Atrybuty_Polskie_WindowsClick();
    void PopUp_Atrybuty_Polskie_UTF8Click();
    void Przycisk_Atrybuty_Kolor_TekstColorChange();
    void Check_Atrybuty_NaglowkiClick();
    void Check_Atrybuty_OdnosnikiClick();
    void Check_Atrybuty_AdresyClick();
    void Check_Uklad_LogoClick();
    void Check_Uklad_Odnosniki_IkonaClick();
    void Check_Uklad_Adresy_IkonaClick();
    void Przycisk_Uklad_Odnosniki_DodajClick();
    void Przycisk_Uklad_Odnosniki_UsunClick();
    void Przycisk_Uklad_Odnosniki_EdytujClick();
    void Przycisk_Uklad_Odnosniki_OdNowaClick();
    void Grid_Uklad_OdnosnikiKeyDown(QKeyEvent *event);
    void Przycisk_Uklad_Adresy_DodajClick();
    void Przycisk_Uklad_Adresy_UsunClick();
    void Przycisk_Uklad_Adresy_EdytujClick();
    void Przycisk_Uklad_Adresy_OdNowaClick();
    void Lista_Uklad_AdresyKeyDown(QKeyEvent *event);
    void Przycisk_Atrybuty_Slowa_Kluczowe_DodajClick();
    void Przycisk_Atrybuty_Slowo_Kluczowe_UsunClick();
    void Przycisk_Uklad_Naglowek_Odnosniki_PrawaClick(QAbstractButton *button);

    // The background sound.
    void Check_PlayClick();
    void Przycisk_PlayClick();
    void Przycisk_StopClick();
    void Przycisk_NagrywajClick();

    // The editor's tag commands.
    void Edytorek_OdnosClick();
    void Edytorek_GRafikaClick();
    void Edytorek_AkapitClick();
    void Edytorek_PogrubClick();
    void Edytorek_PochylenieClick();
    void Edytorek_PodkreslenieClick();
    // The chosen picture's full path, or "" when cancelled.
    QString WybierzGrafike(const QString &filter);

    // Empties the temporary folder of its plain files.
    void DeleteDir(const QString &folder);

    // The page as last generated, line by line.
    const QStringList &pageLines() const { return PageLines; }
    const QString &backgroundImagePath() const { return BackgroundImagePath; }
    // "ISO-8859-2", "CP-1250" or "UTF-8", as the encoding menu says.
    const QString &pageEncoding() const { return PageEncoding; }
    void setContactAddresses(const QStringList &addresses) { ContactAddresses = addresses; }
    // The open-file dialog the window's commands share (it keeps its last folder).
    const OpenFileDialog &openFileDialog() const { return OpenDoc; }

    // Toolbar.
    QToolBar *ToolBar = nullptr;
    QMenu *PopUp_Projekt = nullptr;
    QAction *Projekt_Nowy = nullptr;
    QAction *Projekt_Otworz = nullptr;
    QAction *Projekt_Zapisz = nullptr;
    QAction *Projekt_ZapiszJako = nullptr;
    QToolButton *Przycisk_Podglad = nullptr;
    QToolButton *Przycisk_Punliku = nullptr;
    QToolButton *BTN_Zapisz = nullptr;
    QToolButton *Przycisk_Pomoc = nullptr;
    QToolButton *BTN_OnLine = nullptr;
    QToolButton *Przycisk_Anuluj = nullptr;

    QTabWidget *Pages = nullptr;
    QStatusBar *Panel_Hint = nullptr;
    QLabel *Link_Telefon = nullptr;

    // "Ustawienia sekcji".
    QCheckBox *Check_Atrybuty_Naglowki = nullptr;
    QCheckBox *Check_Atrybuty_Odnosniki = nullptr;
    QCheckBox *Check_Atrybuty_Adresy = nullptr;
    QComboBox *Lista_Atrybuty_DocType = nullptr;
    QLabel *Label_DocType_Opis = nullptr; // what the chosen type is for
    QPushButton *Przycisk_Atrybuty_Tlo = nullptr;
    QMenu *PopUp_Atrybuty_Tlo = nullptr;
    QAction *PopUp_Atrybuty_Tlo_Kolor = nullptr;
    QAction *PopUp_Atrybuty_Tlo_Podklad = nullptr;
    QFrame *Panel_Podglad_Naglowki = nullptr;
    QPushButton *Przycisk_Atrybuty_Polskie = nullptr;
    QMenu *PopUp_Atrybuty_Polskie = nullptr;
    QAction *PopUp_Atrybuty_Polskie_ISO = nullptr;
    QAction *PopUp_Atrybuty_Polskie_Windows = nullptr;
    QAction *PopUp_Atrybuty_Polskie_UTF8 = nullptr;
    ColorPickerButton *Przycisk_Atrybuty_Kolor_Tekst = nullptr;
    ColorPickerButton *Przycisk_Atrybuty_Kolor_Odnosniki = nullptr;
    ColorPickerButton *Przycisk_Atrybuty_Kolor_Aktywne = nullptr;
    ColorPickerButton *Przycisk_Atrybuty_Kolor_Odwiedzone = nullptr;
    QCheckBox *Check_Play = nullptr;
    QLineEdit *Edit_Src = nullptr;
    QToolButton *Przycisk_Play = nullptr;
    QToolButton *Przycisk_Stop = nullptr;
    QToolButton *Przycisk_Nagrywaj = nullptr;
    QCheckBox *Check_Infinite = nullptr;
    SpinEdit *Spin_Powtorz = nullptr;
    QComboBox *Lista_Atrybuty_Slowa_Kluczowe = nullptr;
    QLineEdit *Edit_Atrybuty_Dokument_Bazowy = nullptr;
    QLineEdit *Edit_Atrybuty_Tytul = nullptr;
    QLineEdit *Edit_Nazwa = nullptr;
    QLineEdit *Edit_Opis_Strony = nullptr;
    QLineEdit *Edit_Adres_Strony = nullptr;
    QComboBox *Lista_Wyglad = nullptr;

    // "Atrybuty sekcji".
    QLineEdit *Edit_Uklad_Glowny_Naglowek = nullptr;
    QToolButton *Przycisk_Uklad_Naglowek_Srodek = nullptr;
    ColorPickerButton *Przycisk_Uklad_Naglowek_Kolor = nullptr;
    QLineEdit *Edit_Uklad_Podtytul = nullptr;
    QToolButton *Przycisk_Uklad_Podtytul_Lewa = nullptr;
    QToolButton *Przycisk_Uklad_Podtytul_Srodek = nullptr;
    ColorPickerButton *Przycisk_Uklad_Podtytul_Kolor = nullptr;
    QCheckBox *Check_Uklad_Logo = nullptr;
    QLineEdit *Edit_Uklad_Logo = nullptr;
    QCheckBox *Check_Uklad_Naglowek_Kreska = nullptr;
    StringGrid *Grid_Uklad_Odnosniki = nullptr;
    QLineEdit *Edit_Uklad_Naglowek_Odnosniki = nullptr;
    QToolButton *Przycisk_Uklad_Naglowek_Odnosniki_Prawa = nullptr;
    ColorPickerButton *Przycisk_Uklad_Naglowek_Odnosniki_Kolor = nullptr;
    QCheckBox *Check_Uklad_Odnosniki_Ikona = nullptr;
    QLineEdit *Edit_Uklad_Odnosniki_Ikonka = nullptr;
    QComboBox *Lista_Uklad_Adresy = nullptr;
    QPushButton *Przycisk_Uklad_Adresy_Dodaj = nullptr;
    QCheckBox *Check_Uklad_Adresy_Ikona = nullptr;
    QLineEdit *Edit_Uklad_Adresy_Ikona = nullptr;

    // "Główna sekcja".
    THtmlMemo *Edytorek = nullptr;
    QMenu *POP_Edytorek = nullptr;
    QAction *Edytorek_Odnos = nullptr;
    QAction *Edytorek_GRafika = nullptr;
    QAction *Edytorek_Pogrub = nullptr;
    QCheckBox *CHK_WordWrap = nullptr;
    // The bar above the editor: the menu's tag commands, visible.
    QWidget *Pasek_Edytora = nullptr;
    QToolButton *BTN_Akapit = nullptr;
    QToolButton *BTN_Pogrub = nullptr;
    QToolButton *BTN_Pochylenie = nullptr;
    QToolButton *BTN_Podkreslenie = nullptr;
    QToolButton *BTN_Odnosnik = nullptr;

    QColor backgroundColor() const;
    void setBackgroundColor(const QColor &color);
    void showBackground();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void preview();
    void save();
    void publish();
    void LoadConfig();
    void SaveConfig();
    void buildToolBar();
    QWidget *buildSekcjePage();
    QWidget *buildAtrybutyPage();
    QWidget *buildGlownaPage();
    void buildEditorMenu();
    QWidget *buildEditorBar(QWidget *parent);
    void setUpEditor();
    QWidget *buildSoundBox(QWidget *parent);
    QWidget *buildHeadersBox(QWidget *parent);
    QWidget *buildLinksBox(QWidget *parent);
    QWidget *buildAddressesBox(QWidget *parent);
    void setHelpContexts();
    bool switchPageByKey(QKeyEvent *key);
    void focusFirstControlOf(QWidget *page);
    void connectSectionCommands();
    bool handleSectionEvent(QObject *watched, QEvent *event);
    void setEncoding(const QString &encoding);
    void setSoundControlsEnabled(bool on);
    void loadSound(const QString &path);
    void applySound(const PageDescription &d);
    void buildProjectButton();
    QStringList recentProjects() const;
    void rememberRecent(const QString &path);
    void rebuildRecentMenu();
    bool askProjectPathAndSave();
    bool confirmLeavingPage();
    bool confirmLeavingPageOnClose();
    bool keepPageForNextStart();
    bool askToSaveWhatCannotBeKept(const QString &why);
    QString whyPageCannotBeKept() const;
    void reportCannotKeepPage(const QString &why);
    bool lockProject(const QString &path);
    void setProject(const QString &path, std::unique_ptr<QLockFile> lock);
    QByteArray fieldsSnapshot() const;
    void markSaved();
    void updateTitle();
    void watchForChanges();
    void noteChange();
    void placeCentred();
    void soundFailed();
    void showSoundPreparing(bool preparing);
    void soundPrepared(bool ok);
    void closeSound();
    void switchSoundOff();
    void choosePicture(QCheckBox *box, QLineEdit *path);
    std::optional<LinkFields> askForLink(const QString &description, const QString &address);
    bool runListKey(int key, void (TKreatorDlg::*add)(), void (TKreatorDlg::*remove)(), void (TKreatorDlg::*edit)());
    void reportStoreFailure(const QString &text);
    bool reportReadProblems();
    bool pageFileNameIsUsable();
    void warnAboutMissingFiles();
    bool pageChecksAllowGoingOn();
    bool isHtml5Page() const; // the chosen document type is HTML5's
    bool recordMelodyIfNeeded();
    PageOutput pageOutput() const;
    void buildLivePreview();
    bool startLivePreview();
    void pageChangedForPreview();
    void refreshLivePreview();
    void stopLivePreview();
    void showPreviewAddress();

    // Lists owned by the window for its whole life.
    QStringList PageLines;
    QStringList MainSectionLines;
    QStringList PublishFiles;
    QStringList ContactAddresses;
    QString BackgroundImagePath;
    QString PageEncoding = QStringLiteral("ISO-8859-2");
    OpenFileDialog OpenDoc;

    // Controls only the window's own commands reach (tests find them by objectName).
    QToolButton *Przycisk_Projekt = nullptr;
    QWidget *Sekcje = nullptr;
    QWidget *Atrybuty = nullptr;
    QWidget *Glowna = nullptr;
    QToolButton *Przycisk_Atrybuty_Slowa_Kluczowe_Dodaj = nullptr;
    QToolButton *Przycisk_Atrybuty_Slowo_Kluczowe_Usun = nullptr;
    QLabel *Label_Uklad_Glowny_Naglowek = nullptr;
    QToolButton *Przycisk_Uklad_Naglowek_Lewa = nullptr;
    QToolButton *Przycisk_Uklad_Naglowek_Prawa = nullptr;
    QLabel *Label_Uklad_Podtytul = nullptr;
    QToolButton *Przycisk_Uklad_Podtytul_Prawa = nullptr;
    QPushButton *Przycisk_Uklad_Odnosniki_Dodaj = nullptr;
    QPushButton *Przycisk_Uklad_Odnosniki_Usun = nullptr;
    QPushButton *Przycisk_Uklad_Odnosniki_Edytuj = nullptr;
    QPushButton *Przycisk_Uklad_Odnosniki_OdNowa = nullptr;
    QLabel *Label_Uklad_Naglowek_Odnosniki = nullptr;
    QToolButton *Przycisk_Uklad_Naglowek_Odnosniki_Lewa = nullptr;
    QToolButton *Przycisk_Uklad_Naglowek_Odnosniki_Srodek = nullptr;
    QLabel *Label_Uklad_Adresy = nullptr;
    QPushButton *Przycisk_Uklad_Adresy_Usun = nullptr;
    QPushButton *Przycisk_Uklad_Adresy_Edytuj = nullptr;
    QPushButton *Przycisk_Uklad_Adresy_OdNowa = nullptr;
    QAction *Edytorek_Akapit = nullptr;
    QAction *Edytorek_Pochylenie = nullptr;
    QAction *Edytorek_Podkreslenie = nullptr;
    QAction *Edytorek_Przeglad = nullptr;
    QAction *Edytorek_Wstaw = nullptr;
    QAction *Edytorek_Wyjcie = nullptr;
    QToolButton *BTN_Grafika = nullptr;

    AppPaths m_paths;
    QString m_baseFolder;
    AssetPlan m_assets;
    QStringList m_madeTempFolders; // subfolders Preview and Publish made in the temporary folder
    int RunCount = 0;
    QColor m_backgroundColor;
    bool m_soundPreparing = false;
    QButtonGroup *m_headerAlign = nullptr;
    QButtonGroup *m_subtitleAlign = nullptr;
    QButtonGroup *m_linksAlign = nullptr;
    bool m_closed = false;
    QSet<QString> m_storeFailuresShown;
    QString m_projectPath;
    PublishProfile m_profile;
    QJsonObject m_keptJson;       // keys of the opened project this version does not know
    Project m_startProject;        // what "Nowy" starts from
    QByteArray m_savedFields;      // the fields as last saved or opened, without the main text
    bool m_restoredUnsaved = false;
    QTimer *m_changeTimer = nullptr;
    QByteArray m_recoveryFields;
    int m_recoveryRevision = -1;
    std::unique_ptr<SessionSlot> m_slot;   // which recovery file this window writes
    std::unique_ptr<RecoveryWriter> m_recovery;
    std::unique_ptr<QLockFile> m_projectLock; // held while m_projectPath is ours to write
    bool m_readOnly = false;           // the project is open in another window
    bool m_closing = false;            // the close has begun: no snapshot may start
    bool m_lastPageProtected = false;  // the last page names a project that did not open
    QString m_cannotKeepPage;          // why the page cannot be kept automatically, once told
    QShortcut *m_encodingKey = nullptr; // Alt+I while the encoding's caption has no "i"
    PreviewServer *m_live = nullptr;
    QTimer *m_liveTimer = nullptr;
    bool m_liveStale = false;          // changed while no browser watched
    QAction *m_recentSeparator = nullptr;
    QList<QAction *> m_recentActions;
    QColor m_colorDialogColor = QColor(0xC0, 0xC0, 0xC0); // the colour last chosen in the dialog
    QList<QColor> m_colorDialogCustom = QList<QColor>(16, QColor(Qt::white));
};

} // namespace zk
