// SPDX-License-Identifier: MIT
#include "engine/recording/recordingparser.h"

#include "engine/recording/recordtext.h"
#include "engine/recording/snmprec.h"

#include <algorithm>

using namespace recordtext;

namespace {

constexpr std::string_view Separator = " | ";

bool ignorable(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    return first == std::string_view::npos || text[first] == '#';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool readResultLine(std::string_view line, ResultRow &row)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const size_t first = line.find(Separator);
    const size_t second = first == std::string_view::npos ? first : line.find(Separator, first + 3);
    const size_t third = second == std::string_view::npos ? second : line.find(Separator, second + 3);
    if (third == std::string_view::npos || line.empty() || line.front() != '.')
        return false;
    std::vector<uint32_t> ids;
    std::string reason;
    if (!readOid(line.substr(0, first), ids, reason))
        return false;
    row.oid.assign(line.substr(0, first));
    row.name.assign(line.substr(first + 3, second - first - 3));
    row.type.assign(line.substr(second + 3, third - second - 3));
    row.value.assign(line.substr(third + 3));
    row.binding.clear();
    return true;
}

void RecordingParser::line(std::string_view text, uint64_t number)
{
    if (m_refused)
        return;
    if (m_format == RecordingFormat::Unknown) {
        if (ignorable(text))
            return;
        detect(text, number);
        if (m_refused)
            return;
    }
    if (text.find('\0') != std::string_view::npos) {
        if (m_format == RecordingFormat::WalkText)
            m_walk.lostLine(number);
        m_sink.issue(number, "binary data (a NUL byte)", true);
        return;
    }
    switch (m_format) {
    case RecordingFormat::Snmprec: {
        if (ignorable(text))
            return;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        RecordedBinding read;
        if (std::string reason = readSnmprecLine(text, read.binding); !reason.empty())
            m_sink.issue(number, std::move(reason), true);
        else
            binding(number, std::move(read));
        return;
    }
    case RecordingFormat::WalkText:
        m_walk.line(text, number);
        return;
    case RecordingFormat::ResultFile:
        resultLine(text, number);
        return;
    case RecordingFormat::Unknown:
        return;
    }
}

void RecordingParser::tooLong(std::string_view head, uint64_t number)
{
    if (m_format == RecordingFormat::Unknown)
        detect(head, number);
    if (m_refused)
        return;
    if (m_format == RecordingFormat::WalkText)
        m_walk.lostLine(number);
    m_sink.issue(number, "longer than 1 MiB", true);
}

void RecordingParser::finish()
{
    if (m_format == RecordingFormat::WalkText)
        m_walk.finish();
}

void RecordingParser::detect(std::string_view text, uint64_t number)
{
    // ".1.3.6 | name | ...", "1.3.6|4|...", "name = ...".
    const auto dotted = [](std::string_view head) {
        return !head.empty() && head.find_first_not_of(".0123456789") == std::string_view::npos;
    };
    const size_t separator = text.find(Separator);
    const size_t bar = text.find('|');
    if (text.find('\0') != std::string_view::npos)
        m_refused = true;
    else if (separator != std::string_view::npos && text.front() == '.' && dotted(text.substr(0, separator)))
        m_format = RecordingFormat::ResultFile;
    else if (bar != std::string_view::npos && isDigit(text.front()) && dotted(text.substr(0, bar)))
        m_format = RecordingFormat::Snmprec;
    else if (WalkTextReader::startsBinding(text))
        m_format = RecordingFormat::WalkText;
    else
        m_refused = true;
    if (m_refused)
        m_sink.issue(number, "neither an snmpsim recording, Net-SNMP walk text nor a Norvane result file", true);
}

void RecordingParser::resultLine(std::string_view text, uint64_t number)
{
    if (text.empty() || text == "\r")
        return;
    ResultRow row;
    if (!readResultLine(text, row)) {
        m_sink.issue(number, "not \"oid | name | type | value\"", true);
        return;
    }
    m_sink.row(number, std::move(row));
}

void RecordingParser::binding(uint64_t line, RecordedBinding &&binding)
{
    const std::vector<uint32_t> &oid = binding.binding.name.ids;
    if (binding.nameText.empty() && m_lastLine > 0) {
        if (oid == m_lastOid) {
            m_sink.issue(line, "repeats the OID of line " + std::to_string(m_lastLine), true);
            return;
        }
        if (std::lexicographical_compare(oid.begin(), oid.end(), m_lastOid.begin(), m_lastOid.end()))
            m_sink.issue(line, "out of OID order: before the OID of line " + std::to_string(m_lastLine) + " (kept)",
                         false);
    }
    if (binding.nameText.empty()) {
        m_lastOid = oid;
        m_lastLine = line;
    }
    m_sink.binding(line, std::move(binding));
}
