// A settings file that is damaged in any usual way: the program starts with
// what it can read, says once what it could not, and keeps the damaged bytes.
#include "Isolated.h"
#include "Kreator.h"
#include "SettingsStore.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>

using namespace zk;
using namespace zk::settings;
using zk::testing::Isolated;
using zk::testing::ScriptedPrompts;

namespace {

struct Damage {
    const char *name;
    std::function<QByteArray(const QByteArray &healthy)> make;
    const char *said;              // what the note must name
    QStringList addresses;         // what the window starts with
    bool keptAside = true;         // a copy beside the file holds the damaged bytes
};

void PrintTo(const Damage &damage, std::ostream *os)
{
    *os << damage.name;
}

QByteArray cp1250(const QString &text)
{
    QStringEncoder encoder("windows-1250");
    return encoder(text);
}

const QByteArray MailKey = "[Software\\Quorvel Software\\Zentarek\\Light\\E-mail]\n";

QList<Damage> damages()
{
    return {
        {"empty", [](const QByteArray &) { return QByteArray(); }, "plik jest pusty", {}, false},
        {"binary", [](const QByteArray &h) { return QByteArray("\x7f" "ELF\x02\x01\x00\x00", 8) + h; },
         "to nie jest plik tekstowy", {}},
        {"cut", [](const QByteArray &h) { return h + MailKey + "Adres_1=\"ewa@przy"; },
         "niepełne lub nieczytelne wiersze", {QStringLiteral("a@x.pl")}},
        {"duplicate", [](const QByteArray &h) { return h + MailKey + "Adres_0=\"b@x.pl\"\n"; },
         "podane ponownie", {QStringLiteral("b@x.pl")}},
        {"huge value", [](const QByteArray &h) { return h + MailKey + "Adres_1=\"" + QByteArray(10 << 20, 'x') + "\"\n"; },
         "dłuższe niż 1 MB", {QStringLiteral("a@x.pl")}},
        {"not UTF-8", [](const QByteArray &h) { return h + MailKey + "Adres_1=\"" + cp1250(QStringLiteral("łoś@x.pl")) + "\"\n"; },
         "Windows-1250", {QStringLiteral("a@x.pl"), QStringLiteral("łoś@x.pl")}},
    };
}

class BadSettingsTest : public Isolated, public ::testing::WithParamInterface<Damage> {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = folder(QStringLiteral("program"));
    }
    void TearDown() override
    {
        window.reset();
        Isolated::TearDown();
    }
    QString settingsFile() const { return registry->files().currentUser; }
    // What an earlier run left: two runs and one contact address.
    QByteArray healthyFile()
    {
        registry->writeText(Hive::CurrentUser, RootKey, General, RunCountValue, QStringLiteral("2"));
        registry->writeText(Hive::CurrentUser, RootKey, Mail, QStringLiteral("Adres_0"), QStringLiteral("a@x.pl"));
        return zk::testing::readFile(settingsFile());
    }
    QStringList copiesAside() const
    {
        const QFileInfo info(settingsFile());
        return QDir(info.absolutePath()).entryList({info.fileName() + QStringLiteral(".uszkodzony-*")}, QDir::Files);
    }
    QList<ScriptedPrompts::Call> notes() const
    {
        QList<ScriptedPrompts::Call> out;
        for (const auto &m : prompts.messages())
            if (m.caption == u"UWAGA!" || m.caption == u"BŁĄD!")
                out << m;
        return out;
    }
    QStringList windowAddresses() const
    {
        QStringList out;
        for (int i = 0; i < window->Lista_Uklad_Adresy->count(); ++i)
            out << window->Lista_Uklad_Adresy->itemText(i);
        return out;
    }

    QString appFolder;
    std::unique_ptr<TKreatorDlg> window;
};

TEST_P(BadSettingsTest, StartsWithWhatCanBeReadSaysItOnceAndKeepsTheDamagedBytes)
{
    const Damage &damage = GetParam();
    const QByteArray damaged = damage.make(healthyFile());
    writeFile(settingsFile(), damaged);

    window = std::make_unique<TKreatorDlg>(appFolder);
    ASSERT_EQ(notes().size(), 1) << "said once, at the start";
    const QString note = notes().first().text;
    EXPECT_EQ(notes().first().caption, QStringLiteral("UWAGA!"));
    EXPECT_TRUE(note.contains(QDir::toNativeSeparators(settingsFile()))) << note.toStdString();
    EXPECT_TRUE(note.contains(QString::fromUtf8(damage.said))) << note.toStdString();
    EXPECT_EQ(windowAddresses(), damage.addresses);

    const QStringList copies = copiesAside();
    if (damage.keptAside) {
        ASSERT_EQ(copies.size(), 1);
        EXPECT_TRUE(note.contains(copies.first())) << "the note says where the copy is";
        EXPECT_EQ(zk::testing::readFile(QFileInfo(settingsFile()).absolutePath() + u'/' + copies.first()), damaged);
    } else {
        EXPECT_TRUE(copies.isEmpty());
    }

    window->close();
    EXPECT_EQ(notes().size(), 1) << "closing says nothing more";
    window.reset();

    // The file written at the close is whole again: the next start is silent.
    prompts.clear();
    window = std::make_unique<TKreatorDlg>(appFolder);
    EXPECT_TRUE(notes().isEmpty()) << notes().value(0).text.toStdString();
    EXPECT_EQ(windowAddresses(), damage.addresses);
    EXPECT_EQ(copiesAside().size(), copies.size());
}

INSTANTIATE_TEST_SUITE_P(Damages, BadSettingsTest, ::testing::ValuesIn(damages()),
                         [](const auto &info) {
                             QString name = QString::fromLatin1(info.param.name);
                             return name.remove(u' ').remove(u'-').toStdString();
                         });

class FolderForSettingsTest : public BadSettingsTest {};

TEST_F(FolderForSettingsTest, AFolderInPlaceOfTheFileIsSaidOnceAndLeftAlone)
{
    QDir().mkpath(settingsFile() + QStringLiteral("/zawartosc"));
    window = std::make_unique<TKreatorDlg>(appFolder);
    ASSERT_EQ(notes().size(), 1);
    const QString note = notes().first().text;
    EXPECT_TRUE(note.contains(QStringLiteral("w miejscu pliku jest folder"))) << note.toStdString();
    EXPECT_TRUE(note.contains(QStringLiteral("nie zostaną zapisane"))) << note.toStdString();
    EXPECT_EQ(window->runCount(), 0);

    window->setContactAddresses({QStringLiteral("a@x.pl")});
    window->close();
    EXPECT_EQ(notes().size(), 1) << "the close cannot save, and the note already said so";
    EXPECT_TRUE(QFileInfo::exists(settingsFile() + QStringLiteral("/zawartosc")));
    EXPECT_TRUE(copiesAside().isEmpty());
}

TEST(RegistryFormatFaults, EachUnreadableLineIsNamedByItsNumber)
{
    QStringList problems;
    const auto tree = FileRegistry::parse(QStringLiteral(
                                              "stray=\"before any key\"\n"      // 1
                                              "[A]\n"                           // 2
                                              "a=\"1\"\n"                       // 3
                                              "b=hex:01,0\n"                    // 4: cut inside a byte
                                              "c=hex:zz\n"                      // 5
                                              "[B\n"                            // 6: key cut short
                                              "d=\"lost\"\n"                    // 7: belongs nowhere
                                              "[a]\n"                           // 8: the same key again
                                              "A=\"2\"\n"                       // 9: the same value again
                                              "e=hex:0a,0B,\n"),                // 10
                                          &problems);
    ASSERT_EQ(tree.size(), 1);
    ASSERT_EQ(tree[0].values.size(), 2);
    EXPECT_EQ(tree[0].values[0].name, QStringLiteral("a")) << "the first spelling stays";
    EXPECT_EQ(tree[0].values[0].text, QStringLiteral("2")) << "the last value wins";
    EXPECT_EQ(tree[0].values[1].bytes, QByteArray("\x0a\x0b"));
    EXPECT_EQ(problems, (QStringList{QStringLiteral("niepełne lub nieczytelne wiersze: 1, 4, 5, 6, 7"),
                                     QStringLiteral("wartości podane ponownie (użyto ostatniej) w wierszach: 9")}));

    problems.clear();
    QString many;
    for (int i = 0; i < 8; ++i)
        many += QStringLiteral("cut\n");
    FileRegistry::parse(many, &problems);
    EXPECT_EQ(problems, QStringList{QStringLiteral("niepełne lub nieczytelne wiersze: 1, 2, 3, 4, 5 i 3 innych")});
}

TEST(RegistryFormatFaults, AFileWrittenByTheProgramHasNoProblems)
{
    FileRegistry::Tree tree{{QStringLiteral("K"), {{QStringLiteral("n"), false, QStringLiteral("\"x\"\n"), {}},
                                                   {QStringLiteral("b"), true, {}, QByteArray("\x00\xff", 2)}}}};
    QStringList problems;
    EXPECT_EQ(FileRegistry::parse(FileRegistry::format(tree), &problems), tree);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'|').toStdString();
}

} // namespace
