// The background sound of the first page: choosing, playing and stopping
// it, and starting a sound recorder.
#include "Kreator.h"

#include "MediaPlayer.h"
#include "MidiRecording.h"
#include "Messages.h"
#include "Paths.h"
#include "Prompts.h"
#include "Services.h"
#include "Shell.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>

namespace zk {

namespace {
// The system's recorder on Windows; elsewhere common recorders, tried in turn.
QStringList soundRecorders()
{
#ifdef Q_OS_WIN
    return {qEnvironmentVariable("WINDIR") + QStringLiteral("\\sndrec32.exe")};
#else
    return {QStringLiteral("gnome-sound-recorder"), QStringLiteral("audacity"), QStringLiteral("kwave"),
            QStringLiteral("audio-recorder")};
#endif
}
} // namespace

void TKreatorDlg::setSoundControlsEnabled(bool on)
{
    Przycisk_Play->setEnabled(on);
    Przycisk_Stop->setEnabled(on);
    Edit_Src->setEnabled(on);
}

void TKreatorDlg::switchSoundOff()
{
    setSoundControlsEnabled(false);
    Check_Play->setChecked(false);
}

void TKreatorDlg::Check_PlayClick()
{
    if (!Check_Play->isChecked()) {
        if (services().media)
            services().media->stop(); // a sound that plays on would have no Stop
        setSoundControlsEnabled(false); // the path and the player's file stay
        return;
    }
    const QString savedTitle = OpenDoc.Title, savedFilter = OpenDoc.Filter;
    OpenDoc.FileName.clear();
    OpenDoc.Title = QStringLiteral("Wybierz dźwięk lub muzykę");
    OpenDoc.Filter = QStringLiteral("Dźwięki i muzyka (*.wav;*.mid;*.au)|*.wav;*.au;*.mid");
    const bool chosen = OpenDoc.Execute(this);
    OpenDoc.Title = savedTitle;
    OpenDoc.Filter = savedFilter;
    MediaPlayer *player = services().media;
    if (!chosen) {
        if (player)
            player->close();
        switchSoundOff();
        return;
    }
    Edit_Src->setText(OpenDoc.FileName);
    if (Edit_Src->text().isEmpty())
        return;
    loadSound(Edit_Src->text());
}

void TKreatorDlg::loadSound(const QString &path)
{
    MediaPlayer *player = services().media;
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext != u"wav" && ext != u"mid") { // ".au": listed, not played here
        if (player)
            player->close(); // Play must not play the sound chosen before
        setSoundControlsEnabled(true);
        return;
    }
    if (player) {
        player->prepared = [this](bool ok) { soundPrepared(ok); };
        if (player->open(path)) {
            setSoundControlsEnabled(true);
            if (!player->isReady())
                showSoundPreparing(true);
            return;
        }
    }
    soundFailed();
}

void TKreatorDlg::soundFailed()
{
    const QString why = services().media ? services().media->failure() : QString();
    BladMsg(MB_ICONERROR, ErrorCaption, QStringLiteral("Błąd podczas próby odtwarzania!") + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why), this);
    if (services().media)
        services().media->close();
    switchSoundOff();
}

// A melody is rendered in the background: Play waits for it, the window does not.
void TKreatorDlg::showSoundPreparing(bool preparing)
{
    if (preparing == m_soundPreparing)
        return;
    m_soundPreparing = preparing;
    Przycisk_Play->setEnabled(!preparing && Check_Play->isChecked());
    if (preparing) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        Panel_Hint->showMessage(QStringLiteral(" Przygotowywanie melodii do odtwarzania..."));
    } else {
        QApplication::restoreOverrideCursor();
        Panel_Hint->clearMessage();
    }
}

void TKreatorDlg::soundPrepared(bool ok)
{
    showSoundPreparing(false);
    if (!ok)
        soundFailed();
}

void TKreatorDlg::closeSound()
{
    showSoundPreparing(false);
    if (MediaPlayer *player = services().media) {
        player->close();
        player->prepared = nullptr;
    }
}

void TKreatorDlg::Przycisk_PlayClick()
{
    if (services().media && services().media->isOpen())
        services().media->play();
}

void TKreatorDlg::Przycisk_StopClick()
{
    if (services().media && services().media->isOpen())
        services().media->stop();
}

void TKreatorDlg::Przycisk_NagrywajClick()
{
    const QString workingFolder = folderOf(m_paths.pageFilePath);
    for (const QString &recorder : soundRecorders())
        if (services().shell->startProgram(recorder, {}, workingFolder, this))
            return;
    BladMsg(MB_ICONERROR, ErrorCaption,
            QStringLiteral("Nie można uruchomić nagrywania!\nSprawdzone programy: %1 (żadnego nie znaleziono "
                           "albo żaden nie chciał się uruchomić).")
                .arg(soundRecorders().join(QStringLiteral(", "))),
            this);
}

} // namespace zk

namespace zk {

// The recording an HTML5 page needs for its MIDI sound, made once per melody
// on a thread of its own while a progress window says how far it got. False
// when it was cancelled or failed (and the user was told why).
bool TKreatorDlg::recordMelodyIfNeeded()
{
    const QString target = m_assets.melodyRecording;
    if (target.isEmpty() || QFileInfo::exists(target))
        return true;
    QProgressDialog progress(QStringLiteral("Nagrywanie melodii \"%1\" dla przeglądarek...").arg(fileNameOf(m_assets.melody)),
                             QStringLiteral("Anuluj"), 0, 100, this);
    progress.setObjectName(QStringLiteral("Postep_Nagrania"));
    progress.setWindowTitle(AppTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoReset(false);
    progress.setValue(0);

    std::atomic<bool> cancelled{false};
    std::atomic<int> percent{0};
    RecordingResult result;
    const QString melody = m_assets.melody;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        result = recordMidi(melody, target, cancelled, [&](double share) { percent = int(share * 100); });
    }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    connect(&progress, &QProgressDialog::canceled, &loop, [&] { cancelled = true; });
    connect(&progress, &QDialog::rejected, &loop, [&] { cancelled = true; }); // Escape only hides the window
    QTimer shown;
    connect(&shown, &QTimer::timeout, &progress, [&] { progress.setValue(percent); });
    shown.start(100);
    thread->start(QThread::LowPriority);
    loop.exec(); // ends with the thread: a recording stops within 10 minutes of sound, or one block after Anuluj
    thread->wait();
    progress.close();
    if (result.cancelled) {
        Panel_Hint->showMessage(QStringLiteral(" Anulowano nagrywanie melodii."));
        return false;
    }
    if (!result.error.isEmpty()) {
        BladMsg(MB_ICONERROR, ErrorCaption, result.error, this);
        return false;
    }
    return true;
}

} // namespace zk
