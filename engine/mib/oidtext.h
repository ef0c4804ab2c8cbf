// SPDX-License-Identifier: MIT
#pragma once

// OID text: what the user types turned into an identifier, and identifiers
// into their dotted and symbolic names, by Net-SNMP's MIB database.

#include "engine/snmp/snmprecords.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Non-zero and a filled identifier on success. Never converts a text holding ";", the empty
// text or a text longer than 4096 bytes (no OID needs that much; refused at once).
int SnmpMgrStrToOid(const std::string &text, AsnObjectIdentifier *oid);
// A newly allocated symbolic name (release with SnmpUtilMemFree); always returns a text.
int SnmpMgrOidToStr(const AsnObjectIdentifier *oid, char **text);

// An OID as the name column writes it ("IF-MIB::ifMIB",
// "SNMPv2-SMI::enterprises.9.1.516"), where a module names some node on its
// path below the roots; nothing where only the roots name it.
std::optional<std::string> objectName(std::span<const uint32_t> ids);
// Dotted decimal without a leading dot, in a buffer the service owns (valid
// until the next call on this thread): copy it at once.
const char *SnmpUtilOidToA(const AsnObjectIdentifier *oid);
