// SPDX-License-Identifier: MIT
// The OID text conversion on arbitrary texts. It must not crash or print, must
// refuse the empty text and every text holding ";" (the query run splits on
// it), and whatever it converts must come back unchanged from its own dotted
// decimal form, which is how a walk's rows are typed in again. A text that is
// plain dotted decimal must convert to exactly its numbers, whatever the MIBs
// say about that part of the tree.
#include "engine/mib/oidtext.h"
#include "engine/snmp/snmpmgr.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_outputFd = -1;
int g_savedOut = -1;
int g_savedErr = -1;

// The conversion runs with stdout and stderr pointed at a file; a byte in it is a finding.
class Silence
{
public:
    Silence()
    {
        ::dup2(g_outputFd, STDOUT_FILENO);
        ::dup2(g_outputFd, STDERR_FILENO);
    }
    ~Silence()
    {
        ::dup2(g_savedOut, STDOUT_FILENO);
        ::dup2(g_savedErr, STDERR_FILENO);
    }
    Silence(const Silence &) = delete;
    Silence &operator=(const Silence &) = delete;
};

[[noreturn]] void fail(const char *what, const std::string &text)
{
    std::fprintf(stderr, "oidtext: %s for the text (%zu bytes): ", what, text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F)
            std::fputc(byte, stderr);
        else
            std::fprintf(stderr, "\\x%02x", byte);
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

// The numbers of "1.3.6" or ".1.3.6" (decimal, leading zeros too, 32-bit, at
// most 128 of them); nothing for any other text.
std::optional<std::vector<uint32_t>> plainNumbers(const std::string &text)
{
    std::vector<uint32_t> ids;
    size_t i = !text.empty() && text[0] == '.' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    while (i < text.size()) {
        const size_t start = i;
        uint64_t value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= 0xFFFFFFFFu)
            value = value * 10 + uint64_t(text[i++] - '0');
        const size_t digits = i - start;
        if (digits == 0 || value > 0xFFFFFFFFu || ids.size() == 128)
            return std::nullopt;
        ids.push_back(uint32_t(value));
        if (i == text.size())
            break;
        if (text[i] != '.' || ++i == text.size())
            return std::nullopt;
    }
    return ids;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("NORVANE_MIBDIR", NORVANE_FUZZ_MIBDIR, 0);
    char path[] = "/tmp/norvane-oidtext-XXXXXX";
    g_outputFd = ::mkstemp(path);
    ::unlink(path);
    g_savedOut = ::dup(STDOUT_FILENO);
    g_savedErr = ::dup(STDERR_FILENO);
    if (g_outputFd < 0 || g_savedOut < 0 || g_savedErr < 0)
        std::abort();
    // Sanitizer reports keep going to the real stderr.
    __sanitizer_set_report_fd(reinterpret_cast<void *>(intptr_t(g_savedErr)));
    // Loads the MIBs once, outside the measured inputs.
    AsnObjectIdentifier warmUp;
    SnmpMgrStrToOid("sysDescr.0", &warmUp);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    AsnObjectIdentifier converted;
    AsnObjectIdentifier again;
    int ok = 0;
    int okAgain = 0;
    std::string dotted;
    {
        const Silence quiet;
        ok = SnmpMgrStrToOid(text, &converted);
        if (ok) {
            dotted = SnmpUtilOidToA(&converted);
            okAgain = SnmpMgrStrToOid(dotted, &again);
        }
    }
    struct stat st {};
    if (::fstat(g_outputFd, &st) == 0 && st.st_size > 0)
        fail("output was printed", text);

    const auto numbers = plainNumbers(text);
    if (numbers && (!ok || converted.ids != *numbers))
        fail("plain dotted decimal not converted to its numbers", text);
    if (!ok)
        return 0;
    if (text.empty() || text.find(';') != std::string::npos)
        fail("converted although empty or holding ';'", text);
    if (converted.ids.empty())
        fail("converted to an empty identifier", text);
    if (!okAgain)
        fail(("its dotted form " + dotted + " does not convert").c_str(), text);
    if (again.ids != converted.ids)
        fail(("its dotted form " + dotted + " converts to another identifier").c_str(), text);
    return 0;
}
