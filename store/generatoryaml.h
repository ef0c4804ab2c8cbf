// SPDX-License-Identifier: MIT
#pragma once

// The configuration files of Prometheus's SNMP exporter as text: the
// generator's generator.yml in the format of the generator Debian 12 ships
// (snmp_exporter 0.21: version and auth inside the module), and the
// scrape_configs entry of prometheus.yml that polls agents through the
// exporter. Plain values in, text out; every text the user typed is written
// as a double-quoted YAML string, so that no community or name can break
// the file's structure.

#include "common/agentproperties.h"
#include "common/prometheusmodule.h"
#include "common/secret.h"

#include <string>
#include <string_view>
#include <vector>

struct GeneratorModule
{
    std::string name;
    std::vector<std::string> walk;
    std::vector<PrometheusLookup> lookups;
    std::vector<PrometheusOverride> overrides; // a second one for an object is left out
    int version = 2;                           // 1, 2 (2c) or 3
    int maxRepetitions = 25;
    int timeoutMs = 5000;
    int retries = 3;
    std::string community; // versions 1 and 2
    // Version 3.
    std::string userName;
    SecurityLevel level = SecurityLevel::AuthPriv;
    AuthProtocol auth = AuthProtocol::SHA;
    PrivProtocol priv = PrivProtocol::AES;
    std::string context;
    Secret authPassphrase;
    Secret privPassphrase;
};

// What stands where a passphrase goes: the passphrase itself (a file the
// user asked to hold it), a placeholder naming it (a file to fill in by
// hand), or stars (a preview on screen).
enum class PassphraseText { Written, Placeholder, Masked };

// The generator's names of the protocols: "SHA256", "AES256C".
const char *generatorAuthName(AuthProtocol auth);
const char *generatorPrivName(PrivProtocol priv);

// generator.yml with one module; the comment at its top tells how to run
// the generator with the MIB folder beside it. With Written the text holds
// passphrases: the caller wipes it when done.
std::string generatorYaml(const GeneratorModule &module, PassphraseText passphrases, std::string_view mibFolder);

// False for a text YAML cannot carry as it is (bytes that are no UTF-8).
bool yamlCanHold(std::string_view text);

struct ScrapeJob
{
    std::string jobName;
    std::string module;
    std::vector<std::string> targets; // the agents, host[:port]
    std::string exporterAddress;      // host:port of the exporter
};

// The scrape_configs entry: the exporter's /snmp path with the module as a
// parameter, each target relabelled into the target parameter and the
// instance label, the address replaced by the exporter's.
std::string scrapeConfigYaml(const ScrapeJob &job);
