// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <vector>

// Which agent each result row came from: the list holds the rows of several
// runs, and a row added to the Watch is polled on the agent it was read
// from, not on whatever the Agent box says now. A run's rows follow one
// another, so a run is one entry: its first row, its agent and community.
class RowAgents
{
public:
    struct Source
    {
        QString agent;
        QString community;
    };

    // A run starts: the rows stored from firstRow on are its.
    void runStarted(qsizetype firstRow, const QString &agent, const QString &community);
    // The list was cleared.
    void clear() { m_runs.clear(); }
    // Nothing for a row no run is known to have brought.
    std::optional<Source> sourceOf(qsizetype row) const;

private:
    struct Run
    {
        qsizetype firstRow;
        Source source;
    };
    std::vector<Run> m_runs; // by first row
};
