#include "Isolated.h"
#include "MidiRecording.h"
#include "MidiSong.h"
#include "SoundFiles.h"

#include <QFile>
#include <QtEndian>

using namespace zk;
using zk::testing::Isolated;

namespace {

class RecordingTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        if (generalMidiSoundFont().isEmpty())
            GTEST_SKIP() << "no General MIDI sound font (fluid-soundfont-gm)";
    }
};

struct OggOpus {
    bool valid = false;
    int channels = 0;
    double seconds = 0; // from the last page's granule position, less the pre-skip
};

// Reads the pages of an Ogg stream: one logical stream of Opus.
OggOpus readOggOpus(const QByteArray &file)
{
    OggOpus o;
    qint64 granule = -1;
    quint32 serial = 0;
    int preSkip = 0;
    for (qsizetype at = 0; at < file.size();) {
        if (file.mid(at, 4) != "OggS" || at + 27 > file.size())
            return {};
        const uchar segments = uchar(file[at + 26]);
        qsizetype body = 0;
        for (int i = 0; i < segments; ++i)
            body += uchar(file[at + 27 + i]);
        const quint32 pageSerial = qFromLittleEndian<quint32>(file.constData() + at + 14);
        if (at == 0) {
            serial = pageSerial;
            const QByteArray head = file.mid(at + 27 + segments, 19);
            if (!head.startsWith("OpusHead"))
                return {};
            o.channels = uchar(head[9]);
            preSkip = qFromLittleEndian<quint16>(head.constData() + 10);
        } else if (pageSerial != serial) {
            return {};
        }
        granule = qFromLittleEndian<qint64>(file.constData() + at + 6);
        at += 27 + segments + body;
    }
    o.valid = granule > 0;
    o.seconds = double(granule - preSkip) / 48000.0;
    return o;
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(RecordingTest, AMelodyIsRecordedAsOggOpusOfItsLengthTheSameBytesEveryTime)
{
    writeFile(path(QStringLiteral("tło.mid")), zk::testing::midiSong(6));
    const QString target = cachedRecordingPath(path(QStringLiteral("tło.mid")));
    ASSERT_FALSE(target.isEmpty());
    EXPECT_TRUE(target.startsWith(path(QStringLiteral("cache/zentarek/nagrania/")))) << target.toStdString();
    QList<double> shares;
    const std::atomic<bool> never{false};
    const RecordingResult r = recordMidi(path(QStringLiteral("tło.mid")), target, never, [&](double s) { shares << s; });
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    const QByteArray first = read(target);
    const OggOpus ogg = readOggOpus(first);
    ASSERT_TRUE(ogg.valid);
    EXPECT_EQ(ogg.channels, 2);
    EXPECT_GT(ogg.seconds, 7.0) << "six seconds of music and the last notes fading";
    EXPECT_LT(ogg.seconds, 10.0);
    EXPECT_LT(first.size(), (r.frames * 4) / 10) << "under a tenth of the WAV";
    ASSERT_FALSE(shares.isEmpty());
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_DOUBLE_EQ(shares.last(), 1.0);

    const QString again = path(QStringLiteral("drugi raz.opus"));
    ASSERT_TRUE(recordMidi(path(QStringLiteral("tło.mid")), again, never).error.isEmpty());
    EXPECT_EQ(read(again), first) << "an unchanged melody is not sent to the server again";

    EXPECT_EQ(cachedRecordingPath(path(QStringLiteral("tło.mid"))), target) << "the same melody, the same place";
    writeFile(path(QStringLiteral("kopia.mid")), zk::testing::midiSong(6));
    EXPECT_EQ(cachedRecordingPath(path(QStringLiteral("kopia.mid"))), target) << "named by its bytes, not its name";
    writeFile(path(QStringLiteral("tło.mid")), zk::testing::midiSong(5));
    EXPECT_NE(cachedRecordingPath(path(QStringLiteral("tło.mid"))), target) << "a changed melody is recorded again";
    EXPECT_TRUE(cachedRecordingPath(path(QStringLiteral("brak.mid"))).isEmpty());
}

TEST_F(RecordingTest, ACancelledOrFailedRecordingLeavesNoFileAndSaysWhy)
{
    writeFile(path(QStringLiteral("długa.mid")), zk::testing::midiSong(240));
    const QString target = path(QStringLiteral("wynik/długa.opus"));
    std::atomic<bool> cancelled{false};
    int calls = 0;
    const RecordingResult r = recordMidi(path(QStringLiteral("długa.mid")), target, cancelled, [&](double) {
        if (++calls == 3)
            cancelled = true;
    });
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_FALSE(QFile::exists(target)) << "no half recording";
    EXPECT_LT(r.frames, RecordingSampleRate * 5) << "stopped at once, not at the end of four minutes";

    const std::atomic<bool> never{false};
    writeFile(path(QStringLiteral("zła.mid")), "MThd, and then nothing");
    RecordingResult bad = recordMidi(path(QStringLiteral("zła.mid")), target, never);
    EXPECT_EQ(bad.error, QStringLiteral("Nie można nagrać melodii \"%1\" dla przeglądarek: plik nie jest melodią MIDI lub nie można go odczytać.")
                             .arg(path(QStringLiteral("zła.mid"))));
    writeFile(path(QStringLiteral("plik")), "a file where the folder should be");
    bad = recordMidi(path(QStringLiteral("długa.mid")), path(QStringLiteral("plik/x.opus")), never);
    EXPECT_TRUE(bad.error.startsWith(QStringLiteral("Nie można nagrać melodii"))) << bad.error.toStdString();
    EXPECT_TRUE(bad.error.contains(QStringLiteral("nie można utworzyć pliku"))) << bad.error.toStdString();
    EXPECT_FALSE(QFile::exists(target));
}

} // namespace
