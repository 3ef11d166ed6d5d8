#pragma once

#include "AppError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <limits>
#include <optional>

namespace zk {

enum class Hive { CurrentUser, LocalMachine };

// Raised when a value cannot be written or a key cannot be deleted; its
// text names the store and says why, in Polish.
class RegistryError : public AppError {
public:
    using AppError::AppError;
};

// The settings tree of the Windows registry: keys addressed by hive and a
// backslash-separated path ("\Software\Quorvel Software\Zentarek\Light"),
// each holding named text or raw-byte values. Key and value names compare
// without regard to case, as the registry does. A section of a sectioned
// settings file is a subkey of the key.
class Registry {
public:
    virtual ~Registry() = default;

    virtual bool keyExists(Hive hive, const QString &key) const = 0;
    // Creates the key and every missing parent; throws RegistryError.
    virtual void createKey(Hive hive, const QString &key) = 0;
    // Deletes the key with everything under it; an absent key is no error.
    virtual void deleteKey(Hive hive, const QString &key) = 0;

    virtual std::optional<QString> readString(Hive hive, const QString &key,
                                              const QString &name) const = 0;
    // Creates the key when missing; throws RegistryError.
    virtual void writeString(Hive hive, const QString &key, const QString &name,
                             const QString &value) = 0;
    virtual std::optional<QByteArray> readBytes(Hive hive, const QString &key,
                                                const QString &name) const = 0;
    virtual void writeBytes(Hive hive, const QString &key, const QString &name,
                            const QByteArray &value) = 0;
    // Several strings of one key at once, as (name, value): a store that
    // writes through to a file saves it once, and not at all when nothing
    // changes. Creates the key when missing; throws RegistryError.
    using NamedStrings = QList<std::pair<QString, QString>>;
    virtual void writeStrings(Hive hive, const QString &key, const NamedStrings &values);

    // Sectioned access: the section is a subkey of `key`.
    QString readText(Hive hive, const QString &key, const QString &section,
                     const QString &name, const QString &defaultValue) const;
    void writeText(Hive hive, const QString &key, const QString &section,
                   const QString &name, const QString &value);
    void writeTexts(Hive hive, const QString &key, const QString &section, const NamedStrings &values);
    // Integers are stored as decimal text; "0x1F" and "$1F" read as
    // hexadecimal, and a missing or malformed value gives the default.
    int readInteger(Hive hive, const QString &key, const QString &section,
                    const QString &name, int defaultValue) const;
    void writeInteger(Hive hive, const QString &key, const QString &section,
                      const QString &name, int value);

    // What could not be read from the stores since the last call, each
    // said once, in Polish; stores without such troubles have nothing.
    virtual QStringList takeReadProblems() { return {}; }

    static QString normalizedKey(const QString &key);
    static QString subKey(const QString &key, const QString &section);
};

std::optional<int> parseRegistryInteger(const QString &text);

} // namespace zk
