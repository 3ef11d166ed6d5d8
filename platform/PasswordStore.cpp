#include "PasswordStore.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace zk {

namespace {

const QString KeyringService = QStringLiteral("Zentarek Light");

// Runs the job to its end or the deadline; a job left behind deletes itself.
PasswordStore::Result finish(QKeychain::Job *job, int deadlineMs)
{
    job->setAutoDelete(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec();
    if (!finished) {
        QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
        return PasswordStore::Result::NoKeyring;
    }
    job->deleteLater();
    switch (job->error()) {
    case QKeychain::NoError:
        return PasswordStore::Result::Done;
    case QKeychain::EntryNotFound:
        return PasswordStore::Result::NotFound;
    default:
        return PasswordStore::Result::NoKeyring;
    }
}

} // namespace

QString passwordKey(const QString &server, const QString &user)
{
    return QStringLiteral("ftp://%1@%2").arg(user, server.trimmed().toLower());
}

PasswordStore::Result KeyringPasswordStore::read(const QString &key, QString &password)
{
    auto *job = new QKeychain::ReadPasswordJob(KeyringService);
    job->setInsecureFallback(false); // never a plain file behind the user's back
    job->setKey(key);
    const Result r = finish(job, m_deadlineMs);
    if (r == Result::Done)
        password = job->textData();
    return r;
}

PasswordStore::Result KeyringPasswordStore::write(const QString &key, const QString &password)
{
    auto *job = new QKeychain::WritePasswordJob(KeyringService);
    job->setInsecureFallback(false);
    job->setKey(key);
    job->setTextData(password);
    return finish(job, m_deadlineMs);
}

PasswordStore::Result KeyringPasswordStore::remove(const QString &key)
{
    auto *job = new QKeychain::DeletePasswordJob(KeyringService);
    job->setInsecureFallback(false);
    job->setKey(key);
    return finish(job, m_deadlineMs);
}

} // namespace zk
