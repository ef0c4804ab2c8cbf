// SPDX-License-Identifier: MIT
#pragma once

// The files of MIB folders judged before Net-SNMP may read any of them: a
// file that cannot be read is named at once, one the cache of verdicts knows
// keeps its verdict, and the others go to norvane-mibcheck, all in one run.

#include "engine/mib/mibcheck.h"
#include "engine/mib/miberrors.h"
#include "engine/mib/mibfiles.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class MibVetting
{
public:
    // The folders' files, after the files noted already (which the checker
    // notes first, for the others to import).
    explicit MibVetting(const std::vector<std::string> &folders, std::vector<std::string> noted = {});
    ~MibVetting();

    bool done() const { return !m_run || m_run->done(); }
    void finish(RequestWait wait);
    // As MibCheckRun::watch; onDone may not destroy this.
    void watch(std::function<void()> onDone);
    // Whether the checker had to run: files were new or changed.
    bool checking() const { return bool(m_run); }

    // Once done: the folders' files Net-SNMP may note, in the folders'
    // order, and those it may not, each under its file name with why.
    std::vector<std::string> usable() const;
    std::vector<MibModuleErrors> refused() const;

private:
    void judge();

    std::vector<std::string> m_noted;
    std::vector<MibFile> m_files;
    std::vector<MibCheckVerdict> m_verdicts; // by m_files; Good for a file with a problem means nothing
    std::unique_ptr<MibCheckRun> m_run;
    bool m_judged = false;
};

// A file left out, as the Load errors list shows it: under its file name,
// with a message that begins with why.
MibModuleErrors refusedFile(const std::string &path, const std::string &message);
