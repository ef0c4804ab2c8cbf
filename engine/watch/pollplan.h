// SPDX-License-Identifier: MIT
#pragma once

// How one agent's watched objects go out at a tick: Gets of at most limit()
// objects, each also asking for sysUpTime.0 (the time base of its counters)
// and the ifCounterDiscontinuityTime of the IF-MIB interfaces among its
// objects. An agent that answers tooBig gets half as many objects a Get, and
// keeps that limit. Pure: names and numbers only.

#include "engine/snmp/snmprecords.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

// A watched object, by a number that stays when others are removed.
using ObjectId = uint32_t;
using Batch = std::vector<ObjectId>;

// What each name of a Get asks for.
struct PollName
{
    enum class Role { UpTime, Object, Discontinuity };
    Role role = Role::Object;
    ObjectId object = 0;  // Role::Object
    uint32_t ifIndex = 0; // Role::Discontinuity
};

struct PollRequest
{
    SnmpVarBindList names;
    std::vector<PollName> roles; // one per name
};

// The IF-MIB interface whose ifCounterDiscontinuityTime covers an object: an
// instance of an ifTable or ifXTable column, by its ifIndex.
std::optional<uint32_t> interfaceOf(std::span<const uint32_t> oid);

class PollPlan
{
public:
    // The batches of a tick: the objects in order, at most limit() each.
    std::vector<Batch> batches(const std::vector<ObjectId> &objects) const;
    size_t limit() const { return m_limit; }
    // The batch was answered tooBig: the limit becomes half its objects, and
    // the halves go instead. Empty for one object, which cannot be split.
    std::vector<Batch> tooBig(const Batch &batch);

    // An SNMPv1 agent refuses a whole Get for a name it lacks: a time base
    // it does not have is not asked for again.
    bool asksUpTime() const { return m_upTime; }
    bool asksDiscontinuity() const { return m_discontinuity; }
    void dropUpTime() { m_upTime = false; }
    void dropDiscontinuity() { m_discontinuity = false; }

    // The Get of a batch: sysUpTime.0, the objects, then the discontinuity
    // times of their interfaces, each once.
    PollRequest request(const Batch &batch, const std::function<const std::vector<uint32_t> &(ObjectId)> &oidOf) const;

private:
    size_t m_limit = std::numeric_limits<size_t>::max();
    bool m_upTime = true;
    bool m_discontinuity = true;
};
