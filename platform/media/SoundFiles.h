#pragma once

#include <QString>

namespace zk {

// A RIFF/WAVE file with a format and a data chunk.
bool isWaveFile(const QString &path);
// A Standard MIDI File with its header and at least one track.
bool isMidiFile(const QString &path);
// The General MIDI sound font melodies are rendered with ("" when none is installed).
QString generalMidiSoundFont();

} // namespace zk
