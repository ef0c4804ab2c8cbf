// SPDX-License-Identifier: MIT
#pragma once

// snmpsim's recording format: one "OID|tag|value" line a binding, the OID
// without its leading dot, the tag the value's BER tag in decimal (2
// Integer32, 4 OCTET STRING, 5 NULL, 6 OBJECT IDENTIFIER, 64 IpAddress, 65
// Counter32, 66 Gauge32, 67 TimeTicks, 68 Opaque, 70 Counter64, 128-130 the
// SNMPv2c exceptions), "x" after it when the value is in hex and "e" when it
// is a string with Python escapes. Blank lines and "#" comments are skipped.

#include "engine/snmp/snmprecords.h"

#include <string>
#include <string_view>

// The line of a binding, without its line end. Octets are written as they
// are when every one is printable ASCII and none is a blank at either end
// (snmpsim trims those), else in hex; an address in dotted decimal when it
// has four octets. Every tag is written, those snmpsim does not know too
// (Bits 3, Unsigned32 71, anything an agent sent): the line keeps them.
std::string snmprecLine(const SnmpVarBind &binding);

// The binding of a line. Empty on success, else why the line is none
// ("unknown tag ...", "odd number of hex digits"...). A tag that names no
// type of its own keeps its octets, as the row of such a binding does.
std::string readSnmprecLine(std::string_view line, SnmpVarBind &binding);
