// SPDX-License-Identifier: MIT
#pragma once

// A real Net-SNMP snmpd for the tests: bound to a free 127.0.0.1 port, UDP and TCP,
// read-only community "tarnel" for SNMPv1 and SNMPv2c alike (rocommunity
// serves both), its own generated config, log, pid file and
// persistent state in a temporary folder (never the system's). It is killed
// when the object goes.
//
//   SnmpdAgent agent;
//   QVERIFY(agent.start());      // waits until it answers a Get
//   ... agent.address() is "127.0.0.1:PORT" ...

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class SnmpdAgent
{
public:
    static constexpr const char *Community = "tarnel";
    static constexpr const char *SysLocation = "Norvane test bench, loopback only";
    static constexpr const char *SysContact = "tests@localhost";
    static constexpr const char *SysName = "norvane-test-agent";

    SnmpdAgent();
    ~SnmpdAgent();
    SnmpdAgent(const SnmpdAgent &) = delete;
    SnmpdAgent &operator=(const SnmpdAgent &) = delete;

    // Lines added to the generated config (createUser, rouser, proxy...);
    // before start(). "%PORT%" in them becomes the agent's port.
    void addConfig(const QString &lines) { m_extraConfig += lines; }
    // sysLocation and sysContact left out of the config, where snmpd would
    // hold them read-only: a Set may change them. Before start().
    void writableSystem() { m_writableSystem = true; }

    // Starts snmpd and waits (up to about 10 s) until it answers; false when it does not.
    bool start();
    QString address() const; // "127.0.0.1:PORT"
    QString tcpAddress() const { return QStringLiteral("tcp:") + address(); }
    quint16 port() const;
    // SIGKILL now, for tests of an agent that goes away.
    void kill();
    // Stopped and started again on the same port and config; with a new
    // persistent folder it comes back as a new SNMP engine (another engine
    // ID, boots from 1), as an agent reinstalled or cloned does.
    bool restart(bool newEngine);

    // The agent's log so far, for failure messages.
    QString log() const;

private:
    bool launch(quint16 port);
    QString stateDir() const;
    bool answers(int waitMs) const;

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_extraConfig;
    bool m_writableSystem = false;
    int m_engines = 0; // persistent folders used so far: one per engine
};

// True when the agent on 127.0.0.1:port answers a Get of sysDescr.0 for this
// community within waitMs.
bool loopbackAgentAnswers(quint16 port, const QByteArray &community, int waitMs);
