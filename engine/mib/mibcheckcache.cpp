// SPDX-License-Identifier: MIT
#include "engine/mib/mibcheckcache.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>



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
    const QByteArray text = file.readAll();
    for (const QByteArray &line : text.split('\n')) {
        // "WORD SIZE MTIME PATH": the path, last, may hold blanks.
        const qsizetype first = line.indexOf(' ');
        const qsizetype second = line.indexOf(' ', first + 1);
        const qsizetype third = line.indexOf(' ', second + 1);
        if (first < 0 || second < 0 || third < 0 || third + 1 >= line.size())
            continue;
        QByteArray word = line.left(first);
        Entry entry;
        bool sized = false;
        bool timed = false;
        entry.size = line.mid(first + 1, second - first - 1).toLongLong(&sized);
        entry.modifiedNs = line.mid(second + 1, third - second - 1).toLongLong(&timed);
        if (const qsizetype slash = word.indexOf('/'); slash >= 0) {
            entry.limit = word.mid(slash + 1).toInt();
            word.truncate(slash);
        }
        const std::optional<MibCheckVerdict> verdict = verdictOf(word.toStdString());
        if (!sized || !timed || !verdict)
            continue;
        entry.verdict = *verdict;
        m_entries[line.mid(third + 1).toStdString()] = entry;
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
