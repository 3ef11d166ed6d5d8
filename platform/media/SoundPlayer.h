#pragma once

#include "MediaPlayer.h"

#include <QTemporaryDir>

#include <memory>

class QAudioSink;
class QBuffer;

namespace zk {

// WAV files through Qt Multimedia's audio output; MIDI files rendered by
// FluidSynth with the General MIDI sound font into a WAV file first, then
// played alike. The samples go straight to the audio device (no media
// pipeline), so a machine without one simply stays silent.
class SoundPlayer : public MediaPlayer {
public:
    SoundPlayer();
    ~SoundPlayer() override;

    bool open(const QString &path) override;
    void play() override;
    void stop() override;
    void close() override;
    bool isOpen() const override { return !m_source.isEmpty(); }

    // The WAV file that plays (the rendering of a MIDI file).
    QString source() const { return m_source; }
    static QString soundFont();

private:
    bool renderMidi(const QString &midi, const QString &wav);

    QString m_source;
    std::unique_ptr<QTemporaryDir> m_renders;
    bool loadSamples();

    QAudioSink *m_sink = nullptr;
    QBuffer *m_samples = nullptr;
};

// A RIFF/WAVE file with a format and a data chunk.
bool isWaveFile(const QString &path);
// A Standard MIDI File with its header and at least one track.
bool isMidiFile(const QString &path);

} // namespace zk
