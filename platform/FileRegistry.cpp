#include "FileRegistry.h"

#include "CheckedFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>

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

bool isHexList(QStringView text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9a-fA-F]{2}(,[0-9a-fA-F]{2})*,?)?$"));
    return pattern.match(text.trimmed().toString()).hasMatch();
}

enum class LineFault { None, Incomplete, TooLong };

LineFault parseValueLine(const QString &line, FileRegistry::Value &value)
{
    // Longer than any value of the limit can be written (hex takes three
    // characters a byte): not worth reading through.
    if (line.size() > 3 * FileRegistry::MaxValueSize + 1024)
        return LineFault::TooLong;
    qsizetype pos = 0;
    value.name = readEscaped(line, pos, u'=');
    if (pos >= line.size())
        return LineFault::Incomplete;
    const QString rest = line.mid(pos + 1);
    if (rest.startsWith(QStringLiteral("hex:"), Qt::CaseInsensitive)) {
        if (!isHexList(QStringView(rest).mid(4)))
            return LineFault::Incomplete; // cut inside a byte, or not hex at all
        value.isBytes = true;
        value.bytes = QByteArray::fromHex(rest.mid(4).remove(u',').toLatin1());
    } else if (rest.startsWith(u'"')) {
        qsizetype p = 1;
        value.text = readEscaped(rest, p, u'"');
        if (p >= rest.size())
            return LineFault::Incomplete; // no closing quote: the line was cut
    } else {
        value.text = rest; // hand-written plain value
    }
    if (value.text.size() > FileRegistry::MaxValueSize || value.bytes.size() > FileRegistry::MaxValueSize)
        return LineFault::TooLong;
    return LineFault::None;
}

// Line numbers, at most a few of them, for a message a person reads.
QString lineList(const QList<int> &lines)
{
    QStringList shown;
    for (int n : lines.first(std::min<qsizetype>(lines.size(), 5)))
        shown << QString::number(n);
    QString text = shown.join(QStringLiteral(", "));
    if (lines.size() > 5)
        text += QStringLiteral(" i %1 innych").arg(lines.size() - 5);
    return text;
}

struct ParseFaults {
    QList<int> incomplete;
    QList<int> tooLong;
    QList<int> repeated;

    QStringList describe() const
    {
        QStringList out;
        if (!incomplete.isEmpty())
            out << QStringLiteral("niepełne lub nieczytelne wiersze: %1").arg(lineList(incomplete));
        if (!tooLong.isEmpty())
            out << QStringLiteral("wartości dłuższe niż 1 MB w wierszach: %1").arg(lineList(tooLong));
        if (!repeated.isEmpty())
            out << QStringLiteral("wartości podane ponownie (użyto ostatniej) w wierszach: %1").arg(lineList(repeated));
        return out;
    }
};

// A second value of one name replaces the first one, in its place.
bool addValue(FileRegistry::Key &key, const FileRegistry::Value &value)
{
    for (FileRegistry::Value &v : key.values) {
        if (sameName(v.name, value.name)) {
            const QString firstSpelling = v.name;
            v = value;
            v.name = firstSpelling;
            return true;
        }
    }
    key.values.append(value);
    return false;
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

FileRegistry::Tree FileRegistry::parse(const QString &content, QStringList *problems)
{
    Tree tree;
    ParseFaults faults;
    qsizetype current = -1;
    int number = 0;
    for (QString line : content.split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.lastIndexOf(u']');
            current = -1;
            if (close < 0) {
                faults.incomplete << number; // its values belong nowhere
                continue;
            }
            const QString path = normalizedKey(line.mid(1, close - 1));
            for (qsizetype k = 0; k < tree.size() && current < 0; ++k)
                if (sameName(tree[k].path, path))
                    current = k; // a key given twice is one key
            if (current < 0) {
                tree.append({path, {}});
                current = tree.size() - 1;
            }
            continue;
        }
        Value value;
        const LineFault fault = parseValueLine(line, value);
        if (fault == LineFault::Incomplete || current < 0)
            faults.incomplete << number;
        else if (fault == LineFault::TooLong)
            faults.tooLong << number;
        else if (addValue(tree[current], value))
            faults.repeated << number;
    }
    if (problems)
        *problems << faults.describe();
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

namespace {

// Text the way a person may have saved it: UTF-8, else the Windows-1250
// of an old editor; either way, said.
QString decodeSettings(const QByteArray &bytes, QStringList &problems)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder windows("windows-1250");
    if (windows.isValid()) {
        problems << QStringLiteral("plik nie jest zapisany w UTF-8 (odczytano go jako Windows-1250)");
        return windows(bytes);
    }
    problems << QStringLiteral("plik zawiera bajty spoza UTF-8 (zastąpiono je znakiem \uFFFD)");
    return text;
}

QString fingerprintOf(const QFileInfo &info)
{
    return QString::number(info.size()) + u'@' + QString::number(info.lastModified().toMSecsSinceEpoch());
}

// A name beside the file that no earlier copy holds.
QString asideName(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = path + QStringLiteral(".uszkodzony-") + stamp;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = path + QStringLiteral(".uszkodzony-") + stamp + u'-' + QString::number(n);
    return candidate;
}

} // namespace

FileRegistry::Tree FileRegistry::readFile(const QString &path, Damage &damage) const
{
    const QFileInfo info(path);
    const auto unusable = [&](const QString &why) {
        damage = {why, true};
        return Tree{};
    };
    if (info.isDir())
        return unusable(QStringLiteral("w miejscu pliku jest folder"));
    if (info.size() > MaxFileSize)
        return unusable(QStringLiteral("plik jest za duży (%1 MB)").arg(info.size() / (1024 * 1024)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unusable(file.errorString());
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.trimmed().isEmpty())
        return unusable(QStringLiteral("plik jest pusty"));
    if (bytes.contains('\0'))
        return unusable(QStringLiteral("to nie jest plik tekstowy"));
    QStringList problems;
    const QString text = decodeSettings(bytes, problems);
    const Tree tree = parse(text, &problems);
    damage = {problems.join(QStringLiteral("; ")), false};
    return tree;
}

// The first time a damaged file is met, it is copied aside so that
// writing the settings again can never destroy what could not be read.
void FileRegistry::handleDamage(const QString &path, const Damage &damage) const
{
    const QFileInfo info(path);
    const QString fingerprint = fingerprintOf(info);
    DamageState &state = m_damage[path];
    if (state.fingerprint == fingerprint)
        return;
    state.fingerprint = fingerprint;
    QString outcome;
    if (info.isFile() && info.size() == 0) {
        state.writable = true; // nothing in it to keep
        outcome = QStringLiteral("Program używa ustawień domyślnych.");
    } else {
        const QString copy = asideName(path);
        state.writable = info.isFile() && QFile::copy(path, copy);
        outcome = state.writable
            ? QStringLiteral("Kopię pliku zachowano jako \"%1\".").arg(copy)
            : QStringLiteral("Zmiany ustawień z tej sesji nie zostaną zapisane, by nie zniszczyć tego pliku.");
        if (damage.unusable)
            outcome.prepend(QStringLiteral("Program używa ustawień domyślnych. "));
    }
    const QString what = damage.unusable ? QStringLiteral("Nie można odczytać ustawień z pliku \"%1\": %2.")
                                         : QStringLiteral("Nie można odczytać części ustawień z pliku \"%1\": %2.");
    m_problems << what.arg(QDir::toNativeSeparators(path), damage.problem) + u' ' + outcome;
}

QStringList FileRegistry::takeReadProblems()
{
    return std::exchange(m_problems, {});
}

FileRegistry::Tree FileRegistry::load(Hive hive, bool forWriting) const
{
    const QString path = fileOf(hive);
    if (!QFileInfo::exists(path))
        return {};
    Damage damage;
    const Tree tree = readFile(path, damage);
    if (damage.problem.isEmpty())
        return tree;
    handleDamage(path, damage);
    if (forWriting && !m_damage.value(path).writable) // never replace a file we could not read
        throw RegistryError(QStringLiteral("Nie można zapisać ustawień w pliku \"%1\": %2!")
                                .arg(QDir::toNativeSeparators(path), damage.problem));
    return tree;
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
    // The per-user file may hold a password.
    const FileAccess access = hive == Hive::CurrentUser ? FileAccess::OwnerOnly : FileAccess::Normal;
    if (const auto why = writeFileChecked(path, format(tree).toUtf8(), access))
        fail(*why);
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

bool FileRegistry::setValue(Tree &tree, const QString &key, Value value)
{
    const QString k = normalizedKey(key);
    auto entry = std::find_if(tree.begin(), tree.end(), [&](const Key &e) { return sameName(e.path, k); });
    if (entry == tree.end()) {
        tree.append({k, {}});
        entry = tree.end() - 1;
    }
    auto existing = std::find_if(entry->values.begin(), entry->values.end(),
                                 [&](const Value &v) { return sameName(v.name, value.name); });
    if (existing == entry->values.end()) {
        entry->values.append(value);
        return true;
    }
    const bool same = existing->isBytes == value.isBytes && existing->text == value.text && existing->bytes == value.bytes;
    value.name = existing->name; // keep the case it was first written in
    *existing = value;
    return !same;
}

void FileRegistry::writeValue(Hive hive, const QString &key, Value value)
{
    Tree tree = load(hive, true);
    setValue(tree, key, std::move(value));
    save(hive, tree);
}

void FileRegistry::writeStrings(Hive hive, const QString &key, const NamedStrings &values)
{
    Tree tree = load(hive, true);
    bool changed = false;
    for (const auto &[name, value] : values)
        changed = setValue(tree, key, {name, false, value, {}}) || changed;
    if (changed)
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
