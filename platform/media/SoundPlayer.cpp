#include "SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <QFileInfo>
#include <QMediaDevices>
#include <QThread>

#include "FluidSynthLibrary.h"

namespace zk {

QString SoundPlayer::soundFont()
{
    return generalMidiSoundFont();
}

SoundPlayer::SoundPlayer() = default;

SoundPlayer::~SoundPlayer()
{
    close();
    for (const QPointer<QThread> &thread : std::as_const(m_threads)) {
        if (!thread)
            continue;
        thread->wait(); // cancelled by close(): ends within one block of sound
        delete thread.data();
    }
}

// Renders until the melody ends, it is cancelled, or ten minutes of sound
// were made (a broken file must not render for ever).
static bool renderMidi(const QString &midi, const QString &wav, const std::atomic<bool> &cancelled)
{
    const QString font = generalMidiSoundFont();
    const FluidSynth &fl = FluidSynth::get();
    if (font.isEmpty() || !fl.loaded)
        return false;
    fluid_settings_t *settings = fl.new_fluid_settings();
    fl.fluid_settings_setstr(settings, "audio.file.name", QFile::encodeName(wav).constData());
    fl.fluid_settings_setstr(settings, "audio.file.type", "wav");
    fl.fluid_settings_setstr(settings, "player.timing-source", "sample");
    fl.fluid_settings_setint(settings, "synth.lock-memory", 0);
    fl.fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1); // not all of the 140 MB font
    fluid_synth_t *synth = fl.new_fluid_synth(settings);
    bool ok = synth && !cancelled && fl.fluid_synth_sfload(synth, QFile::encodeName(font).constData(), 1) != FLUID_FAILED;
    fluid_player_t *player = ok ? fl.new_fluid_player(synth) : nullptr;
    ok = ok && player && fl.fluid_player_add(player, QFile::encodeName(midi).constData()) == FLUID_OK
         && fl.fluid_player_play(player) == FLUID_OK;
    fluid_file_renderer_t *renderer = ok ? fl.new_fluid_file_renderer(synth) : nullptr;
    ok = ok && renderer;
    for (long blocks = 0; ok && fl.fluid_player_get_status(player) == FLUID_PLAYER_PLAYING; ++blocks)
        if (cancelled || fl.fluid_file_renderer_process_block(renderer) != FLUID_OK || blocks > 10L * 60 * 44100 / 64)
            ok = false;
    if (renderer)
        fl.delete_fluid_file_renderer(renderer);
    if (player)
        fl.delete_fluid_player(player);
    if (synth)
        fl.delete_fluid_synth(synth);
    fl.delete_fluid_settings(settings);
    return ok && isWaveFile(wav);
}

struct SoundPlayer::Render {
    QString midi;
    std::unique_ptr<QTemporaryDir> folder = std::make_unique<QTemporaryDir>();
    QString wav;
    std::atomic<bool> cancelled{false};
    bool ok = false;
};

bool SoundPlayer::open(const QString &path)
{
    close();
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"wav" && isWaveFile(path)) {
        m_source = path;
        return true;
    }
    if (ext != u"mid" || !isMidiFile(path))
        return false;
    startRender(path);
    return true;
}

void SoundPlayer::startRender(const QString &midi)
{
    auto render = std::make_shared<Render>();
    render->midi = midi;
    render->wav = render->folder->filePath(QStringLiteral("midi.wav"));
    m_render = render;
    QThread *thread = QThread::create([render] {
        render->ok = render->folder->isValid() && renderMidi(render->midi, render->wav, render->cancelled);
    });
    // Runs on the GUI thread; the thread object is its context, so a player
    // that deleted it hears nothing more.
    QObject::connect(thread, &QThread::finished, thread, [this, render, thread] {
        if (!render->cancelled)
            renderFinished(render);
        thread->deleteLater();
    });
    m_threads.removeAll(nullptr);
    m_threads << thread;
    thread->start(QThread::LowPriority);
}

void SoundPlayer::renderFinished(const std::shared_ptr<Render> &render)
{
    if (render != m_render)
        return;
    m_render.reset();
    if (render->ok) {
        m_renders = std::move(render->folder);
        m_source = render->wav;
    }
    if (prepared)
        prepared(render->ok);
}

// The PCM samples and their format, from the WAV file that plays.
bool SoundPlayer::loadSamples()
{
    QFile f(m_source);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wav = f.readAll();
    QAudioFormat format;
    QByteArray data;
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const quint32 size = qFromLittleEndian<quint32>(wav.constData() + at + 4);
        const QByteArray id = wav.mid(at, 4);
        if (id == "fmt " && at + 24 <= wav.size()) {
            format.setChannelCount(int(uchar(wav[at + 10]) | uchar(wav[at + 11]) << 8));
            format.setSampleRate(int(qFromLittleEndian<quint32>(wav.constData() + at + 12)));
            const int bits = int(uchar(wav[at + 22]) | uchar(wav[at + 23]) << 8);
            format.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : bits == 32 ? QAudioFormat::Int32 : QAudioFormat::Int16);
        } else if (id == "data") {
            data = wav.mid(at + 8, size);
            break;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    if (!format.isValid() || data.isEmpty())
        return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false; // no audio device: Play stays silent
    m_samples = new QBuffer;
    m_samples->setData(data);
    m_samples->open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(device, format);
    return true;
}

void SoundPlayer::play()
{
    if (m_source.isEmpty())
        return;
    if (!m_sink && !loadSamples())
        return;
    if (m_sink->state() == QAudio::SuspendedState) {
        m_sink->resume();
        return;
    }
    if (m_samples->atEnd())
        m_samples->seek(0); // played to the end: from the start again
    m_sink->start(m_samples);
}

void SoundPlayer::stop()
{
    if (m_sink && m_sink->state() == QAudio::ActiveState)
        m_sink->suspend(); // the position stays for the next Play
}

void SoundPlayer::close()
{
    if (m_sink)
        m_sink->stop();
    delete m_sink;
    delete m_samples;
    m_sink = nullptr;
    m_samples = nullptr;
    m_source.clear();
    m_renders.reset();
    if (m_render)
        m_render->cancelled = true; // its thread ends on its own and removes its files
    m_render.reset();
}

} // namespace zk
