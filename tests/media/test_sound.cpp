#include "Eventually.h"
#include "Isolated.h"
#include "LateSoundPlayer.h"
#include "SoundPlayer.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

#include <optional>

using namespace zk;
using zk::testing::Isolated;

namespace {

QByteArray le(quint32 v, int bytes)
{
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b += char((v >> (8 * i)) & 0xFF);
    return b;
}

// A mono 16-bit WAV of `samples` silent samples.
QByteArray wave(int samples)
{
    const QByteArray data(samples * 2, '\0');
    return "RIFF" + le(quint32(36 + data.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4)
           + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(quint32(data.size()), 4) + data;
}

// One note of about a quarter of a second.
QByteArray midi()
{
    const QByteArray track = QByteArray::fromHex("00903C40" "8360803C00" "00FF2F00");
    return "MThd" + QByteArray::fromHex("000000060000000101E0") + "MTrk" + QByteArray::fromHex("0000000C") + track;
}

class SoundPlayerTest : public Isolated {};

TEST_F(SoundPlayerTest, OpensGoodWaveAndMidiFilesAndRefusesTheRest)
{
    writeFile(path(QStringLiteral("a.wav")), wave(8000));
    writeFile(path(QStringLiteral("MELODIA.MID")), midi());
    writeFile(path(QStringLiteral("zly.wav")), QByteArray("RIFF....WAVEnothing"));
    writeFile(path(QStringLiteral("zly.mid")), QByteArray("MThd"));
    writeFile(path(QStringLiteral("d.au")), QByteArray(".snd"));
    SoundPlayer player;
    EXPECT_TRUE(player.open(path(QStringLiteral("a.wav"))));
    EXPECT_TRUE(player.isOpen());
    if (SoundPlayer::soundFont().isEmpty())
        GTEST_SKIP() << "no General MIDI sound font (fluid-soundfont-gm)";
    int prepared = 0;
    player.prepared = [&](bool ok) { prepared += ok ? 1 : 100; };
    ASSERT_TRUE(player.open(path(QStringLiteral("MELODIA.MID")))) << "capitals in the extension";
    ASSERT_EVENTUALLY((prepared) == (1), 30000);
    EXPECT_TRUE(player.isReady());
    EXPECT_TRUE(isWaveFile(player.source())) << "the melody was rendered to a WAV file";
    EXPECT_GT(QFile(player.source()).size(), 44 + 8000) << "with sound in it";
    for (const char *bad : {"zly.wav", "zly.mid", "d.au", "brak.wav"}) {
        EXPECT_FALSE(player.open(path(QString::fromLatin1(bad)))) << bad;
        EXPECT_FALSE(player.isOpen());
    }
}

// Four minutes of notes: long enough that the render is still running.
QByteArray longMidi()
{
    QByteArray track;
    for (int i = 0; i < 480; ++i)
        track += QByteArray::fromHex("00903C40") + QByteArray::fromHex("8360803C00"); // a note every half second
    track += QByteArray::fromHex("00FF2F00");
    return "MThd" + QByteArray::fromHex("000000060000000101E0") + "MTrk"
           + QByteArray::fromHex(QByteArray::number(track.size(), 16).rightJustified(8, '0')) + track;
}

TEST_F(SoundPlayerTest, AMelodyIsPreparedInTheBackgroundAndAnotherChoiceAbandonsIt)
{
    if (SoundPlayer::soundFont().isEmpty())
        GTEST_SKIP() << "no General MIDI sound font (fluid-soundfont-gm)";
    writeFile(path(QStringLiteral("dluga.mid")), longMidi());
    writeFile(path(QStringLiteral("a.wav")), wave(800));
    QStringList told;
    auto player = std::make_unique<SoundPlayer>();
    player->prepared = [&](bool ok) { told << (ok ? QStringLiteral("ok") : QStringLiteral("failed")); };
    ASSERT_TRUE(player->open(path(QStringLiteral("dluga.mid"))));
    EXPECT_TRUE(player->isOpen());
    EXPECT_FALSE(player->isReady()) << "open() returned before the melody was rendered";
    ASSERT_TRUE(player->open(path(QStringLiteral("a.wav")))) << "a new choice while rendering";
    EXPECT_TRUE(player->isReady());
    QTest::qWait(300);
    EXPECT_TRUE(told.isEmpty()) << "the abandoned melody tells nothing";
    EXPECT_EQ(player->source(), path(QStringLiteral("a.wav")));

    ASSERT_TRUE(player->open(path(QStringLiteral("dluga.mid"))));
    player.reset(); // the program ends while a melody renders: no hang, no crash
    EXPECT_TRUE(told.isEmpty());
}

TEST_F(SoundPlayerTest, PlayAndStopWithoutAnAudioDeviceDoNotFail)
{
    writeFile(path(QStringLiteral("a.wav")), wave(800));
    SoundPlayer player;
    ASSERT_TRUE(player.open(path(QStringLiteral("a.wav"))));
    player.play();
    player.stop();
    player.play();
    player.close();
    EXPECT_FALSE(player.isOpen());
    player.play(); // nothing open: nothing happens
}

bool moduleIsLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libzentarek-dzwiek.so");
}

// The program's player: the sound module beside the program, opened by the
// first sound chosen, plays as the player inside it does.
TEST_F(SoundPlayerTest, TheProgramsPlayerOpensItsModuleWhenTheFirstSoundIsChosen)
{
    writeFile(path(QStringLiteral("a.wav")), wave(800));
    LateSoundPlayer player(LateSoundPlayer::modulePath(QStringLiteral(ZK_APP_DIR)));
    player.play(); // nothing chosen yet: nothing happens, nothing is opened
    EXPECT_FALSE(player.isOpen());
    EXPECT_FALSE(moduleIsLoaded());
    ASSERT_TRUE(player.open(path(QStringLiteral("a.wav")))) << player.failure().toStdString();
    EXPECT_TRUE(moduleIsLoaded());
    EXPECT_TRUE(player.isOpen());
    EXPECT_TRUE(player.isReady());
    EXPECT_TRUE(player.failure().isEmpty());
    player.play();
    player.stop();
    EXPECT_FALSE(player.open(path(QStringLiteral("brak.wav")))) << "the module's player judges the file";
    EXPECT_TRUE(player.failure().isEmpty()) << "a bad file is not the player's failure";

    if (SoundPlayer::soundFont().isEmpty())
        return;
    writeFile(path(QStringLiteral("a.mid")), midi());
    std::optional<bool> prepared;
    player.prepared = [&](bool ok) { prepared = ok; };
    ASSERT_TRUE(player.open(path(QStringLiteral("a.mid"))));
    EXPECT_TRUE(zk::testing::eventually([&] { return prepared.has_value(); }, 20000)) << "the module's news reaches the window";
    EXPECT_EQ(prepared, std::optional<bool>(true));
    EXPECT_TRUE(player.isReady());
}

TEST_F(SoundPlayerTest, WithoutItsModuleThePlayerSaysWhyAndNothingPlays)
{
    writeFile(path(QStringLiteral("a.wav")), wave(800));
    LateSoundPlayer player(path(QStringLiteral("brak/libzentarek-dzwiek.so")));
    EXPECT_FALSE(player.open(path(QStringLiteral("a.wav"))));
    EXPECT_FALSE(player.isOpen());
    EXPECT_TRUE(player.failure().startsWith(QStringLiteral("Moduł dźwięku programu jest niedostępny: nie można wczytać biblioteki \"")))
        << player.failure().toStdString();
    EXPECT_TRUE(player.failure().contains(QStringLiteral("brak/libzentarek-dzwiek.so")));
    player.play();
    player.stop();
    player.close();
    EXPECT_FALSE(player.open(path(QStringLiteral("a.wav")))) << "asked again, the same answer";
}

} // namespace
