// SPDX-License-Identifier: MIT
#include "store/generatoryaml.h"

#include <QByteArrayView>
#include <QUtf8StringView>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace {

// YAML 1.1 (the generator's and Prometheus's parser) reads these plain
// words as booleans or null, not as names.
bool isYamlWord(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(uchar(c))); });
    constexpr std::string_view Words[] = {"y", "n", "yes", "no", "true", "false", "on", "off", "null", "~"};
    return std::find(std::begin(Words), std::end(Words), lower) != std::end(Words);
}

// A MIB name or a dotted OID may go unquoted; anything else is quoted.
bool isPlainName(std::string_view text)
{
    if (text.empty() || isYamlWord(text))
        return false;
    const bool name = std::isalpha(uchar(text.front()))
        && std::all_of(text.begin(), text.end(), [](char c) { return std::isalnum(uchar(c)) || c == '-' || c == '_'; });
    const bool oid = std::isdigit(uchar(text.front())) && std::isdigit(uchar(text.back()))
        && std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(uchar(c)) || c == '.'; });
    return name || oid;
}

// Appends text as a double-quoted scalar, in place: no temporary copy of a
// passphrase is left behind in freed memory. What YAML would not read back
// as it stands is escaped: control characters (C1 ones too, in their UTF-8
// form) and the characters it takes for line breaks.
void appendQuoted(std::string &out, std::string_view text)
{
    const auto at = [&](size_t i) { return i < text.size() ? uchar(text[i]) : 0; };
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const uchar byte = at(i);
        char escape[8];
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += char(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else if (byte == 0xC2 && at(i + 1) >= 0x80 && at(i + 1) <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", at(++i));
            out += escape;
        } else if (byte == 0xE2 && at(i + 1) == 0x80 && (at(i + 2) == 0xA8 || at(i + 2) == 0xA9)) {
            out += at(i + 2) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += char(byte);
        }
    }
    out += '"';
}

void appendName(std::string &out, std::string_view text)
{
    if (isPlainName(text))
        out += text;
    else
        appendQuoted(out, text);
}

void appendSecret(std::string &out, const Secret &secret, PassphraseText how, const char *placeholder)
{
    switch (how) {
    case PassphraseText::Written:
        appendQuoted(out, secret.bytes());
        break;
    case PassphraseText::Placeholder:
        appendQuoted(out, placeholder);
        break;
    case PassphraseText::Masked:
        appendQuoted(out, "********");
        break;
    }
}

// Enough room for the whole text, every byte of every string escaped (four
// bytes at most) and each item's fixed text: appending never moves the
// text, passphrases and all, to a new buffer, leaving a copy behind.
size_t roomFor(const GeneratorModule &module)
{
    size_t strings = module.name.size() + module.community.size() + module.userName.size() + module.context.size()
        + module.authPassphrase.size() + module.privPassphrase.size();
    size_t items = module.walk.size() + module.lookups.size() + module.overrides.size();
    for (const std::string &name : module.walk)
        strings += name.size();
    for (const PrometheusLookup &lookup : module.lookups) {
        strings += lookup.lookup.size();
        items += lookup.sourceIndexes.size();
        for (const std::string &index : lookup.sourceIndexes)
            strings += index.size();
    }
    for (const PrometheusOverride &override : module.overrides)
        strings += override.object.size() + override.type.size();
    return 4096 + 4 * strings + 64 * items;
}

std::string duration(int ms)
{
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + "s" : std::to_string(ms) + "ms";
}

} // namespace

const char *generatorAuthName(AuthProtocol auth)
{
    constexpr const char *Names[] = {"MD5", "SHA", "SHA224", "SHA256", "SHA384", "SHA512"};
    return Names[int(auth) - 1];
}

const char *generatorPrivName(PrivProtocol priv)
{
    // Net-SNMP's AES-192/256 extend the key as gosnmp's AES192/256 do; the
    // -C variants are gosnmp's AES192C/256C.
    constexpr const char *Names[] = {"DES", "AES", "AES192", "AES256", "AES192C", "AES256C"};
    return Names[int(priv) - 1];
}

bool yamlCanHold(std::string_view text)
{
    return QUtf8StringView(text.data(), qsizetype(text.size())).isValidUtf8();
}

std::string generatorYaml(const GeneratorModule &module, PassphraseText passphrases, std::string_view mibFolder)
{
    std::string out;
    out.reserve(roomFor(module));
    out += "# In the format of prometheus-snmp-generator 0.21 (Debian 12).\n"
           "# snmp.yml is generated beside this file with\n"
           "#   MIBDIRS=";
    out += mibFolder;
    out += " prometheus-snmp-generator \\\n"
           "#     --fail-on-parse-errors generate\n"
           "modules:\n  ";
    appendName(out, module.name);
    out += ":\n    walk:\n";
    for (const std::string &name : module.walk) {
        out += "      - ";
        appendName(out, name);
        out += '\n';
    }
    out += "    version: " + std::to_string(module.version) + '\n';
    out += "    max_repetitions: " + std::to_string(module.maxRepetitions) + '\n';
    out += "    retries: " + std::to_string(module.retries) + '\n';
    out += "    timeout: " + duration(module.timeoutMs) + '\n';
    out += "    auth:\n";
    if (module.version != 3) {
        out += "      community: ";
        appendQuoted(out, module.community);
        out += '\n';
    } else {
        out += "      username: ";
        appendQuoted(out, module.userName);
        out += "\n      security_level: ";
        out += usmnames::levelName(module.level);
        out += '\n';
        if (module.level != SecurityLevel::NoAuthNoPriv) {
            out += "      auth_protocol: ";
            out += generatorAuthName(module.auth);
            out += "\n      password: ";
            appendSecret(out, module.authPassphrase, passphrases, "<the authentication passphrase>");
            out += '\n';
        }
        if (module.level == SecurityLevel::AuthPriv) {
            out += "      priv_protocol: ";
            out += generatorPrivName(module.priv);
            out += "\n      priv_password: ";
            appendSecret(out, module.privPassphrase, passphrases, "<the privacy passphrase>");
            out += '\n';
        }
        if (!module.context.empty()) {
            out += "      context_name: ";
            appendQuoted(out, module.context);
            out += '\n';
        }
    }
    if (!module.lookups.empty()) {
        out += "    lookups:\n";
        for (const PrometheusLookup &lookup : module.lookups) {
            out += "      - source_indexes: [";
            for (size_t i = 0; i < lookup.sourceIndexes.size(); ++i) {
                out += i ? ", " : "";
                appendName(out, lookup.sourceIndexes[i]);
            }
            out += "]\n        lookup: ";
            appendName(out, lookup.lookup);
            out += '\n';
        }
    }
    // A key twice in one mapping is an error to the generator's parser.
    std::set<std::string> overridden;
    for (const PrometheusOverride &override : module.overrides) {
        if (!overridden.insert(override.object).second)
            continue;
        if (overridden.size() == 1)
            out += "    overrides:\n";
        out += "      ";
        appendName(out, override.object);
        out += ":\n";
        if (override.type == prometheus::IgnoreOverride) {
            out += "        ignore: true\n";
        } else {
            out += "        type: ";
            appendName(out, override.type);
            out += '\n';
        }
    }
    return out;
}

std::string scrapeConfigYaml(const ScrapeJob &job)
{
    std::string out = "scrape_configs:\n  - job_name: ";
    appendQuoted(out, job.jobName);
    out += "\n    static_configs:\n      - targets:\n";
    for (const std::string &target : job.targets) {
        out += "          - ";
        appendQuoted(out, target);
        out += '\n';
    }
    out += "    metrics_path: /snmp\n"
           "    params:\n"
           "      module: [";
    appendQuoted(out, job.module);
    out += "]\n"
           "    relabel_configs:\n"
           "      - source_labels: [__address__]\n"
           "        target_label: __param_target\n"
           "      - source_labels: [__param_target]\n"
           "        target_label: instance\n"
           "      - target_label: __address__\n"
           "        replacement: ";
    appendQuoted(out, job.exporterAddress);
    out += "  # the SNMP exporter\n";
    return out;
}
