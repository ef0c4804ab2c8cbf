// SPDX-License-Identifier: MIT
#include "engine/traps/packedbindings.h"

#include <cstring>

namespace {

template <typename T>
void put(std::string &out, T value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

void putIds(std::string &out, const std::vector<uint32_t> &ids)
{
    put(out, uint32_t(ids.size()));
    // An empty vector's data() may be null, which memcpy and append may not take.
    if (!ids.empty())
        out.append(reinterpret_cast<const char *>(ids.data()), ids.size() * sizeof(uint32_t));
}

class Reader
{
public:
    explicit Reader(std::string_view packed) : m_rest(packed) {}
    bool atEnd() const { return m_rest.empty(); }

    template <typename T>
    T get()
    {
        T value{};
        std::memcpy(&value, m_rest.data(), sizeof(T));
        m_rest.remove_prefix(sizeof(T));
        return value;
    }
    void getIds(std::vector<uint32_t> &ids)
    {
        ids.resize(get<uint32_t>());
        if (!ids.empty())
            std::memcpy(ids.data(), m_rest.data(), ids.size() * sizeof(uint32_t));
        m_rest.remove_prefix(ids.size() * sizeof(uint32_t));
    }
    std::string_view take(size_t n)
    {
        const std::string_view bytes = m_rest.substr(0, n);
        m_rest.remove_prefix(n);
        return bytes;
    }

private:
    std::string_view m_rest;
};

} // namespace

std::string packBindings(const std::vector<SnmpVarBind> &bindings)
{
    std::string out;
    for (const SnmpVarBind &b : bindings) {
        putIds(out, b.name.ids);
        const AsnAny &v = b.value;
        out.push_back(char(v.asnType));
        switch (v.asnType) {
        case asn::Integer32:
            put(out, v.number);
            break;
        case asn::Counter32:
        case asn::Gauge32:
        case asn::TimeTicks:
        case asn::Unsigned32:
            put(out, v.unsigned32);
            break;
        case asn::Counter64:
            put(out, v.counter64);
            break;
        case asn::ObjectIdentifier:
            putIds(out, v.object.ids);
            break;
        default:
            put(out, uint32_t(v.bytes.size()));
            out += v.bytes;
            break;
        }
    }
    return out;
}

std::vector<SnmpVarBind> unpackBindings(std::string_view packed)
{
    std::vector<SnmpVarBind> bindings;
    Reader in(packed);
    while (!in.atEnd()) {
        SnmpVarBind &b = bindings.emplace_back();
        in.getIds(b.name.ids);
        AsnAny &v = b.value;
        v.asnType = in.get<uint8_t>();
        switch (v.asnType) {
        case asn::Integer32:
            v.number = in.get<int32_t>();
            break;
        case asn::Counter32:
        case asn::Gauge32:
        case asn::TimeTicks:
        case asn::Unsigned32:
            v.unsigned32 = in.get<uint32_t>();
            break;
        case asn::Counter64:
            v.counter64 = in.get<uint64_t>();
            break;
        case asn::ObjectIdentifier:
            in.getIds(v.object.ids);
            break;
        default:
            v.bytes = in.take(in.get<uint32_t>());
            break;
        }
    }
    return bindings;
}
