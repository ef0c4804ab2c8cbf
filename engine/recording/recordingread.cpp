// SPDX-License-Identifier: MIT
#include "engine/recording/recordingread.h"

#include "engine/mib/oidtext.h"
#include "engine/recording/linereader.h"
#include "engine/recording/recordtext.h"

#include <utility>

namespace {

// Lines between event passes when no row comes of them (comments, bad lines).
constexpr uint64_t QuietLines = 256;

class RowsOut final : public RecordingSink
{
public:
    RowsOut(QuerySink &sink, RecordingRead &read) : m_sink(sink), m_read(read) {}

    void binding(uint64_t line, RecordedBinding &&recorded) override
    {
        SnmpVarBind &binding = recorded.binding;
        if (!recorded.nameText.empty() && !convert(line, recorded.nameText, binding.name))
            return;
        if (!recorded.objectText.empty() && !convert(line, recorded.objectText, binding.value.object))
            return;
        begin();
        ++m_read.rows;
        m_sink.appendRow(renderBinding(binding, SnmpVersion::V2c));
    }
    void row(uint64_t, ResultRow &&row) override
    {
        begin();
        ++m_read.rows;
        m_sink.appendRow(std::move(row));
    }
    // Once the file is known to be a recording, before its first row.
    void begin()
    {
        if (!std::exchange(m_begun, true) && started)
            started();
    }
    std::function<void()> started;
    void issue(uint64_t line, std::string reason, bool skipped) override
    {
        ++(skipped ? m_read.skipped : m_read.remarks);
        if (m_read.issues.size() < RecordingRead::MaxIssuesKept)
            m_read.issues.push_back("Line " + std::to_string(line) + ": " + reason);
    }

private:
    bool convert(uint64_t line, const std::string &name, AsnObjectIdentifier &oid)
    {
        if (SnmpMgrStrToOid(name, &oid) && !oid.ids.empty() && oid.ids.size() <= recordtext::MaxOidLength)
            return true;
        issue(line, "the name " + recordtext::quoted(name) + " is none of the loaded MIBs", true);
        return false;
    }

    QuerySink &m_sink;
    RecordingRead &m_read;
    bool m_begun = false;
};

} // namespace

RecordingRead readRecording(const std::string &path, QuerySink &sink, const RunControl &control,
                            const std::function<void(RecordingFormat)> &started)
{
    RecordingRead read;
    LineReader reader;
    if ((read.fileError = reader.open(path)) != 0)
        return read;
    RowsOut rows(sink, read);
    RecordingParser parser(rows);
    rows.started = [&] {
        read.format = parser.format();
        if (started)
            started(read.format);
    };
    uint64_t rowsBefore = 0;
    uint64_t quiet = 0;
    for (;;) {
        std::string_view line;
        const LineReader::Next next = reader.next(line);
        if (next == LineReader::Next::End)
            break;
        if (next == LineReader::Next::Failed) {
            read.fileError = reader.error();
            break;
        }
        if (next == LineReader::Next::Line)
            parser.line(line, reader.lineNumber());
        else if (next == LineReader::Next::TooLong)
            parser.tooLong(line, reader.lineNumber());
        if (parser.refused()) {
            read.refused = true;
            return read;
        }
        if (read.rows == rowsBefore && ++quiet < QuietLines && next != LineReader::Next::Pending)
            continue;
        rowsBefore = read.rows;
        quiet = 0;
        sink.betweenRows();
        if (control.abandoned || control.closing) {
            read.end = QueryEnd::Abandoned;
            return read;
        }
        if (control.stopped) {
            read.end = QueryEnd::Stopped;
            return read;
        }
    }
    parser.finish();
    if (parser.format() != RecordingFormat::Unknown)
        rows.begin(); // a recording without a binding empties the list as well
    return read;
}
