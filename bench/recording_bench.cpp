// Recording a three-minute MIDI melody for web browsers: the time to render
// and encode it, and the recording's size beside the WAV file of the same
// sound (16-bit stereo at the recording's sample rate).
#include "MidiRecording.h"
#include "MidiSong.h"
#include "SoundFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 180;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (zk::generalMidiSoundFont().isEmpty()) {
        std::fprintf(stderr, "no General MIDI sound font (apt-get install fluid-soundfont-gm)\n");
        return 1;
    }
    QTemporaryDir folder;
    const QString midi = folder.filePath(QStringLiteral("melodia.mid"));
    QFile f(midi);
    if (!f.open(QIODevice::WriteOnly) || f.write(zk::testing::midiSong(seconds)) < 0)
        return 1;
    f.close();
    std::printf("melody: %d s, %lld bytes of MIDI\n", seconds, static_cast<long long>(QFileInfo(midi).size()));
    for (int run = 0; run < runs; ++run) {
        const QString target = folder.filePath(QStringLiteral("nagranie-%1.opus").arg(run));
        const std::atomic<bool> never{false};
        QElapsedTimer timer;
        timer.start();
        const zk::RecordingResult result = zk::recordMidi(midi, target, never);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!result.error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
            return 1;
        }
        const qint64 size = QFileInfo(target).size();
        const qint64 wav = 44 + result.frames * 4;
        std::printf("render + encode: %8.1f ms (goal < 3000); recording %lld bytes, WAV %lld bytes, ratio 1/%.1f (goal < 1/10)\n",
                    ms, static_cast<long long>(size), static_cast<long long>(wav), double(wav) / double(size));
    }
    return 0;
}
