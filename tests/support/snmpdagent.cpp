// SPDX-License-Identifier: MIT
#include "tests/support/snmpdagent.h"

#include "tests/support/bercodec.h"
#include "tests/support/loopbackudp.h"

#include <QDeadlineTimer>
#include <QFile>

#include <poll.h>

SnmpdAgent::SnmpdAgent() = default;

SnmpdAgent::~SnmpdAgent()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000))
            kill();
    }
}

bool SnmpdAgent::start()
{
    if (!m_dir.isValid())
        return false;
    // The port may be taken between asking and binding; try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const quint16 port = freeLoopbackPort();
        if (port != 0 && launch(port)) {
            m_port = port;
            return true;
        }
    }
    return false;
}

bool SnmpdAgent::launch(quint16 port)
{
    const QString config = m_dir.filePath(QStringLiteral("snmpd.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(QStringLiteral("agentAddress udp:127.0.0.1:%1,tcp:127.0.0.1:%1\n"
                              "rocommunity %2 127.0.0.1\n"
                              "sysName %3\n"
                              "dontLogTCPWrappersConnects yes\n")
                   .arg(port)
                   .arg(QLatin1String(Community), QLatin1String(SysName))
                   .toUtf8());
    if (!m_writableSystem)
        file.write(QStringLiteral("sysLocation %1\nsysContact %2\n")
                       .arg(QLatin1String(SysLocation), QLatin1String(SysContact))
                       .toUtf8());
    // snmpd takes createUser from the main config as from its persistent one.
    file.write(QString(m_extraConfig).replace(QLatin1String("%PORT%"), QString::number(port)).toUtf8());
    file.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProgram(QStringLiteral("/usr/sbin/snmpd"));
    // -f: stay in the foreground as our child; -C: no system config files.
    // The address is in the config only: naming it twice makes snmpd bind it twice and fail.
    m_process->setArguments({QStringLiteral("-f"), QStringLiteral("-Lf"), m_dir.filePath(QStringLiteral("snmpd.log")),
                             QStringLiteral("-C"), QStringLiteral("-c"), config, QStringLiteral("-p"),
                             m_dir.filePath(QStringLiteral("snmpd.pid")),
                             QStringLiteral("--persistentDir=%1").arg(stateDir())});
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->start();
    if (!m_process->waitForStarted(5000))
        return false;

    m_port = port;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process->state() == QProcess::NotRunning)
            return false;
        // Until snmpd has bound its port a probe waits out its time (a
        // datagram to a closed port raises no error here): probe often.
        if (answers(20))
            return true;
    }
    kill();
    return false;
}

bool SnmpdAgent::answers(int waitMs) const
{
    return loopbackAgentAnswers(m_port, Community, waitMs);
}

// With our own codec, so a broken engine cannot hide a working agent (or the other way round).
bool loopbackAgentAnswers(quint16 port, const QByteArray &community, int waitMs)
{
    const UdpSocket socket;
    if (socket.fd() < 0)
        return false;
    ber::Message get;
    get.community = community;
    get.pduType = 0xA0;
    get.requestId = 4711;
    get.bindings.push_back({ber::parseOid("1.3.6.1.2.1.1.1.0"), 0x05, {}});
    const QByteArray datagram = ber::encodeMessage(get);
    const sockaddr_in agent = loopbackAddress(port);
    if (::sendto(socket.fd(), datagram.constData(), size_t(datagram.size()), 0,
                 reinterpret_cast<const sockaddr *>(&agent), sizeof(agent))
        < 0)
        return false;
    pollfd watched{socket.fd(), POLLIN, 0};
    if (::poll(&watched, 1, waitMs) <= 0)
        return false;
    QByteArray reply(65536, '\0');
    const ssize_t received = ::recv(socket.fd(), reply.data(), size_t(reply.size()), 0);
    if (received <= 0)
        return false;
    const auto message = ber::decodeMessage(reply.left(qsizetype(received)));
    return message && message->pduType == 0xA2 && message->requestId == get.requestId;
}

QString SnmpdAgent::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

quint16 SnmpdAgent::port() const
{
    return m_port;
}

bool SnmpdAgent::restart(bool newEngine)
{
    if (newEngine) {
        // At once: while it shuts down, snmpd answers what comes with genErr.
        kill();
        ++m_engines;
    } else if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate(); // snmpd saves its engine's state as it ends
        if (!m_process->waitForFinished(3000))
            kill();
    }
    return launch(m_port);
}

QString SnmpdAgent::stateDir() const
{
    // Apart from the config: snmpd writes its persistent snmpd.conf there.
    return m_dir.filePath(QStringLiteral("state%1").arg(m_engines));
}

void SnmpdAgent::kill()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
}

QString SnmpdAgent::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("snmpd.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
