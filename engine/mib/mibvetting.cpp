// SPDX-License-Identifier: MIT
#include "engine/mib/mibvetting.h"

#include "engine/mib/mibcheckcache.h"

#include <algorithm>

MibModuleErrors refusedFile(const std::string &path, const std::string &message)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    MibError error;
    error.module = name;
    error.file = path;
    error.message = message;
    return {name, path, {error}};
}

MibVetting::MibVetting(const std::vector<std::string> &folders, std::vector<std::string> noted)
    : m_noted(std::move(noted)), m_files(listMibFolders(folders)), m_verdicts(m_files.size(), MibCheckVerdict::Good)
{
    const MibCheckCache cache;
    std::vector<MibCheckEntry> entries;
    for (const std::string &path : m_noted)
        entries.push_back({path, false});
    bool unknown = false;
    for (size_t i = 0; i < m_files.size(); ++i) {
        const MibFile &file = m_files[i];
        if (!file.problem.empty())
            continue;
        const std::optional<MibCheckVerdict> known = cache.find(file);
        if (known)
            m_verdicts[i] = *known;
        if (!known || *known == MibCheckVerdict::Good)
            entries.push_back({file.path, !known});
        unknown = unknown || !known;
    }
    if (unknown)
        m_run = std::make_unique<MibCheckRun>(std::move(entries));
}

MibVetting::~MibVetting() = default;

void MibVetting::finish(RequestWait wait)
{
    if (m_run)
        m_run->finish(wait);
    judge();
}

void MibVetting::watch(std::function<void()> onDone)
{
    if (m_run)
        m_run->watch([this, onDone = std::move(onDone)] {
            judge();
            if (onDone)
                onDone();
        });
}

// The checker's verdicts into the cache: every file it checked, and a file
// the cache had as good that killed a checker since.
void MibVetting::judge()
{
    if (m_judged || !done() || !m_run)
        return;
    m_judged = true;
    MibCheckCache cache;
    const std::map<std::string, MibCheckVerdict> &verdicts = m_run->verdicts();
    for (size_t i = 0; i < m_files.size(); ++i) {
        const auto found = verdicts.find(m_files[i].path);
        if (found == verdicts.end())
            continue;
        m_verdicts[i] = found->second;
        cache.record(m_files[i], found->second, m_run->limits());
    }
    cache.save();
}

std::vector<std::string> MibVetting::usable() const
{
    std::vector<std::string> paths;
    for (size_t i = 0; i < m_files.size(); ++i) {
        if (m_files[i].problem.empty() && m_verdicts[i] == MibCheckVerdict::Good)
            paths.push_back(m_files[i].path);
    }
    return paths;
}

std::vector<MibModuleErrors> MibVetting::refused() const
{
    const MibCheckLimits limits = m_run ? m_run->limits() : mibCheckLimits();
    std::vector<MibModuleErrors> files;
    for (size_t i = 0; i < m_files.size(); ++i) {
        const MibFile &file = m_files[i];
        if (!file.problem.empty())
            files.push_back(refusedFile(file.path, file.problem));
        else if (m_verdicts[i] != MibCheckVerdict::Good)
            files.push_back(refusedFile(file.path, "Not loaded: " + mibCheckReason(m_verdicts[i], limits)));
    }
    return files;
}
