// SPDX-License-Identifier: MIT
#include "engine/recording/recordinglines.h"

#include "engine/recording/snmprec.h"
#include "engine/recording/walktext.h"

#include <algorithm>
#include <numeric>

std::optional<std::string> RecordingLines::lineOf(const SnmpVarBind &binding) const
{
    return m_format == RecordingFormat::WalkText ? walkLine(binding) : std::optional(snmprecLine(binding));
}

std::string RecordingLines::prepare(const BindingRows &rows, RecordingFormat format)
{
    m_rows = &rows;
    m_format = format;
    m_next = 0;
    m_order.clear();
    m_listOrder = true;
    const size_t count = rows.rowCount();
    std::vector<uint32_t> previous;
    for (size_t row = 0; row < count; ++row) {
        const std::optional<SnmpVarBind> binding = rows.binding(row);
        if (!binding)
            return "Row " + std::to_string(row + 1) + " (" + rows.rowText(row)
                   + ") cannot be written: its texts are not those of a value Norvane shows";
        if (!lineOf(*binding))
            return "Row " + std::to_string(row + 1) + " (" + rows.rowText(row)
                   + ") has no Net-SNMP walk text: save the list as an snmpsim recording";
        const std::vector<uint32_t> &name = binding->name.ids;
        if (row > 0 && m_listOrder)
            m_listOrder = std::lexicographical_compare(previous.begin(), previous.end(), name.begin(), name.end());
        previous = name;
    }
    if (m_listOrder)
        return {};
    // Out of order or repeated: the names of all the rows, sorted once.
    std::vector<uint32_t> ids;
    std::vector<size_t> start(count + 1, 0);
    for (size_t row = 0; row < count; ++row) {
        const std::vector<uint32_t> name = rows.binding(row)->name.ids;
        ids.insert(ids.end(), name.begin(), name.end());
        start[row + 1] = ids.size();
    }
    const auto less = [&](uint32_t a, uint32_t b) {
        return std::lexicographical_compare(ids.begin() + ptrdiff_t(start[a]), ids.begin() + ptrdiff_t(start[a + 1]),
                                            ids.begin() + ptrdiff_t(start[b]), ids.begin() + ptrdiff_t(start[b + 1]));
    };
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), less);
    for (size_t i = 0; i < order.size(); ++i) {
        if (i + 1 < order.size() && !less(order[i], order[i + 1]))
            continue; // a later row holds the same OID
        m_order.push_back(order[i]);
    }
    return {};
}

bool RecordingLines::next(std::string &line)
{
    if (!m_rows || m_next >= (m_listOrder ? m_rows->rowCount() : m_order.size()))
        return false;
    const size_t row = m_listOrder ? m_next : m_order[m_next];
    ++m_next;
    line = lineOf(*m_rows->binding(row)).value_or(std::string());
    line.push_back('\n');
    return true;
}
