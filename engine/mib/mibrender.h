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

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The number another object of the rows at hand holds for this OID (an
// object and its instance); nothing when no row holds it.
using MibRowLookup = std::function<std::optional<int64_t>(std::span<const uint32_t> oid)>;

// An InetAddress is read by its InetAddressType, the instance of the same
// row the lookup finds; without one by its length alone, and then *byLength
// is set (where given): a name of 4 or 16 characters would read as an
// address too.
std::optional<std::string> mibValueText(const SnmpVarBind &binding, const MibObject &object,
                                        const MibRowLookup &lookup = {}, bool *byLength = nullptr);

// BITS: the octets in hex and the bits set, by name where the list names
// them ("00 40 gamma(9)"); bit 0 is the first octet's high bit.
std::string bitsText(std::string_view bytes, const MibObject &object);
