#pragma once

#include <QByteArray>

#include <algorithm>
#include <map>
#include <vector>

namespace zk::testing {

// A Standard MIDI File of `seconds` of music at 120 beats a minute, like a
// home page's background tune: piano chords, a bass line, a flute melody
// and drums on four channels, up to ten notes at once.
inline QByteArray midiSong(int seconds)
{
    constexpr int Tick = 480; // per beat; a beat is half a second
    std::multimap<long, QByteArray> events;
    const auto bytes3 = [](int a, int b, int c) {
        QByteArray out(3, 0);
        out[0] = char(a);
        out[1] = char(b);
        out[2] = char(c);
        return out;
    };
    const auto note = [&](long at, long length, int channel, int key, int velocity) {
        events.emplace(at, bytes3(0x90 | channel, key, velocity));
        events.emplace(at + length, bytes3(0x80 | channel, key, 0));
    };
    events.emplace(0, QByteArray::fromHex("C000")); // piano
    events.emplace(0, QByteArray::fromHex("C121")); // bass
    events.emplace(0, QByteArray::fromHex("C249")); // flute
    static const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
    static const int tune[8] = {72, 74, 76, 79, 77, 76, 74, 71};
    const int beats = seconds * 2;
    for (int beat = 0; beat < beats; ++beat) {
        const long at = long(beat) * Tick;
        const int *chord = chords[(beat / 4) % 4];
        for (int i = 0; i < 3; ++i)
            note(at, Tick - 20, 0, chord[i], 70);
        note(at, Tick / 2, 1, chord[0] - 24, 90);
        note(at, Tick / 2 - 10, 2, tune[(beat * 3) % 8], 80);
        note(at + Tick / 2, Tick / 2 - 10, 2, tune[(beat * 5 + 1) % 8], 75);
        note(at, 60, 9, beat % 2 ? 38 : 36, 100);
        note(at, 60, 9, 42, 60);
        note(at + Tick / 2, 60, 9, 42, 50);
    }
    QByteArray track;
    long last = 0;
    for (const auto &[at, bytes] : events) {
        long delta = at - last;
        last = at;
        QByteArray vlq(1, char(delta & 0x7F));
        while ((delta >>= 7) > 0)
            vlq.prepend(char(0x80 | (delta & 0x7F)));
        track += vlq + bytes;
    }
    track += QByteArray::fromHex("00FF2F00");
    QByteArray length(4, 0);
    for (int i = 0; i < 4; ++i)
        length[i] = char((track.size() >> (24 - 8 * i)) & 0xFF);
    return "MThd" + QByteArray::fromHex("00000006000000010" "1E0") + "MTrk" + length + track;
}

} // namespace zk::testing
