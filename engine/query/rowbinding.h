// SPDX-License-Identifier: MIT
#pragma once

// A result row keeps its four texts; when the MIB Values view needs the
// binding behind a row, it comes back from them: numbers, dotted OIDs,
// addresses, hex dumps and readable strings give back exactly what the agent
// sent. Some texts do not: a readable string with a NUL in it (the text ends
// at the first NUL), a hex dump of readable bytes (BITS, which would read back
// as text), a name or OID value cut to 255 characters, an address of more
// than four bytes, and "Unexpected Type" (neither tag nor value). For those a
// row carries the binding itself, encoded, as its fifth field.

#include "engine/query/resultrow.h"
#include "engine/snmp/snmprecords.h"

#include <optional>
#include <string>
#include <string_view>

// The encoded binding when the row's texts cannot give it back, else empty.
std::string bindingBehind(const SnmpVarBind &binding, const ResultRow &row);

// The binding a row's texts (and encoded binding, when it has one) came
// from; an exception's binding has its tag alone. Nothing for texts that no
// binding renders to.
std::optional<SnmpVarBind> bindingFromRow(std::string_view oid, std::string_view type, std::string_view value,
                                          std::string_view encoded);
