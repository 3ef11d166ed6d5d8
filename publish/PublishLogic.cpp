#include "PublishLogic.h"

#include <QCryptographicHash>

#include "PasswordStore.h"
#include "Registry.h"
#include "SettingsKeys.h"

#include <QFileInfo>

#include <cfenv>
#include <cmath>

namespace zk {

qint64 GetFileSize(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() ? info.size() : -1;
}

void Token(QString text, QChar separator, QStringList &list)
{
    list.clear();
    while (!text.isEmpty()) {
        const qsizetype at = text.indexOf(separator);
        const QString piece = at < 0 ? text : text.left(at);
        text = at < 0 ? QString() : text.mid(at + 1);
        if (!piece.isEmpty()) // "a//b" and "a/" name the same folders as "a/b" and "a"
            list << piece;
    }
}

qint64 roundedQuotient(qint64 value, long double divisor)
{
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST); // an exact half goes to the even neighbour
    const qint64 n = std::llrint(static_cast<long double>(value) * (1.0L / divisor));
    std::fesetround(saved);
    return n;
}

QStringList estimateLines(qint64 total)
{
    QStringList lines;
    lines << QStringLiteral("W sumie do wysłania: %1kb").arg(roundedQuotient(total, 1000));
    const std::pair<const char *, int> modems[] = {{"56,400", 7050}, {"33,600", 4200}, {"28,800", 3600}, {"14,400", 1800}};
    for (const auto &[name, bytesPerSecond] : modems)
        lines << QStringLiteral("Czas przesyłania dla modemu %1 ok.: %2s")
                     .arg(QString::fromLatin1(name))
                     .arg(roundedQuotient(total, bytesPerSecond));
    return lines;
}

int imageForFile(const QString &path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QStringLiteral(".html")) || lower.endsWith(QStringLiteral(".htm")))
        return 1;
    if (lower.endsWith(QStringLiteral(".gif")) || lower.endsWith(QStringLiteral(".jpg")))
        return 2;
    if (lower.endsWith(QStringLiteral(".mid")))
        return 3;
    if (lower.endsWith(QStringLiteral(".wav")))
        return 4;
    return 0;
}

QString normalizedTargetFolder(const QString &folder)
{
    QString f = folder.isEmpty() ? QStringLiteral(".") : folder;
    return f.replace(u'\\', u'/');
}

TargetFolder targetFolder(const QString &typed)
{
    TargetFolder t;
    const QString folder = normalizedTargetFolder(typed);
    t.fromRoot = folder.startsWith(u'/');
    Token(folder, u'/', t.pieces);
    if (t.pieces == QStringList{QStringLiteral(".")})
        return t; // the login folder itself
    for (const QString &piece : std::as_const(t.pieces))
        if (piece == u"." || piece == u"..")
            t.problem = QStringLiteral("Folder \"%1\" na serwerze nie może zawierać części \"%2\"!").arg(typed, piece);
    return t;
}

QString firstUnsendableName(const QStringList &names)
{
    for (const QString &name : names)
        if (name.contains(u'\r') || name.contains(u'\n') || name.contains(QChar(0)))
            return name;
    return {};
}

QString publishedText(const QString &folder)
{
    QString text = QStringLiteral("Wszystkie składniki publikacji zostały prawidłowo przesłane na serwer!");
    if (!folder.isEmpty())
        text += QStringLiteral("\nFolder na serwerze: %1").arg(folder);
    return text;
}

QString loginFailureText(int replyCode, const QString &server, const QString &user)
{
    switch (replyCode) {
    case 221: return QStringLiteral("Serwer \"%1\" nie może zostać znaleziony!").arg(server);
    case 530: return QStringLiteral("Użytkownik \"%1\" nie ma prawa dostępu!").arg(user);
    default: return QStringLiteral("Błąd przy próbie połączenia z \"%1\"!").arg(server);
    }
}

namespace {
const QString CertificatesSection = QStringLiteral("Certyfikaty");
}

QString trustedFingerprint(const Registry &registry, const QString &server)
{
    return registry.readText(Hive::CurrentUser, SettingsRootKey, CertificatesSection, server.trimmed().toLower(), {});
}

void rememberTrustedFingerprint(Registry &registry, const QString &server, const QString &fingerprint)
{
    registry.writeText(Hive::CurrentUser, SettingsRootKey, CertificatesSection, server.trimmed().toLower(), fingerprint);
}

namespace {
const QString RevisionsSection = QStringLiteral("Publikacje");

QString revisionKey(const QString &server, const QString &folder)
{
    const QByteArray place = (server.trimmed().toLower() + u'\n' + normalizedTargetFolder(folder)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(place, QCryptographicHash::Sha1).toHex());
}
} // namespace

QString knownRevision(const Registry &registry, const QString &server, const QString &folder)
{
    return registry.readText(Hive::CurrentUser, SettingsRootKey, RevisionsSection, revisionKey(server, folder), {});
}

void rememberRevision(Registry &registry, const QString &server, const QString &folder, const QString &revision)
{
    registry.writeText(Hive::CurrentUser, SettingsRootKey, RevisionsSection, revisionKey(server, folder), revision);
}

namespace {
const QString ProfileSection = QStringLiteral("Profile");
const QString PasswordName = QStringLiteral("Haslo");
}

QString storedPassword(const Registry &registry, PasswordStore *keyring, const QString &server, const QString &user,
                       bool *fromKeyring)
{
    const QString inFile = registry.readText(Hive::CurrentUser, SettingsRootKey, ProfileSection, PasswordName, {});
    QString inKeyring;
    if (inFile.isEmpty() && keyring && !server.isEmpty())
        keyring->read(passwordKey(server, user), inKeyring);
    if (fromKeyring)
        *fromKeyring = !inKeyring.isEmpty();
    return inFile.isEmpty() ? inKeyring : inFile;
}

PasswordKept keepPassword(Registry &registry, PasswordStore *keyring, const QString &server, const QString &user,
                          const QString &password, bool remember, bool inKeyring)
{
    const QString key = passwordKey(server, user);
    if (!remember || password.isEmpty()) {
        if (keyring && inKeyring && !server.isEmpty())
            keyring->remove(key);
        registry.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, PasswordName, {});
        return PasswordKept::Forgotten;
    }
    if (keyring && !server.isEmpty() && keyring->write(key, password) == PasswordStore::Result::Done) {
        registry.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, PasswordName, {});
        return PasswordKept::Keyring;
    }
    registry.writeText(Hive::CurrentUser, SettingsRootKey, ProfileSection, PasswordName, password);
    return PasswordKept::SettingsFile;
}

} // namespace zk
