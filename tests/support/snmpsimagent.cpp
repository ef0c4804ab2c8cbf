// SPDX-License-Identifier: MIT
#include "tests/support/snmpsimagent.h"

#include "tests/support/loopbackudp.h"
#include "tests/support/snmpdagent.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <unistd.h>

SnmpsimAgent::~SnmpsimAgent()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

QString SnmpsimAgent::example(const QString &relativePath)
{
    return QStringLiteral("/usr/share/doc/snmpsim/examples/data/") + relativePath;
}

bool SnmpsimAgent::start(const QMap<QString, QString> &recordings)
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString cache = m_dir.filePath(QStringLiteral("cache"));
    if (!m_dir.isValid() || !QDir().mkpath(data) || !QDir().mkpath(cache))
        return false;
    // snmpsimd reads "<community>.snmprec" (or .snmpwalk, walk text) from its data folder.
    for (auto it = recordings.begin(); it != recordings.end(); ++it) {
        QProcess unpack;
        const bool walk = it.value().contains(QLatin1String(".snmpwalk"));
        unpack.setStandardOutputFile(data + QLatin1Char('/') + it.key()
                                     + (walk ? QStringLiteral(".snmpwalk") : QStringLiteral(".snmprec")));
        unpack.start(QStringLiteral("gzip"), {QStringLiteral("-dcf"), it.value()});
        if (!unpack.waitForFinished(30000) || unpack.exitCode() != 0)
            return false;
    }
    // As root it must drop to nobody, who then reads the data and writes the index.
    const QFile::Permissions readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(m_dir.path(), readable);
    QFile::setPermissions(data, readable);
    for (const QString &name : QDir(data).entryList(QDir::Files))
        QFile::setPermissions(data + QLatin1Char('/') + name, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(cache, readable | QFile::WriteGroup | QFile::WriteOther);

    for (int attempt = 0; attempt < 3; ++attempt) {
        const quint16 port = freeLoopbackPort();
        if (port != 0 && launch(port, recordings.keys()))
            return true;
    }
    return false;
}

bool SnmpsimAgent::launch(quint16 port, const QStringList &communities)
{
    m_process = std::make_unique<QProcess>();
    QStringList arguments{QStringLiteral("--data-dir=") + m_dir.filePath(QStringLiteral("data")),
                          QStringLiteral("--cache-dir=") + m_dir.filePath(QStringLiteral("cache")),
                          QStringLiteral("--agent-udpv4-endpoint=127.0.0.1:%1").arg(port),
                          // Its log of every binding costs a quarter of each answer's time;
                          // its errors still come on its standard streams.
                          QStringLiteral("--logging-method=null")};
    arguments += m_extraArguments;
    if (::getuid() == 0)
        arguments << QStringLiteral("--process-user=nobody") << QStringLiteral("--process-group=nogroup");
    m_process->setProgram(QStringLiteral("snmpsimd"));
    m_process->setArguments(arguments);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("snmpsimd.log")));
    m_process->start();
    if (!m_process->waitForStarted(5000))
        return false;

    m_port = port;
    // Python's start and the index of each recording take a few seconds.
    const QDeadlineTimer deadline(30000);
    for (const QString &community : communities) {
        while (!loopbackAgentAnswers(port, community.toUtf8(), 200)) {
            // Nothing listening makes the probe fail at once: pause, or return when it died.
            if (deadline.hasExpired() || m_process->waitForFinished(100)
                || m_process->state() == QProcess::NotRunning) {
                m_process->kill();
                m_process->waitForFinished(3000);
                return false;
            }
        }
    }
    return true;
}

QString SnmpsimAgent::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString SnmpsimAgent::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("snmpsimd.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
