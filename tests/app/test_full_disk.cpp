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
#include <QProcess>
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

// A page's pictures are copied together and put in place only once all are
// written: a full disk at any write of any of them replaces none, and leaves
// no temporary file; with room, all arrive.
TEST_F(FullDiskTest, APagesCopiesMeetingAFullDiskReplaceNone)
{
    QList<std::pair<QString, QString>> copies;
    for (int i = 0; i < 3; ++i) {
        const QString target = path(QStringLiteral("strona/obrazki/%1.jpg").arg(i));
        writeFile(target, "stary obrazek");
        copies.append({source, target});
    }
    for (int failing = 1;; ++failing) {
        SCOPED_TRACE(failing);
        InjectedDiskFull full(failing);
        bool refused = false;
        try {
            copyAllReplacing(copies);
        } catch (const AppError &e) {
            refused = true;
            EXPECT_TRUE(e.text().contains(QStringLiteral("brak miejsca na dysku"))) << e.text().toStdString();
        }
        if (!full.happened())
            break; // every write of the batch has been tried
        EXPECT_TRUE(refused);
        for (const auto &[from, target] : copies) {
            EXPECT_EQ(readFile(target), QByteArray("stary obrazek"));
            expectNoTemporaryFilesBeside(target);
        }
    }
    copyAllReplacing(copies);
    for (const auto &[from, target] : copies)
        EXPECT_EQ(readFile(target), readFile(source));
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

// The program itself, without a window, as a script runs it.
struct Ran {
    int exitCode = -1;
    QString errors;
};

class CommandLineDiskTest : public FullDiskTest {
protected:
    Ran run(const QStringList &arguments, const QString &standardOutput = {}, bool display = false)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (display)
            env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":8191")); // no X server answers there
        p.setProcessEnvironment(env);
        if (!standardOutput.isEmpty())
            p.setStandardOutputFile(standardOutput);
        p.start(QStringLiteral(ZK_APP_DIR "/zentarek"), arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QString project()
    {
        Project p;
        p.page.Edit_Atrybuty_Tytul = QStringLiteral("Piekarnia");
        p.page.Edit_Nazwa = QStringLiteral("index.html");
        p.mainText = QStringLiteral("<P>Chleb żytni\n").repeated(20000);
        const QString file = path(QStringLiteral("p/piekarnia.zentarek"));
        QDir().mkpath(path(QStringLiteral("p")));
        EXPECT_EQ(writeProjectFile(p, file), std::nullopt);
        return file;
    }
};

TEST_F(CommandLineDiskTest, BuildOnAFullDiskFailsAndLeavesTheOldPage)
{
    SmallDisk disk(1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    const QString file = project();
    writeFile(disk.path(QStringLiteral("index.html")), "<P>dobra strona");
    disk.fill();
    const Ran ran = run({QStringLiteral("--build"), file, QStringLiteral("--output"), disk.path()});
    EXPECT_EQ(ran.exitCode, 1) << ran.errors.toStdString();
    EXPECT_TRUE(ran.errors.contains(QStringLiteral("brak miejsca na dysku"))) << ran.errors.toStdString();
    EXPECT_EQ(readFile(disk.path(QStringLiteral("index.html"))), QByteArray("<P>dobra strona"));
    disk.unfill();
    const Ran again = run({QStringLiteral("--build"), file, QStringLiteral("--output"), disk.path()});
    EXPECT_EQ(again.exitCode, 0) << again.errors.toStdString();
    EXPECT_TRUE(again.errors.contains(QStringLiteral("Zastąpiono pliki w folderze \"%1\": index.html").arg(disk.path())))
        << "a script is told what was replaced: " << again.errors.toStdString();
}

TEST_F(CommandLineDiskTest, HelpThatCannotBeWrittenAndAMissingDisplayFailInPolish)
{
    const Ran full = run({QStringLiteral("--help")}, QStringLiteral("/dev/full"));
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(full.errors.contains(QStringLiteral("Nie można wypisać tekstu na standardowe wyjście: brak miejsca na dysku!")))
        << full.errors.toStdString();
    for (const bool display : {false, true}) {
        const Ran window = run({}, {}, display);
        EXPECT_EQ(window.exitCode, 1) << "no SIGABRT";
        EXPECT_TRUE(window.errors.startsWith(QStringLiteral("Nie znaleziono ekranu"))) << window.errors.toStdString();
        EXPECT_FALSE(window.errors.contains(QStringLiteral("could not connect"))) << "no English system text";
    }
}

} // namespace
