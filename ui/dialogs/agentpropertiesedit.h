// SPDX-License-Identifier: MIT
#pragma once

#include "common/agentproperties.h"
#include "common/secret.h"

#include <QString>

// What Agent Properties shows for one agent text and, confirmed, gives back.
struct AgentPropertiesEdit
{
    QString agent;
    AgentProperties properties;
    Secret authPassphrase;
    Secret privPassphrase;
    // What a Set sends with SNMPv1 and SNMPv2c; kept as the passphrases are.
    Secret writeCommunity;
    // Why the desktop keyring is not used this session, which the dialog
    // says instead of where remembered passphrases go; empty while it is.
    QString keyringProblem;
    // Given back: Forget passphrases was pressed and none typed since.
    bool forgetPassphrases = false;
};
