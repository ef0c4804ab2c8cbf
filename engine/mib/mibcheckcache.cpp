// SPDX-License-Identifier: MIT
#include "engine/mib/mibcheckcache.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

namespace {

// Only verdicts that stay true for the same file are kept: a checker that
// did not start says nothing of the file.
constexpr const char *Words[] = {"good", "time", "memory", "crash"};

std::optional<MibCheckVerdict> verdictOf(const std::string &word)
{
    for (size_t i = 0; i < std::size(Words); ++i) {
        if (word == Words[i])
            return MibCheckVerdict(i);
    }
    return std::nullopt;
}

// The limit a verdict depends on: a file that took too long may finish under a longer one.
int limitOf(MibCheckVerdict verdict, const MibCheckLimits &limits)
{
    return verdict == MibCheckVerdict::TimedOut      ? limits.seconds
           : verdict == MibCheckVerdict::OutOfMemory ? limits.megabytes
                                                     : 0;
}

} // namespace

std::string MibCheckCache::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString() + "/norvane/mib-checks";
}

MibCheckCache::MibCheckCache(std::string path) : m_path(std::move(path))
{
    QFile file(QString::fromStdString(m_path));
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        std::istringstream in(line.toStdString());
        std::string word;
        Entry entry;
        std::string path;
        if (!(in >> word >> entry.size >> entry.modifiedNs) || in.get() != ' ' || !std::getline(in, path) || path.empty())
            continue;
        if (const size_t slash = word.find('/'); slash != std::string::npos) {
            entry.limit = std::atoi(word.c_str() + slash + 1);
            word.resize(slash);
        }
        if (const std::optional<MibCheckVerdict> verdict = verdictOf(word)) {
            entry.verdict = *verdict;
            m_entries[path] = entry;
        }
    }
}

std::optional<MibCheckVerdict> MibCheckCache::find(const MibFile &file, const MibCheckLimits &limits) const
{
    const auto found = m_entries.find(file.path);
    if (found == m_entries.end() || found->second.size != file.size || found->second.modifiedNs != file.modifiedNs
        || found->second.limit < limitOf(found->second.verdict, limits))
        return std::nullopt;
    return found->second.verdict;
}

void MibCheckCache::record(const MibFile &file, MibCheckVerdict verdict, const MibCheckLimits &limits)
{
    if (verdict == MibCheckVerdict::NotChecked || !file.problem.empty())
        return;
    m_entries[file.path] = {file.size, file.modifiedNs, verdict, limitOf(verdict, limits)};
    m_changed = true;
}

void MibCheckCache::save()
{
    if (!m_changed)
        return;
    const QString path = QString::fromStdString(m_path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QByteArray text;
    for (const auto &[file, entry] : m_entries) {
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0)
            continue;
        QByteArray word = Words[int(entry.verdict)];
        if (entry.limit > 0)
            word += '/' + QByteArray::number(entry.limit);
        text += word + ' ' + QByteArray::number(qint64(entry.size)) + ' '
            + QByteArray::number(qint64(entry.modifiedNs)) + ' ' + QByteArray::fromStdString(file) + '\n';
    }
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit())
        m_changed = false;
}
