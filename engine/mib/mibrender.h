// SPDX-License-Identifier: MIT
#pragma once

// The Value column as the MIB describes the object ("MIB Values"): enum
// labels, display hints, DateAndTime, line breaks marked, InetAddress by its
// type, units, OID values by name. Texts are UTF-8. Every function gives
// nothing where the MIB rendering does not apply (the value's tag is not the
// object's syntax, a number outside its range or enumeration, bytes that do
// not fit the hint or the size); the row then shows its specified text.

#include "engine/mib/mibinfo.h"
#include "engine/mib/textconventions.h"
#include "engine/snmp/snmprecords.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

std::optional<std::string> mibValueText(const SnmpVarBind &binding, const MibObject &object);
