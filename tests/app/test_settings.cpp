#include "Isolated.h"
#include "SettingsStore.h"

#include <QFile>

using namespace zk;
using namespace zk::settings;
using zk::testing::Isolated;
using zk::testing::ReadOnlyHiveRegistry;

namespace {

class SettingsStoreTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        appFolder = folder(QStringLiteral("program"));
    }
    QString stored(const QString &section, const QString &name) const
    {
        return registry->readText(Hive::CurrentUser, RootKey, section, name, QStringLiteral("<missing>"));
    }
    void storeSlot(int n, const QString &address)
    {
        registry->writeText(Hive::CurrentUser, RootKey, Mail, QStringLiteral("Adres_%1").arg(n), address);
    }
    SettingsStore store() { return SettingsStore(*registry, appFolder, QLocale(QLocale::Polish)); }

    QString appFolder;
};

TEST_F(SettingsStoreTest, FirstRunWritesCountDateAndTenEmptySlotsThenCloseCountsIt)
{
    const StoredConfig config = store().load(QDate(2026, 12, 8));
    EXPECT_EQ(config.runCount, 0);
    EXPECT_TRUE(config.contactAddresses.isEmpty());
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("0"));
    EXPECT_EQ(stored(General, InstallDateValue), QLocale(QLocale::Polish).toString(QDate(2026, 12, 8), QLocale::ShortFormat));
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(stored(Mail, QStringLiteral("Adres_%1").arg(n)), QString()) << n;
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_10")), QStringLiteral("<missing>"));

    store().save({QStringLiteral("b@x.pl"), QStringLiteral("a@x.pl")}, config.runCount);
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("1"));
    EXPECT_EQ(stored(General, PathValue), appFolder);
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_0")), QStringLiteral("b@x.pl"));
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_1")), QStringLiteral("a@x.pl"));
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_2")), QString());
}

TEST_F(SettingsStoreTest, LaterRunLoadsNonEmptySlotsInOrderAndLeavesTheDate)
{
    registry->writeText(Hive::CurrentUser, RootKey, General, RunCountValue, QStringLiteral("4"));
    registry->writeText(Hive::CurrentUser, RootKey, General, InstallDateValue, QStringLiteral("01.02.2020"));
    storeSlot(0, QString());
    storeSlot(3, QStringLiteral("c@x.pl"));
    storeSlot(7, QStringLiteral("d@x.pl"));
    const StoredConfig config = store().load(QDate(2026, 12, 8));
    EXPECT_EQ(config.runCount, 4);
    EXPECT_EQ(config.contactAddresses, (QStringList{QStringLiteral("c@x.pl"), QStringLiteral("d@x.pl")}));
    EXPECT_EQ(stored(General, InstallDateValue), QStringLiteral("01.02.2020"));
    store().save(config.contactAddresses, config.runCount);
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("5"));
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_0")), QStringLiteral("c@x.pl"));
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_3")), QString()) << "slots are rewritten from the list";
}

TEST_F(SettingsStoreTest, OnlyTheTenNewestAddressesAreStored)
{
    QStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve << QStringLiteral("a%1@x.pl").arg(i);
    store().save(twelve, 2);
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(stored(Mail, QStringLiteral("Adres_%1").arg(n)), twelve[n]);
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_10")), QStringLiteral("<missing>"));
    EXPECT_EQ(store().load().contactAddresses, twelve.mid(0, 10));
}

TEST_F(SettingsStoreTest, CountReadingHexAndGarbage)
{
    registry->writeText(Hive::CurrentUser, RootKey, General, RunCountValue, QStringLiteral("0x1F"));
    EXPECT_EQ(store().load().runCount, 31);

    registry->writeText(Hive::CurrentUser, RootKey, General, RunCountValue, QStringLiteral("dużo"));
    storeSlot(0, QStringLiteral("kept@x.pl"));
    const StoredConfig garbage = store().load(QDate(2026, 1, 2));
    EXPECT_EQ(garbage.runCount, 0) << "a count that is not a number makes a first run";
    EXPECT_TRUE(garbage.contactAddresses.isEmpty());
    EXPECT_EQ(stored(Mail, QStringLiteral("Adres_0")), QString()) << "a first run empties the slots";
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("0"));
}

TEST_F(SettingsStoreTest, UninstallEntryFollowsTheUninstallerBesideTheProgram)
{
    store().load();
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, UninstallKey));

    writeFile(appFolder + QStringLiteral("Odinstal.exe"));
    store().load();
    EXPECT_EQ(registry->readString(Hive::LocalMachine, UninstallKey, QStringLiteral("DisplayName")),
              QStringLiteral("Zentarek 3.0 lt"));
    EXPECT_EQ(registry->readString(Hive::LocalMachine, UninstallKey, QStringLiteral("UninstallString")),
              appFolder + QStringLiteral("Odinstal.exe"));

    QFile::remove(appFolder + QStringLiteral("Odinstal.exe"));
    store().load();
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, UninstallKey));
}

TEST_F(SettingsStoreTest, MachineStoreWithoutRightsIsSkippedWhileUserSettingsWork)
{
    writeFile(appFolder + QStringLiteral("Odinstal.exe"));
    ReadOnlyHiveRegistry limited(*registry, Hive::LocalMachine);
    SettingsStore s(limited, appFolder);
    StoredConfig config;
    EXPECT_NO_THROW(config = s.load());
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, UninstallKey));
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("0"));
    EXPECT_NO_THROW(s.save({QStringLiteral("a@x.pl")}, config.runCount));
    EXPECT_EQ(stored(General, RunCountValue), QStringLiteral("1"));
}

TEST_F(SettingsStoreTest, OwnerNameFallsBackToTheAccountThenUnknown)
{
    EXPECT_EQ(GetWinUserName(*registry, [] { return QString(); }), QStringLiteral("unknown"));
    EXPECT_EQ(GetWinUserName(*registry, {}), QStringLiteral("unknown"));
    EXPECT_EQ(GetWinUserName(*registry, [] { return QStringLiteral("Jan Kowalski"); }), QStringLiteral("Jan Kowalski"));
    registry->writeText(Hive::LocalMachine, OwnerKey, OwnerSection, OwnerValue, QStringLiteral("Firma Łódź"));
    EXPECT_EQ(GetWinUserName(*registry, [] { return QStringLiteral("Jan Kowalski"); }), QStringLiteral("Firma Łódź"));
    EXPECT_FALSE(registry->keyExists(Hive::LocalMachine, QStringLiteral("SOFTWARE\\Other")));
}

} // namespace
