// SPDX-License-Identifier: MIT
// snmpsim recording lines, and whole files of any of the three forms, on
// arbitrary bytes. Nothing may crash; a line that reads as a binding must be
// written as a line that reads as the very same binding, so that a recording
// Norvane writes of what it read is served the same again.
#include "engine/recording/recordingparser.h"
#include "engine/recording/snmprec.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <tuple>

namespace {

auto fields(const SnmpVarBind &b)
{
    const AsnAny &v = b.value;
    return std::tie(b.name.ids, v.asnType, v.number, v.unsigned32, v.counter64, v.bytes, v.object.ids);
}

struct Sink final : RecordingSink
{
    void binding(uint64_t, RecordedBinding &&) override {}
    void row(uint64_t, ResultRow &&) override {}
    void issue(uint64_t, std::string, bool) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    Sink sink;
    RecordingParser parser(sink);
    uint64_t number = 0;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        parser.line(line, ++number);
        SnmpVarBind read;
        if (readSnmprecLine(line, read).empty()) {
            const std::string written = snmprecLine(read);
            SnmpVarBind again;
            const std::string reason = readSnmprecLine(written, again);
            if (!reason.empty() || fields(again) != fields(read)) {
                std::fprintf(stderr, "snmprec: '%s' was written as '%s' (%s)\n", std::string(line).c_str(),
                             written.c_str(), reason.c_str());
                std::abort();
            }
        }
        start = end + 1;
    }
    parser.finish();
    return 0;
}
