// SPDX-License-Identifier: MIT
#include "store/keyring.h"

#include <qt6keychain/keychain.h>

#include <QByteArray>

#include <utility>

namespace {

// Overwrites a buffer in place, so that every holder of it sees zeros: the
// job's copy is the same buffer as the one handed in or out, and detaching
// (as a non-const write would) would leave the job's copy as it was.
void wipeShared(const QByteArray &data)
{
    volatile char *p = const_cast<char *>(data.constData());
    for (qsizetype i = 0; i < data.size(); ++i)
        p[i] = 0;
}

// What a job holds of a secret: a read's answer, a write's data (`given`,
// the buffer the job was handed and shares).
void wipeJob(QKeychain::Job &job, const QByteArray &given)
{
    if (const auto *read = qobject_cast<const QKeychain::ReadPasswordJob *>(&job))
        wipeShared(read->binaryData());
    wipeShared(given);
}

// libsecret passes D-Bus's own words on when there is no bus to reach or no
// Secret Service on it; QtKeychain calls both OtherError.
bool saysNoService(const QString &text)
{
    static const char *const signs[] = {"org.freedesktop.secrets", "ServiceUnknown", "autolaunch", "Could not connect",
                                        "D-Bus", "DBus", "dbus"};
    for (const char *sign : signs) {
        if (text.contains(QLatin1String(sign)))
            return true;
    }
    return false;
}

Keyring::Result resultOf(const QKeychain::Job &job)
{
    using O = Keyring::Outcome;
    using F = Keyring::Failure;
    switch (job.error()) {
    case QKeychain::NoError:
        return {};
    case QKeychain::EntryNotFound:
        return {O::NotFound, F::None, {}};
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return {O::Failed, F::Locked, job.errorString()};
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return {O::Failed, F::NoService, job.errorString()};
    default:
        break;
    }
    const QString text = job.errorString();
    return {O::Failed, saysNoService(text) ? F::NoService : F::Other, text};
}

// One QtKeychain job from its start to its answer. Given up before, the job
// is left to run: it finishes on its own (deleting it under a pending
// libsecret call would have the call write into freed memory), then wipes
// and deletes itself. One that never finishes stays until the process ends.
class DesktopCall final : public Keyring::Call
{
public:
    DesktopCall(QKeychain::Job *job, QByteArray given, Keyring::Answer answer)
        : m_job(job), m_given(std::move(given)), m_answer(std::move(answer))
    {
        job->setAutoDelete(false);
        job->setInsecureFallback(false);
        m_connection = QObject::connect(job, &QKeychain::Job::finished, job, [this] { finished(); });
        job->start();
    }
    ~DesktopCall() override
    {
        if (!m_job)
            return;
        // Only this call's connection: QtKeychain runs its jobs one at a
        // time and waits for each one's finished() too.
        QObject::disconnect(m_connection);
        QKeychain::Job *job = m_job;
        QObject::connect(job, &QKeychain::Job::finished, job, [job, given = m_given] {
            wipeJob(*job, given);
            job->deleteLater();
        });
    }

private:
    void finished()
    {
        QObject::disconnect(m_connection);
        QKeychain::Job *job = std::exchange(m_job, nullptr);
        const Keyring::Result result = resultOf(*job);
        Secret secret;
        if (const auto *read = qobject_cast<const QKeychain::ReadPasswordJob *>(job);
            read && result.outcome == Keyring::Outcome::Done) {
            const QByteArray data = read->binaryData();
            secret = Secret(std::string(data.constData(), size_t(data.size())));
        }
        wipeJob(*job, m_given);
        job->deleteLater();
        // The answer may end this call.
        const Keyring::Answer answer = std::move(m_answer);
        answer(result, std::move(secret));
    }

    QKeychain::Job *m_job;
    QByteArray m_given;
    Keyring::Answer m_answer;
    QMetaObject::Connection m_connection;
};

} // namespace

std::unique_ptr<Keyring::Call> DesktopKeyring::read(const QString &key, Answer answer)
{
    auto *job = new QKeychain::ReadPasswordJob(QString::fromLatin1(Service));
    job->setKey(key);
    return std::make_unique<DesktopCall>(job, QByteArray(), std::move(answer));
}

std::unique_ptr<Keyring::Call> DesktopKeyring::write(const QString &key, const Secret &secret, Answer answer)
{
    auto *job = new QKeychain::WritePasswordJob(QString::fromLatin1(Service));
    job->setKey(key);
    // Shared with the job, so that wiping this wipes its copy.
    const QByteArray data(secret.bytes().data(), qsizetype(secret.size()));
    job->setBinaryData(data);
    return std::make_unique<DesktopCall>(job, data, std::move(answer));
}

std::unique_ptr<Keyring::Call> DesktopKeyring::remove(const QString &key, Answer answer)
{
    auto *job = new QKeychain::DeletePasswordJob(QString::fromLatin1(Service));
    job->setKey(key);
    return std::make_unique<DesktopCall>(job, QByteArray(), std::move(answer));
}
