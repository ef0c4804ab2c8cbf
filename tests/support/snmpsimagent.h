// SPDX-License-Identifier: MIT
#pragma once

// Debian's snmpsim serving recordings of real devices: an agent written in
// Python on pysnmp, not by Net-SNMP. snmpsimd runs on a free 127.0.0.1 UDP
// port with data and cache folders of its own in a temporary folder, as
// nobody when the tests run as root; it is stopped when the object goes.
// Each recording answers to the community it is given here.
//
//   SnmpsimAgent agent;
//   QVERIFY(agent.start({{"linux", SnmpsimAgent::example("recorded/linux-full-walk.snmprec.gz")}}));

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class SnmpsimAgent
{
public:
    SnmpsimAgent() = default;
    ~SnmpsimAgent();
    SnmpsimAgent(const SnmpsimAgent &) = delete;
    SnmpsimAgent &operator=(const SnmpsimAgent &) = delete;

    // A recording the package ships, by its path under examples/data.
    static QString example(const QString &relativePath);

    // More snmpsimd options (its SNMPv3 users: --v3-user=... and the rest);
    // before start(). Over SNMPv3 the context names the recording.
    void addArguments(const QStringList &arguments) { m_extraArguments += arguments; }

    // community -> recording (.snmprec or .snmpwalk, gzipped or not). Waits (up to about
    // 30 s) until every community answers; false when snmpsimd does not.
    bool start(const QMap<QString, QString> &recordings);
    QString address() const; // "127.0.0.1:PORT"
    QString log() const; // what snmpsimd wrote to its standard streams

private:
    bool launch(quint16 port, const QStringList &communities);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QStringList m_extraArguments;
};
