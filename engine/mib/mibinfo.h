// SPDX-License-Identifier: MIT
#pragma once

// What the loaded MIB modules say about an object, as plain values. This is
// the one place that reads Net-SNMP's parsed MIB tree for definitions and
// index decoding; the value rendering, the details dialog and whatever else
// wants a definition take these records. GUI thread only, like the rest of
// the MIB side of Net-SNMP.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class MibKind { Node, Scalar, Table, Entry, Column, Notification };

// The base syntax of an object, whatever textual convention it goes by.
enum class MibSyntax {
    None,
    Integer,      // INTEGER and Integer32
    OctetString,
    ObjectIdentifier,
    IpAddress,
    Counter32,
    Gauge32,      // Gauge32 and Unsigned32, which share their tag
    TimeTicks,
    Opaque,
    Counter64,
    Unsigned32,   // SMIv1's UInteger32
    Bits,
    Other,        // NetworkAddress, NsapAddress, NULL
};

struct MibNamedNumber
{
    int64_t value = 0;
    std::string label;
};

// Inclusive; for strings the SIZE. Unsigned syntaxes are read as unsigned.
struct MibRange
{
    int64_t low = 0;
    int64_t high = 0;
};

struct MibObject
{
    std::string module;       // empty when no module is known for the node
    std::string label;
    std::vector<uint32_t> oid;
    MibKind kind = MibKind::Node;
    MibSyntax syntax = MibSyntax::None;
    std::string typeName;           // the base type as the SMI writes it: "INTEGER", "OCTET STRING"
    std::string textualConvention;  // "DisplayString"; empty for none
    std::vector<MibNamedNumber> enums; // INTEGER labels or BITS positions
    std::vector<MibRange> ranges;      // the value range, or the SIZE of a string
    std::string units;
    std::string hint;
    std::string access;  // "read-only", "read-create"...; empty for none
    std::string status;  // "current", "deprecated"...
    std::string parent;  // the label of the node above: a column's entry, an entry's table
    // An InetAddress's InetAddressType object, whose instance of the same row
    // says how to read it; empty for none (or no InetAddress).
    std::vector<uint32_t> addressType;
};

// One part of a column instance's index: the INDEX object and its value.
struct MibIndexPart
{
    std::string name;
    std::string value;
};

// The node an OID names or lies under, with the rest of the OID read as its
// instance: what the details dialog shows.
struct MibDefinition
{
    MibObject object;
    std::string description;        // the DESCRIPTION, its indentation taken away
    std::vector<uint32_t> instance; // the sub-identifiers after the object's own
    // A column's INDEX clause (or that of the entry it AUGMENTS), "IMPLIED "
    // before an implied last object; and the instance decoded by it.
    std::vector<std::string> indexObjects;
    std::vector<MibIndexPart> index;
    bool indexFits = true; // false: the instance does not decode by the INDEX
};

// The scalar or column an OID is an instance of, without its description:
// what the value rendering needs. Null when the deepest node the OID reaches
// is no scalar or column (an unknown object below an enterprise, a table).
// The record lives until the MIB set changes (mibsetup::generation()); hold
// it no longer than that.
const MibObject *mibObject(std::span<const uint32_t> oid);

// The node an OID names or lies under, with its description and decoded
// index. Nothing when no module defines a node on the OID's path, or when the
// OID lies below a node that is no scalar or column.
std::optional<MibDefinition> mibDefinition(std::span<const uint32_t> oid);

// A table entry's INDEX clause, for decoding many rows' indexes one by one.
struct MibEntryIndex
{
    std::vector<uint32_t> entry;      // the entry's OID
    std::vector<std::string> objects; // the INDEX objects, "IMPLIED " before an implied last one
    uint64_t generation = 0;          // the MIB generation the clause was read in
};
// Nothing when the OID names no entry a loaded module defines.
std::optional<MibEntryIndex> mibEntryIndex(std::span<const uint32_t> entry);
// An index suffix read by the entry's INDEX clause; nothing when it does not
// fit, or when the MIB set has changed since the clause was read (read it again).
std::optional<std::vector<MibIndexPart>> mibDecodeIndex(const MibEntryIndex &entry, std::span<const uint32_t> suffix);

// "label(n)", or nothing for a number the object's list does not name.
std::optional<std::string> enumText(int64_t value, const MibObject &object);

// "INTEGER {up(1), down(2)}", "DisplayString (OCTET STRING (SIZE (0..255)))".
std::string mibSyntaxText(const MibObject &object);
