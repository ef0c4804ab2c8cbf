// SPDX-License-Identifier: MIT
#include "engine/watch/samplestore.h"

#include <algorithm>

void SampleSeries::append(int64_t timeMs, std::optional<uint64_t> raw, float plotted)
{
    timeMs = std::max(timeMs, m_lastMs);
    // A new block when the last is full, or its base is too far back for 32 bits of milliseconds.
    if (m_blocks.empty() || m_blocks.back().offsets.size() == m_blocks.back().capacity
        || timeMs - m_blocks.back().baseMs > int64_t(UINT32_MAX)) {
        const size_t capacity = m_blocks.empty() ? FirstBlockSamples
                                                 : std::min(BlockSamples, m_blocks.back().capacity * 2);
        const uint64_t from = m_blocks.empty() ? 0 : m_blocks.back().lastRaw;
        if (!m_blocks.empty())
            m_blocks.back().raws.shrink_to_fit(); // full: its varints take what they take
        Block &block = m_blocks.emplace_back();
        block.baseMs = timeMs;
        block.firstRaw = block.lastRaw = from;
        block.capacity = capacity;
        block.offsets.reserve(capacity);
        block.plotted.reserve(capacity);
        block.noRaw.assign((capacity + 63) / 64, 0);
        block.raws.reserve(capacity * 2);
    }
    Block &block = m_blocks.back();
    const size_t i = block.offsets.size();
    block.offsets.push_back(uint32_t(timeMs - block.baseMs));
    block.plotted.push_back(plotted);
    // No raw value: a difference of 0, flagged.
    const uint64_t value = raw.value_or(block.lastRaw);
    if (!raw)
        block.noRaw[i / 64] |= uint64_t(1) << (i % 64);
    const auto delta = int64_t(value - block.lastRaw);
    uint64_t zigzag = (uint64_t(delta) << 1) ^ uint64_t(delta >> 63);
    do {
        const auto byte = uint8_t(zigzag & 0x7F);
        zigzag >>= 7;
        block.raws.push_back(char(zigzag ? byte | 0x80 : byte));
    } while (zigzag);
    block.lastRaw = value;
    ++m_count;
    m_lastMs = timeMs;
}

int64_t SampleSeries::firstTimeMs() const
{
    return m_blocks.empty() ? 0 : m_blocks.front().baseMs;
}

size_t SampleSeries::dropOldestBlock()
{
    if (m_blocks.empty())
        return 0;
    const size_t dropped = m_blocks.front().offsets.size();
    m_blocks.pop_front();
    m_count -= dropped;
    return dropped;
}

size_t SampleSeries::memoryUsed() const
{
    size_t bytes = sizeof *this;
    for (const Block &block : m_blocks) {
        bytes += sizeof block + block.offsets.capacity() * sizeof(uint32_t) + block.plotted.capacity() * sizeof(float)
            + block.noRaw.capacity() * sizeof(uint64_t) + block.raws.capacity();
    }
    return bytes;
}
