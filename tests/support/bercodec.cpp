// SPDX-License-Identifier: MIT
#include "tests/support/bercodec.h"

#include <cstdlib>
#include <cstring>

namespace ber {

namespace {

QByteArray encodeLength(size_t length)
{
    QByteArray out;
    if (length < 0x80) {
        out.append(char(length));
        return out;
    }
    QByteArray digits;
    for (size_t n = length; n > 0; n >>= 8)
        digits.prepend(char(n & 0xFF));
    out.append(char(0x80 | digits.size()));
    out.append(digits);
    return out;
}

// Reads TLVs one after another from a byte range.
class Reader
{
public:
    explicit Reader(const QByteArray &data) : m_data(data) {}

    bool atEnd() const { return m_pos >= m_data.size(); }

    bool next(uint8_t &tag, QByteArray &content)
    {
        if (m_pos + 2 > m_data.size())
            return false;
        tag = uint8_t(m_data[m_pos++]);
        size_t length = uint8_t(m_data[m_pos++]);
        if (length & 0x80) {
            const int count = int(length & 0x7F);
            if (count == 0 || count > 4 || m_pos + count > m_data.size())
                return false;
            length = 0;
            for (int i = 0; i < count; ++i)
                length = (length << 8) | uint8_t(m_data[m_pos++]);
        }
        if (length > size_t(m_data.size() - m_pos))
            return false;
        content = m_data.mid(m_pos, qsizetype(length));
        m_pos += qsizetype(length);
        return true;
    }

    bool expect(uint8_t wanted, QByteArray &content)
    {
        uint8_t tag = 0;
        return next(tag, content) && tag == wanted;
    }

private:
    const QByteArray &m_data;
    qsizetype m_pos = 0;
};

bool decodeInteger(const QByteArray &content, int64_t &value)
{
    if (content.isEmpty() || content.size() > 8)
        return false;
    int64_t v = int8_t(content[0]); // sign from the first octet
    for (qsizetype i = 1; i < content.size(); ++i)
        v = int64_t(uint64_t(v) << 8) | uint8_t(content[i]);
    value = v;
    return true;
}

bool decodeOid(const QByteArray &content, Oid &oid)
{
    oid.clear();
    if (content.isEmpty())
        return false;
    uint64_t sub = 0;
    bool first = true;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const auto byte = uint8_t(content[i]);
        sub = (sub << 7) | (byte & 0x7F);
        if (sub > 0xFFFFFFFFu)
            return false;
        if (byte & 0x80)
            continue;
        if (first) {
            const uint32_t x = sub < 80 ? uint32_t(sub / 40) : 2;
            oid.push_back(x);
            oid.push_back(uint32_t(sub - 40 * x));
            first = false;
        } else {
            oid.push_back(uint32_t(sub));
        }
        sub = 0;
    }
    return !(uint8_t(content.back()) & 0x80);
}

} // namespace

Oid parseOid(const char *dotted)
{
    Oid oid;
    const char *p = dotted;
    if (*p == '.')
        ++p;
    while (*p) {
        char *end = nullptr;
        const unsigned long value = std::strtoul(p, &end, 10);
        if (end == p || value > 0xFFFFFFFFul)
            return {};
        oid.push_back(uint32_t(value));
        p = end;
        if (*p == '.')
            ++p;
        else if (*p)
            return {};
    }
    return oid;
}

QByteArray encodeTlv(uint8_t tag, const QByteArray &content)
{
    QByteArray out;
    out.append(char(tag));
    out.append(encodeLength(size_t(content.size())));
    out.append(content);
    return out;
}

QByteArray integerContent(int64_t value)
{
    QByteArray out;
    for (int shift = 56; shift >= 0; shift -= 8)
        out.append(char((uint64_t(value) >> shift) & 0xFF));
    // Drop leading octets that only repeat the sign.
    while (out.size() > 1
           && ((out[0] == char(0x00) && !(uint8_t(out[1]) & 0x80)) || (out[0] == char(0xFF) && (uint8_t(out[1]) & 0x80))))
        out.remove(0, 1);
    return out;
}

QByteArray unsignedContent(uint64_t value)
{
    QByteArray out;
    for (int shift = 56; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
    while (out.size() > 1 && out[0] == char(0x00) && !(uint8_t(out[1]) & 0x80))
        out.remove(0, 1);
    if (uint8_t(out[0]) & 0x80)
        out.prepend(char(0x00));
    return out;
}

QByteArray oidContent(const Oid &oid)
{
    QByteArray out;
    auto appendSub = [&out](uint64_t sub) {
        QByteArray bytes;
        bytes.prepend(char(sub & 0x7F));
        for (sub >>= 7; sub > 0; sub >>= 7)
            bytes.prepend(char(0x80 | (sub & 0x7F)));
        out.append(bytes);
    };
    if (oid.empty())
        return QByteArray(1, '\0');
    if (oid.size() == 1) {
        appendSub(uint64_t(oid[0]) * 40);
        return out;
    }
    appendSub(uint64_t(oid[0]) * 40 + oid[1]);
    for (size_t i = 2; i < oid.size(); ++i)
        appendSub(oid[i]);
    return out;
}

QByteArray encodeMessage(const Message &message)
{
    QByteArray list;
    for (const VarBind &binding : message.bindings)
        list.append(encodeTlv(0x30, encodeTlv(0x06, oidContent(binding.name)) + encodeTlv(binding.tag, binding.content)));
    const QByteArray pdu = encodeTlv(0x02, integerContent(message.requestId))
        + encodeTlv(0x02, integerContent(message.errorStatus)) + encodeTlv(0x02, integerContent(message.errorIndex))
        + encodeTlv(0x30, list);
    return encodeTlv(0x30, encodeTlv(0x02, integerContent(message.version)) + encodeTlv(0x04, message.community)
                               + encodeTlv(message.pduType, pdu));
}

std::optional<Message> decodeMessage(const QByteArray &datagram)
{
    Reader outer(datagram);
    QByteArray body;
    if (!outer.expect(0x30, body))
        return std::nullopt;

    Message message;
    Reader fields(body);
    QByteArray content;
    if (!fields.expect(0x02, content) || !decodeInteger(content, message.version))
        return std::nullopt;
    if (!fields.expect(0x04, message.community))
        return std::nullopt;
    QByteArray pdu;
    if (!fields.next(message.pduType, pdu))
        return std::nullopt;

    Reader pduFields(pdu);
    int64_t numbers[3] = {};
    for (int64_t &number : numbers) {
        if (!pduFields.expect(0x02, content) || !decodeInteger(content, number))
            return std::nullopt;
    }
    message.requestId = int32_t(numbers[0]);
    message.errorStatus = int32_t(numbers[1]);
    message.errorIndex = int32_t(numbers[2]);

    QByteArray list;
    if (!pduFields.expect(0x30, list))
        return std::nullopt;
    Reader bindings(list);
    while (!bindings.atEnd()) {
        QByteArray pair;
        if (!bindings.expect(0x30, pair))
            return std::nullopt;
        Reader parts(pair);
        VarBind binding;
        if (!parts.expect(0x06, content) || !decodeOid(content, binding.name))
            return std::nullopt;
        if (!parts.next(binding.tag, binding.content))
            return std::nullopt;
        message.bindings.push_back(std::move(binding));
    }
    return message;
}

} // namespace ber
