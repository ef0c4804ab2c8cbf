// SPDX-License-Identifier: MIT
#pragma once

#include "engine/watch/samplestore.h"
#include "store/csvfile.h"

#include <vector>

class WatchListModel;

// Export CSV of the Watch window: the samples of the objects, object after
// object, oldest first, from a moment on: time (ISO 8601, local, with
// milliseconds), agent, OID, the raw value the agent answered (empty when it
// did not) and a counter's rate per second (empty in a gap, and for other
// objects, whose raw value is what is plotted).
class SampleCsv final : public CsvSource
{
public:
    SampleCsv(const WatchListModel &model, std::vector<int> rows, qint64 fromMs);

    QStringList header() const override;
    int rowCount() const override { return m_count; }
    // In order, as the writer asks for them: one object's samples are read at a time.
    QStringList row(int row) const override;

private:
    void load(size_t object) const;

    const WatchListModel &m_model;
    std::vector<int> m_rows;
    std::vector<int> m_firsts; // each object's first CSV row
    qint64 m_fromMs;
    int m_count = 0;
    mutable size_t m_loaded = SIZE_MAX;
    mutable std::vector<Sample> m_samples;
    mutable QString m_agent;
    mutable QString m_oid;
};
