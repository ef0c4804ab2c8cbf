// SPDX-License-Identifier: MIT
#pragma once

#include "common/agentproperties.h"
#include "store/registryhive.h"

#include <QString>

#include <map>

// Agent Properties in the hive: one key per agent text under
// "\Software\Ferrolyn\Norvane\Agents\", its name the text's bytes with "%"
// and "\" written as "%25" and "%5C"; the values "Version", "UserName",
// "SecurityLevel", "AuthProtocol", "PrivProtocol", "Context" and
// "RememberPassphrases". Never a passphrase. Versions without Agent
// Properties ignore the key.
inline constexpr const char *AgentsKey = "\\Software\\Ferrolyn\\Norvane\\Agents\\";

// Agent texts compare ignoring letter case, as the hive's key names do.
struct AgentTextLess
{
    bool operator()(const QString &a, const QString &b) const { return a.compare(b, Qt::CaseInsensitive) < 0; }
};
using AgentPropertiesMap = std::map<QString, AgentProperties, AgentTextLess>;

// Reads every agent's properties (the hive's file read first when it has not
// been). An agent whose values cannot be used has none: a number outside
// its list silently (a later version's protocol), a value of the wrong kind
// with the message the other settings give ("Invalid data type for '%s'"),
// the first of which comes back in *message while the other agents load.
AgentPropertiesMap loadAgentProperties(RegistryHive &hive, QString *message);
// Stages them in the hive; the settings' write at exit commits them with the rest.
void saveAgentProperties(RegistryHive &hive, const AgentPropertiesMap &agents);
