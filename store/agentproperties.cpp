// SPDX-License-Identifier: MIT
#include "store/agentproperties.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"

#include <optional>

namespace {

QByteArray keyName(const QString &agent)
{
    QByteArray name;
    for (const char c : bytesFromText(agent)) {
        if (c == '%')
            name += "%25";
        else if (c == '\\')
            name += "%5C";
        else
            name += c;
    }
    return name;
}

QString agentText(const QByteArray &name)
{
    return textFromBytes(QByteArray(name).replace("%5C", "\\").replace("%5c", "\\").replace("%25", "%"));
}

std::optional<int32_t> readNumber(const HiveKey &key, const char *name)
{
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    unsigned char bytes[4] = {};
    uint32_t got = sizeof bytes;
    if (size > sizeof bytes || key.regQueryValue(name, &type, bytes, &got) != ERROR_SUCCESS)
        throwMessage(msg::GetDataFailed, name);
    if (type != REG_DWORD)
        throwMessage(msg::InvalidDataType, name);
    return int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

QString readText(const HiveKey &key, const char *name)
{
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    QByteArray bytes(qsizetype(size), '\0');
    uint32_t got = size;
    if (key.regQueryValue(name, &type, bytes.data(), &got) != ERROR_SUCCESS)
        throwMessage(msg::GetDataFailed, name);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throwMessage(msg::InvalidDataType, name);
    bytes.truncate(got);
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    return textFromBytes(bytes);
}

// Nothing when a number lies outside its list.
std::optional<AgentProperties> readAgent(const HiveKey &key)
{
    AgentProperties agent;
    const int32_t version = readNumber(key, "Version").value_or(0);
    if (version < 0 || version > 3)
        return std::nullopt;
    agent.version = AgentVersion(version);
    agent.userName = readText(key, "UserName");
    agent.context = readText(key, "Context");
    const auto level = readNumber(key, "SecurityLevel");
    const auto auth = readNumber(key, "AuthProtocol");
    const auto priv = readNumber(key, "PrivProtocol");
    if ((level && !usmnames::validLevel(*level)) || (auth && !usmnames::validAuth(*auth))
        || (priv && !usmnames::validPriv(*priv)))
        return std::nullopt;
    if (level)
        agent.level = SecurityLevel(*level);
    if (auth)
        agent.auth = AuthProtocol(*auth);
    if (priv)
        agent.priv = PrivProtocol(*priv);
    agent.rememberPassphrases = readNumber(key, "RememberPassphrases").value_or(0) != 0;
    return agent;
}

void writeNumber(HiveKey &key, const char *name, int32_t value)
{
    const auto v = uint32_t(value);
    const unsigned char bytes[4] = {uchar(v), uchar(v >> 8), uchar(v >> 16), uchar(v >> 24)};
    if (key.regSetValue(name, REG_DWORD, bytes, sizeof bytes) != ERROR_SUCCESS)
        throwMessage(msg::SetDataFailed, name);
}

void writeText(HiveKey &key, const char *name, const QString &text)
{
    QByteArray bytes = bytesFromText(text);
    bytes.append('\0');
    if (key.regSetValue(name, REG_SZ, bytes.constData(), uint32_t(bytes.size())) != ERROR_SUCCESS)
        throwMessage(msg::SetDataFailed, name);
}

} // namespace

AgentPropertiesMap loadAgentProperties(RegistryHive &hive, QString *message)
{
    if (!hive.isLoaded())
        hive.load();
    AgentPropertiesMap agents;
    QList<QByteArray> names;
    {
        HiveKey parent;
        if (hive.regOpenKey(AgentsKey, &parent) != ERROR_SUCCESS)
            return agents;
        QByteArray name;
        for (uint32_t i = 0; parent.regEnumKey(i, &name) == ERROR_SUCCESS; ++i)
            names.append(name);
    }
    for (const QByteArray &name : names) {
        HiveKey key;
        if (hive.regOpenKey(QByteArray(AgentsKey) + name, &key) != ERROR_SUCCESS)
            continue;
        try {
            if (std::optional<AgentProperties> agent = readAgent(key))
                agents[agentText(name)] = *agent;
        } catch (const AppError &error) {
            if (message && message->isEmpty())
                *message = QString::fromUtf8(error.what());
        }
    }
    return agents;
}

void saveAgentProperties(RegistryHive &hive, const AgentPropertiesMap &agents)
{
    for (const auto &[text, agent] : agents) {
        HiveKey key;
        if (hive.regCreateKey(QByteArray(AgentsKey) + keyName(text), &key) != ERROR_SUCCESS)
            continue;
        writeNumber(key, "Version", int32_t(agent.version));
        writeText(key, "UserName", agent.userName);
        writeNumber(key, "SecurityLevel", int32_t(agent.level));
        writeNumber(key, "AuthProtocol", int32_t(agent.auth));
        writeNumber(key, "PrivProtocol", int32_t(agent.priv));
        writeText(key, "Context", agent.context);
        writeNumber(key, "RememberPassphrases", agent.rememberPassphrases ? 1 : 0);
    }
}
