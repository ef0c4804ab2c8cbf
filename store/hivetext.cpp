// SPDX-License-Identifier: MIT
#include "store/hivetext.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace {

constexpr QByteArrayView RootName = "HKEY_CURRENT_USER";
constexpr QByteArrayView Version4Header = "REGEDIT4";
// What regedit has written since Windows 2000, in UTF-16LE with a byte-order
// mark; users often convert it to UTF-8.
constexpr QByteArrayView Version5Header = "Windows Registry Editor Version 5.00";
// What this program writes: always REGEDIT4.
constexpr QByteArrayView Header = "REGEDIT4\r\n\r\n";

QByteArrayView trimmed(QByteArrayView line)
{
    while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
        line = line.sliced(1);
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t'))
        line.chop(1);
    return line;
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Up to 8 hex digits, the whole text.
bool parseHexNumber(QByteArrayView text, uint32_t *value)
{
    if (text.isEmpty() || text.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | uint32_t(d);
    }
    *value = v;
    return true;
}

// A quoted text starting at text[0] == '"'; regedit escapes only \ and ".
// Any other backslash stands for itself, as a hand-typed path would mean.
bool parseQuoted(QByteArrayView text, QByteArray *out, qsizetype *consumed)
{
    out->clear();
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            *consumed = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out->append(text[i + 1]);
            ++i;
            continue;
        }
        out->append(c);
    }
    return false;
}

bool parseHexBytes(QByteArrayView text, QByteArray *out)
{
    out->clear();
    text = trimmed(text);
    if (text.isEmpty())
        return true;
    out->reserve(text.size() / 3 + 1);
    qsizetype i = 0;
    for (;;) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        int value = 0;
        int digits = 0;
        while (i < text.size() && digits < 3) {
            const int d = hexDigit(text[i]);
            if (d < 0)
                break;
            value = value * 16 + d;
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 2)
            return false;
        out->append(char(value));
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i == text.size())
            return true;
        if (text[i] != ',')
            return false;
        ++i;
        // regedit leaves no trailing comma, but one before the end is harmless
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i == text.size())
            return true;
    }
}

// UTF-16LE bytes as UTF-8; false when they are no UTF-16 (odd length, a lone
// surrogate).
bool utf16ToUtf8(QByteArrayView bytes, QByteArray *out)
{
    if (bytes.size() % 2 != 0)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || !QStringView(text).isValidUtf16())
        return false;
    *out = text.toUtf8();
    return true;
}

// The registry keeps the string types in UTF-16 and hands them to Norvane's
// kind of reader converted; a version 5 export shows them as UTF-16 bytes.
bool isStringType(uint32_t type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

class Parser
{
public:
    explicit Parser(const QByteArray &text) : m_text(text) {}

    std::unique_ptr<HiveNode> run()
    {
        auto root = std::make_unique<HiveNode>();
        QByteArrayView header = nextLine();
        if (header.startsWith("\xEF\xBB\xBF"))
            header = header.sliced(3);
        header = trimmed(header);
        m_version5 = header == Version5Header;
        if (header != Version4Header && !m_version5)
            return nullptr;
        HiveNode *current = nullptr;
        while (!atEnd()) {
            const QByteArrayView line = trimmed(nextLine());
            if (line.isEmpty() || line.front() == ';')
                continue;
            if (line.front() == '[') {
                current = parseKeyLine(line, root.get());
                if (!current)
                    return nullptr;
            } else if (line.front() == '"' || line.front() == '@') {
                if (!current || !parseValueLine(line, current))
                    return nullptr;
            } else {
                return nullptr;
            }
        }
        return root;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }

    QByteArrayView nextLine()
    {
        const qsizetype start = m_pos;
        qsizetype end = m_text.indexOf('\n', start);
        if (end < 0)
            end = m_text.size();
        m_pos = end + 1;
        QByteArrayView line(m_text.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        return line;
    }

    static HiveNode *parseKeyLine(QByteArrayView line, HiveNode *root)
    {
        if (!line.endsWith(']'))
            return nullptr;
        const QByteArrayView inner = line.sliced(1, line.size() - 2);
        // "[-...]" deletes a key on import; a store has nothing to delete
        if (!startsWithNoCase(inner, RootName))
            return nullptr;
        QByteArrayView rest = inner.sliced(RootName.size());
        HiveNode *node = root;
        if (rest.isEmpty())
            return node;
        if (rest.front() != '\\')
            return nullptr;
        rest = rest.sliced(1);
        int depth = 0;
        while (true) {
            const qsizetype slash = rest.indexOf('\\');
            const QByteArrayView part = slash < 0 ? rest : rest.first(slash);
            if (part.isEmpty() || ++depth > RegistryHive::MaxDepth)
                return nullptr;
            node = node->addChild(part.toByteArray());
            if (slash < 0)
                return node;
            rest = rest.sliced(slash + 1);
        }
    }

    bool parseValueLine(QByteArrayView line, HiveNode *key)
    {
        QByteArray name;
        qsizetype pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!parseQuoted(line, &name, &pos)) {
            return false;
        }
        QByteArrayView rest = trimmed(line.sliced(pos));
        if (rest.isEmpty() || rest.front() != '=')
            return false;
        rest = trimmed(rest.sliced(1));
        if (rest.isEmpty())
            return false;

        if (rest.front() == '"') {
            QByteArray text;
            qsizetype used = 0;
            if (!parseQuoted(rest, &text, &used) || !trimmed(rest.sliced(used)).isEmpty())
                return false;
            text.append('\0');
            key->setValue(name, REG_SZ, text);
            return true;
        }
        if (startsWithNoCase(rest, "dword:")) {
            uint32_t v = 0;
            if (!parseHexNumber(trimmed(rest.sliced(6)), &v))
                return false;
            const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
            key->setValue(name, REG_DWORD, QByteArray(bytes, 4));
            return true;
        }
        uint32_t type = REG_BINARY;
        if (startsWithNoCase(rest, "hex:")) {
            rest = rest.sliced(4);
        } else if (startsWithNoCase(rest, "hex(")) {
            const qsizetype close = rest.indexOf(')');
            if (close < 0 || close + 1 >= rest.size() || rest[close + 1] != ':'
                || !parseHexNumber(rest.sliced(4, close - 4), &type))
                return false;
            rest = rest.sliced(close + 2);
        } else {
            return false;
        }
        // Long hex data continue on the next lines after a trailing "\".
        QByteArray joined;
        QByteArrayView piece = trimmed(rest);
        while (piece.endsWith('\\')) {
            joined.append(piece.first(piece.size() - 1));
            if (atEnd())
                return false;
            piece = trimmed(nextLine());
        }
        joined.append(piece);
        QByteArray data;
        if (!parseHexBytes(joined, &data))
            return false;
        // Bytes that are no UTF-16 stay as they are.
        if (m_version5 && isStringType(type))
            utf16ToUtf8(data, &data);
        key->setValue(name, type, data);
        return true;
    }

    const QByteArray &m_text;
    qsizetype m_pos = 0;
    bool m_version5 = false;
};

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(bytes); // decodes only when converted
    return !decoder.hasError();
}

// A REG_SZ goes out as "text" only when that reads back to the same bytes:
// one final zero, no other zero, no line break, valid UTF-8.
bool writableAsText(const HiveValue &v)
{
    if (v.type != REG_SZ || v.data.isEmpty() || v.data.back() != '\0')
        return false;
    const QByteArray body = v.data.first(v.data.size() - 1);
    return !body.contains('\0') && !body.contains('\r') && !body.contains('\n') && isValidUtf8(body);
}

// Counts what would be appended, so that the size of a hive's text is known
// before (or instead of) writing it.
class SizeCounter
{
public:
    void append(char) { ++m_size; }
    void append(QByteArrayView text) { m_size += text.size(); }
    qint64 size() const { return m_size; }

private:
    qint64 m_size = 0;
};

template<typename Out>
void appendQuoted(Out *out, QByteArrayView text)
{
    out->append('"');
    for (char c : text) {
        if (c == '\\' || c == '"')
            out->append('\\');
        out->append(c);
    }
    out->append('"');
}

template<typename Out>
void appendValue(Out *out, const HiveValue &v)
{
    const qint64 lineStart = out->size();
    if (v.name.isEmpty())
        out->append('@');
    else
        appendQuoted(out, v.name);
    out->append('=');
    if (writableAsText(v)) {
        appendQuoted(out, v.data.first(v.data.size() - 1));
        out->append("\r\n");
        return;
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | uchar(v.data[i]);
        out->append("dword:" + QByteArray::number(n, 16).rightJustified(8, '0') + "\r\n");
        return;
    }
    if (v.type == REG_BINARY)
        out->append("hex:");
    else
        out->append("hex(" + QByteArray::number(v.type, 16) + "):");
    // regedit's layout: "xx," pieces, continued with "\" so no line passes 80 columns
    static const char digits[] = "0123456789abcdef";
    qint64 column = out->size() - lineStart;
    for (qsizetype i = 0; i < v.data.size(); ++i) {
        const uchar b = uchar(v.data[i]);
        out->append(digits[b >> 4]);
        out->append(digits[b & 0xF]);
        column += 2;
        if (i + 1 < v.data.size()) {
            out->append(',');
            ++column;
            if (column >= 77) {
                out->append("\\\r\n  ");
                column = 2;
            }
        }
    }
    out->append("\r\n");
}

template<typename Out>
void appendKeyLine(Out *out, QByteArrayView path)
{
    out->append('[');
    out->append(RootName);
    out->append(path);
    out->append("]\r\n");
}

template<typename Out>
void appendKey(Out *out, const HiveNode &node, QByteArray &path, bool isRoot)
{
    if (!isRoot || !node.values.empty()) {
        appendKeyLine(out, path);
        for (const HiveValue &v : node.values)
            appendValue(out, v);
        out->append("\r\n");
    }
    for (const auto &child : node.children) {
        const qsizetype mark = path.size();
        path.append('\\');
        path.append(child->name);
        appendKey(out, *child, path, false);
        path.truncate(mark);
    }
}

} // namespace

std::unique_ptr<HiveNode> parseHive(const QByteArray &text)
{
    if (text.startsWith("\xFF\xFE")) {
        QByteArray utf8;
        if (!utf16ToUtf8(QByteArrayView(text).sliced(2), &utf8))
            return nullptr;
        return Parser(utf8).run();
    }
    return Parser(text).run();
}

QByteArray serializeHive(const HiveNode &root)
{
    QByteArray out = Header.toByteArray();
    QByteArray path;
    appendKey(&out, root, path, true);
    return out;
}

qint64 serializedSize(const HiveNode &root)
{
    SizeCounter out;
    out.append(Header);
    QByteArray path;
    appendKey(&out, root, path, true);
    return out.size();
}

qint64 valueTextSize(const HiveValue &value)
{
    SizeCounter out;
    appendValue(&out, value);
    return out.size();
}

qint64 keyTextSize(qint64 pathLength)
{
    SizeCounter out;
    appendKeyLine(&out, {});
    out.append("\r\n");
    return out.size() + pathLength;
}
