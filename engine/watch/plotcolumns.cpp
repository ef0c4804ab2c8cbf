// SPDX-License-Identifier: MIT
#include "engine/watch/plotcolumns.h"

#include <algorithm>

PlotColumns plotColumns(const SampleSeries &series, int64_t fromMs, int64_t toMs, int width)
{
    PlotColumns out;
    if (width <= 0 || toMs <= fromMs)
        return out;
    out.columns.resize(size_t(width));
    const double perMs = double(width) / double(toMs - fromMs);
    bool gap = true; // nothing before the first value to join it to
    series.plotFrom(fromMs, [&](int64_t timeMs, float value) {
        if (timeMs > toMs)
            return false;
        if (timeMs < fromMs) {
            out.entry = value;
            gap = std::isnan(value);
            return true;
        }
        if (std::isnan(value)) {
            gap = true;
            return true;
        }
        PlotColumn &column = out.columns[size_t(std::min<int64_t>(width - 1, int64_t(double(timeMs - fromMs) * perMs)))];
        if (std::isnan(column.low)) {
            column.low = column.high = column.first = value;
            column.joined = !gap;
        } else {
            column.low = std::min(column.low, value);
            column.high = std::max(column.high, value);
        }
        column.last = value;
        if (!(out.low <= value))
            out.low = value;
        if (!(out.high >= value))
            out.high = value;
        gap = false;
        return true;
    });
    return out;
}
