// SPDX-License-Identifier: MIT
#pragma once

// Two walks of an agent compared, object by object: what was added, what was
// removed and what changed, counters with their increase and, where the time
// between the walks is known, their rate. Rows are matched by OID, whatever
// order each walk holds them in; where a walk holds an OID twice, its last
// row counts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rows of a walk as they are compared: their texts as the list stores
// them, the OID text whole, and the encoded binding of the rows that have one
// (engine/query/rowbinding.h).
class WalkRows
{
public:
    virtual ~WalkRows() = default;
    virtual size_t rowCount() const = 0;
    virtual std::string_view oid(size_t row) const = 0;
    virtual std::string_view name(size_t row) const = 0;
    virtual std::string_view type(size_t row) const = 0;
    virtual std::string_view value(size_t row) const = 0;
    virtual std::string_view binding(size_t row) const = 0;
};

struct WalkChange
{
    enum class Kind : uint8_t { Added, Removed, Changed };
    Kind kind = Kind::Changed;
    std::string oid;
    std::string name;
    std::string oldType; // empty for an object added
    std::string newType; // empty for an object removed
    std::string oldValue;
    std::string newValue;
    // A Counter32 or Counter64 of both walks: new minus old, modulo the
    // counter's range (a Counter32 may wrap; a Counter64 that went back was
    // reset and has none). None after the agent restarted.
    std::optional<uint64_t> increase;
    std::optional<double> perSecond;
};

struct WalkComparison
{
    std::vector<WalkChange> changes; // in OID order
    uint64_t same = 0;
    uint64_t changed = 0;
    uint64_t added = 0;
    uint64_t removed = 0;
    // The time between the walks: by sysUpTime.0 when both hold it, else by
    // the times given.
    std::optional<double> seconds;
    bool restarted = false; // sysUpTime went back: the counters started anew
};

// older and newer in seconds on any one clock, when known.
WalkComparison compareWalks(const WalkRows &older, const WalkRows &newer, std::optional<double> olderTime = {},
                            std::optional<double> newerTime = {});

// Dotted OID texts in OID order: negative, zero or positive.
int compareOidTexts(std::string_view a, std::string_view b);
