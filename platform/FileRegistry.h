#pragma once

#include "Registry.h"

#include <QHash>
#include <QList>

namespace zk {

// The registry where the platform has none: one text file per hive, laid
// out like an exported registry file (a "[key\path]" line, then
// name="text" or name=hex:01,02 lines). Every write re-reads the file and
// replaces it atomically, so a crash never leaves it half written and a
// second running copy's values are kept.
class FileRegistry : public Registry {
public:
    struct Files {
        QString currentUser;
        QString localMachine;
    };

    explicit FileRegistry(Files files);
    // Per-user file in the user's config folder (XDG_CONFIG_HOME honoured),
    // machine-wide file in the first folder of XDG_CONFIG_DIRS, else /etc/xdg.
    static Files defaultFiles();

    const Files &files() const { return m_files; }

    bool keyExists(Hive hive, const QString &key) const override;
    void createKey(Hive hive, const QString &key) override;
    void deleteKey(Hive hive, const QString &key) override;
    std::optional<QString> readString(Hive hive, const QString &key,
                                      const QString &name) const override;
    void writeString(Hive hive, const QString &key, const QString &name,
                     const QString &value) override;
    std::optional<QByteArray> readBytes(Hive hive, const QString &key,
                                        const QString &name) const override;
    void writeBytes(Hive hive, const QString &key, const QString &name,
                    const QByteArray &value) override;
    void writeStrings(Hive hive, const QString &key, const NamedStrings &values) override;

    struct Value {
        QString name;
        bool isBytes = false;
        QString text;
        QByteArray bytes;
        bool operator==(const Value &) const = default;
    };
    struct Key {
        QString path;
        QList<Value> values;
        bool operator==(const Key &) const = default;
    };
    using Tree = QList<Key>;

    // Lines that cannot be read whole (cut short, no "=", no closing quote,
    // bad hex, a value over MaxValueSize) are skipped and named in
    // `problems`; a key or value given twice keeps its last value.
    static Tree parse(const QString &content, QStringList *problems = nullptr);
    static QString format(const Tree &tree);

    static constexpr qint64 MaxFileSize = 32 * 1024 * 1024;
    static constexpr qsizetype MaxValueSize = 1024 * 1024;

    // What a file could not give, said once per damaged file and run, in
    // Polish, with where its copy was kept or that settings stay unsaved.
    QStringList takeReadProblems() override;

private:
    struct Damage {
        QString problem;   // empty: the file reads whole
        bool unusable = false; // nothing could be taken from it
    };
    struct DamageState {
        QString fingerprint;   // size and time of the damaged file handled
        bool writable = false; // a copy was kept, so it may be replaced
    };

    QString fileOf(Hive hive) const;
    Tree readFile(const QString &path, Damage &damage) const;
    void handleDamage(const QString &path, const Damage &damage) const;
    Tree load(Hive hive, bool forWriting) const;
    void save(Hive hive, const Tree &tree);
    void writeValue(Hive hive, const QString &key, Value value);
    // False when the value was already there as it is.
    static bool setValue(Tree &tree, const QString &key, Value value);
    const Value *findValue(const Tree &tree, const QString &key, const QString &name) const;

    Files m_files;
    mutable QHash<QString, DamageState> m_damage;
    mutable QStringList m_problems;
};

} // namespace zk
