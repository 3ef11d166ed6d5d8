#include "SettingsStore.h"

#include "Registry.h"

#include <QFile>

namespace zk {

using namespace settings;

SettingsStore::SettingsStore(Registry &registry, QString appFolder, QLocale locale)
    : m_registry(registry), m_appFolder(std::move(appFolder)), m_locale(std::move(locale))
{
}

static QString slotName(int n)
{
    return AddressPrefix + QString::number(n);
}

void SettingsStore::updateUninstallEntry()
{
    try {
        if (QFile::exists(m_appFolder + Uninstaller)) {
            m_registry.createKey(Hive::LocalMachine, UninstallKey);
            m_registry.writeString(Hive::LocalMachine, UninstallKey, QStringLiteral("DisplayName"), DisplayName);
            m_registry.writeString(Hive::LocalMachine, UninstallKey, QStringLiteral("UninstallString"),
                                   m_appFolder + Uninstaller);
        } else {
            m_registry.deleteKey(Hive::LocalMachine, UninstallKey);
        }
    } catch (const RegistryError &) {
        // Only an administrator may change the machine-wide list; the
        // per-user settings do not depend on it.
    }
}

StoredConfig SettingsStore::load(const QDate &today)
{
    updateUninstallEntry();
    m_registry.createKey(Hive::CurrentUser, RootKey);
    StoredConfig config;
    config.runCount = m_registry.readInteger(Hive::CurrentUser, RootKey, General, RunCountValue, 0);
    if (config.runCount != 0) {
        for (int n = 0; n < AddressSlots; ++n) {
            const QString address = m_registry.readText(Hive::CurrentUser, RootKey, Mail, slotName(n), {});
            if (!address.isEmpty())
                config.contactAddresses << address;
        }
        return config;
    }
    m_registry.writeText(Hive::CurrentUser, RootKey, General, RunCountValue, QStringLiteral("0"));
    m_registry.writeText(Hive::CurrentUser, RootKey, General, InstallDateValue,
                         m_locale.toString(today, QLocale::ShortFormat));
    for (int n = 0; n < AddressSlots; ++n)
        m_registry.writeText(Hive::CurrentUser, RootKey, Mail, slotName(n), QString());
    return config;
}

void SettingsStore::save(const QStringList &contactAddresses, int runCount)
{
    m_registry.createKey(Hive::CurrentUser, RootKey);
    for (int n = 0; n < AddressSlots; ++n)
        m_registry.writeText(Hive::CurrentUser, RootKey, Mail, slotName(n), contactAddresses.value(n));
    m_registry.writeInteger(Hive::CurrentUser, RootKey, General, RunCountValue, runCount + 1);
    m_registry.writeText(Hive::CurrentUser, RootKey, General, PathValue, m_appFolder);
}

QString GetWinUserName(const Registry &registry, const std::function<QString()> &accountFullName)
{
    const auto owner = registry.readString(Hive::LocalMachine, Registry::subKey(OwnerKey, OwnerSection), OwnerValue);
    if (owner)
        return *owner;
    const QString fullName = accountFullName ? accountFullName() : QString();
    return fullName.isEmpty() ? QStringLiteral("unknown") : fullName;
}

} // namespace zk
