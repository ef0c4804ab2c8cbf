// SPDX-License-Identifier: MIT
#pragma once

// What norvane-mibcheck found of files before, so that a start checks only
// the files that are new or changed since: kept in the user's cache folder
// ($XDG_CACHE_HOME/norvane/mib-checks), one line a file,
// "VERDICT SIZE MTIME-NS PATH", where a time or memory verdict carries the
// limit it was found under ("time/10"). A file whose size or time differs
// from its line, or that failed under a lower limit than today's, is
// checked anew; a line that does not read is forgotten.

#include "engine/mib/mibcheck.h"
#include "engine/mib/mibfiles.h"

#include <optional>
#include <string>
#include <unordered_map>

class MibCheckCache
{
public:
    // The user's cache file.
    static std::string defaultPath();

    explicit MibCheckCache(std::string path = defaultPath());

    std::optional<MibCheckVerdict> find(const MibFile &file, const MibCheckLimits &limits = mibCheckLimits()) const;
    void record(const MibFile &file, MibCheckVerdict verdict, const MibCheckLimits &limits = mibCheckLimits());
    // Written whole (a new file renamed over the old) when something was
    // recorded, without the files that are gone; a failure only costs the
    // next start its checks.
    void save();

private:
    struct Entry
    {
        int64_t size = 0;
        int64_t modifiedNs = 0;
        MibCheckVerdict verdict = MibCheckVerdict::Good;
        int limit = 0; // the seconds or megabytes of a time or memory verdict
    };
    std::string m_path;
    std::unordered_map<std::string, Entry> m_entries;
    bool m_changed = false;
};
