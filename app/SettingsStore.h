#pragma once

#include "SettingsKeys.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

namespace zk {

class Registry;

namespace settings {
inline const QString RootKey = SettingsRootKey;
inline const QString General = QStringLiteral("Ogolne");
inline const QString RunCountValue = QStringLiteral("Liczba_uruchomien");
inline const QString InstallDateValue = QStringLiteral("Data_instalacji");
inline const QString PathValue = QStringLiteral("Sciezka");
inline const QString Mail = QStringLiteral("E-mail");
inline const QString AddressPrefix = QStringLiteral("Adres_");
inline constexpr int AddressSlots = 10;
inline const QString UninstallKey =
    QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentarek 3.0 lt");
inline const QString DisplayName = QStringLiteral("Zentarek 3.0 lt");
inline const QString Uninstaller = QStringLiteral("Odinstal.exe");
inline const QString OwnerKey = QStringLiteral("\\SOFTWARE\\Microsoft\\Windows");
inline const QString OwnerSection = QStringLiteral("CurrentVersion");
inline const QString OwnerValue = QStringLiteral("RegisteredOwner");
} // namespace settings

struct StoredConfig {
    int runCount = 0;
    QStringList contactAddresses; // newest first, non-empty slots in order
};

// What outlives a run: the run counter, the install date, the program's
// folder and the contact addresses, per user; the uninstall entry,
// machine-wide.
class SettingsStore {
public:
    SettingsStore(Registry &registry, QString appFolder, QLocale locale = QLocale::system());

    StoredConfig load(const QDate &today = QDate::currentDate());
    void save(const QStringList &contactAddresses, int runCount);

    // Keeps the uninstall entry in step with the uninstaller beside the
    // program; a machine-wide store that cannot be written is skipped.
    void updateUninstallEntry();

private:
    Registry &m_registry;
    QString m_appFolder;
    QLocale m_locale;
};

// The machine's registered owner; else the account's full name; else "unknown".
QString GetWinUserName(const Registry &registry, const std::function<QString()> &accountFullName);

} // namespace zk
