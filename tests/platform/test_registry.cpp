#include "FileRegistry.h"
#include "Isolated.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace zk;
using zk::testing::Isolated;

namespace {

const QString Key = QStringLiteral("\\Software\\Quorvel Software\\Zentarek\\Light");

class FileRegistryTest : public Isolated {
protected:
    QString userFile() const { return registry->files().currentUser; }
    QString readUserFile() const
    {
        QFile f(userFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

TEST_F(FileRegistryTest, FilesFollowTheXdgFolders)
{
    EXPECT_EQ(registry->files().currentUser, path(QStringLiteral("config/zentarek/registry.ini")));
    EXPECT_EQ(registry->files().localMachine, path(QStringLiteral("system/zentarek/registry.ini")));
}

TEST_F(FileRegistryTest, TextAndBytesSurviveARoundTripThroughTheFile)
{
    const QString awkward = QStringLiteral("Zażółć \"gęślą\" jaźń\\C:\\temp\nline two\r= [x]");
    const QByteArray raw("\x00\x01\xff" "abc", 6);
    registry->writeText(Hive::CurrentUser, Key, QStringLiteral("E-mail"), QStringLiteral("Adres_0"), awkward);
    registry->writeText(Hive::CurrentUser, Key, QStringLiteral("E-mail"), QStringLiteral("we=ird \"name\""), QStringLiteral("v"));
    for (const char *comment : {";średnik", "#krzyżyk"}) // found by fuzzing: read back as a comment line
        registry->writeText(Hive::CurrentUser, Key, QStringLiteral("E-mail"), QString::fromUtf8(comment), QStringLiteral("w"));
    registry->writeBytes(Hive::CurrentUser, Key + QStringLiteral("\\Kolorowanie"),
                         QStringLiteral("Key Assignments - HTML"), raw);

    FileRegistry fresh(registry->files()); // nothing cached: read back from the file
    EXPECT_EQ(fresh.readText(Hive::CurrentUser, Key, QStringLiteral("E-mail"), QStringLiteral("Adres_0"), {}), awkward);
    EXPECT_EQ(fresh.readText(Hive::CurrentUser, Key, QStringLiteral("E-mail"), QStringLiteral("we=ird \"name\""), {}),
              QStringLiteral("v"));
    EXPECT_EQ(fresh.readBytes(Hive::CurrentUser, Key + QStringLiteral("\\Kolorowanie"),
                              QStringLiteral("Key Assignments - HTML")),
              raw);
    for (const char *comment : {";średnik", "#krzyżyk"})
        EXPECT_EQ(fresh.readText(Hive::CurrentUser, Key, QStringLiteral("E-mail"), QString::fromUtf8(comment), {}),
                  QStringLiteral("w")) << comment;
    EXPECT_FALSE(fresh.readString(Hive::CurrentUser, Key, QStringLiteral("Adres_0")).has_value())
        << "a value belongs to its own key, not to the parent";
}

TEST_F(FileRegistryTest, NamesCompareWithoutRegardToCaseAndKeepTheirFirstSpelling)
{
    registry->writeString(Hive::CurrentUser, Key + QStringLiteral("\\Ogolne"), QStringLiteral("Liczba_uruchomien"),
                          QStringLiteral("1"));
    registry->writeString(Hive::CurrentUser, QStringLiteral("software\\QUORVEL SOFTWARE\\zentarek\\light\\ogolne\\"),
                          QStringLiteral("LICZBA_URUCHOMIEN"), QStringLiteral("2"));
    EXPECT_EQ(registry->readString(Hive::CurrentUser, Key + QStringLiteral("\\Ogolne"), QStringLiteral("liczba_uruchomien")),
              QStringLiteral("2"));
    const QString content = readUserFile();
    EXPECT_TRUE(content.contains(QStringLiteral("[Software\\Quorvel Software\\Zentarek\\Light\\Ogolne]")));
    EXPECT_TRUE(content.contains(QStringLiteral("Liczba_uruchomien=\"2\"")));
    EXPECT_EQ(content.count(QStringLiteral("uruchomien")), 1);
}

TEST_F(FileRegistryTest, UserFileIsPrivateAndReplacedWhole)
{
    registry->writeText(Hive::CurrentUser, Key, QStringLiteral("Profile"), QStringLiteral("Haslo"), QStringLiteral("tajne"));
    const QFileInfo info(userFile());
    EXPECT_EQ(info.permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                               | QFileDevice::WriteUser);
    EXPECT_EQ(QFileInfo(info.absolutePath()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    registry->writeText(Hive::CurrentUser, Key, QStringLiteral("Profile"), QStringLiteral("Haslo"), QStringLiteral("nowe"));
    EXPECT_EQ(QFileInfo(userFile()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0)
        << "rewriting keeps the file private";
    const QStringList leftovers = QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("registry.ini")}) << "no temporary file left behind";
}

TEST_F(FileRegistryTest, WritesKeepValuesWrittenMeanwhileByAnotherCopy)
{
    FileRegistry other(registry->files());
    registry->writeString(Hive::CurrentUser, Key, QStringLiteral("a"), QStringLiteral("1"));
    other.writeString(Hive::CurrentUser, Key, QStringLiteral("b"), QStringLiteral("2"));
    registry->writeString(Hive::CurrentUser, Key, QStringLiteral("c"), QStringLiteral("3"));
    EXPECT_EQ(registry->readString(Hive::CurrentUser, Key, QStringLiteral("b")), QStringLiteral("2"));
    EXPECT_EQ(other.readString(Hive::CurrentUser, Key, QStringLiteral("c")), QStringLiteral("3"));
}

// The file is replaced whole at each save: a new inode tells a save happened.
static ino_t inodeOf(const QString &file)
{
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(FileRegistryTest, SeveralValuesAreSavedOnceAndNotAtAllWhenNothingChanges)
{
    registry->writeText(Hive::CurrentUser, Key, QStringLiteral("Ostatnie"), QStringLiteral("projekt_0"), QStringLiteral("a"));
    const Registry::NamedStrings recent{{QStringLiteral("Projekt_0"), QStringLiteral("/dom/żółw.zentarek")},
                                        {QStringLiteral("Projekt_1"), QStringLiteral("/dom/a.zentarek")},
                                        {QStringLiteral("Projekt_2"), QString()}};
    const ino_t before = inodeOf(userFile());
    registry->writeTexts(Hive::CurrentUser, Key, QStringLiteral("Ostatnie"), recent);
    const ino_t saved = inodeOf(userFile());
    EXPECT_NE(saved, before);
    for (const auto &[name, value] : recent)
        EXPECT_EQ(registry->readText(Hive::CurrentUser, Key, QStringLiteral("Ostatnie"), name, QStringLiteral("?")), value);
    EXPECT_TRUE(readUserFile().contains(QStringLiteral("\nprojekt_0="))) << "the first spelling stays";

    registry->writeTexts(Hive::CurrentUser, Key, QStringLiteral("Ostatnie"), recent);
    EXPECT_EQ(inodeOf(userFile()), saved) << "nothing changed: the file is left alone";
    registry->writeTexts(Hive::CurrentUser, Key, QStringLiteral("Ostatnie"), {{QStringLiteral("Projekt_2"), QStringLiteral("b")}});
    EXPECT_NE(inodeOf(userFile()), saved);
    EXPECT_EQ(registry->readText(Hive::CurrentUser, Key, QStringLiteral("Ostatnie"), QStringLiteral("Projekt_2"), {}),
              QStringLiteral("b"));
}

TEST_F(FileRegistryTest, DeleteKeyRemovesTheWholeSubtreeAndToleratesAbsentKeys)
{
    const QString uninstall = QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentarek 3.0 lt");
    EXPECT_NO_THROW(registry->deleteKey(Hive::LocalMachine, uninstall)); // no file at all yet
    registry->writeString(Hive::LocalMachine, uninstall, QStringLiteral("DisplayName"), QStringLiteral("Zentarek 3.0 lt"));
    registry->writeString(Hive::LocalMachine, uninstall + QStringLiteral("\\Sub"), QStringLiteral("x"), QStringLiteral("y"));
    registry->writeString(Hive::LocalMachine, QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"),
                          QStringLiteral("RegisteredOwner"), QStringLiteral("Jan"));
    EXPECT_TRUE(registry->keyExists(Hive::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall")))
        << "a key exists when a subkey does";
    registry->deleteKey(Hive::LocalMachine, uninstall);
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, uninstall));
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, uninstall + QStringLiteral("\\Sub")));
    EXPECT_EQ(registry->readString(Hive::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"),
                                   QStringLiteral("RegisteredOwner")),
              QStringLiteral("Jan"));
    EXPECT_FALSE(registry->keyExists(Hive::CurrentUser, uninstall)) << "hives are separate";
}

TEST_F(FileRegistryTest, AFileThatCannotBeReadIsNeverReplaced)
{
    // A folder where the file should be: it cannot be read, even by root.
    QDir().mkpath(userFile());
    EXPECT_FALSE(registry->readString(Hive::CurrentUser, Key, QStringLiteral("a")).has_value());
    try {
        registry->writeString(Hive::CurrentUser, Key, QStringLiteral("a"), QStringLiteral("1"));
        FAIL() << "writing must fail";
    } catch (const RegistryError &e) {
        EXPECT_TRUE(e.text().contains(userFile())) << e.text().toStdString();
        EXPECT_TRUE(e.text().endsWith(u'!'));
    }
    EXPECT_TRUE(QFileInfo(userFile()).isDir());
}

TEST_F(FileRegistryTest, MachineStoreThatCannotBeCreatedRaisesRegistryError)
{
    writeFile(path(QStringLiteral("system"))); // a file where the folder should be
    EXPECT_THROW(registry->createKey(Hive::LocalMachine, QStringLiteral("SOFTWARE\\X")), RegistryError);
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, QStringLiteral("SOFTWARE\\X")));
}

TEST(RegistryFormat, HandWrittenFilesAreReadLeniently)
{
    const auto tree = FileRegistry::parse(QStringLiteral(
        "; comment\r\n# another\r\n[ Software \\ Quorvel Software\\Zentarek\\Light\\Ogolne\\ ]\r\n"
        "Liczba_uruchomien=0x1F\r\n\r\nSciezka=\"/opt/zentarek/\"\r\nbroken line\r\n"
        "[Empty]\r\n"));
    ASSERT_EQ(tree.size(), 2);
    EXPECT_EQ(tree[0].path, QStringLiteral("Software\\Quorvel Software\\Zentarek\\Light\\Ogolne"));
    ASSERT_EQ(tree[0].values.size(), 2);
    EXPECT_EQ(tree[0].values[0].text, QStringLiteral("0x1F"));
    EXPECT_EQ(tree[0].values[1].text, QStringLiteral("/opt/zentarek/"));
    EXPECT_EQ(tree[1].path, QStringLiteral("Empty"));
}

struct IntegerCase {
    const char *text;
    std::optional<int> value;
};

class RegistryIntegers : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(RegistryIntegers, ParseLikeTheRegistryReader)
{
    EXPECT_EQ(parseRegistryInteger(QString::fromLatin1(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, RegistryIntegers,
                         ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"17", 17}, IntegerCase{" 42 ", 42},
                                           IntegerCase{"-3", -3}, IntegerCase{"0x1F", 31}, IntegerCase{"0X1f", 31},
                                           IntegerCase{"$1F", 31}, IntegerCase{"abc", std::nullopt},
                                           IntegerCase{"", std::nullopt}, IntegerCase{"0x", std::nullopt},
                                           IntegerCase{"12abc", std::nullopt}, IntegerCase{"1.5", std::nullopt},
                                           IntegerCase{"--1", std::nullopt},
                                           IntegerCase{"99999999999", std::nullopt},
                                           IntegerCase{"2147483647", 2147483647}));

} // namespace
