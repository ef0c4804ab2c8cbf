// SPDX-License-Identifier: MIT
#pragma once

// The values of a Set as the user writes them, read and held to what the
// MIB says of the object before anything is sent: plain texts in, the
// binding's value or the rule the text breaks out. Texts are UTF-8. The
// object is a copy of the MIB's record, so a binding outlives a reload of
// the MIBs; OID texts are read by the MIBs loaded (GUI thread only).

#include "engine/mib/mibinfo.h"
#include "engine/snmp/snmprecords.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The types a Set sends, as SMIv2 names them. BITS go as an OCTET STRING.
enum class SetType { Integer, Unsigned32, Gauge32, TimeTicks, Counter32, Counter64, OctetString, ObjectIdentifier,
                     IpAddress, Bits };
inline constexpr SetType AllSetTypes[] = {SetType::Integer,     SetType::Unsigned32,       SetType::Gauge32,
                                          SetType::TimeTicks,   SetType::Counter32,        SetType::Counter64,
                                          SetType::OctetString, SetType::ObjectIdentifier, SetType::IpAddress,
                                          SetType::Bits};
const char *setTypeName(SetType type);

// How an OCTET STRING is written: as text, as hex octets, or by the
// object's DISPLAY-HINT (a MacAddress "00:1a:2b:3c:4d:5e", a DateAndTime).
enum class OctetFormat { Text, Hex, Hint };

// One binding of a Set, as the dialog edits it.
struct SetBinding
{
    std::vector<uint32_t> oid;
    std::string name;                // as the result list names the OID
    std::optional<MibObject> object; // the scalar or column the OID is an instance of; none when no MIB has it
    std::string current;             // the value as the result list shows it; empty when not known
    SetType type = SetType::OctetString;
    OctetFormat format = OctetFormat::Text;
    // The type is the user's, not the MIB's: the MIB's rules are not applied.
    bool overridden = false;
    std::string text; // the new value as written
};

// The type the MIB gives the object; none for one a Set cannot write as
// its syntax (Opaque, NetworkAddress...), whose type the user chooses.
std::optional<SetType> mibSetType(const MibObject &object);
// Whether the object's OCTET STRING is written by its hint: a DateAndTime, or
// a DISPLAY-HINT with numbers in it (one of text alone is the Text format).
bool writtenByHint(const MibObject &object);

// The binding for an OID: the MIB's type (none known: the current value's
// tag, else OCTET STRING, and overridden), the format its value is best
// written in, and the current value as the text to start from.
SetBinding setBindingFor(std::vector<uint32_t> oid, std::string name, const MibObject *object, std::string current = {},
                         const AsnAny *currentValue = nullptr);

struct SetCheck
{
    std::optional<AsnAny> value; // what is sent; none while a rule is broken
    std::string problem;         // the rule the text breaks
    std::string warning;         // what may still be sent, but likely refused
};
SetCheck checkSetBinding(const SetBinding &binding);

// A value written as the type and format write it: the text a field starts
// from. Nothing when the value does not fit them.
std::optional<std::string> setValueText(const AsnAny &value, SetType type, OctetFormat format, const MibObject *object);

// The positions of the bits a BITS text names ("up down 7"), each once;
// what the dialog's check boxes show checked.
std::vector<int64_t> bitsNamed(const std::string &text, const MibObject &object);
// The text of the bits given, as checkSetBinding reads it: labels where the
// MIB names them.
std::string bitsSetText(std::span<const int64_t> bits, const MibObject &object);
