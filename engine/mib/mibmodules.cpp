// SPDX-License-Identifier: MIT
#include "engine/mib/mibmodules.h"

#include "engine/mib/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <set>

MibModuleFiles mibModuleFiles(const std::vector<std::string> &modules)
{
    mibsetup::ensureLoaded();
    MibModuleFiles out;
    std::set<std::string> seen;
    std::set<std::string> missing;
    std::vector<std::string> pending(modules.rbegin(), modules.rend());
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name.empty() || !seen.insert(name).second)
            continue;
        const int id = which_module(name.c_str());
        const struct module *record = id >= 0 ? find_module(id) : nullptr;
        if (!record || !record->file) {
            missing.insert(name);
            continue;
        }
        out.found.push_back({name, record->file});
        // A module not read yet (no_imports -1) has no list; one that was
        // read names each import's module, -1 for one nobody could find.
        for (int i = 0; i < record->no_imports; ++i) {
            const int imported = record->imports[i].modid;
            const struct module *from = imported >= 0 ? find_module(imported) : nullptr;
            if (from && from->name)
                pending.push_back(from->name);
        }
    }
    std::sort(out.found.begin(), out.found.end(),
              [](const MibModuleFile &a, const MibModuleFile &b) { return a.module < b.module; });
    out.missing.assign(missing.begin(), missing.end());
    return out;
}
