#pragma once

#include <QString>

namespace zk {

// Where the publishing password is kept outside the settings file: the
// desktop's keyring. Every call ends within its own deadline.
class PasswordStore {
public:
    enum class Result { Done, NotFound, NoKeyring };
    virtual ~PasswordStore() = default;
    virtual Result read(const QString &key, QString &password) = 0;
    virtual Result write(const QString &key, const QString &password) = 0;
    virtual Result remove(const QString &key) = 0;
};

// The key of a server's password: "ftp://user@server".
QString passwordKey(const QString &server, const QString &user);

// The keyring through QtKeychain: the Secret Service (GNOME Keyring,
// KWallet) on Linux, the platform's store elsewhere. A keyring that does
// not answer within `deadlineMs` counts as none.
class KeyringPasswordStore : public PasswordStore {
public:
    explicit KeyringPasswordStore(int deadlineMs = 5000) : m_deadlineMs(deadlineMs) {}
    Result read(const QString &key, QString &password) override;
    Result write(const QString &key, const QString &password) override;
    Result remove(const QString &key) override;

private:
    int m_deadlineMs;
};

} // namespace zk
