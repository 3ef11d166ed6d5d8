#pragma once

#include <QString>

#include <atomic>
#include <functional>

namespace zk {

// A MIDI melody recorded for web browsers, which play no MIDI: rendered with
// the General MIDI sound font and encoded as Ogg Opus (stereo, 48 kHz,
// 64 kbit/s). The same melody always gives the same bytes.
inline const QString RecordingSuffix = QStringLiteral("opus");
constexpr int RecordingSampleRate = 48000;

// Where the recording of `midi` is kept: a file in the user's cache named
// after the melody's bytes, the sound font and the recording settings, so
// an unchanged melody is recorded once. "" when the melody cannot be read.
QString cachedRecordingPath(const QString &midi);

struct RecordingResult {
    QString error;     // "" on success, otherwise a Polish message naming the file
    qint64 frames = 0; // samples per channel recorded
    bool cancelled = false;
};

// Renders `midi` and writes its recording atomically to `target` (folders
// made as needed). `progress` is called from the calling thread with the
// share done, 0..1; `cancelled` is checked after every block of sound.
RecordingResult recordMidi(const QString &midi, const QString &target, const std::atomic<bool> &cancelled,
                           const std::function<void(double)> &progress = {});

} // namespace zk
