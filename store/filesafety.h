// SPDX-License-Identifier: MIT
#pragma once

#include "store/storeerror.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <sys/types.h>
#include <utility>

// What the settings hive and the result file writer need around their files:
// descriptors that close themselves, the writers' lock, bounded reading, the
// private folder, a bad file kept aside, and the temporary file of an atomic
// replace. Failures come back as the reason of a StoreError, without message.

inline QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// The folder of a native path: "/" for a file at the root, "." for a bare name.
inline QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : slash == 0 ? QByteArray("/") : QByteArray(".");
}

// Owns a file descriptor; closes it when it goes.
class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1);
    // Closes now, for a caller that must know whether the close failed;
    // nothing open is no failure.
    StoreError close();

private:
    int m_fd;
};

// POSIX write(2) semantics. The store's writers (the settings file's atomic
// replace, the result file) take one, so that a test can fail a write.
using WriteFunction = std::function<ssize_t(int fd, const void *data, size_t size)>;

// Writes the whole buffer, retrying short writes and EINTR, through write
// (::write when empty). On failure *written, when given, tells how many bytes
// went out before it; a write that takes nothing counts as EIO.
StoreError writeAll(int fd, const char *data, size_t size, const WriteFunction &write, size_t *written = nullptr);

// An exclusive flock on the lock file, held for the object's life. The lock
// file is never removed: removing it would let two copies lock different files.
class FileLock
{
public:
    // Waits up to waitMs for a lock that another holds, then gives up with
    // LockedOut: a copy that hangs while holding it must not hang this one.
    StoreError acquire(const QByteArray &lockPath, int waitMs);

private:
    UniqueFd m_fd; // closing releases the lock
};

// Reads a regular file whole, but never more than maxSize bytes (TooLarge).
// A missing file is ENOENT. Anything else (a FIFO, a device, a folder) is
// refused as NotRegularFile without waiting on it.
StoreError readFile(const QByteArray &path, qint64 maxSize, QByteArray *text);

// The file that path names once symbolic links are followed (it need not
// exist), so that it can be replaced where it lies; ELOOP past 40 links.
StoreError resolveLinks(const QByteArray &path, QByteArray *target);

// Creates the folder and its missing parents; the ones created here are 0700
// whatever the umask.
StoreError ensureFolder(const QByteArray &dir);

// Takes group and other access away from a folder of the user's own.
void tightenFolder(const QByteArray &dir);

// Renames a file to "<path>.bad-<yyyyMMdd-hhmmss>" (with "-2", "-3"... when
// that exists), never over an earlier one; *keptAs is the new name.
StoreError moveAside(const QString &path, QString *keptAs);

// Removes the temporary files that writers of fileName left in folder when
// they died before their rename. Only to be called under the writers' lock.
void removeStaleTemporaries(const QByteArray &folder, const QByteArray &fileName);

// The temporary file of an atomic replace: "<target>.tmp-XXXXXX" beside the
// target, so that the rename stays on one file system (a target name near
// the longest a name may be is shortened for it). It removes itself when it
// goes, unless replaceTarget() has put it in the target's place.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    // Made with `mode` less the umask, as open(2) makes a file; with
    // exactMode the mode is set whatever the umask.
    StoreError create(const QByteArray &target, mode_t mode = 0600, bool exactMode = true);
    int fd() const { return m_fd.get(); }
    // fsync, close, rename over the target, then fsync of the folder so the
    // rename itself is durable (that last one may be refused; the file is in
    // place anyway). Without durable only the close and the rename: a crash
    // of the program still leaves the old file or the new one whole.
    StoreError replaceTarget(bool durable = true);

private:
    UniqueFd m_fd;
    QByteArray m_path;   // empty when there is nothing to remove
    QByteArray m_target;
};
