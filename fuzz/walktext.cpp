// SPDX-License-Identifier: MIT
// Net-SNMP walk text on arbitrary bytes, line by line as a file gives it.
// Nothing may crash or gather more than its bound; every binding read that
// walk text can hold must be written as text that reads as the very same
// binding.
#include "engine/recording/walktext.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

auto fields(const SnmpVarBind &b)
{
    const AsnAny &v = b.value;
    return std::tie(b.name.ids, v.asnType, v.number, v.unsigned32, v.counter64, v.bytes, v.object.ids);
}

struct Collect final : WalkTextReader::Sink
{
    std::vector<RecordedBinding> read;
    void binding(uint64_t, RecordedBinding &&b) override { read.push_back(std::move(b)); }
    void bad(uint64_t, std::string) override {}
};

std::vector<RecordedBinding> readText(std::string_view text)
{
    Collect sink;
    WalkTextReader reader(sink);
    uint64_t number = 0;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        reader.line(text.substr(start, end - start), ++number);
        start = end + 1;
    }
    reader.finish();
    return std::move(sink.read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const RecordedBinding &b : readText(std::string_view(reinterpret_cast<const char *>(data), size))) {
        if (b.binding.value.bytes.size() > WalkTextReader::MaxValueBytes)
            std::abort();
        if (!b.nameText.empty() || !b.objectText.empty())
            continue; // MIB names: the window converts them
        const std::optional<std::string> line = walkLine(b.binding);
        if (!line)
            continue;
        const std::vector<RecordedBinding> again = readText(*line);
        if (again.size() != 1 || fields(again[0].binding) != fields(b.binding)) {
            std::fprintf(stderr, "walktext: a binding was written as '%s', which reads otherwise\n", line->c_str());
            std::abort();
        }
    }
    return 0;
}
