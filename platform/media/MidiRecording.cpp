#include "MidiRecording.h"

#include "CheckedFile.h"

#include "FluidSynthLibrary.h"
#include "SoundFiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "OpusEncCalls.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace zk {

namespace {

constexpr int Bitrate = 64000;
constexpr int BlockFrames = 1024;
constexpr int ChunkBlocks = 16; // handed to the encoder at once
constexpr int ChunkFrames = BlockFrames * ChunkBlocks;
// A broken file must not render for ever. (The player itself goes on for
// two seconds after the last event, so the last notes fade out.)
constexpr qint64 MaxFrames = 10LL * 60 * RecordingSampleRate;
// A fixed stream number, so that the same melody gives the same bytes
// (and an unchanged file is not sent to the server again).
constexpr opus_int32 StreamSerial = 0x5A4B4C31;
// Part of the cache key: a change here must not reuse older recordings.
constexpr char RecordingSettings[] = "opus-48000-2-64000-v1";

QString cannotRecord(const QString &midi, const QString &why)
{
    return QStringLiteral("Nie można nagrać melodii \"%1\" dla przeglądarek: %2.").arg(QDir::toNativeSeparators(midi), why);
}

struct Synth {
    const FluidSynth &fl = FluidSynth::get();
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    fluid_player_t *player = nullptr;

    ~Synth()
    {
        if (player)
            fl.delete_fluid_player(player);
        if (synth)
            fl.delete_fluid_synth(synth);
        if (settings)
            fl.delete_fluid_settings(settings);
    }

    // "" when the melody is loaded and playing.
    QString start(const QString &midi, const QString &font)
    {
        if (!fl.loaded)
            return QStringLiteral("brak biblioteki FluidSynth");
        if (font.isEmpty())
            return QStringLiteral("brak banku brzmień General MIDI (pakiet fluid-soundfont-gm)");
        settings = fl.new_fluid_settings();
        fl.fluid_settings_setnum(settings, "synth.sample-rate", RecordingSampleRate);
        fl.fluid_settings_setstr(settings, "player.timing-source", "sample");
        fl.fluid_settings_setint(settings, "synth.lock-memory", 0);
        // Only the instruments the melody plays are read from the 140 MB font.
        fl.fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        synth = fl.new_fluid_synth(settings);
        if (!synth || fl.fluid_synth_sfload(synth, QFile::encodeName(font).constData(), 1) == FLUID_FAILED)
            return QStringLiteral("nie można wczytać banku brzmień \"%1\"").arg(font);
        player = fl.new_fluid_player(synth);
        if (!player || fl.fluid_player_add(player, QFile::encodeName(midi).constData()) != FLUID_OK
            || fl.fluid_player_play(player) != FLUID_OK)
            return QStringLiteral("plik nie jest poprawną melodią MIDI");
        return {};
    }

    bool playing() const { return fl.fluid_player_get_status(player) == FLUID_PLAYER_PLAYING; }

    double share() const
    {
        const int total = fl.fluid_player_get_total_ticks(player);
        return total > 0 ? std::clamp(double(fl.fluid_player_get_current_tick(player)) / total, 0.0, 1.0) : 0.0;
    }

    void render(float *interleaved) { fl.fluid_synth_write_float(synth, BlockFrames, interleaved, 0, 2, interleaved, 1, 2); }
};

struct Encoder {
    OggOpusComments *comments = ope_comments_create();
    OggOpusEnc *enc = nullptr;

    ~Encoder()
    {
        if (enc)
            ope_encoder_destroy(enc);
        if (comments)
            ope_comments_destroy(comments);
    }

    bool open(CheckedFile &file, const QString &title)
    {
        static const OpusEncCallbacks callbacks{
            [](void *user, const unsigned char *data, opus_int32 size) {
                auto *f = static_cast<CheckedFile *>(user);
                return f->write(reinterpret_cast<const char *>(data), size) ? 0 : 1;
            },
            [](void *) { return 0; }};
        if (!comments)
            return false;
        ope_comments_add(comments, "TITLE", title.toUtf8().constData());
        int error = 0;
        enc = ope_encoder_create_callbacks(&callbacks, &file, comments, RecordingSampleRate, 2, 0, &error);
        return enc && ope_encoder_ctl(enc, OPUS_SET_BITRATE(Bitrate)) == OPE_OK
               && ope_encoder_ctl(enc, OPE_SET_SERIALNO(StreamSerial)) == OPE_OK;
    }

    bool write(const std::vector<float> &interleaved)
    {
        return ope_encoder_write_float(enc, interleaved.data(), int(interleaved.size() / 2)) == OPE_OK;
    }
    bool finish() { return ope_encoder_drain(enc) == OPE_OK; }
};

QByteArray fileDigest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return hash.addData(&f) ? hash.result() : QByteArray();
}

// Chunks of sound handed from the synthesizer to the encoder on a thread of
// its own: the two take about as long, so a second core halves the wait.
class SoundPipe {
public:
    void put(std::vector<float> &&chunk)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_chunks.size() < MaxChunks || m_closed; });
        m_chunks.push_back(std::move(chunk));
        m_changed.notify_all();
    }
    bool take(std::vector<float> &chunk)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_chunks.empty() || m_closed; });
        if (m_chunks.empty())
            return false;
        chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        m_changed.notify_all();
        return true;
    }
    // No more chunks come; the ones waiting are still taken.
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    static constexpr size_t MaxChunks = 8;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<float>> m_chunks;
    bool m_closed = false;
};

} // namespace

QString cachedRecordingPath(const QString &midi)
{
    const QByteArray melody = fileDigest(midi);
    if (melody.isEmpty())
        return {};
    // The sound font by name, size and time: hashing 140 MB at every save would cost a second.
    const QFileInfo font(generalMidiSoundFont());
    QCryptographicHash key(QCryptographicHash::Sha256);
    key.addData(melody);
    key.addData(QStringLiteral("%1|%2|%3|").arg(font.filePath()).arg(font.size()).arg(font.lastModified().toMSecsSinceEpoch()).toUtf8());
    key.addData(QByteArrayView(RecordingSettings));
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache + QStringLiteral("/zentarek/nagrania/") + QString::fromLatin1(key.result().toHex().left(40)) + u'.'
           + RecordingSuffix;
}

RecordingResult recordMidi(const QString &midi, const QString &target, const std::atomic<bool> &cancelled,
                           const std::function<void(double)> &progress)
{
    RecordingResult result;
    if (!isMidiFile(midi)) {
        result.error = cannotRecord(midi, QStringLiteral("plik nie jest melodią MIDI lub nie można go odczytać"));
        return result;
    }
    Synth synth;
    if (const QString why = synth.start(midi, generalMidiSoundFont()); !why.isEmpty()) {
        result.error = cannotRecord(midi, why);
        return result;
    }
    if (const QString why = opusEnc().problem; !why.isEmpty()) {
        result.error = cannotRecord(midi, why);
        return result;
    }
    QDir().mkpath(QFileInfo(target).absolutePath());
    CheckedFile file(target);
    Encoder encoder;
    if (!file.open() || !encoder.open(file, QFileInfo(midi).completeBaseName())) {
        result.error = cannotRecord(midi, QStringLiteral("nie można utworzyć pliku \"%1\" (%2)")
                                              .arg(QDir::toNativeSeparators(target), file.reason()));
        return result;
    }
    SoundPipe pipe;
    std::atomic<bool> encodeFailed{false};
    std::thread encoding([&] {
        std::vector<float> chunk;
        while (pipe.take(chunk))
            if (!encodeFailed && !encoder.write(chunk))
                encodeFailed = true;
    });
    bool ended = false;
    while (!ended && !cancelled && !encodeFailed && result.frames <= MaxFrames) {
        std::vector<float> chunk(2 * ChunkFrames);
        for (int b = 0; b < ChunkBlocks; ++b) {
            ended = ended || !synth.playing();
            synth.render(chunk.data() + 2 * b * BlockFrames);
        }
        pipe.put(std::move(chunk));
        result.frames += ChunkFrames;
        if (progress)
            progress(synth.share());
    }
    pipe.close();
    encoding.join();
    result.cancelled = cancelled;
    if (result.cancelled)
        return result; // the unfinished file is dropped with the CheckedFile
    if (!ended || encodeFailed || !encoder.finish() || !file.commit()) {
        result.error = result.frames > MaxFrames
                           ? cannotRecord(midi, QStringLiteral("melodia trwa dłużej niż 10 minut"))
                           : cannotRecord(midi, QStringLiteral("nie można zapisać pliku \"%1\" (%2)")
                                                    .arg(QDir::toNativeSeparators(target), file.reason()));
        return result;
    }
    if (progress)
        progress(1.0);
    return result;
}

} // namespace zk
