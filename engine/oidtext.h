// SPDX-License-Identifier: MIT
#pragma once

// OID text: what the user types turned into an identifier, and identifiers
// into their dotted and symbolic names, by Net-SNMP's MIB database.

#include "engine/snmprecords.h"

#include <string>

// Non-zero and a filled identifier on success. Never converts a text holding ";", the empty
// text or a text longer than 4096 bytes (no OID needs that much; refused at once).
int SnmpMgrStrToOid(const std::string &text, AsnObjectIdentifier *oid);
// A newly allocated symbolic name (release with SnmpUtilMemFree); always returns a text.
int SnmpMgrOidToStr(const AsnObjectIdentifier *oid, char **text);

// Dotted decimal without a leading dot, in a buffer the service owns (valid
// until the next call on this thread): copy it at once.
const char *SnmpUtilOidToA(const AsnObjectIdentifier *oid);
