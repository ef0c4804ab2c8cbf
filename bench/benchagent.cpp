// SPDX-License-Identifier: MIT
// A loopback SNMPv1 and SNMPv2c agent for the benchmarks: it serves a
// synthetic mib-2 of N bindings (an ifTable and an ipAddrTable, so a walk
// meets strings, integers, counters, gauges, timeticks, hardware addresses,
// IP addresses and OIDs under names the MIBs know) and answers by computing
// the binding at a position, with no table in memory and no allocation per
// request. It must cost far less per request than snmpd, or the managers'
// differences drown. Get, GetNext and GetBulk; SNMPv2c answers carry
// exceptions where SNMPv1 ones carry noSuchName, and a GetBulk answer holds
// as many repetitions as fit one datagram.
//
//   benchagent --rows 100000 [--port 0] [--delay-ms 0] [--silent 1]
//
// --delay-ms holds every answer back that long after its request came (a
// slow agent, one request at a time); --silent 1 decodes requests and never
// answers (an agent that is down). Prints "127.0.0.1:PORT" on a line of its
// own once it listens, serves until SIGTERM or SIGINT, then prints its
// request count and CPU time per request on stderr.

#include "tests/support/loopbackudp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

constexpr size_t MaxSubIds = 128;
constexpr size_t MaxBindings = 2048; // names in a request: the Watch asks for a thousand at once
constexpr size_t MaxDatagram = 65507; // UDP over IPv4

struct Oid
{
    uint32_t ids[MaxSubIds];
    size_t length = 0;
};

int compare(const Oid &a, const Oid &b)
{
    const size_t common = std::min(a.length, b.length);
    for (size_t i = 0; i < common; ++i) {
        if (a.ids[i] != b.ids[i])
            return a.ids[i] < b.ids[i] ? -1 : 1;
    }
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

// ifTable (IF-MIB) then ipAddrTable (RFC1213-MIB), column by column as an
// agent walks them; interface r (1..R) has one row in each. Only the first
// N positions exist, so the last columns of the address table may be short.
constexpr uint32_t IfEntry[] = {1, 3, 6, 1, 2, 1, 2, 2, 1};
constexpr uint32_t IpAddrEntry[] = {1, 3, 6, 1, 2, 1, 4, 20, 1};
constexpr uint32_t IfColumns = 22;
constexpr uint32_t IpColumns = 5;

struct Layout
{
    uint64_t rows = 0;       // N, the bindings served
    uint64_t interfaces = 0; // R

    explicit Layout(uint64_t n) : rows(n), interfaces((n + IfColumns + IpColumns - 1) / (IfColumns + IpColumns)) {}
};

struct Position
{
    bool ipTable = false;
    uint32_t column = 0;
    uint32_t row = 0; // interface number, 1..R
};

Position locate(const Layout &layout, uint64_t pos)
{
    const uint64_t ifCount = uint64_t(IfColumns) * layout.interfaces;
    Position p;
    if (pos >= ifCount) {
        p.ipTable = true;
        pos -= ifCount;
    }
    p.column = uint32_t(pos / layout.interfaces) + 1;
    p.row = uint32_t(pos % layout.interfaces) + 1;
    return p;
}

// Interface r's address: 10.x.y.z, increasing with r below 2^24.
void interfaceAddress(uint32_t r, uint8_t out[4])
{
    out[0] = 10;
    out[1] = uint8_t(r >> 16);
    out[2] = uint8_t(r >> 8);
    out[3] = uint8_t(r);
}

void nameAt(const Layout &layout, uint64_t pos, Oid &name)
{
    const Position p = locate(layout, pos);
    const uint32_t *entry = p.ipTable ? IpAddrEntry : IfEntry;
    std::copy(entry, entry + 9, name.ids);
    name.ids[9] = p.column;
    if (p.ipTable) {
        uint8_t address[4];
        interfaceAddress(p.row, address);
        for (int i = 0; i < 4; ++i)
            name.ids[10 + i] = address[i];
        name.length = 14;
    } else {
        name.ids[10] = p.row;
        name.length = 11;
    }
}

// The first position whose name is greater than the given one (or equal to
// it, with orEqual); rows when there is none. Names grow with the position.
uint64_t firstAfter(const Layout &layout, const Oid &oid, bool orEqual)
{
    uint64_t low = 0;
    uint64_t high = layout.rows;
    Oid probe;
    while (low < high) {
        const uint64_t mid = low + (high - low) / 2;
        nameAt(layout, mid, probe);
        const int c = compare(probe, oid);
        if (c > 0 || (orEqual && c == 0))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

// Mixes the interface and column into a plausible counter value.
uint32_t counterValue(uint32_t row, uint32_t column)
{
    uint32_t x = row * 2654435761u ^ column * 40503u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return x;
}

// A BER writer into a fixed buffer. Nested lengths are fixed up when the
// constructed value closes: two length octets are reserved (a datagram never
// needs more than 0x82) and the content moved down when one would do.
class Writer
{
public:
    Writer(uint8_t *buffer, size_t capacity) : m_buffer(buffer), m_capacity(capacity) {}

    bool ok() const { return !m_overflow; }
    size_t size() const { return m_size; }

    // Back to an earlier size, forgetting an overflow past it.
    void rollback(size_t size)
    {
        m_size = size;
        m_overflow = false;
    }

    size_t open(uint8_t tag)
    {
        put(tag);
        const size_t at = m_size;
        put(0);
        put(0);
        put(0);
        return at;
    }

    void close(size_t at)
    {
        if (m_overflow)
            return;
        const size_t content = m_size - at - 3;
        size_t header;
        if (content < 0x80) {
            m_buffer[at] = uint8_t(content);
            header = 1;
        } else if (content < 0x100) {
            m_buffer[at] = 0x81;
            m_buffer[at + 1] = uint8_t(content);
            header = 2;
        } else {
            m_buffer[at] = 0x82;
            m_buffer[at + 1] = uint8_t(content >> 8);
            m_buffer[at + 2] = uint8_t(content);
            header = 3;
        }
        if (header < 3) {
            std::memmove(m_buffer + at + header, m_buffer + at + 3, content);
            m_size -= 3 - header;
        }
    }

    void integer(uint8_t tag, int64_t value)
    {
        uint8_t octets[9];
        size_t n = 0;
        do {
            octets[n++] = uint8_t(value & 0xFF);
            value >>= 8; // arithmetic: stops at 0 or -1
        } while (!((value == 0 && !(octets[n - 1] & 0x80)) || (value == -1 && (octets[n - 1] & 0x80))));
        header(tag, n);
        while (n > 0)
            put(octets[--n]);
    }

    void unsignedInteger(uint8_t tag, uint64_t value)
    {
        uint8_t octets[9];
        size_t n = 0;
        do {
            octets[n++] = uint8_t(value & 0xFF);
            value >>= 8;
        } while (value != 0);
        if (octets[n - 1] & 0x80)
            octets[n++] = 0; // reads back as unsigned
        header(tag, n);
        while (n > 0)
            put(octets[--n]);
    }

    void octets(uint8_t tag, const void *data, size_t size)
    {
        header(tag, size);
        for (size_t i = 0; i < size; ++i)
            put(static_cast<const uint8_t *>(data)[i]);
    }

    void oid(const uint32_t *ids, size_t length)
    {
        uint8_t content[MaxSubIds * 5];
        size_t n = 0;
        auto base128 = [&](uint32_t v) {
            uint8_t digits[5];
            size_t d = 0;
            do {
                digits[d++] = uint8_t(v & 0x7F);
                v >>= 7;
            } while (v != 0);
            while (d > 1)
                content[n++] = uint8_t(digits[--d] | 0x80);
            content[n++] = digits[0];
        };
        if (length >= 2) {
            base128(ids[0] * 40 + ids[1]);
            for (size_t i = 2; i < length; ++i)
                base128(ids[i]);
        } else if (length == 1) {
            base128(ids[0] * 40);
        }
        octets(0x06, content, n);
    }

private:
    void header(uint8_t tag, size_t length)
    {
        put(tag);
        if (length < 0x80) {
            put(uint8_t(length));
        } else {
            put(0x82);
            put(uint8_t(length >> 8));
            put(uint8_t(length));
        }
    }

    void put(uint8_t byte)
    {
        if (m_size >= m_capacity) {
            m_overflow = true;
            return;
        }
        m_buffer[m_size++] = byte;
    }

    uint8_t *m_buffer;
    size_t m_capacity;
    size_t m_size = 0;
    bool m_overflow = false;
};

void writeValue(Writer &out, const Layout &layout, uint64_t pos)
{
    const Position p = locate(layout, pos);
    const uint32_t r = p.row;
    if (p.ipTable) {
        uint8_t address[4];
        switch (p.column) {
        case 1: // ipAdEntAddr
            interfaceAddress(r, address);
            out.octets(0x40, address, 4);
            return;
        case 2: // ipAdEntIfIndex
            out.integer(0x02, r);
            return;
        case 3: { // ipAdEntNetMask
            const uint8_t mask[4] = {255, 255, 255, 0};
            out.octets(0x40, mask, 4);
            return;
        }
        case 4: // ipAdEntBcastAddr
            out.integer(0x02, 1);
            return;
        default: // ipAdEntReasmMaxSize
            out.integer(0x02, 65535);
            return;
        }
    }
    switch (p.column) {
    case 1: // ifIndex
        out.integer(0x02, r);
        return;
    case 2: { // ifDescr
        char text[48];
        const int n = std::snprintf(text, sizeof(text), "GigabitEthernet%u/0/%u", (r - 1) / 48 + 1, (r - 1) % 48 + 1);
        out.octets(0x04, text, size_t(n));
        return;
    }
    case 3: // ifType: ethernetCsmacd
        out.integer(0x02, 6);
        return;
    case 4: // ifMtu
        out.integer(0x02, 1500);
        return;
    case 5: // ifSpeed
        out.unsignedInteger(0x42, 1000000000u);
        return;
    case 6: { // ifPhysAddress
        const uint8_t mac[6] = {0x00, 0x1A, 0x2B, uint8_t(r >> 16), uint8_t(r >> 8), uint8_t(r)};
        out.octets(0x04, mac, 6);
        return;
    }
    case 7: // ifAdminStatus
        out.integer(0x02, 1);
        return;
    case 8: // ifOperStatus
        out.integer(0x02, r % 5 == 0 ? 2 : 1);
        return;
    case 9: // ifLastChange
        out.unsignedInteger(0x43, counterValue(r, 9) % 864000000u);
        return;
    case 21: // ifOutQLen
        out.unsignedInteger(0x42, counterValue(r, 21) % 64);
        return;
    case 22: { // ifSpecific
        static constexpr uint32_t zeroDotZero[] = {0, 0};
        out.oid(zeroDotZero, 2);
        return;
    }
    default: // ifInOctets .. ifOutErrors
        out.unsignedInteger(0x41, counterValue(r, p.column));
        return;
    }
}

// The fields of a request that the answer needs, pointing into the datagram.
struct Request
{
    int64_t version = 0;
    const uint8_t *community = nullptr;
    size_t communityLength = 0;
    uint8_t pduType = 0;
    int64_t requestId = 0;
    int64_t nonRepeaters = 0;   // a GetBulk's, in the error status field
    int64_t maxRepetitions = 0; // and in the error index field
    Oid names[MaxBindings];
    size_t count = 0;
};

class Reader
{
public:
    Reader(const uint8_t *data, size_t size) : m_data(data), m_end(data + size) {}

    bool atEnd() const { return m_data >= m_end; }

    // Enters the value: the reader then covers its content only (for a
    // constructed value), and the rest is returned in after.
    bool next(uint8_t &tag, Reader &content, Reader &after)
    {
        if (m_end - m_data < 2)
            return false;
        tag = *m_data++;
        size_t length = *m_data++;
        if (length & 0x80) {
            const size_t count = length & 0x7F;
            if (count == 0 || count > 4 || size_t(m_end - m_data) < count)
                return false;
            length = 0;
            for (size_t i = 0; i < count; ++i)
                length = (length << 8) | *m_data++;
        }
        if (length > size_t(m_end - m_data))
            return false;
        content = Reader(m_data, length);
        after = Reader(m_data + length, size_t(m_end - (m_data + length)));
        return true;
    }

    bool expect(uint8_t wanted, Reader &content)
    {
        uint8_t tag = 0;
        Reader after(nullptr, 0);
        if (!next(tag, content, after) || tag != wanted)
            return false;
        *this = after;
        return true;
    }

    bool integer(int64_t &value)
    {
        Reader content(nullptr, 0);
        if (!expect(0x02, content) || content.size() == 0 || content.size() > 8)
            return false;
        int64_t v = int8_t(content.m_data[0]);
        for (size_t i = 1; i < content.size(); ++i)
            v = int64_t(uint64_t(v) << 8) | content.m_data[i];
        value = v;
        return true;
    }

    bool oid(Oid &out)
    {
        Reader content(nullptr, 0);
        if (!expect(0x06, content) || content.size() == 0)
            return false;
        out.length = 0;
        uint64_t v = 0;
        bool first = true;
        for (size_t i = 0; i < content.size(); ++i) {
            v = (v << 7) | (content.m_data[i] & 0x7F);
            if (v > 0xFFFFFFFFu && !first)
                return false;
            if (content.m_data[i] & 0x80)
                continue;
            if (first) {
                if (out.length + 2 > MaxSubIds)
                    return false;
                const uint32_t a = v < 40 ? 0 : (v < 80 ? 1 : 2);
                out.ids[out.length++] = a;
                out.ids[out.length++] = uint32_t(v - a * 40);
                first = false;
            } else {
                if (out.length + 1 > MaxSubIds)
                    return false;
                out.ids[out.length++] = uint32_t(v);
            }
            v = 0;
        }
        return !first && (content.m_data[content.size() - 1] & 0x80) == 0;
    }

    const uint8_t *data() const { return m_data; }
    size_t size() const { return size_t(m_end - m_data); }

private:
    const uint8_t *m_data;
    const uint8_t *m_end;
};

bool decode(const uint8_t *datagram, size_t size, Request &request)
{
    Reader top(datagram, size);
    Reader message(nullptr, 0);
    if (!top.expect(0x30, message) || !message.integer(request.version))
        return false;
    Reader community(nullptr, 0);
    if (!message.expect(0x04, community))
        return false;
    request.community = community.data();
    request.communityLength = community.size();

    uint8_t tag = 0;
    Reader pdu(nullptr, 0);
    Reader rest(nullptr, 0);
    if (!message.next(tag, pdu, rest) || (tag != 0xA0 && tag != 0xA1 && tag != 0xA5)
        || (tag == 0xA5 && request.version != 1))
        return false;
    request.pduType = tag;
    Reader bindings(nullptr, 0);
    if (!pdu.integer(request.requestId) || !pdu.integer(request.nonRepeaters) || !pdu.integer(request.maxRepetitions)
        || !pdu.expect(0x30, bindings))
        return false;
    request.count = 0;
    while (!bindings.atEnd()) {
        Reader binding(nullptr, 0);
        if (request.count == MaxBindings || !bindings.expect(0x30, binding)
            || !binding.oid(request.names[request.count]))
            return false;
        ++request.count;
    }
    return request.count > 0;
}

constexpr uint8_t NoSuchObject = 0x80;
constexpr uint8_t EndOfMibView = 0x82;

class Agent
{
public:
    explicit Agent(uint64_t rows) : m_layout(rows) {}

    // The response datagram's size, 0 when nothing is to be sent.
    size_t answer(const Request &request, uint8_t *out, size_t capacity)
    {
        const bool v2c = request.version == 1;
        uint64_t positions[MaxBindings];
        int32_t errorIndex = 0;
        if (request.pduType != 0xA5) {
            for (size_t i = 0; i < request.count && errorIndex == 0; ++i) {
                positions[i] = request.pduType == 0xA1 ? nextPosition(request.names[i]) : exactPosition(request.names[i]);
                if (positions[i] >= m_layout.rows && !v2c)
                    errorIndex = int32_t(i + 1); // noSuchName: past the end, or absent
            }
        }

        Writer w(out, std::min(capacity, MaxDatagram));
        const size_t message = w.open(0x30);
        w.integer(0x02, request.version);
        w.octets(0x04, request.community, request.communityLength);
        const size_t pdu = w.open(0xA2);
        w.integer(0x02, request.requestId);
        w.integer(0x02, errorIndex ? 2 : 0);
        w.integer(0x02, errorIndex);
        const size_t list = w.open(0x30);
        if (request.pduType == 0xA5) {
            bulk(w, request);
        } else {
            for (size_t i = 0; i < request.count; ++i) {
                if (errorIndex) // a v1 error echoes the request's bindings
                    exception(w, request.names[i], 0x05);
                else if (positions[i] >= m_layout.rows)
                    exception(w, request.names[i], request.pduType == 0xA1 ? EndOfMibView : NoSuchObject);
                else
                    binding(w, positions[i]);
            }
        }
        w.close(list);
        w.close(pdu);
        w.close(message);
        return w.ok() ? w.size() : 0;
    }

private:
    void binding(Writer &w, uint64_t pos)
    {
        const size_t at = w.open(0x30);
        Oid name;
        nameAt(m_layout, pos, name);
        w.oid(name.ids, name.length);
        writeValue(w, m_layout, pos);
        w.close(at);
        m_last = pos;
        m_hasLast = true;
    }

    static void exception(Writer &w, const Oid &name, uint8_t tag)
    {
        const size_t at = w.open(0x30);
        w.oid(name.ids, name.length);
        w.octets(tag, nullptr, 0);
        w.close(at);
    }

    // Non-repeaters once, then the repetitions of the others, each going on
    // from its previous binding; a repeater past the end gives endOfMibView
    // and the answer ends once all have. A binding that would not fit the
    // datagram ends the answer before it, as RFC 3416 lets an agent do.
    void bulk(Writer &w, const Request &request)
    {
        const size_t nonRepeaters = size_t(std::clamp<int64_t>(request.nonRepeaters, 0, int64_t(request.count)));
        uint64_t start[MaxBindings];
        uint64_t next[MaxBindings];
        for (size_t i = 0; i < request.count; ++i)
            start[i] = next[i] = nextPosition(request.names[i]);
        const auto add = [&](size_t i) {
            const size_t mark = w.size();
            if (next[i] < m_layout.rows) {
                binding(w, next[i]++);
            } else if (next[i] == start[i]) {
                exception(w, request.names[i], EndOfMibView);
            } else {
                Oid last;
                nameAt(m_layout, next[i] - 1, last);
                exception(w, last, EndOfMibView);
            }
            if (w.ok())
                return true;
            w.rollback(mark);
            return false;
        };
        for (size_t i = 0; i < nonRepeaters; ++i) {
            if (!add(i))
                return;
        }
        for (int64_t r = 0; r < request.maxRepetitions && nonRepeaters < request.count; ++r) {
            bool going = false;
            for (size_t i = nonRepeaters; i < request.count; ++i) {
                if (!add(i))
                    return;
                going |= next[i] < m_layout.rows;
            }
            if (!going)
                return;
        }
    }

    uint64_t exactPosition(const Oid &name) const
    {
        const uint64_t pos = firstAfter(m_layout, name, true);
        Oid found;
        if (pos < m_layout.rows) {
            nameAt(m_layout, pos, found);
            if (compare(found, name) == 0)
                return pos;
        }
        return m_layout.rows;
    }

    // A walk asks for the successor of what was just answered: O(1) then.
    uint64_t nextPosition(const Oid &name)
    {
        if (m_hasLast && m_last < m_layout.rows) {
            Oid last;
            nameAt(m_layout, m_last, last);
            if (compare(last, name) == 0)
                return m_last + 1;
        }
        return firstAfter(m_layout, name, false);
    }

    Layout m_layout;
    uint64_t m_last = 0;
    bool m_hasLast = false;
};

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int usage()
{
    std::fprintf(stderr, "usage: benchagent --rows N [--port P] [--delay-ms D] [--silent 1]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    uint64_t rows = 0;
    unsigned long port = 0;
    unsigned long delayMs = 0;
    bool silent = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        char *end = nullptr;
        const unsigned long long value = std::strtoull(argv[i + 1], &end, 10);
        if (*end != '\0')
            return usage();
        if (option == "--rows")
            rows = value;
        else if (option == "--port" && value <= 65535)
            port = value;
        else if (option == "--delay-ms" && value <= 60000)
            delayMs = value;
        else if (option == "--silent" && value <= 1)
            silent = value == 1;
        else
            return usage();
    }
    // Interface addresses must stay increasing: 10.x.y.z with r below 2^24.
    if (rows == 0 || rows > 27ull * 0xFFFFFF || argc % 2 == 0)
        return usage();

    const UdpSocket socket;
    const uint16_t bound = bindLoopback(socket.fd(), uint16_t(port));
    if (bound == 0) {
        std::perror("benchagent: bind");
        return 1;
    }

    // No SA_RESTART: the signal must end the blocking receive.
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    std::printf("127.0.0.1:%u\n", unsigned(bound));
    std::fflush(stdout);

    Agent agent(rows);
    static Request request; // large: keep it off the stack
    uint8_t in[65536];
    uint8_t out[65536];
    uint64_t answered = 0;
    uint64_t dropped = 0;
    const double cpuStart = cpuSeconds();
    while (!g_stop) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof(peer);
        const ssize_t received =
            ::recvfrom(socket.fd(), in, sizeof(in), 0, reinterpret_cast<sockaddr *>(&peer), &peerLength);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            std::perror("benchagent: recvfrom");
            return 1;
        }
        if (!decode(in, size_t(received), request) || silent) {
            ++dropped;
            continue;
        }
        if (delayMs > 0) {
            // A signal cuts the sleep short; the loop then ends.
            const timespec delay{time_t(delayMs / 1000), long(delayMs % 1000) * 1000000L};
            nanosleep(&delay, nullptr);
        }
        const size_t size = agent.answer(request, out, sizeof(out));
        if (size == 0 || ::sendto(socket.fd(), out, size, 0, reinterpret_cast<sockaddr *>(&peer), peerLength) < 0) {
            ++dropped;
            continue;
        }
        ++answered;
    }
    const double cpu = cpuSeconds() - cpuStart;
    std::fprintf(stderr, "benchagent: %llu requests answered, %llu dropped, %.2f us CPU per request\n",
                 static_cast<unsigned long long>(answered), static_cast<unsigned long long>(dropped),
                 answered ? cpu * 1e6 / double(answered) : 0.0);
    return 0;
}
