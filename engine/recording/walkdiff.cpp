// SPDX-License-Identifier: MIT
#include "engine/recording/walkdiff.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace {

constexpr std::string_view SysUpTime = ".1.3.6.1.2.1.1.3.0";

// A walk's rows in OID order, one for each OID (the last of those that share it).
std::vector<uint32_t> objectOrder(const WalkRows &rows)
{
    const size_t count = rows.rowCount();
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    bool sorted = true;
    for (size_t i = 1; i < count && sorted; ++i)
        sorted = compareOidTexts(rows.oid(i - 1), rows.oid(i)) < 0;
    if (sorted)
        return order;
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return compareOidTexts(rows.oid(a), rows.oid(b)) < 0; });
    std::vector<uint32_t> unique;
    unique.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i + 1 < order.size() && compareOidTexts(rows.oid(order[i]), rows.oid(order[i + 1])) == 0)
            continue;
        unique.push_back(order[i]);
    }
    return unique;
}

std::optional<uint64_t> leadingNumber(std::string_view text)
{
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || (end != text.data() + text.size() && *end != ' '))
        return std::nullopt;
    return value;
}

std::optional<uint64_t> upTime(const WalkRows &rows, const std::vector<uint32_t> &order)
{
    const auto at = std::lower_bound(order.begin(), order.end(), SysUpTime,
                                     [&](uint32_t row, std::string_view oid) { return compareOidTexts(rows.oid(row), oid) < 0; });
    if (at == order.end() || rows.oid(*at) != SysUpTime || rows.type(*at) != "TimeTicks")
        return std::nullopt;
    return leadingNumber(rows.value(*at));
}

WalkChange change(WalkChange::Kind kind, const WalkRows &rows, uint32_t row)
{
    WalkChange c;
    c.kind = kind;
    c.oid.assign(rows.oid(row));
    c.name.assign(rows.name(row));
    (kind == WalkChange::Kind::Added ? c.newType : c.oldType).assign(rows.type(row));
    (kind == WalkChange::Kind::Added ? c.newValue : c.oldValue).assign(rows.value(row));
    return c;
}

} // namespace

int compareOidTexts(std::string_view a, std::string_view b)
{
    size_t i = a.starts_with('.') ? 1 : 0;
    size_t j = b.starts_with('.') ? 1 : 0;
    for (;;) {
        const bool aEnded = i >= a.size();
        const bool bEnded = j >= b.size();
        if (aEnded || bEnded)
            return aEnded && bEnded ? 0 : aEnded ? -1 : 1;
        // Longer digit runs are larger numbers; equal runs compare as text.
        const size_t aEnd = std::min(a.find('.', i), a.size());
        const size_t bEnd = std::min(b.find('.', j), b.size());
        const std::string_view x = a.substr(i, aEnd - i);
        const std::string_view y = b.substr(j, bEnd - j);
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        if (const int c = x.compare(y); c != 0)
            return c < 0 ? -1 : 1;
        i = aEnd + 1;
        j = bEnd + 1;
    }
}

WalkComparison compareWalks(const WalkRows &older, const WalkRows &newer, std::optional<double> olderTime,
                            std::optional<double> newerTime)
{
    WalkComparison result;
    const std::vector<uint32_t> oldOrder = objectOrder(older);
    const std::vector<uint32_t> newOrder = objectOrder(newer);

    const std::optional<uint64_t> oldUp = upTime(older, oldOrder);
    const std::optional<uint64_t> newUp = upTime(newer, newOrder);
    if (oldUp && newUp) {
        result.restarted = *newUp < *oldUp;
        if (!result.restarted)
            result.seconds = double(*newUp - *oldUp) / 100.0;
    } else if (olderTime && newerTime && *newerTime >= *olderTime) {
        result.seconds = *newerTime - *olderTime;
    }

    size_t i = 0;
    size_t j = 0;
    while (i < oldOrder.size() || j < newOrder.size()) {
        const int order = i == oldOrder.size()   ? 1
                          : j == newOrder.size() ? -1
                                                 : compareOidTexts(older.oid(oldOrder[i]), newer.oid(newOrder[j]));
        if (order < 0) {
            result.changes.push_back(change(WalkChange::Kind::Removed, older, oldOrder[i++]));
            ++result.removed;
            continue;
        }
        if (order > 0) {
            result.changes.push_back(change(WalkChange::Kind::Added, newer, newOrder[j++]));
            ++result.added;
            continue;
        }
        const uint32_t o = oldOrder[i++];
        const uint32_t n = newOrder[j++];
        if (older.type(o) == newer.type(n) && older.value(o) == newer.value(n) && older.binding(o) == newer.binding(n)) {
            ++result.same;
            continue;
        }
        ++result.changed;
        WalkChange c = change(WalkChange::Kind::Changed, newer, n);
        c.oldType.assign(older.type(o));
        c.newType.assign(newer.type(n));
        c.oldValue.assign(older.value(o));
        c.newValue.assign(newer.value(n));
        const bool counter32 = c.newType == "Counter32";
        if ((counter32 || c.newType == "Counter64") && c.oldType == c.newType && !result.restarted) {
            const std::optional<uint64_t> before = leadingNumber(c.oldValue);
            const std::optional<uint64_t> after = leadingNumber(c.newValue);
            if (before && after && (counter32 || *after >= *before)) {
                c.increase = counter32 ? uint64_t(uint32_t(*after - *before)) : *after - *before;
                if (result.seconds && *result.seconds > 0)
                    c.perSecond = double(*c.increase) / *result.seconds;
            }
        }
        result.changes.push_back(std::move(c));
    }
    return result;
}
