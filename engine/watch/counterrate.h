// SPDX-License-Identifier: MIT
#pragma once

// What one watched object's readings mean over time. A counter's single
// reading carries no information (RFC 2578 7.1.6): two readings give a rate
// per second over the time between them, the agent's sysUpTime when both
// carry it, else the local clock's. A counter that went down wrapped once, at
// 2^32 or 2^64. Unless the agent re-initialised: sysUpTime going back, or an
// interface's ifCounterDiscontinuityTime changing (IF-MIB), makes a gap, never
// the huge spike a wrap would draw. Other numbers are plotted as they are.
// Pure: no I/O, no MIB, no clock of its own.

#include <cstdint>
#include <limits>
#include <optional>

enum class ValueKind {
    Counter32,
    Counter64,
    Number, // Integer32 (enumerations too), Gauge32, Unsigned32, TimeTicks: plotted as values
    Text,   // strings, OIDs, addresses: listed, not plotted
    None,   // no value: NULL, noSuchObject, noSuchInstance, endOfMibView
};
ValueKind valueKind(uint8_t asnType);

struct Reading
{
    uint8_t type = 0x05;                   // the value's ASN.1 tag
    uint64_t number = 0;                   // a counter, gauge or timeticks; an Integer32 sign-extended
    std::optional<uint32_t> upTime;        // sysUpTime.0 from the same answer, hundredths of a second
    std::optional<uint32_t> discontinuity; // ifCounterDiscontinuityTime of the counter's interface
    int64_t localNs = 0;                   // the steady clock when the answer came
};

enum class Outcome {
    Value,       // a number, plotted as it is
    Rate,        // a counter's rate per second
    First,       // a counter's first reading: no rate yet
    Restarted,   // the agent or the interface re-initialised its counters: a gap
    TypeChanged, // another type than the reading before: a gap, and a new start
    Missed,      // no answer: a gap; the next rate spans it
    Text,        // listed, not plotted
    NoValue,     // the agent has no such object now
};

struct Step
{
    Outcome outcome = Outcome::Missed;
    double value = std::numeric_limits<double>::quiet_NaN(); // plotted; NaN for a gap
};

// The value a Number reading plots: TimeTicks in seconds, Integer32 signed.
double plottedNumber(const Reading &reading);

class CounterRate
{
public:
    Step take(const Reading &reading);
    Step missed() { return {Outcome::Missed}; }
    // The reading the next rate starts from, if any.
    const std::optional<Reading> &last() const { return m_last; }

private:
    std::optional<Reading> m_last;
};
