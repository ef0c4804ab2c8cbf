// SPDX-License-Identifier: MIT
#include "engine/mib/miberrors.h"

#include <algorithm>
#include <charconv>

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

int number(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : -1;
}

// Net-SNMP names no file as "(none)", or "(null)" where glibc prints a null
// one; /dev/null is the name it is left with after the MIB files are noted.
std::string fileName(std::string_view text)
{
    return text == "(none)" || text == "(null)" || text == "/dev/null" ? std::string() : std::string(text);
}

// print_error's three shapes: "what (token): At line N in FILE", with
// "(EOF)" for the token at the end of the file, or without a token.
bool readPrintError(std::string_view line, MibError &error)
{
    constexpr std::string_view At = ": At line ";
    const size_t at = line.rfind(At);
    if (at == std::string_view::npos)
        return false;
    std::string_view place = line.substr(at + At.size());
    const size_t in = place.find(" in ");
    if (in == std::string_view::npos || number(place.substr(0, in)) < 0)
        return false;
    error.line = number(place.substr(0, in));
    error.file = fileName(place.substr(in + 4));
    std::string_view what = line.substr(0, at);
    error.message = std::string(what);
    constexpr std::string_view CannotFind = "Cannot find module (";
    if (startsWith(what, CannotFind) && what.back() == ')')
        error.missingImport = std::string(what.substr(CannotFind.size(), what.size() - CannotFind.size() - 1));
    return true;
}

} // namespace

std::vector<MibError> readMibErrors(const std::vector<std::string> &lines)
{
    std::vector<MibError> errors;
    std::string unlinked; // the "label ::= { parent n }" of an Unlinked OID line just read
    for (const std::string &text : lines) {
        const std::string_view line = text;
        MibError error;
        if (startsWith(line, "MIB search path: "))
            continue;
        if (startsWith(line, "Unlinked OID in ")) {
            // "Unlinked OID in MODULE: label ::= { parent n }"
            const size_t colon = line.find(": ", 16);
            unlinked = colon == std::string_view::npos ? std::string() : std::string(line.substr(colon + 2));
            continue;
        }
        if (startsWith(line, "Undefined identifier: ")) {
            // "Undefined identifier: parent near line N of FILE"
            const size_t near = line.find(" near line ");
            const size_t of = near == std::string_view::npos ? near : line.find(" of ", near);
            if (of != std::string_view::npos) {
                error.message = std::string(line.substr(0, near));
                if (!unlinked.empty())
                    error.message += " (" + unlinked + ")";
                error.line = std::max(0, number(line.substr(near + 11, of - near - 11)));
                error.file = fileName(line.substr(of + 4));
            } else {
                error.message = text;
            }
            unlinked.clear();
            errors.push_back(std::move(error));
            continue;
        }
        unlinked.clear();
        if (startsWith(line, "Did not find '")) {
            // "Did not find 'label' in module MODULE (FILE)"; the module is "#-1"
            // when it was not found, which a "Cannot find module" line reports.
            const size_t open = line.rfind(" (");
            if (open != std::string_view::npos && line.back() == ')') {
                error.file = fileName(line.substr(open + 2, line.size() - open - 3));
                error.message = std::string(line.substr(0, open));
                const size_t hash = error.message.find(" in module #");
                if (hash != std::string::npos)
                    error.message = error.message.substr(0, hash) + " in any module found";
            } else {
                error.message = text;
            }
        } else if (startsWith(line, "Cannot adopt OID in ")) {
            // "Cannot adopt OID in MODULE: label ::= { parent n }"
            const size_t colon = line.find(": ", 20);
            if (colon != std::string_view::npos) {
                error.module = std::string(line.substr(20, colon - 20));
                error.message = "Cannot adopt OID " + std::string(line.substr(colon + 2));
            } else {
                error.message = text;
            }
        } else if (!readPrintError(line, error)) {
            error.message = text;
        }
        errors.push_back(std::move(error));
    }
    return errors;
}

std::string placeOf(const MibError &error)
{
    if (error.file.empty())
        return {};
    return error.line > 0 ? error.file + ":" + std::to_string(error.line) : error.file;
}
