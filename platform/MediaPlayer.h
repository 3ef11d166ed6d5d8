#pragma once

#include <QString>

#include <functional>

namespace zk {

// Opens, plays, stops and closes one ".wav" or ".mid" sound. Opening checks
// the file at once and needs no audio device; a melody is then prepared in
// the background, and `prepared` runs on the GUI thread when it is ready
// (true) or could not be prepared (false). Playing on a machine without an
// audio device may fail quietly.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    // False for a missing or damaged file, or one of another type.
    virtual bool open(const QString &path) = 0;
    // Open and prepared: Play plays.
    virtual bool isReady() const { return isOpen(); }
    // From the current position; from the start when the end was reached.
    virtual void play() = 0;
    // Stops; the position stays where it stopped.
    virtual void stop() = 0;
    // Also abandons a preparation: `prepared` is not called for it.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Why the last open failed when the file was not the cause (the player
    // itself is missing); empty otherwise.
    virtual QString failure() const { return {}; }

    std::function<void(bool ok)> prepared;
};

} // namespace zk
