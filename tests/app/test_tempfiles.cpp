#include "AppPaths.h"
#include "Isolated.h"
#include "TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

using namespace zk;
using zk::testing::Isolated;

namespace {

using TempFolderTest = Isolated;

TEST_F(TempFolderTest, CreatedBesideTheProgramWhenPossible)
{
    const QString app = folder(QStringLiteral("program"));
    const TempFolderChoice choice = chooseTempFolder(app, path(QStringLiteral("cache/zentarek")));
    EXPECT_TRUE(choice.created);
    EXPECT_EQ(choice.folder, app + QStringLiteral("temp/"));
    EXPECT_TRUE(QFileInfo(app + QStringLiteral("temp")).isDir());
    EXPECT_EQ(QDir(app + QStringLiteral("temp")).entryList(QDir::Files | QDir::Hidden), QStringList{})
        << "the writability probe leaves nothing behind";
    const AppPaths paths = makeAppPaths(app, choice.folder);
    EXPECT_EQ(paths.pageFilePath, app + QStringLiteral("temp/index.html"));
    EXPECT_EQ(paths.badgeSourcePath, app + QStringLiteral("grafika/animgifs/zen_anim.gif"));
    EXPECT_EQ(paths.helpFile, app + QStringLiteral("stronarz.hlp"));
}

TEST_F(TempFolderTest, UnwritableProgramFolderFallsBackToTheCacheSilently)
{
    const QString app = folder(QStringLiteral("program"));
    writeFile(app + QStringLiteral("temp")); // "temp" cannot become a folder, even for root
    const TempFolderChoice choice = chooseTempFolder(app, path(QStringLiteral("cache/zentarek")));
    EXPECT_TRUE(choice.created);
    EXPECT_EQ(choice.folder, path(QStringLiteral("cache/zentarek/temp/")));
    EXPECT_TRUE(QFileInfo(choice.folder).isDir());
}

TEST_F(TempFolderTest, ReadOnlyProgramFolderFallsBackToTheCache)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    const QString app = folder(QStringLiteral("program"));
    QFile::setPermissions(app, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const TempFolderChoice choice = chooseTempFolder(app, path(QStringLiteral("cache/zentarek")));
    QFile::setPermissions(app, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(choice.created);
    EXPECT_EQ(choice.folder, path(QStringLiteral("cache/zentarek/temp/")));
}

TEST_F(TempFolderTest, NeitherPlaceUsableNamesTheFolderBesideTheProgram)
{
    const QString app = folder(QStringLiteral("program"));
    writeFile(app + QStringLiteral("temp"));
    writeFile(path(QStringLiteral("cache")));
    const TempFolderChoice choice = chooseTempFolder(app, path(QStringLiteral("cache/zentarek")));
    EXPECT_FALSE(choice.created);
    EXPECT_EQ(choice.failedFolder, app + QStringLiteral("temp"));
    EXPECT_EQ(choice.folder, app + QStringLiteral("temp/"));
}

class DeleteTempFilesTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        temp = folder(QStringLiteral("program/temp"));
        for (const char *name : {"index.html", "logo.gif", "zenanim.gif", ".hidden", "readonly.txt"})
            writeFile(temp + QString::fromLatin1(name));
        QFile::setPermissions(temp + QStringLiteral("readonly.txt"), QFileDevice::ReadOwner);
        folder(QStringLiteral("program/temp/sub"));
        writeFile(temp + QStringLiteral("sub/inner.txt"));
    }
    QString temp;
};

TEST_F(DeleteTempFilesTest, PlainFilesGoHiddenFilesAndSubfoldersStay)
{
    QStringList failures;
    deleteTempFiles(temp, {[&](const QString &p) { failures << p; }, [] { ADD_FAILURE() << "listing failed"; }});
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(QDir(temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{QStringLiteral(".hidden"), QStringLiteral("sub")}));
    EXPECT_TRUE(QFile::exists(temp + QStringLiteral("sub/inner.txt")));
}

TEST_F(DeleteTempFilesTest, AFileThatCannotBeDeletedIsReportedOnceAndTheRestStillGo)
{
    QStringList failures, attempts;
    const FileRemover holdLogo = [&](const QString &p) {
        attempts << p;
        if (p.endsWith(QStringLiteral("logo.gif")))
            return false; // held open by another program
        return QFile::remove(p);
    };
    deleteTempFiles(temp, {[&](const QString &p) { failures << p; }, {}}, holdLogo);
    EXPECT_EQ(failures, QStringList{temp + QStringLiteral("logo.gif")});
    EXPECT_EQ(attempts.size(), 4) << "hidden files are not even tried";
    EXPECT_TRUE(QFile::exists(temp + QStringLiteral("logo.gif")));
    EXPECT_FALSE(QFile::exists(temp + QStringLiteral("index.html")));
    EXPECT_FALSE(QFile::exists(temp + QStringLiteral("zenanim.gif")));
    EXPECT_FALSE(QFile::exists(temp + QStringLiteral("readonly.txt")));
}

TEST_F(DeleteTempFilesTest, AnAbsentFolderIsLeftSilently)
{
    bool reported = false;
    deleteTempFiles(path(QStringLiteral("nowhere/")), {[&](const QString &) { reported = true; }, [&] { reported = true; }});
    EXPECT_FALSE(reported);
}

} // namespace
