// SPDX-License-Identifier: MIT
#pragma once

// A series as a graph draws it: one entry per pixel column over a time
// range, the lowest and highest value in the column and the first and last
// (where the lines from the columns beside it meet it). A day of samples at
// one a second is 86,400 of them, over some 1,000 columns: drawn per column,
// the graph's cost follows its width, and no peak between two pixels is lost.

#include "engine/watch/samplestore.h"

#include <cmath>
#include <cstdint>
#include <vector>

struct PlotColumn
{
    float low = NAN;  // NaN: no value in the column
    float high = NAN;
    float first = NAN;
    float last = NAN;
    bool joined = false; // no gap between the value before and the first one here
};

struct PlotColumns
{
    std::vector<PlotColumn> columns;
    float entry = NAN; // the value before the range, when no gap follows it
    float low = NAN;   // over every column
    float high = NAN;
};

// Samples at fromMs fall in column 0, those just before toMs in the last.
PlotColumns plotColumns(const SampleSeries &series, int64_t fromMs, int64_t toMs, int width);
