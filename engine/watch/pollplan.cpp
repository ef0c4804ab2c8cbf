// SPDX-License-Identifier: MIT
#include "engine/watch/pollplan.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr uint32_t SysUpTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
constexpr uint32_t IfEntry[] = {1, 3, 6, 1, 2, 1, 2, 2, 1};
constexpr uint32_t IfXEntry[] = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
constexpr uint32_t IfCounterDiscontinuityTime = 19; // an ifXEntry column

bool under(std::span<const uint32_t> oid, std::span<const uint32_t> entry)
{
    // entry.column.ifIndex exactly
    return oid.size() == entry.size() + 2 && std::equal(entry.begin(), entry.end(), oid.begin());
}

} // namespace

std::optional<uint32_t> interfaceOf(std::span<const uint32_t> oid)
{
    if (under(oid, IfEntry) || under(oid, IfXEntry))
        return oid.back();
    return std::nullopt;
}

std::vector<Batch> PollPlan::batches(const std::vector<ObjectId> &objects) const
{
    std::vector<Batch> out;
    for (size_t first = 0; first < objects.size(); first += std::min(m_limit, objects.size() - first)) {
        const size_t count = std::min(m_limit, objects.size() - first);
        out.emplace_back(objects.begin() + ptrdiff_t(first), objects.begin() + ptrdiff_t(first + count));
    }
    return out;
}

std::vector<Batch> PollPlan::tooBig(const Batch &batch)
{
    if (batch.size() <= 1)
        return {};
    m_limit = std::min(m_limit, (batch.size() + 1) / 2);
    return batches(batch);
}

PollRequest PollPlan::request(const Batch &batch,
                              const std::function<const std::vector<uint32_t> &(ObjectId)> &oidOf) const
{
    PollRequest out;
    const auto add = [&out](std::vector<uint32_t> ids, PollName role) {
        out.names.list.push_back({AsnObjectIdentifier{std::move(ids)}, {}});
        out.roles.push_back(role);
    };
    if (m_upTime)
        add({std::begin(SysUpTime), std::end(SysUpTime)}, {PollName::Role::UpTime});
    std::vector<uint32_t> interfaces;
    for (const ObjectId object : batch) {
        const std::vector<uint32_t> &oid = oidOf(object);
        add(oid, {PollName::Role::Object, object});
        if (const std::optional<uint32_t> ifIndex = interfaceOf(oid); ifIndex && m_discontinuity)
            interfaces.push_back(*ifIndex);
    }
    std::sort(interfaces.begin(), interfaces.end());
    interfaces.erase(std::unique(interfaces.begin(), interfaces.end()), interfaces.end());
    for (const uint32_t ifIndex : interfaces) {
        std::vector<uint32_t> oid(std::begin(IfXEntry), std::end(IfXEntry));
        oid.push_back(IfCounterDiscontinuityTime);
        oid.push_back(ifIndex);
        add(std::move(oid), {PollName::Role::Discontinuity, 0, ifIndex});
    }
    return out;
}
