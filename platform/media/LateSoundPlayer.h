#pragma once

#include "MediaPlayer.h"

#include <memory>

namespace zk {

class LateLibrary;

// The sound player of the program's sound module, opened when a sound is
// first chosen: Qt Multimedia and the audio libraries it brings are not
// loaded when the program starts. Until then, and when the module cannot be
// opened (failure() says why), nothing is open and nothing plays.
class LateSoundPlayer : public MediaPlayer {
public:
    explicit LateSoundPlayer(QString modulePath);
    ~LateSoundPlayer() override;

    bool open(const QString &path) override;
    bool isReady() const override { return m_player && m_player->isReady(); }
    void play() override;
    void stop() override;
    void close() override;
    bool isOpen() const override { return m_player && m_player->isOpen(); }
    QString failure() const override { return m_failure; }

    // The module's file, beside the program.
    static QString modulePath(const QString &programFolder);
    // The function of the module that makes its player.
    static constexpr const char *Factory = "zentarekNewSoundPlayer";

private:
    MediaPlayer *player();

    QString m_modulePath;
    std::unique_ptr<LateLibrary> m_module;
    std::unique_ptr<MediaPlayer> m_player; // after m_module: destroyed first
    QString m_failure;
};

} // namespace zk
