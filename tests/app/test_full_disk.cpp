// A full disk at any moment never destroys what was saved before: every
// writer of the program, on a file system that fills up and with the disk
// made full at each of its write calls in turn.
#include "Assets.h"
#include "Encoding.h"
#include "FullDisk.h"
#include "Isolated.h"
#include "MidiRecording.h"
#include "MidiSong.h"
#include "SoundFiles.h"
#include "ProjectFile.h"
#include "Registry.h"
#include "Session.h"
#include "SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <sys/stat.h>

using namespace zk;
using zk::testing::InjectedDiskFull;
using zk::testing::Isolated;
using zk::testing::readFile;
using zk::testing::SmallDisk;

namespace {

constexpr qint64 Megabyte = 1 << 20;

// One writer: what it writes over `target`, and the Polish text of its
// failure (nothing when it succeeded).
struct Writer {
    const char *name;
    std::function<std::optional<QString>(const QString &target)> write;
};

Project bigProject(qint64 textSize)
{
    Project p;
    p.page.Edit_Atrybuty_Tytul = QStringLiteral("Piekarnia „Pod Kłosem”");
    p.mainText = QString(textSize, u'ż');
    return p;
}

class FullDiskTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        source = path(QStringLiteral("zdjęcie.jpg"));
        writeFile(source, QByteArray(int(Megabyte * 5 / 2), 'J')); // three pieces of a copy
    }

    // Every writer the program has, each writing about `size` bytes.
    QList<Writer> writers(qint64 size)
    {
        return {
            {"project", [=](const QString &t) { return writeProjectFile(bigProject(size / 2), t); }},
            {"untitled page", [=](const QString &t) { return writeSessionFile(bigProject(size / 2), {}, t); }},
            {"page", [=](const QString &t) -> std::optional<QString> {
                 QString said;
                 const QStringList lines(int(size / 1000), QString(998, u'a'));
                 if (SaveEncoded(lines, t, EncodingUtf8, [&](const QString &, const QString &text) { said = text; }))
                     return std::nullopt;
                 return said;
             }},
            {"copied picture", [=, this](const QString &t) -> std::optional<QString> {
                 try {
                     copyReplacing(source, t);
                     return std::nullopt;
                 } catch (const AppError &e) {
                     return e.text();
                 }
             }},
        };
    }

    QString source;
};

void expectNoTemporaryFilesBeside(const QString &target)
{
    const QStringList left = QDir(QFileInfo(target).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : left)
        EXPECT_FALSE(name.endsWith(QStringLiteral(".zapis"))) << "a temporary file was left: " << name.toStdString();
}

TEST_F(FullDiskTest, EveryWriterLeavesTheOldFileWhicheverWriteMeetsAFullDisk)
{
    for (const Writer &w : writers(3 * Megabyte)) {
        SCOPED_TRACE(w.name);
        const QString target = path(QStringLiteral("%1/cel").arg(QString::fromLatin1(w.name)));
        writeFile(target, "dobra stara zawartość");
        int failing = -1; // the data sync first, then each write call
        for (;; ++failing) {
            std::optional<QString> failed;
            bool reached = false;
            {
                InjectedDiskFull full(failing);
                failed = w.write(target);
                reached = full.happened();
            }
            if (!reached) {
                EXPECT_FALSE(failed) << failed.value_or(QString()).toStdString();
                break;
            }
            ASSERT_TRUE(failed) << "a failed write at call " << failing << " was reported as success";
            EXPECT_TRUE(failed->contains(QStringLiteral("brak miejsca na dysku"))) << failed->toStdString();
            EXPECT_EQ(readFile(target), QByteArray("dobra stara zawartość")) << "call " << failing;
            expectNoTemporaryFilesBeside(target);
        }
        EXPECT_GE(failing, 1) << "every writer writes at least once";
        EXPECT_GT(QFileInfo(target).size(), Megabyte) << "once the disk has room the new file is there whole";
    }
}

TEST_F(FullDiskTest, TheSettingsFileKeepsItsValuesWhenTheDiskIsFull)
{
    registry->writeText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Adresy"), QStringLiteral("Adres0"),
                        QStringLiteral("piekarnia@example.pl"));
    const QString file = path(QStringLiteral("config/zentarek/registry.ini"));
    const QByteArray before = readFile(file);
    ASSERT_TRUE(before.contains("piekarnia@example.pl"));
    for (int failing : {-1, 0}) {
        InjectedDiskFull full(failing);
        try {
            registry->writeText(Hive::CurrentUser, SettingsRootKey, QStringLiteral("Adresy"), QStringLiteral("Adres1"),
                                QStringLiteral("drugi@example.pl"));
            ADD_FAILURE() << "a settings write on a full disk was reported as done";
        } catch (const AppError &e) {
            EXPECT_EQ(e.text(), QStringLiteral("Nie można zapisać ustawień w pliku \"%1\": brak miejsca na dysku!").arg(file));
        }
        EXPECT_TRUE(full.happened());
        EXPECT_EQ(readFile(file), before);
    }
    EXPECT_EQ(QFileInfo(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
}

TEST_F(FullDiskTest, AMelodyRecordingThatMeetsAFullDiskIsNotKept)
{
    if (generalMidiSoundFont().isEmpty())
        GTEST_SKIP() << "no General MIDI sound font on this machine";
    const QString midi = path(QStringLiteral("melodia.mid"));
    writeFile(midi, zk::testing::midiSong(2));
    const QString target = path(QStringLiteral("nagrania/melodia.opus"));
    const std::atomic<bool> cancelled{false};
    for (int failing : {-1, 0, 3}) {
        InjectedDiskFull full(failing);
        const RecordingResult result = recordMidi(midi, target, cancelled, nullptr);
        EXPECT_TRUE(full.happened());
        EXPECT_TRUE(result.error.contains(QStringLiteral("brak miejsca na dysku"))) << result.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(target)) << "a cut recording would be taken for a whole one next time";
        expectNoTemporaryFilesBeside(target);
    }
    EXPECT_TRUE(recordMidi(midi, target, cancelled, nullptr).error.isEmpty());
    EXPECT_TRUE(QFileInfo(target).size() > 0);
}

TEST_F(FullDiskTest, OnARealFullFileSystemEveryWriterLeavesTheOldFile)
{
    SmallDisk disk(4096); // room for the 2.5 MB picture once the filler is gone
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    for (const Writer &w : writers(Megabyte / 2)) {
        SCOPED_TRACE(w.name);
        const QString target = disk.path(QString::fromLatin1(w.name).replace(u' ', u'-'));
        writeFile(target, "dobra stara zawartość");
        disk.fill();
        const std::optional<QString> failed = w.write(target);
        ASSERT_TRUE(failed) << "the write on a full disk was reported as done";
        EXPECT_TRUE(failed->contains(QStringLiteral("brak miejsca na dysku"))) << failed->toStdString();
        EXPECT_EQ(readFile(target), QByteArray("dobra stara zawartość"));
        expectNoTemporaryFilesBeside(target);
        disk.unfill();
        EXPECT_FALSE(w.write(target)) << "with room again the same write succeeds";
        QFile::remove(target);
    }
}

TEST_F(FullDiskTest, TheReasonIsPolishForTheCommonErrorsAndNamedForTheRest)
{
    EXPECT_EQ(systemErrorText(ENOSPC), QStringLiteral("brak miejsca na dysku"));
    EXPECT_EQ(systemErrorText(EACCES), QStringLiteral("brak uprawnień"));
    EXPECT_EQ(systemErrorText(EROFS), QStringLiteral("dysk jest tylko do odczytu"));
    EXPECT_EQ(systemErrorText(EDQUOT), QStringLiteral("przekroczony przydział miejsca na dysku"));
    EXPECT_EQ(systemErrorText(EXDEV), QStringLiteral("błąd systemu EXDEV (nr %1)").arg(EXDEV));
}

TEST_F(FullDiskTest, ACopyGetsTheUsersModeAndAFileThatIsNoFileNeverTravels)
{
    const QString target = path(QStringLiteral("kopia/zdjęcie.jpg"));
    QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                      | QFileDevice::WriteGroup);
    QDir().mkpath(path(QStringLiteral("kopia")));
    const mode_t mask = ::umask(022);
    copyReplacing(source, target);
    ::umask(mask);
    EXPECT_EQ(int(QFileInfo(target).permissions() & 0x7077),
              int(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther))
        << "the umask decides, not the source's group write";
    for (const QString &odd : {QStringLiteral("/proc/self/mem"), QStringLiteral("/dev/zero"), path(QStringLiteral("kopia"))}) {
        try {
            copyReplacing(odd, path(QStringLiteral("kopia/dziwny")));
            ADD_FAILURE() << odd.toStdString() << " was copied";
        } catch (const AppError &e) {
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("Nie można skopiować pliku \"%1\"").arg(odd))) << e.text().toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("kopia/dziwny"))));
    }
}

} // namespace
