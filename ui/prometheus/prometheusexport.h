// SPDX-License-Identifier: MIT
#pragma once

#include "common/agentproperties.h"
#include "common/prometheusmodule.h"
#include "common/secret.h"
#include "engine/mib/mibmodules.h"
#include "engine/query/queryrun.h"
#include "store/storeerror.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

// What an export starts from: the OIDs chosen (selected rows, a table's
// entry, a MIB node), dotted, and how the dialog names them.
struct ExportSource
{
    QString description;
    QStringList oids;
};

// What the export writes besides the objects: the module's name, how the
// exporter talks to the agent (from the agent's properties), and where the
// files go.
struct PrometheusExportSettings
{
    QString moduleName;
    int version = 2; // 1, 2 (2c) or 3
    int maxRepetitions = 25;
    int timeoutMs = 5000;
    int retries = 3;
    QString community;
    QString userName;
    SecurityLevel level = SecurityLevel::AuthPriv;
    AuthProtocol auth = AuthProtocol::SHA;
    PrivProtocol priv = PrivProtocol::AES;
    QString context;
    // The passphrases go into generator.yml (and so into snmp.yml) only
    // when the user says so; otherwise placeholders stand there.
    bool writePassphrases = false;
    QString folder;
    bool copyMibs = true;
    QStringList targets; // host[:port] as the exporter takes them
    QString exporterAddress = QStringLiteral("127.0.0.1:9116");
};

// The Export for Prometheus dialog's model: the walk, lookups and overrides
// proposed from the loaded MIBs and edited by the user, the generator.yml
// and the scrape job they make, the folder written with the MIB modules the
// generator needs, and the generator itself run on it as a child process
// (the window goes on meanwhile; it is stopped when it overruns
// GeneratorTimeLimitMs or the model goes).
class PrometheusExport final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *GeneratorFile = "generator.yml";
    static constexpr const char *SnmpFile = "snmp.yml";
    static constexpr const char *MibFolder = "mibs";
    static constexpr const char *GeneratorProgram = "prometheus-snmp-generator";
    static constexpr int GeneratorTimeLimitMs = 5 * 60 * 1000;
    static constexpr qsizetype MaxOutputBytes = 256 * 1024;

    // The agent's request says the version, community or SNMPv3 security and
    // the transport settings the export starts with.
    PrometheusExport(ExportSource source, const QueryRequest &agent, QObject *parent = nullptr);
    ~PrometheusExport() override;

    const QString &sourceDescription() const { return m_source.description; }

    const QStringList &walk() const { return m_walk; }
    // Proposes the lookups and overrides for the new walk, leaving out the
    // ones the user removed and keeping the types the user chose.
    void setWalk(const QStringList &walk);
    const std::vector<PrometheusLookup> &lookups() const { return m_lookups; }
    void removeLookup(int index);
    const std::vector<PrometheusOverride> &overrides() const { return m_overrides; }
    void setOverrideType(int index, const QString &type);
    void removeOverride(int index);

    const PrometheusExportSettings &settings() const { return m_settings; }
    void setSettings(const PrometheusExportSettings &settings);
    const Secret &authPassphrase() const { return m_authPassphrase; }
    const Secret &privPassphrase() const { return m_privPassphrase; }
    void setPassphrases(Secret auth, Secret priv);

    // What stops the files from being written; empty when nothing does.
    QStringList errors() const;
    // What the user should know before running the generator.
    QStringList warnings() const;
    // The modules the walk and the lookups come from, with their imports.
    const MibModuleFiles &modules() const { return m_modules; }

    // generator.yml as it will be written, the passphrases shown as stars.
    QString generatorPreview() const;
    QString scrapeConfig() const;

    // generator.yml (mode 0600) and, when asked, the MIB modules into the
    // folder; what was written, or the failure, goes into the output too.
    StoreError writeFiles();
    // The generator's path; empty when it is not installed.
    static QString generatorPath();
    // Writes the files and starts the generator on them; false with the
    // failure in the output when it could not start.
    bool runGenerator();
    bool generatorRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }
    void stopGenerator();
    // What was written and what the generator said, at most MaxOutputBytes of it.
    const QString &output() const { return m_output; }

signals:
    // The walk, the lookups or the overrides changed.
    void proposalChanged();
    // Anything changed: the previews are to be read again.
    void changed();
    void outputChanged();
    // ok: the generator exited 0 and snmp.yml is written.
    void generatorFinished(bool ok);

private:
    void propose();
    void refreshModules();
    StoreError write();
    void appendOutput(const QString &text);
    void generatorEnded(int exitCode, QProcess::ExitStatus status);

    ExportSource m_source;
    QStringList m_walk;
    std::vector<PrometheusLookup> m_lookups;
    std::vector<PrometheusLookup> m_refusedLookups;
    std::vector<PrometheusOverride> m_overrides;
    std::vector<std::string> m_refusedOverrides;
    std::vector<PrometheusOverride> m_chosenTypes;
    QStringList m_unknownNames;
    bool m_counter64 = false;
    MibModuleFiles m_modules;
    PrometheusExportSettings m_settings;
    Secret m_authPassphrase;
    Secret m_privPassphrase;
    QString m_agentTransport; // "tcp" for an agent reached over TCP
    int m_copiedFiles = 0;

    std::unique_ptr<QProcess> m_process;
    QTimer m_timeLimit;
    QString m_output;
};
