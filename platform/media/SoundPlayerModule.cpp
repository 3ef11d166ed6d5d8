// The sound module: the program opens it when a sound is first chosen
// (LateSoundPlayer), so that Qt Multimedia is not loaded at its start.
#include "SoundPlayer.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT zk::MediaPlayer *zentarekNewSoundPlayer()
{
    return new zk::SoundPlayer;
}
