// SPDX-License-Identifier: MIT
#pragma once

// One agent's SNMPv3 settings, passphrases included, as a session opens with
// them. Plain values: what the window hands the run.

#include "common/agentproperties.h"
#include "common/secret.h"

#include <cstddef>
#include <string>

struct AgentSecurity
{
    std::string userName;
    SecurityLevel level = SecurityLevel::AuthPriv;
    AuthProtocol auth = AuthProtocol::SHA;
    PrivProtocol priv = PrivProtocol::AES;
    std::string context;
    Secret authPassphrase;
    Secret privPassphrase;

    AgentSecurity copy() const;
};

// USM's shortest passphrase (RFC 3414, 11.2); Net-SNMP refuses shorter ones.
inline constexpr size_t MinPassphraseLength = 8;
// usmUserName is an SnmpAdminString of at most 32 octets (RFC 3414).
inline constexpr size_t MaxUserNameLength = 32;

// The message for a user name too long, or a passphrase the level uses that
// is too short, before anything is sent; empty when they fit.
std::string securityProblem(const AgentSecurity &security);
