// SPDX-License-Identifier: MIT
#pragma once

#include "engine/snmpmgr.h"

#include <string>

// What a row's object is to the rendering of other rows and of its own
// value, as the MIB defines it: an InetAddressType that an InetAddress of
// the same table row is read by; such an InetAddress; BITS, which travel as
// an octet string whose first octet is often 0.
enum class RowRole : uint8_t { Plain, AddressType, Address, Bits };

// One row of the result list: OID text, name, type and value, as bytes
// (ASCII in practice: readable octet strings are 0x20..0x7F).
struct ResultRow
{
    std::string oid;
    std::string name;
    std::string type;
    std::string value;
    // The binding itself, encoded, for the few rows whose texts cannot give
    // it back (engine/rowbinding.h); empty for all others.
    std::string binding{};
    RowRole role = RowRole::Plain;
};

// Turns one returned binding into its row texts. The SNMPv2c exceptions
// (noSuchObject, noSuchInstance, endOfMibView) have type texts of their own
// in answers of that version only; an SNMPv1 agent has no such tags.
ResultRow renderBinding(const SnmpVarBind &binding, SnmpVersion version = SnmpVersion::V1);

// Helpers of the rendering, exposed for their own tests.
std::string hexDump(const std::string &bytes);
std::string octetStringText(const std::string &bytes);
std::string timeTicksText(uint32_t ticks);
