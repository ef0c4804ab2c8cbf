// SPDX-License-Identifier: MIT
#pragma once

// What the Set Value dialog shows and, confirmed, gives back; and the
// confirmation's text built from it. Plain values: no widget here.

#include "common/secret.h"
#include "engine/set/setvalue.h"

#include <QString>

#include <vector>

struct SetEdit
{
    QString agent;
    QString credentials; // how the Set goes: "SNMPv2c, the write community", "SNMPv3 user 'ops', authPriv"
    // No write community known for the agent: the dialog asks for one.
    bool askCommunity = false;
    Secret community; // given back when asked
    std::vector<SetBinding> bindings;
};

// The confirmation: the agent, how the Set goes, each object with its type
// and its old and new value. Only for bindings that pass their checks.
QString setConfirmationText(const SetEdit &edit);
