// SPDX-License-Identifier: MIT
#include "store/filesafety.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char TemporarySuffix[] = ".tmp-";
constexpr qsizetype TemporaryRandomLength = 6; // letters and digits after the suffix

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

} // namespace

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

StoreError UniqueFd::close()
{
    const int fd = release();
    return StoreError(fd >= 0 && ::close(fd) != 0 ? errno : 0);
}

StoreError writeAll(int fd, const char *data, size_t size, const WriteFunction &write, size_t *written)
{
    size_t done = 0;
    int err = 0;
    while (done < size) {
        const ssize_t n = write ? write(fd, data + done, size - done) : ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += size_t(n);
    }
    if (written)
        *written = done;
    return StoreError(err);
}

StoreError FileLock::acquire(const QByteArray &lockPath, int waitMs)
{
    UniqueFd fd(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600));
    if (!fd.isOpen())
        return StoreError(errno);
    ::fchmod(fd.get(), 0600); // a restrictive umask must not lock ourselves out
    // flock has no time-out; a lock is held for a read or a write of the
    // file, so asking again every few milliseconds costs nothing.
    QDeadlineTimer deadline(waitMs);
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return StoreError(errno);
        if (deadline.hasExpired())
            return StoreError(StoreError::LockedOut);
        const timespec pause{0, 10'000'000};
        ::nanosleep(&pause, nullptr);
    }
    m_fd = std::move(fd);
    return {};
}

StoreError readFile(const QByteArray &path, qint64 maxSize, QByteArray *text)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.isOpen())
        return StoreError(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return StoreError(errno);
    if (!S_ISREG(st.st_mode))
        return StoreError(StoreError::NotRegularFile);
    if (st.st_size > maxSize)
        return StoreError(StoreError::TooLarge);
    // Read up to one byte past the bound, in case the file grows meanwhile.
    text->resize(qsizetype(st.st_size) + 1);
    qsizetype used = 0;
    for (;;) {
        if (used == text->size()) {
            if (used > maxSize)
                return StoreError(StoreError::TooLarge);
            text->resize(std::min<qsizetype>(text->size() * 2, maxSize + 1));
        }
        const ssize_t n = ::read(fd.get(), text->data() + used, size_t(text->size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return StoreError(errno);
        }
        if (n == 0)
            break;
        used += n;
    }
    text->truncate(used);
    return {};
}

StoreError resolveLinks(const QByteArray &path, QByteArray *target)
{
    QByteArray current = path;
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st {};
        const bool exists = ::lstat(current.constData(), &st) == 0;
        if (!exists && errno != ENOENT)
            return StoreError(errno);
        if (!exists || !S_ISLNK(st.st_mode)) {
            *target = current;
            return {};
        }
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.constData(), link.data(), size_t(link.size()));
        if (n < 0)
            return StoreError(errno);
        link.truncate(n);
        // A relative link is relative to the folder that holds it.
        const qsizetype slash = current.lastIndexOf('/');
        current = link.startsWith('/') || slash < 0 ? link : current.left(slash + 1) + link;
    }
    return StoreError(ELOOP);
}

StoreError ensureFolder(const QByteArray &dir)
{
    struct stat st {};
    if (dir.isEmpty() || ::stat(dir.constData(), &st) == 0)
        return {};
    if (errno != ENOENT)
        return StoreError(errno);
    const qsizetype slash = dir.lastIndexOf('/');
    if (slash > 0) {
        if (StoreError err = ensureFolder(dir.left(slash)))
            return err;
    }
    if (::mkdir(dir.constData(), 0700) != 0)
        return StoreError(errno == EEXIST ? 0 : errno);
    ::chmod(dir.constData(), 0700);
    return {};
}

// The folder holds community strings. One made earlier by hand or by another
// program may be open to others; ours to fix only when it is the user's own.
void tightenFolder(const QByteArray &dir)
{
    struct stat st {};
    if (::stat(dir.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & 077) != 0)
        ::chmod(dir.constData(), st.st_mode & 0700);
}

StoreError moveAside(const QString &path, QString *keptAs)
{
    const QString base = path + QStringLiteral(".bad-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString candidate = base;
    struct stat st {};
    for (int n = 2; ::lstat(nativePath(candidate).constData(), &st) == 0; ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    if (::rename(nativePath(path).constData(), nativePath(candidate).constData()) != 0)
        return StoreError(errno);
    *keptAs = candidate;
    return {};
}

// Under the lock none of them belongs to a writer still at work; they hold
// settings, so they do not stay.
void removeStaleTemporaries(const QByteArray &folder, const QByteArray &fileName)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.constData()));
    if (!dir)
        return;
    const QByteArray prefix = fileName + TemporarySuffix;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name.size() == prefix.size() + TemporaryRandomLength && name.startsWith(prefix))
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

TemporaryFile::~TemporaryFile()
{
    m_fd.reset();
    if (!m_path.isEmpty())
        ::unlink(m_path.constData());
}

StoreError TemporaryFile::create(const QByteArray &target, mode_t mode, bool exactMode)
{
    // The suffix must fit in a name: a target near NAME_MAX gives up the end of its own.
    const qsizetype slash = target.lastIndexOf('/');
    const qsizetype room = NAME_MAX - qsizetype(sizeof TemporarySuffix - 1) - TemporaryRandomLength;
    const qsizetype nameLength = target.size() - slash - 1;
    const QByteArray prefix = target.left(slash + 1 + std::min(nameLength, room)) + TemporarySuffix;
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray path = prefix;
        for (qsizetype i = 0; i < TemporaryRandomLength; ++i)
            path += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))];
        UniqueFd fd(::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!fd.isOpen() && errno == EEXIST)
            continue;
        if (!fd.isOpen())
            return StoreError(errno);
        m_fd = std::move(fd);
        m_path = path;
        m_target = target;
        return StoreError(exactMode && ::fchmod(m_fd.get(), mode) != 0 ? errno : 0);
    }
    return StoreError(EEXIST);
}

StoreError TemporaryFile::replaceTarget(bool durable)
{
    if (durable && ::fsync(m_fd.get()) != 0)
        return StoreError(errno);
    if (StoreError err = m_fd.close())
        return err;
    if (::rename(m_path.constData(), m_target.constData()) != 0)
        return StoreError(errno);
    m_path.clear();
    if (!durable)
        return {};
    UniqueFd dir(::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen())
        ::fsync(dir.get());
    return {};
}
