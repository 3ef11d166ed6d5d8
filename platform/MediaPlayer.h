#pragma once

#include <QString>

namespace zk {

// Opens, plays, stops and closes one ".wav" or ".mid" sound. Opening checks
// and prepares the file and needs no audio device; playing on a machine
// without one may fail quietly.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    // False for a missing or damaged file, or one of another type.
    virtual bool open(const QString &path) = 0;
    // From the current position; from the start when the end was reached.
    virtual void play() = 0;
    // Stops; the position stays where it stopped.
    virtual void stop() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

} // namespace zk
