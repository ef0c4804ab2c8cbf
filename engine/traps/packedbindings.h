// SPDX-License-Identifier: MIT
#pragma once

// Bindings packed into one string, for a list that keeps 100,000
// notifications: a quarter of what the records take, where every name and
// value is a heap block of its own. Read back only what this packed.

#include "engine/snmp/snmprecords.h"

#include <string>
#include <string_view>
#include <vector>

std::string packBindings(const std::vector<SnmpVarBind> &bindings);
std::vector<SnmpVarBind> unpackBindings(std::string_view packed);
