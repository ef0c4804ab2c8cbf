// SPDX-License-Identifier: MIT
#include "ui/prometheus/prometheusexport.h"

#include "common/bytetext.h"
#include "engine/export/exportplan.h"
#include "engine/tables/tableschema.h"
#include "store/exportfolder.h"
#include "store/generatoryaml.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace {

std::vector<std::string> stdStrings(const QStringList &texts)
{
    std::vector<std::string> out;
    for (const QString &text : texts)
        out.push_back(text.toStdString());
    return out;
}

// A module name is a key in snmp.yml and the module parameter of a scrape.
bool validModuleName(const QString &name)
{
    static const QRegularExpression Name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return Name.match(name).hasMatch();
}

// "if_mib" for IF-MIB, the module of the first thing walked.
QString moduleNameFor(const QStringList &walk)
{
    std::vector<std::string> unknown;
    const std::vector<std::string> modules = modulesDefining(stdStrings(walk.mid(0, 1)), &unknown);
    QString name = modules.empty() ? QStringLiteral("norvane") : QString::fromStdString(modules.front()).toLower();
    name.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    return name.front().isDigit() ? QLatin1Char('_') + name : name;
}

// The exporter takes host[:port] and polls over UDP: a transport prefix goes.
QString targetFor(const QString &agent, QString *transport)
{
    static const QRegularExpression Prefix(QStringLiteral("^(udp6?|udpv6|udpipv6|tcp6?|tcpv6|tcpipv6):"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString text = agent.trimmed();
    const QRegularExpressionMatch match = Prefix.match(text);
    if (!match.hasMatch())
        return text;
    *transport = match.captured(1).toLower();
    return text.mid(match.capturedLength());
}

} // namespace

PrometheusExport::PrometheusExport(ExportSource source, const QueryRequest &agent, QObject *parent)
    : QObject(parent), m_source(std::move(source))
{
    std::vector<std::vector<uint32_t>> oids;
    for (const QString &oid : m_source.oids)
        if (std::vector<uint32_t> ids = parseOidText(oid.toStdString()); !ids.empty())
            oids.push_back(std::move(ids));
    for (const std::string &name : walkNamesFor(oids))
        m_walk << QString::fromStdString(name);
    m_settings.moduleName = moduleNameFor(m_walk);
    m_settings.timeoutMs = agent.transport.timeOut;
    m_settings.retries = agent.transport.retries;
    m_settings.community = agent.community;
    if (agent.security) {
        const AgentSecurity &security = *agent.security;
        m_settings.version = 3;
        m_settings.userName = textFromBytes(QByteArray::fromStdString(security.userName));
        m_settings.level = security.level;
        m_settings.auth = security.auth;
        m_settings.priv = security.priv;
        m_settings.context = textFromBytes(QByteArray::fromStdString(security.context));
        m_authPassphrase = security.authPassphrase.copy();
        m_privPassphrase = security.privPassphrase.copy();
    } else {
        m_settings.version = agent.transport.version == SnmpVersion::V1 ? 1 : 2;
    }
    const QString target = targetFor(agent.agent, &m_agentTransport);
    if (!target.isEmpty())
        m_settings.targets << target;
    m_settings.folder = QDir::home().filePath(QStringLiteral("prometheus-snmp/") + m_settings.moduleName);
    m_timeLimit.setSingleShot(true);
    m_timeLimit.setInterval(GeneratorTimeLimitMs);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        appendOutput(tr("The generator ran longer than %1 minutes and was stopped.\n").arg(GeneratorTimeLimitMs / 60000));
        stopGenerator();
    });
    propose();
}

PrometheusExport::~PrometheusExport()
{
    stopGenerator();
}

void PrometheusExport::setWalk(const QStringList &walk)
{
    QStringList names;
    for (const QString &name : walk)
        if (!name.trimmed().isEmpty() && !names.contains(name.trimmed()))
            names << name.trimmed();
    if (names == m_walk)
        return;
    m_walk = names;
    propose();
}

void PrometheusExport::propose()
{
    const ExportProposal proposal = proposeFor(stdStrings(m_walk), m_refusedLookups);
    m_lookups = proposal.lookups;
    m_counter64 = proposal.counter64;
    m_overrides.clear();
    for (PrometheusOverride override : proposal.overrides) {
        if (std::find(m_refusedOverrides.begin(), m_refusedOverrides.end(), override.object) != m_refusedOverrides.end())
            continue;
        const auto chosen = std::find_if(m_chosenTypes.begin(), m_chosenTypes.end(),
                                         [&](const PrometheusOverride &o) { return o.object == override.object; });
        if (chosen != m_chosenTypes.end())
            override.type = chosen->type;
        m_overrides.push_back(std::move(override));
    }
    refreshModules();
    emit proposalChanged();
    emit changed();
}

void PrometheusExport::refreshModules()
{
    std::vector<std::string> names = stdStrings(m_walk);
    for (const PrometheusLookup &lookup : m_lookups) {
        names.insert(names.end(), lookup.sourceIndexes.begin(), lookup.sourceIndexes.end());
        names.push_back(lookup.lookup);
    }
    std::vector<std::string> unknown;
    m_modules = mibModuleFiles(modulesDefining(names, &unknown));
    m_unknownNames.clear();
    for (const std::string &name : unknown)
        m_unknownNames << QString::fromStdString(name);
}

void PrometheusExport::removeLookup(int index)
{
    if (index < 0 || size_t(index) >= m_lookups.size())
        return;
    m_refusedLookups.push_back(m_lookups[size_t(index)]);
    propose();
}

void PrometheusExport::setOverrideType(int index, const QString &type)
{
    if (index < 0 || size_t(index) >= m_overrides.size() || m_overrides[size_t(index)].type == type.toStdString())
        return;
    PrometheusOverride &override = m_overrides[size_t(index)];
    override.type = type.toStdString();
    std::erase_if(m_chosenTypes, [&](const PrometheusOverride &o) { return o.object == override.object; });
    m_chosenTypes.push_back(override);
    emit changed();
}

void PrometheusExport::removeOverride(int index)
{
    if (index < 0 || size_t(index) >= m_overrides.size())
        return;
    m_refusedOverrides.push_back(m_overrides[size_t(index)].object);
    m_overrides.erase(m_overrides.begin() + index);
    emit proposalChanged();
    emit changed();
}

void PrometheusExport::setSettings(const PrometheusExportSettings &settings)
{
    m_settings = settings;
    emit changed();
}

void PrometheusExport::setPassphrases(Secret auth, Secret priv)
{
    m_authPassphrase = std::move(auth);
    m_privPassphrase = std::move(priv);
    emit changed();
}

QStringList PrometheusExport::errors() const
{
    QStringList errors;
    if (!validModuleName(m_settings.moduleName))
        errors << tr("The module name takes letters, digits and \"_\", and does not start with a digit.");
    if (m_walk.isEmpty())
        errors << tr("There is nothing to walk.");
    if (m_settings.folder.trimmed().isEmpty())
        errors << tr("No folder is chosen for the files.");
    const auto unwritable = [](const QString &text) { return !yamlCanHold(bytesFromText(text).toStdString()); };
    if (m_settings.version != 3 && unwritable(m_settings.community))
        errors << tr("The community holds bytes that are no UTF-8 text; the exporter's files cannot carry it.");
    if (m_settings.version == 3 && (unwritable(m_settings.userName) || unwritable(m_settings.context)))
        errors << tr("The user or context name holds bytes that are no UTF-8 text; the exporter's files cannot carry it.");
    return errors;
}

QStringList PrometheusExport::warnings() const
{
    QStringList warnings;
    for (const QString &name : m_unknownNames)
        warnings << tr("No loaded MIB module defines %1: the generator will not find it.").arg(name);
    for (const std::string &module : m_modules.missing)
        warnings << tr("No file of the module %1 is known to copy.").arg(QString::fromStdString(module));
    if (m_counter64 && m_settings.version == 1)
        warnings << tr("SNMPv1 carries no Counter64: the 64-bit counters walked would stay empty. Choose version 2c.");
    if (m_agentTransport.startsWith(QLatin1String("tcp")))
        warnings << tr("The agent is reached over TCP here; the exporter polls over UDP.");
    if (m_settings.version == 3 && m_settings.level != SecurityLevel::NoAuthNoPriv) {
        if (!m_settings.writePassphrases)
            warnings << tr("Placeholders stand for the passphrases: fill them into generator.yml before you generate.");
        else
            warnings << tr("generator.yml and the snmp.yml made from it hold the passphrases in plain text. "
                           "Both are written readable by you only; keep any copy so.");
        const bool missing = m_authPassphrase.empty()
            || (m_settings.level == SecurityLevel::AuthPriv && m_privPassphrase.empty());
        if (m_settings.writePassphrases && missing)
            warnings << tr("A passphrase to be written is empty: type it on the Agent page.");
    }
    return warnings;
}

namespace {

GeneratorModule generatorModule(const QStringList &walk, const std::vector<PrometheusLookup> &lookups,
                                const std::vector<PrometheusOverride> &overrides, const PrometheusExportSettings &s)
{
    GeneratorModule module;
    module.name = s.moduleName.toStdString();
    module.walk = stdStrings(walk);
    module.lookups = lookups;
    module.overrides = overrides;
    module.version = s.version;
    module.maxRepetitions = s.maxRepetitions;
    module.timeoutMs = s.timeoutMs;
    module.retries = s.retries;
    module.community = bytesFromText(s.community).toStdString();
    module.userName = bytesFromText(s.userName).toStdString();
    module.level = s.level;
    module.auth = s.auth;
    module.priv = s.priv;
    module.context = bytesFromText(s.context).toStdString();
    return module;
}

} // namespace

QString PrometheusExport::generatorPreview() const
{
    const GeneratorModule module = generatorModule(m_walk, m_lookups, m_overrides, m_settings);
    const PassphraseText shown = m_settings.writePassphrases ? PassphraseText::Masked : PassphraseText::Placeholder;
    return QString::fromStdString(generatorYaml(module, shown, MibFolder));
}

QString PrometheusExport::scrapeConfig() const
{
    ScrapeJob job;
    job.jobName = "snmp_" + m_settings.moduleName.toStdString();
    job.module = m_settings.moduleName.toStdString();
    job.targets = stdStrings(m_settings.targets);
    job.exporterAddress = m_settings.exporterAddress.toStdString();
    return QString::fromStdString(scrapeConfigYaml(job));
}

StoreError PrometheusExport::writeFiles()
{
    const StoreError failure = write();
    appendOutput((failure ? failure.message()
                          : tr("Written: %1%2").arg(QDir(m_settings.folder).filePath(QLatin1String(GeneratorFile)),
                                                    m_settings.copyMibs ? tr(" and %n module file(s) in %1", nullptr, m_copiedFiles)
                                                                              .arg(QLatin1String(MibFolder))
                                                                        : QString()))
                 + u'\n');
    return failure;
}

StoreError PrometheusExport::write()
{
    if (const QStringList problems = errors(); !problems.isEmpty())
        return StoreError::message(problems.join(u'\n'));
    GeneratorModule module = generatorModule(m_walk, m_lookups, m_overrides, m_settings);
    const bool secrets = m_settings.writePassphrases;
    if (secrets) {
        module.authPassphrase = m_authPassphrase.copy();
        module.privPassphrase = m_privPassphrase.copy();
    }
    // Held as a Secret, so that the text with the passphrases is wiped.
    const Secret text(generatorYaml(module, secrets ? PassphraseText::Written : PassphraseText::Placeholder, MibFolder));
    if (StoreError failure = writePrivateFile(m_settings.folder, QLatin1String(GeneratorFile), text.bytes()))
        return failure;
    if (!m_settings.copyMibs)
        return {};
    std::vector<ModuleFile> files;
    for (const MibModuleFile &file : m_modules.found)
        files.push_back({file.module, file.file});
    QStringList copied;
    const StoreError failure = copyModuleFiles(m_settings.folder, QLatin1String(MibFolder), files, &copied);
    m_copiedFiles = int(copied.size());
    return failure;
}

QString PrometheusExport::generatorPath()
{
    return QStandardPaths::findExecutable(QLatin1String(GeneratorProgram));
}

bool PrometheusExport::runGenerator()
{
    if (generatorRunning())
        return false;
    const QString program = generatorPath();
    if (program.isEmpty()) {
        appendOutput(tr("%1 is not installed (Debian: apt install prometheus-snmp-exporter).\n")
                         .arg(QLatin1String(GeneratorProgram)));
        return false;
    }
    if (writeFiles())
        return false;
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program);
    const QDir folder(m_settings.folder);
    m_process->setArguments({QStringLiteral("--fail-on-parse-errors"), QStringLiteral("generate"),
                             QStringLiteral("--output-path"), folder.filePath(QLatin1String(SnmpFile))});
    m_process->setWorkingDirectory(folder.absolutePath());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (m_settings.copyMibs)
        environment.insert(QStringLiteral("MIBDIRS"), folder.absoluteFilePath(QLatin1String(MibFolder)));
    m_process->setProcessEnvironment(environment);
    connect(m_process.get(), &QProcess::readyRead, this,
            [this] { appendOutput(QString::fromUtf8(m_process->readAll())); });
    connect(m_process.get(), &QProcess::finished, this, &PrometheusExport::generatorEnded);
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            appendOutput(m_process->errorString() + u'\n');
            m_timeLimit.stop();
            emit generatorFinished(false);
        }
    });
    appendOutput(QStringLiteral("$ MIBDIRS=%1 %2 --fail-on-parse-errors generate\n")
                     .arg(m_settings.copyMibs ? QLatin1String(MibFolder) : QLatin1String("(default)"),
                          QLatin1String(GeneratorProgram)));
    m_process->start();
    m_timeLimit.start();
    return true;
}

void PrometheusExport::generatorEnded(int exitCode, QProcess::ExitStatus status)
{
    m_timeLimit.stop();
    appendOutput(QString::fromUtf8(m_process->readAll()));
    const bool ok = status == QProcess::NormalExit && exitCode == 0;
    const QString snmpYml = QDir(m_settings.folder).filePath(QLatin1String(SnmpFile));
    if (ok && m_settings.writePassphrases)
        QFile::setPermissions(snmpYml, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    appendOutput(ok ? tr("Written: %1\n").arg(snmpYml)
                    : tr("The generator failed (exit code %1); snmp.yml is not to be used.\n").arg(exitCode));
    emit generatorFinished(ok);
}

void PrometheusExport::stopGenerator()
{
    if (!generatorRunning())
        return;
    m_process->kill();
    m_process->waitForFinished(3000);
}

void PrometheusExport::appendOutput(const QString &text)
{
    if (text.isEmpty() || m_output.size() >= MaxOutputBytes)
        return;
    m_output += text.left(MaxOutputBytes - m_output.size());
    emit outputChanged();
}
