// SPDX-License-Identifier: MIT
#pragma once

#include "common/snmpversion.h"
#include "engine/query/resultrow.h"
#include "engine/snmp/snmprecords.h"

#include <string>

// Turns one returned binding into its row texts. The SNMPv2c exceptions
// (noSuchObject, noSuchInstance, endOfMibView) have type texts of their own
// in answers of that version only; an SNMPv1 agent has no such tags.
ResultRow renderBinding(const SnmpVarBind &binding, SnmpVersion version = SnmpVersion::V1);

// Helpers of the rendering, exposed for their own tests.
std::string octetStringText(const std::string &bytes);
std::string timeTicksText(uint32_t ticks);
