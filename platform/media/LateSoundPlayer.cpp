#include "LateSoundPlayer.h"

#include "LateLibrary.h"

namespace zk {

LateSoundPlayer::LateSoundPlayer(QString modulePath) : m_modulePath(std::move(modulePath)) {}

// The player goes first: its code is the module's. The module itself stays
// loaded (a library is not closed with its handle).
LateSoundPlayer::~LateSoundPlayer() = default;

QString LateSoundPlayer::modulePath(const QString &programFolder)
{
    return programFolder + QStringLiteral("/libzentarek-dzwiek.so");
}

MediaPlayer *LateSoundPlayer::player()
{
    if (m_player || !m_failure.isEmpty())
        return m_player.get();
    m_module = std::make_unique<LateLibrary>(m_modulePath);
    MediaPlayer *(*make)() = nullptr;
    m_module->resolve(make, Factory);
    if (!m_module->isComplete()) {
        m_failure = QStringLiteral("Moduł dźwięku programu jest niedostępny: %1.").arg(m_module->problem());
        return nullptr;
    }
    m_player.reset(make());
    m_player->prepared = [this](bool ok) {
        if (prepared)
            prepared(ok);
    };
    return m_player.get();
}

bool LateSoundPlayer::open(const QString &path)
{
    MediaPlayer *p = player();
    return p && p->open(path);
}

void LateSoundPlayer::play()
{
    if (m_player)
        m_player->play();
}

void LateSoundPlayer::stop()
{
    if (m_player)
        m_player->stop();
}

void LateSoundPlayer::close()
{
    if (m_player)
        m_player->close();
}

} // namespace zk
