// SPDX-License-Identifier: MIT
#include "engine/watch/plotcolumns.h"

#include <algorithm>

PlotColumns plotColumns(const SampleSeries &series, int64_t fromMs, int64_t toMs, int width)
{
    PlotColumns out;
    if (width <= 0 || toMs <= fromMs)
        return out;
    out.columns.resize(size_t(width));
    const int64_t span = toMs - fromMs;
    bool gap = true; // nothing before the first value to join it to
    // A column's samples are read in one run: the column of a time, and the
    // first time of the column after it, in whole milliseconds.
    const auto columnOf = [&](int64_t timeMs) { return std::min<int64_t>(width - 1, (timeMs - fromMs) * width / span); };
    const auto endOf = [&](int64_t column) {
        return column + 1 >= width ? toMs + 1 : fromMs + ((column + 1) * span + width - 1) / width;
    };
    series.runsFrom(fromMs, [&](int64_t baseMs, const uint32_t *offsets, const float *plotted, size_t count) {
        size_t i = 0;
        while (i < count) {
            const int64_t timeMs = baseMs + offsets[i];
            if (timeMs > toMs)
                return false;
            if (timeMs < fromMs) {
                out.entry = plotted[i];
                gap = std::isnan(plotted[i]);
                ++i;
                continue;
            }
            const int64_t c = columnOf(timeMs);
            const int64_t end = endOf(c);
            PlotColumn &column = out.columns[size_t(c)];
            for (; i < count && baseMs + offsets[i] < end; ++i) {
                const float value = plotted[i];
                if (std::isnan(value)) {
                    gap = true;
                } else if (std::isnan(column.low)) {
                    column.low = column.high = column.first = column.last = value;
                    column.joined = !gap;
                    gap = false;
                } else {
                    column.low = std::min(column.low, value);
                    column.high = std::max(column.high, value);
                    column.last = value;
                    gap = false;
                }
            }
        }
        return true;
    });
    for (const PlotColumn &column : out.columns) {
        if (std::isnan(column.low))
            continue;
        if (!(out.low <= column.low))
            out.low = column.low;
        if (!(out.high >= column.high))
            out.high = column.high;
    }
    return out;
}
