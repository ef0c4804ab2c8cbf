// SPDX-License-Identifier: MIT
#pragma once

// Net-SNMP's own notification senders for the receiver's tests: snmptrap,
// snmpinform and the burst sender (tests/support/trapburst.cpp), each in a
// process of its own that reads no configuration of the machine's and keeps
// its state in a folder of the test's. A test waits for them with QTRY_*,
// so that the receiver (on the test's thread) answers informs meanwhile.
//
//   TrapSender sender;
//   QVERIFY(sender.start("snmpinform", {"-v2c", "-c", "public", ...}));
//   QTRY_VERIFY(sender.finished());
//   QCOMPARE(sender.exitCode(), 0);

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

class TrapSender
{
public:
    // The SNMPv3 user the tests set up on both sides; an engine ID for the sender.
    static constexpr const char *User = "nvtrap";
    static constexpr const char *AuthPassphrase = "nvTrapAuth-4r8e";
    static constexpr const char *PrivPassphrase = "nvTrapPriv-2k6m";
    static constexpr const char *EngineIdHex = "8000000001020304";

    TrapSender()
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SNMPCONFPATH"), m_dir.path());
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), m_dir.filePath(QStringLiteral("persist")));
        env.insert(QStringLiteral("MIBS"), QString()); // numeric OIDs only
        m_process.setProcessEnvironment(env);
    }
    ~TrapSender()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    bool start(const QString &program, const QStringList &arguments)
    {
        m_process.start(program, arguments);
        return m_process.waitForStarted(5000);
    }
    bool finished() const { return m_process.state() == QProcess::NotRunning; }
    int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    QString output() { return QString::fromLocal8Bit(m_process.readAll()); }

    // The SNMPv3 arguments of the test user, authPriv with SHA-256 and AES-256.
    static QStringList v3Arguments(const QString &authPassphrase = QLatin1String(AuthPassphrase))
    {
        return {QStringLiteral("-v3"), QStringLiteral("-u"), QLatin1String(User), QStringLiteral("-l"),
                QStringLiteral("authPriv"), QStringLiteral("-a"), QStringLiteral("SHA-256"), QStringLiteral("-A"),
                authPassphrase, QStringLiteral("-x"), QStringLiteral("AES-256"), QStringLiteral("-X"),
                QLatin1String(PrivPassphrase)};
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
