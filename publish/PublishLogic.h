#pragma once

#include <QString>
#include <QStringList>

namespace zk {

class Registry;
class PasswordStore;

// The size of the file at `path` in bytes; -1 when there is no such file.
qint64 GetFileSize(const QString &path);

// Splits `text` at `separator` into `list`; the first empty piece ends the
// list (so "/a/b" gives nothing and "a//b" gives "a").
void Token(QString text, QChar separator, QStringList &list);

// The folder the user named on the server: from the server's root when it
// starts with "/", else from the login folder; empty pieces ("//", a
// trailing "/") count as one separator; "." and ".." inside a path are
// refused (`problem`), since where they lead is the server's guess.
struct TargetFolder {
    bool fromRoot = false;
    QStringList pieces;
    QString problem; // Polish, for the user; "" when the folder can be used
};
TargetFolder targetFolder(const QString &typed);

// Whole-number share of value / divisor, an exact half going to the even side.
qint64 roundedQuotient(qint64 value, long double divisor);

// The information lines of the publish dialog's tree for a total in bytes.
QStringList estimateLines(qint64 total);

// The tree image of a file by its extension: 1 page, 2 picture, 3 MIDI, 4 WAV, 0 other.
int imageForFile(const QString &path);

// The folder field as the run uses it: "." when empty, "\" turned into "/".
QString normalizedTargetFolder(const QString &folder);

// The first of `names` that holds a character no FTP command may carry (CR,
// LF, NUL), or "" when all can be sent.
QString firstUnsendableName(const QStringList &names);

// The message after a run that sent everything; `folder` as the server
// names it ("" when it would not say).
QString publishedText(const QString &folder);

// The message for a failed login, chosen by the last reply code.
QString loginFailureText(int replyCode, const QString &server, const QString &user);

// Certificates the user trusted although they could not be verified: their
// SHA-256 fingerprints, one per server (as typed, with its port).
QString trustedFingerprint(const Registry &registry, const QString &server);
void rememberTrustedFingerprint(Registry &registry, const QString &server, const QString &fingerprint);

// The revision of the record this computer last wrote on `server` in `folder`
// (as typed), so that a record written from elsewhere is noticed.
QString knownRevision(const Registry &registry, const QString &server, const QString &folder);
void rememberRevision(Registry &registry, const QString &server, const QString &folder, const QString &revision);

// The profile's "Polaczenie" value: "FTPS" (FTP over TLS), "FTP" or "SFTP".
inline const QString ConnectionTls = QStringLiteral("FTPS");
inline const QString ConnectionPlain = QStringLiteral("FTP");
inline const QString ConnectionSftp = QStringLiteral("SFTP");
inline QString connectionName(bool sftp, bool tls)
{
    return sftp ? ConnectionSftp : tls ? ConnectionTls : ConnectionPlain;
}

// The profile's password: the one in the settings file (kept there before
// the keyring, or where no keyring answers), else the keyring's.
// `fromKeyring` tells where it came from.
QString storedPassword(const Registry &registry, PasswordStore *keyring, const QString &server, const QString &user,
                       bool *fromKeyring = nullptr);

enum class PasswordKept { Keyring, SettingsFile, Forgotten };
// Keeps the password as the user chose: in the keyring, the settings
// file's copy then emptied; in the settings file (0600) where no keyring
// answers; or nowhere when it is not to be remembered (removed from the
// keyring only when `inKeyring` says it may be there: the keyring is not
// woken for nothing).
PasswordKept keepPassword(Registry &registry, PasswordStore *keyring, const QString &server, const QString &user,
                          const QString &password, bool remember, bool inKeyring);

} // namespace zk
