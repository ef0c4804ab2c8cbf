// SPDX-License-Identifier: MIT
#pragma once

// A result row keeps its four texts; when the MIB Values view needs the
// binding behind a row, it comes back from them: numbers, dotted OIDs,
// addresses, hex dumps and readable strings give back exactly what the agent
// sent. Three texts do not: a readable string with a NUL in it (the text ends
// at the first NUL), a hex dump of readable bytes (BITS, which would read back
// as text), and a name or OID value cut to 255 characters. For those a row
// carries the binding itself, encoded, as its fifth field.

#include "engine/query/resultrow.h"
#include "engine/snmp/snmprecords.h"

#include <optional>
#include <string>
#include <string_view>

// The encoded binding when the row's texts cannot give it back, else empty.
std::string bindingBehind(const SnmpVarBind &binding, const ResultRow &row);

// The binding a row's texts (and encoded binding, when it has one) came
// from. Nothing for a type text that carries no value to read: the
// exceptions and "Unexpected Type".
std::optional<SnmpVarBind> bindingFromRow(std::string_view oid, std::string_view type, std::string_view value,
                                          std::string_view encoded);
