#pragma once

#include "MediaPlayer.h"
#include "SoundFiles.h"

#include <QList>
#include <QPointer>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

class QAudioSink;
class QBuffer;
class QThread;

namespace zk {

// WAV files through Qt Multimedia's audio output; MIDI files rendered by
// FluidSynth with the General MIDI sound font into a WAV file first (on a
// thread of their own, so the window stays live), then played alike. The
// samples go straight to the audio device (no media pipeline), so a machine
// without one simply stays silent.
class SoundPlayer : public MediaPlayer {
public:
    SoundPlayer();
    ~SoundPlayer() override;

    bool open(const QString &path) override;
    bool isReady() const override { return !m_source.isEmpty(); }
    void play() override;
    void stop() override;
    void close() override;
    bool isOpen() const override { return !m_source.isEmpty() || m_render; }

    // The WAV file that plays (the rendering of a MIDI file).
    QString source() const { return m_source; }
    static QString soundFont();

private:
    struct Render;
    void startRender(const QString &midi);
    void renderFinished(const std::shared_ptr<Render> &render);
    bool loadSamples();

    QString m_source;
    std::shared_ptr<Render> m_render;            // the melody being prepared
    std::unique_ptr<QTemporaryDir> m_renders;    // holds the finished rendering
    QList<QPointer<QThread>> m_threads;          // waited for at the end, cancelled or not
    QAudioSink *m_sink = nullptr;
    QBuffer *m_samples = nullptr;
};

} // namespace zk
