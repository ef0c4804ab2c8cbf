// SPDX-License-Identifier: MIT
#pragma once

// Net-SNMP's walk text, "name = TYPE: value" a binding, as snmpwalk prints it:
// with numeric OIDs (-On), the form snmpsim serves (-ObentU: numeric enums
// and timeticks, no units), or its default with MIB names, enum labels, units
// and values shown by their DISPLAY-HINTs. Long hex strings and strings with
// line breaks go on over several lines.
//
// What the default form shows by a hint is read back where the text says
// what the octets were: readable text, hex with ":" between the octets (a
// hardware address: "0:1a:2b" reads as three octets, as snmpsim reads it,
// even where the text meant was "0:1a:2b"), "d-2" numbers ("12.34" is 1234).

#include "engine/snmp/snmprecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The -ObentU line of a binding, without its line end: octets as a quoted
// STRING when every one is printable ASCII other than '"' and '\' (which
// Net-SNMP escapes and snmpsim does not read back), else on one line as
// Hex-STRING; TimeTicks as the bare number. Nothing for what the text has no
// form of its own for: a tag Net-SNMP does not print (Bits, Sequence, unknown
// ones) and an address that is not four octets.
std::optional<std::string> walkLine(const SnmpVarBind &binding);

// A binding of a recording. A name or OID value given by its MIB name
// ("IF-MIB::ifDescr.1") is the caller's to convert, who has the MIBs: it is
// then in nameText or objectText, and the binding's own is empty.
struct RecordedBinding
{
    SnmpVarBind binding;
    std::string nameText;
    std::string objectText;
};

// Reads walk text line by line. A binding is handed on once the line after
// it shows it complete (or at finish()).
class WalkTextReader
{
public:
    // Bounds what one binding of many lines may gather: far above SNMP's 64 KiB values.
    static constexpr size_t MaxValueBytes = size_t(1) << 20;

    class Sink
    {
    public:
        virtual void binding(uint64_t line, RecordedBinding &&binding) = 0;
        // A binding that was not read, at the number of its first line.
        virtual void bad(uint64_t line, std::string reason) = 0;

    protected:
        ~Sink() = default;
    };

    explicit WalkTextReader(Sink &sink) : m_sink(sink) {}

    // "name = value": the line starts a binding.
    static bool startsBinding(std::string_view line);

    void line(std::string_view text, uint64_t number);
    // A line that could not be kept: a binding it continued is lost.
    void lostLine(uint64_t number);
    void finish();

private:
    enum class Mode {
        None,     // nothing pending
        Done,     // a binding complete on its first line
        Quoted,   // a quoted string not yet closed
        Text,     // an unquoted string, which may go on
        Hex,      // octets in hex, which may go on
        Skipping, // the rest of a binding that was given up
    };

    void start(std::string_view text, uint64_t number);
    void carryOn(std::string_view text, bool first = false);
    // The binding's value from the gathered text; empty, or why it is none.
    std::string complete();
    void handOn();
    void fail(std::string reason);

    Sink &m_sink;
    Mode m_mode = Mode::None;
    std::optional<bool> m_crlf; // the file's lines end in CR LF: the first binding of one line tells
    uint64_t m_line = 0;        // of the binding pending
    RecordedBinding m_pending;
    std::string m_type;  // the type word, in capitals
    std::string m_text;  // the value's text gathered so far
    size_t m_heldBreaks = 0; // blank lines inside unquoted text, kept if more text follows
    bool m_quoted = false;   // the string value is in quotes
    bool m_escape = false;   // a backslash in the quoted string waits for its character
};
