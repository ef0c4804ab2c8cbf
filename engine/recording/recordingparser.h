// SPDX-License-Identifier: MIT
#pragma once

// A recording read line by line, whichever of the three forms it is in: an
// snmpsim recording (engine/recording/snmprec.h), Net-SNMP walk text
// (walktext.h) or a Norvane result file ("oid | name | type | value", rows
// taken as they were saved). The first line that is no blank line nor a "#"
// comment tells which; a file that starts otherwise is no recording, and
// nothing of it is read. A line that cannot be read is reported with the
// reason and skipped; the rest is read on.

#include "engine/query/resultrow.h"
#include "engine/recording/walktext.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class RecordingFormat { Unknown, Snmprec, WalkText, ResultFile };

class RecordingSink
{
public:
    virtual void binding(uint64_t line, RecordedBinding &&binding) = 0;
    // A result file's row, its texts as they were saved.
    virtual void row(uint64_t line, ResultRow &&row) = 0;
    // A line skipped, or (skipped false) read but worth a word.
    virtual void issue(uint64_t line, std::string reason, bool skipped) = 0;

protected:
    ~RecordingSink() = default;
};

class RecordingParser final : private WalkTextReader::Sink
{
public:
    explicit RecordingParser(RecordingSink &sink) : m_sink(sink), m_walk(*this) {}

    // Every line of the file, in order, without its "\n".
    void line(std::string_view text, uint64_t number);
    // A line longer than the reader keeps: its head.
    void tooLong(std::string_view head, uint64_t number);
    void finish();

    RecordingFormat format() const { return m_format; }
    // The file's first line was none of the three forms: nothing more is read.
    bool refused() const { return m_refused; }

private:
    // WalkTextReader::Sink
    void binding(uint64_t line, RecordedBinding &&binding) override;
    void bad(uint64_t line, std::string reason) override { m_sink.issue(line, std::move(reason), true); }

    void detect(std::string_view text, uint64_t number);
    void resultLine(std::string_view text, uint64_t number);

    RecordingSink &m_sink;
    WalkTextReader m_walk;
    RecordingFormat m_format = RecordingFormat::Unknown;
    bool m_refused = false;
    // The OID of the last binding taken and its line: recordings are in OID order.
    std::vector<uint32_t> m_lastOid;
    uint64_t m_lastLine = 0;
};

// The lines of a result file are written by store/resultfile.h; a line's
// four texts, or false when it has not three " | " in it or its first text
// is no dotted OID.
bool readResultLine(std::string_view line, ResultRow &row);
