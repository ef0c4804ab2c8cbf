// SPDX-License-Identifier: MIT
#pragma once

// The bindings of a response Net-SNMP has decoded, as the records hold them:
// SNMPv3 answers, which only Net-SNMP can authenticate and decrypt. Inside
// engine/snmp only: it names Net-SNMP's PDU.

#include "engine/snmp/berreader.h"

struct snmp_pdu;

// False for a name or OID value longer than the records may hold.
bool readDecodedResponse(const snmp_pdu &pdu, berreader::Response &response);
