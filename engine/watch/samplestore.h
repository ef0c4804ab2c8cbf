// SPDX-License-Identifier: MIT
#pragma once

// One watched object's samples, kept compact: a day at one a second for a
// hundred objects is 8.64 million samples. In blocks, each with its own base
// time: per sample the milliseconds after that base (4 bytes), the plotted
// value as a float (4 bytes; NaN is a gap) and the raw value as the varint of
// its difference to the one before (a counter's step takes two or three
// bytes). Blocks start small, so that a thousand objects watched briefly cost
// little, and the oldest block can go when the store must shrink.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

struct Sample
{
    int64_t timeMs = 0;          // milliseconds since the epoch
    std::optional<uint64_t> raw; // what the agent answered; none when it did not
    float plotted = NAN;         // the rate or value drawn; NaN: a gap
};

class SampleSeries
{
public:
    static constexpr size_t FirstBlockSamples = 256;
    static constexpr size_t BlockSamples = 4096;

    // Times must not go back; a sample earlier than the last is taken at the last's time.
    void append(int64_t timeMs, std::optional<uint64_t> raw, float plotted);
    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    int64_t firstTimeMs() const;
    int64_t lastTimeMs() const { return m_lastMs; }
    // Drops the oldest block; the samples that go, its count.
    size_t dropOldestBlock();
    size_t memoryUsed() const;

    // The plotted values from the first sample at or after fromMs (the one
    // before it too, so a line enters the range), oldest first, until visit
    // returns false: visit(timeMs, plotted).
    template <typename Visit>
    void plotFrom(int64_t fromMs, Visit &&visit) const;
    // The same as runs of a block, for a caller that reads many samples:
    // visit(baseMs, offsets, plotted, count), the times baseMs + offsets[i].
    template <typename Visit>
    void runsFrom(int64_t fromMs, Visit &&visit) const;
    // Every sample, oldest first: visit(const Sample &).
    template <typename Visit>
    void forEach(Visit &&visit) const;

private:
    struct Block
    {
        int64_t baseMs = 0;
        uint64_t firstRaw = 0;          // the raw value the first difference goes from
        std::vector<uint32_t> offsets;  // ms after baseMs
        std::vector<float> plotted;
        std::vector<uint64_t> noRaw;    // a bit per sample: no raw value
        std::string raws;               // zigzag varints of the differences
        uint64_t lastRaw = 0;
        size_t capacity = 0;
    };

    std::deque<Block> m_blocks;
    size_t m_count = 0;
    int64_t m_lastMs = 0;
};

template <typename Visit>
void SampleSeries::plotFrom(int64_t fromMs, Visit &&visit) const
{
    runsFrom(fromMs, [&visit](int64_t baseMs, const uint32_t *offsets, const float *plotted, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (!visit(baseMs + offsets[i], plotted[i]))
                return false;
        }
        return true;
    });
}

template <typename Visit>
void SampleSeries::runsFrom(int64_t fromMs, Visit &&visit) const
{
    // The block holding fromMs, by the base times; then the sample, by its offset.
    size_t b = 0;
    while (b + 1 < m_blocks.size() && m_blocks[b + 1].baseMs <= fromMs)
        ++b;
    if (m_blocks.empty())
        return;
    size_t i = 0;
    if (fromMs > m_blocks[b].baseMs) {
        const std::vector<uint32_t> &offsets = m_blocks[b].offsets;
        const auto offset = uint32_t(std::min<int64_t>(fromMs - m_blocks[b].baseMs, UINT32_MAX));
        i = size_t(std::lower_bound(offsets.begin(), offsets.end(), offset) - offsets.begin());
    }
    if (i > 0) {
        --i;
    } else if (b > 0) {
        --b;
        i = m_blocks[b].offsets.size() - 1;
    }
    for (; b < m_blocks.size(); ++b, i = 0) {
        const Block &block = m_blocks[b];
        if (!visit(block.baseMs, block.offsets.data() + i, block.plotted.data() + i, block.offsets.size() - i))
            return;
    }
}

template <typename Visit>
void SampleSeries::forEach(Visit &&visit) const
{
    for (const Block &block : m_blocks) {
        uint64_t raw = block.firstRaw;
        size_t at = 0;
        for (size_t i = 0; i < block.offsets.size(); ++i) {
            uint64_t zigzag = 0;
            for (int shift = 0; at < block.raws.size(); shift += 7) {
                const auto byte = uint8_t(block.raws[at++]);
                zigzag |= uint64_t(byte & 0x7F) << shift;
                if (!(byte & 0x80))
                    break;
            }
            raw += (zigzag >> 1) ^ (~(zigzag & 1) + 1);
            Sample sample{block.baseMs + block.offsets[i], raw, block.plotted[i]};
            if (block.noRaw[i / 64] >> (i % 64) & 1)
                sample.raw.reset();
            visit(sample);
        }
    }
}
