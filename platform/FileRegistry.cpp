#include "FileRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace zk {

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isUnder(const QString &path, const QString &key)
{
    return sameName(path, key)
        || (path.size() > key.size() && path.at(key.size()) == u'\\'
            && sameName(path.left(key.size()), key));
}

QString escapeName(const QString &name)
{
    QString out;
    // A name starting with ";" or "#" would be read back as a comment line.
    if (name.startsWith(u';') || name.startsWith(u'#'))
        out += u'\\';
    for (QChar c : name) {
        if (c == u'\\' || c == u'=' || c == u'"' || c == u'[')
            out += u'\\';
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString quoteText(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += u'\\', out += c;
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out + u'"';
}

QChar unescaped(QChar c)
{
    if (c == u'n')
        return u'\n';
    if (c == u'r')
        return u'\r';
    return c;
}

// Reads an escaped run of text from `pos` up to the unescaped `stop`.
QString readEscaped(const QString &line, qsizetype &pos, QChar stop)
{
    QString out;
    while (pos < line.size() && line.at(pos) != stop) {
        if (line.at(pos) == u'\\' && pos + 1 < line.size())
            ++pos, out += unescaped(line.at(pos));
        else
            out += line.at(pos);
        ++pos;
    }
    return out;
}

bool parseValueLine(const QString &line, FileRegistry::Value &value)
{
    qsizetype pos = 0;
    value.name = readEscaped(line, pos, u'=');
    if (pos >= line.size())
        return false;
    const QString rest = line.mid(pos + 1);
    if (rest.startsWith(QStringLiteral("hex:"), Qt::CaseInsensitive)) {
        value.isBytes = true;
        value.bytes = QByteArray::fromHex(rest.mid(4).remove(u',').toLatin1());
    } else if (rest.startsWith(u'"')) {
        qsizetype p = 1;
        value.text = readEscaped(rest, p, u'"');
    } else {
        value.text = rest; // hand-written plain value
    }
    return true;
}

} // namespace

FileRegistry::FileRegistry(Files files) : m_files(std::move(files)) {}

FileRegistry::Files FileRegistry::defaultFiles()
{
    QString userConfig = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (userConfig.isEmpty())
        userConfig = QDir::homePath() + QStringLiteral("/.config");
    QString systemConfig = QStringLiteral("/etc/xdg");
    const QStringList dirs = qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts);
    if (!dirs.isEmpty())
        systemConfig = dirs.first();
    return {userConfig + QStringLiteral("/zentarek/registry.ini"),
            systemConfig + QStringLiteral("/zentarek/registry.ini")};
}

QString FileRegistry::fileOf(Hive hive) const
{
    return hive == Hive::CurrentUser ? m_files.currentUser : m_files.localMachine;
}

FileRegistry::Tree FileRegistry::parse(const QString &content)
{
    Tree tree;
    Key *current = nullptr;
    for (QString line : content.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.lastIndexOf(u']');
            tree.append({normalizedKey(line.mid(1, close > 0 ? close - 1 : -1)), {}});
            current = &tree.last();
            continue;
        }
        Value value;
        if (current && parseValueLine(line, value))
            current->values.append(value);
    }
    return tree;
}

QString FileRegistry::format(const Tree &tree)
{
    QString out = QStringLiteral("; Zentarek Light settings, laid out as registry keys and values.\n");
    for (const Key &key : tree) {
        out += QStringLiteral("\n[") + key.path + QStringLiteral("]\n");
        for (const Value &v : key.values) {
            out += escapeName(v.name) + u'=';
            if (v.isBytes) {
                out += QStringLiteral("hex:") + QString::fromLatin1(v.bytes.toHex(','));
            } else {
                out += quoteText(v.text);
            }
            out += u'\n';
        }
    }
    return out;
}

FileRegistry::Tree FileRegistry::load(Hive hive, bool forWriting) const
{
    QFile file(fileOf(hive));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (forWriting) // never replace a file we could not read
            throw RegistryError(QStringLiteral("Nie można odczytać ustawień z pliku \"%1\": %2!")
                                    .arg(file.fileName(), file.errorString()));
        return {};
    }
    return parse(QString::fromUtf8(file.readAll()));
}

void FileRegistry::save(Hive hive, const Tree &tree)
{
    const QString path = fileOf(hive);
    const QFileInfo info(path);
    const auto fail = [&](const QString &why) {
        throw RegistryError(QStringLiteral("Nie można zapisać ustawień w pliku \"%1\": %2!").arg(path, why));
    };
    const bool folderIsNew = !QFileInfo::exists(info.absolutePath());
    if (!QDir().mkpath(info.absolutePath()))
        fail(QStringLiteral("nie można utworzyć folderu"));
    if (folderIsNew && hive == Hive::CurrentUser)
        QFile::setPermissions(info.absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    if (hive == Hive::CurrentUser) // it will hold a password
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(format(tree).toUtf8());
    if (!file.commit())
        fail(file.errorString());
}

bool FileRegistry::keyExists(Hive hive, const QString &key) const
{
    const QString k = normalizedKey(key);
    const Tree tree = load(hive, false);
    return std::any_of(tree.begin(), tree.end(), [&](const Key &e) { return isUnder(e.path, k); });
}

void FileRegistry::createKey(Hive hive, const QString &key)
{
    const QString k = normalizedKey(key);
    Tree tree = load(hive, true);
    if (std::any_of(tree.begin(), tree.end(), [&](const Key &e) { return isUnder(e.path, k); }))
        return;
    tree.append({k, {}});
    save(hive, tree);
}

void FileRegistry::deleteKey(Hive hive, const QString &key)
{
    const QString k = normalizedKey(key);
    if (!QFile::exists(fileOf(hive)))
        return;
    Tree tree = load(hive, true);
    const qsizetype removed = tree.removeIf([&](const Key &e) { return isUnder(e.path, k); });
    if (removed > 0)
        save(hive, tree);
}

const FileRegistry::Value *FileRegistry::findValue(const Tree &tree, const QString &key,
                                                   const QString &name) const
{
    const QString k = normalizedKey(key);
    for (const Key &e : tree) {
        if (!sameName(e.path, k))
            continue;
        for (const Value &v : e.values)
            if (sameName(v.name, name))
                return &v;
    }
    return nullptr;
}

std::optional<QString> FileRegistry::readString(Hive hive, const QString &key, const QString &name) const
{
    const Tree tree = load(hive, false);
    const Value *v = findValue(tree, key, name);
    if (!v)
        return std::nullopt;
    return v->isBytes ? QString::fromUtf8(v->bytes) : v->text;
}

std::optional<QByteArray> FileRegistry::readBytes(Hive hive, const QString &key, const QString &name) const
{
    const Tree tree = load(hive, false);
    const Value *v = findValue(tree, key, name);
    if (!v)
        return std::nullopt;
    return v->isBytes ? v->bytes : v->text.toUtf8();
}

void FileRegistry::writeValue(Hive hive, const QString &key, Value value)
{
    const QString k = normalizedKey(key);
    Tree tree = load(hive, true);
    auto entry = std::find_if(tree.begin(), tree.end(), [&](const Key &e) { return sameName(e.path, k); });
    if (entry == tree.end()) {
        tree.append({k, {}});
        entry = tree.end() - 1;
    }
    auto existing = std::find_if(entry->values.begin(), entry->values.end(),
                                 [&](const Value &v) { return sameName(v.name, value.name); });
    if (existing != entry->values.end()) {
        value.name = existing->name; // keep the case it was first written in
        *existing = value;
    } else {
        entry->values.append(value);
    }
    save(hive, tree);
}

void FileRegistry::writeString(Hive hive, const QString &key, const QString &name, const QString &value)
{
    writeValue(hive, key, {name, false, value, {}});
}

void FileRegistry::writeBytes(Hive hive, const QString &key, const QString &name, const QByteArray &value)
{
    writeValue(hive, key, {name, true, {}, value});
}

} // namespace zk
