// SPDX-License-Identifier: MIT
#include "ui/watch/samplecsv.h"

#include "ui/watch/watchlistmodel.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <climits>

SampleCsv::SampleCsv(const WatchListModel &model, std::vector<int> rows, qint64 fromMs)
    : m_model(model), m_rows(std::move(rows)), m_fromMs(fromMs)
{
    qint64 count = 0;
    for (const int row : m_rows) {
        m_firsts.push_back(int(count));
        m_model.poller().object(row).samples.plotFrom(m_fromMs, [&](int64_t timeMs, float) {
            count += timeMs >= m_fromMs ? 1 : 0;
            return count < INT_MAX;
        });
    }
    m_count = int(std::min<qint64>(count, INT_MAX));
}

QStringList SampleCsv::header() const
{
    return {QStringLiteral("time"), QStringLiteral("agent"), QStringLiteral("oid"), QStringLiteral("raw value"),
            QStringLiteral("rate")};
}

void SampleCsv::load(size_t object) const
{
    m_loaded = object;
    m_samples.clear();
    const WatchedObject &watched = m_model.poller().object(m_rows[object]);
    watched.samples.forEach([this](const Sample &sample) {
        if (sample.timeMs >= m_fromMs)
            m_samples.push_back(sample);
    });
    m_agent = watched.target.agent;
    m_oid.clear();
    for (const uint32_t id : watched.target.oid)
        m_oid += QLatin1Char('.') + QString::number(id);
}

QStringList SampleCsv::row(int row) const
{
    const size_t object = size_t(std::upper_bound(m_firsts.begin(), m_firsts.end(), row) - m_firsts.begin()) - 1;
    if (object != m_loaded)
        load(object);
    const size_t i = size_t(row - m_firsts[object]);
    if (i >= m_samples.size())
        return {};
    const Sample &sample = m_samples[i];
    const WatchedObject &watched = m_model.poller().object(m_rows[object]);
    QString raw;
    if (sample.raw)
        raw = watched.value.asnType == asn::Integer32 ? QString::number(qint64(*sample.raw)) : QString::number(*sample.raw);
    const ValueKind kind = valueKind(watched.value.asnType);
    const bool counter = kind == ValueKind::Counter32 || kind == ValueKind::Counter64;
    return {QDateTime::fromMSecsSinceEpoch(sample.timeMs).toString(Qt::ISODateWithMs), m_agent, m_oid, raw,
            counter && !std::isnan(sample.plotted) ? QString::number(double(sample.plotted), 'g', 7) : QString()};
}
