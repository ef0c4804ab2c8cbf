// SPDX-License-Identifier: MIT
#include "store/recordingfile.h"

#include "store/resultfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t ChunkBytes = size_t(1) << 16;

StoreError told(const StoreError &failure, const QString &fileName)
{
    return failure.told(fileErrorMessage(failure.reason(), fileName));
}

// Every line, in chunks; the first failure ends it.
StoreError writeLines(int fd, LineSource &lines, const WriteFunction &write)
{
    std::string chunk;
    chunk.reserve(ChunkBytes + 4096);
    std::string line;
    while (lines.nextLine(line)) {
        chunk += line;
        if (chunk.size() >= ChunkBytes) {
            if (StoreError err = writeAll(fd, chunk.data(), chunk.size(), write))
                return err;
            chunk.clear();
        }
    }
    return writeAll(fd, chunk.data(), chunk.size(), write);
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0); // read by setting it; set back at once
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

StoreError writeRecordingFile(const QString &fileName, LineSource &lines, const WriteFunction &write)
{
    QByteArray target;
    if (StoreError err = resolveLinks(nativePath(fileName), &target))
        return told(err, fileName);
    struct stat st {};
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return told(StoreError(EISDIR), fileName);
    if (exists && !S_ISREG(st.st_mode)) {
        // Renaming over a device would replace the device itself.
        UniqueFd fd(::open(target.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK));
        if (!fd.isOpen())
            return told(StoreError(errno), fileName);
        if (StoreError err = writeLines(fd.get(), lines, write))
            return told(err, fileName);
        if (StoreError err = fd.close())
            return told(err, fileName);
        return {};
    }
    TemporaryFile temporary;
    if (StoreError err = temporary.create(target))
        return told(err, fileName);
    if (::fchmod(temporary.fd(), exists ? st.st_mode & 07777 : newFileMode()) != 0)
        return told(StoreError(errno), fileName);
    if (StoreError err = writeLines(temporary.fd(), lines, write))
        return told(err, fileName);
    if (StoreError err = temporary.replaceTarget())
        return told(err, fileName);
    return {};
}
