// SPDX-License-Identifier: MIT
#pragma once

// The lines of a recording written from a result list: each row's binding as
// it was received (engine/query/rowbinding.h), in OID order as snmpsim needs
// it, one line an OID (the last row of those that share one: the latest run).

#include "engine/recording/recordingparser.h"
#include "engine/snmp/snmprecords.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The list as the recording is written from it.
class BindingRows
{
public:
    virtual ~BindingRows() = default;
    virtual size_t rowCount() const = 0;
    // The binding a row shows; nothing when its texts are none Norvane renders
    // (a result file saved with MIB Values, opened again).
    virtual std::optional<SnmpVarBind> binding(size_t row) const = 0;
    // The row's OID text and its type and value texts, for a message.
    virtual std::string rowText(size_t row) const = 0;
};

class RecordingLines
{
public:
    // Snmprec or WalkText. Empty when every row can be written, else the
    // message that says which row cannot and why; nothing is to be written then.
    std::string prepare(const BindingRows &rows, RecordingFormat format);
    // The next line, with its "\n"; false after the last.
    bool next(std::string &line);

private:
    std::optional<std::string> lineOf(const SnmpVarBind &binding) const;

    const BindingRows *m_rows = nullptr;
    RecordingFormat m_format = RecordingFormat::Snmprec;
    std::vector<uint32_t> m_order; // rows to write in turn; empty: all, in list order
    bool m_listOrder = true;
    size_t m_next = 0;
};
