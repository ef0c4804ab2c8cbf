// SPDX-License-Identifier: MIT
#include "store/keyring.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace {

// Runs a QtKeychain job to its end; the job reports through the event loop.
Keyring::Result runJob(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    switch (job.error()) {
    case QKeychain::NoError:
        return {};
    case QKeychain::EntryNotFound:
        return {Keyring::Outcome::NotFound, {}};
    default:
        return {Keyring::Outcome::Failed, job.errorString()};
    }
}

} // namespace

Keyring::Result DesktopKeyring::read(const QString &key, Secret &secret)
{
    QKeychain::ReadPasswordJob job(QString::fromLatin1(Service));
    job.setKey(key);
    Result result = runJob(job);
    if (result.outcome == Outcome::Done) {
        QByteArray data = job.binaryData();
        secret = Secret(std::string(data.constData(), size_t(data.size())));
        data.fill('\0');
    }
    return result;
}

Keyring::Result DesktopKeyring::write(const QString &key, const Secret &secret)
{
    QKeychain::WritePasswordJob job(QString::fromLatin1(Service));
    job.setKey(key);
    QByteArray data(secret.bytes().data(), qsizetype(secret.size()));
    job.setBinaryData(data);
    data.fill('\0');
    return runJob(job);
}

Keyring::Result DesktopKeyring::remove(const QString &key)
{
    QKeychain::DeletePasswordJob job(QString::fromLatin1(Service));
    job.setKey(key);
    return runJob(job);
}

Keyring::Result MemoryKeyring::read(const QString &key, Secret &secret)
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end())
        return {Outcome::NotFound, {}};
    secret = it->second.copy();
    return {};
}

Keyring::Result MemoryKeyring::write(const QString &key, const Secret &secret)
{
    m_entries[key] = secret.copy();
    return {};
}

Keyring::Result MemoryKeyring::remove(const QString &key)
{
    m_entries.erase(key);
    return {};
}
