// SPDX-License-Identifier: MIT
#include "ui/watch/rowagents.h"

#include <algorithm>

void RowAgents::runStarted(qsizetype firstRow, const QString &agent, const QString &community)
{
    // A run that brought no row is followed at the same row by the next.
    while (!m_runs.empty() && m_runs.back().firstRow >= firstRow)
        m_runs.pop_back();
    m_runs.push_back({firstRow, {agent, community}});
}

std::optional<RowAgents::Source> RowAgents::sourceOf(qsizetype row) const
{
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), row,
                                        [](qsizetype r, const Run &run) { return r < run.firstRow; });
    if (after == m_runs.begin())
        return std::nullopt;
    return std::prev(after)->source;
}
