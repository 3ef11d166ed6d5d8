#include "Registry.h"

namespace zk {

QString Registry::normalizedKey(const QString &key)
{
    QStringList parts;
    for (const QString &part : key.split(u'\\', Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            parts << trimmed;
    }
    return parts.join(u'\\');
}

QString Registry::subKey(const QString &key, const QString &section)
{
    return normalizedKey(key + u'\\' + section);
}

QString Registry::readText(Hive hive, const QString &key, const QString &section,
                           const QString &name, const QString &defaultValue) const
{
    return readString(hive, subKey(key, section), name).value_or(defaultValue);
}

void Registry::writeText(Hive hive, const QString &key, const QString &section,
                         const QString &name, const QString &value)
{
    writeString(hive, subKey(key, section), name, value);
}

void Registry::writeStrings(Hive hive, const QString &key, const NamedStrings &values)
{
    for (const auto &[name, value] : values)
        writeString(hive, key, name, value);
}

void Registry::writeTexts(Hive hive, const QString &key, const QString &section, const NamedStrings &values)
{
    writeStrings(hive, subKey(key, section), values);
}

int Registry::readInteger(Hive hive, const QString &key, const QString &section,
                          const QString &name, int defaultValue) const
{
    const auto text = readString(hive, subKey(key, section), name);
    if (!text)
        return defaultValue;
    return parseRegistryInteger(*text).value_or(defaultValue);
}

void Registry::writeInteger(Hive hive, const QString &key, const QString &section,
                            const QString &name, int value)
{
    writeText(hive, key, section, name, QString::number(value));
}

std::optional<int> parseRegistryInteger(const QString &text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negative = t.startsWith(u'-');
        t = t.mid(1);
    }
    int base = 10;
    if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t = t.mid(2);
    } else if (t.startsWith(u'$')) {
        base = 16;
        t = t.mid(1);
    }
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok || t.startsWith(u'-') || t.startsWith(u'+'))
        return std::nullopt;
    const qlonglong signedValue = negative ? -v : v;
    if (signedValue < std::numeric_limits<int>::min() || signedValue > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(signedValue);
}

} // namespace zk
