// SPDX-License-Identifier: MIT
// The settings file parser and writer on arbitrary bytes. Whatever parses must
// write back to a text that parses to the same tree, and writing that tree
// again must give the very same bytes: a hand-edited file must never change
// meaning, nor keep changing, across starts and exits. The size the hive
// measures its file by must be the size written. And any bytes, read as a
// history entry's text, must turn back into the same bytes.
#include "common/bytetext.h"
#include "store/hivetext.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void mismatch(const char *what, const QByteArray &first, const QByteArray &second)
{
    std::fprintf(stderr, "hive round trip: %s\n--- first\n%s\n--- second\n%s\n", what, first.constData(),
                 second.constData());
    std::abort();
}

// Same structure, names, order, types and bytes.
bool sameTree(const HiveNode &a, const HiveNode &b)
{
    if (a.name != b.name || a.values.size() != b.values.size() || a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const HiveValue &x = a.values[i];
        const HiveValue &y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data)
            return false;
    }
    for (size_t i = 0; i < a.children.size(); ++i) {
        if (!sameTree(*a.children[i], *b.children[i]))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    if (bytesFromText(textFromBytes(input)) != input)
        mismatch("bytes read as text do not turn back into themselves", input, bytesFromText(textFromBytes(input)));
    const std::unique_ptr<HiveNode> parsed = parseHive(input);
    if (!parsed)
        return 0;

    const QByteArray first = serializeHive(*parsed);
    if (serializedSize(*parsed) != first.size())
        mismatch("the measured size is not the written size", input, first);
    const std::unique_ptr<HiveNode> reparsed = parseHive(first);
    if (!reparsed)
        mismatch("the written text does not parse", input, first);
    if (!sameTree(*parsed, *reparsed))
        mismatch("the tree read back differs", input, first);
    const QByteArray second = serializeHive(*reparsed);
    if (second != first)
        mismatch("the second write differs from the first", first, second);
    return 0;
}
