// SPDX-License-Identifier: MIT
#include "engine/watch/counterrate.h"

#include "engine/snmp/snmprecords.h"

#include <utility>

ValueKind valueKind(uint8_t asnType)
{
    switch (asnType) {
    case asn::Counter32:
        return ValueKind::Counter32;
    case asn::Counter64:
        return ValueKind::Counter64;
    case asn::Integer32:
    case asn::Gauge32:
    case asn::TimeTicks:
    case asn::Unsigned32:
        return ValueKind::Number;
    case asn::Null:
    case asn::NoSuchObject:
    case asn::NoSuchInstance:
    case asn::EndOfMibView:
        return ValueKind::None;
    default:
        return ValueKind::Text;
    }
}

double plottedNumber(const Reading &reading)
{
    switch (reading.type) {
    case asn::Integer32:
        return double(int64_t(reading.number));
    case asn::TimeTicks:
        return double(reading.number) / 100.0;
    default:
        return double(reading.number);
    }
}

Step CounterRate::take(const Reading &reading)
{
    const ValueKind kind = valueKind(reading.type);
    if (kind == ValueKind::None) {
        // An interface that goes and comes back may have begun counting anew.
        m_last.reset();
        return {Outcome::NoValue};
    }
    const std::optional<Reading> last = std::exchange(m_last, reading);
    if (last && last->type != reading.type)
        return {Outcome::TypeChanged};
    if (kind == ValueKind::Text)
        return {Outcome::Text};
    if (kind == ValueKind::Number)
        return {Outcome::Value, plottedNumber(reading)};
    if (!last)
        return {Outcome::First};

    // The agent re-initialised: the counters started again from anything.
    if (last->upTime && reading.upTime && *reading.upTime < *last->upTime)
        return {Outcome::Restarted};
    if (last->discontinuity && reading.discontinuity && *reading.discontinuity != *last->discontinuity)
        return {Outcome::Restarted};

    double seconds = 0;
    if (last->upTime && reading.upTime && *reading.upTime > *last->upTime)
        seconds = double(*reading.upTime - *last->upTime) / 100.0;
    else
        seconds = double(reading.localNs - last->localNs) / 1e9;
    if (seconds <= 0)
        return {Outcome::First}; // no time between them: the next reading gives the rate

    // One wrap at most: unsigned arithmetic modulo the counter's width.
    const uint64_t delta = kind == ValueKind::Counter32 ? uint64_t(uint32_t(reading.number - last->number))
                                                        : reading.number - last->number;
    return {Outcome::Rate, double(delta) / seconds};
}
