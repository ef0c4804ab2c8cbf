// SPDX-License-Identifier: MIT
#include "store/resultfile.h"

#include "common/apperror.h"
#include "common/messages.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 BlockSize = 128;
// Whole blocks, so that a failure can still be told in blocks: 512 of them,
// some 800 rows of a walk per write call.
constexpr qint64 ChunkSize = 512 * BlockSize;

// The text goes out in 64 KiB chunks, and the file ends up as if it had gone
// through a 128-byte buffer one block at a time: after a failed write it holds
// the whole blocks before the first block that did not reach it, and the
// failure belongs to the row during which that block filled, or to the close
// for the final partial block. Nothing is written after a failure.
class ChunkWriter
{
public:
    ChunkWriter(int fd, const WriteFunction &write)
        : m_fd(fd), m_write(write), m_buffer(std::make_unique<char[]>(size_t(ChunkSize)))
    {
    }

    void beginRow(int row) { m_row = row; }
    void append(std::string_view text)
    {
        while (!text.empty() && !failed()) {
            const size_t n = std::min(size_t(ChunkSize - m_used), text.size());
            std::memcpy(m_buffer.get() + m_used, text.data(), n);
            m_used += qint64(n);
            text.remove_prefix(n);
            if (m_used == ChunkSize)
                writeChunk(-1);
        }
    }
    void endRow() { m_rowEnds.push_back({m_written + m_used, m_row}); }
    // The rest goes out with the close; a failure of its last, partial block
    // belongs to closeRow.
    void finish(int closeRow)
    {
        if (!failed() && m_used > 0)
            writeChunk(closeRow);
    }

    bool failed() const { return bool(m_error); }
    const StoreError &error() const { return m_error; }
    int failedRow() const { return m_failedRow; }

private:
    struct RowEnd
    {
        qint64 end; // offset just past the row's line
        int row;
    };

    void writeChunk(int closeRow)
    {
        size_t done = 0;
        m_error = writeAll(m_fd, m_buffer.get(), size_t(m_used), m_write, &done);
        if (!failed()) {
            m_written += m_used;
            m_used = 0;
            m_rowEnds.clear(); // every row ended so far lies in the file now
            return;
        }
        const qint64 reached = m_written + qint64(done);
        const qint64 blockStart = reached - reached % BlockSize;
        // Part of the failed block got there: take it back, the block did not.
        // A device written in place cannot be cut, and keeps what it took.
        if (blockStart < reached) {
            [[maybe_unused]] const int cut = ::ftruncate(m_fd, blockStart);
        }
        const qint64 blockLast = blockStart + BlockSize - 1;
        m_failedRow = blockLast < m_written + m_used ? rowHolding(blockLast) : closeRow;
    }

    // The row whose line holds the byte at offset; the row still being
    // appended when no row ended after it.
    int rowHolding(qint64 offset) const
    {
        for (const RowEnd &e : m_rowEnds) {
            if (e.end > offset)
                return e.row;
        }
        return m_row;
    }

    int m_fd;
    const WriteFunction &m_write;
    std::unique_ptr<char[]> m_buffer;
    qint64 m_used = 0;
    qint64 m_written = 0;          // bytes of the file written before the buffer
    std::vector<RowEnd> m_rowEnds; // the rows that ended in the buffer
    int m_row = -1;
    StoreError m_error;
    int m_failedRow = -1;
};

bool folderExists(const QString &fileName)
{
    struct stat st {};
    return ::stat(nativePath(QFileInfo(fileName).absolutePath()).constData(), &st) == 0
           && S_ISDIR(st.st_mode);
}

StoreError told(const StoreError &failure, const QString &fileName)
{
    return failure.told(fileErrorMessage(failure.reason(), fileName));
}

bool isTxtExtension(QStringView ext)
{
    static constexpr char16_t txt[] = u".txt";
    if (ext.size() != 4)
        return false;
    for (qsizetype i = 0; i < 4; ++i) {
        char16_t c = ext[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + (u'a' - u'A'));
        if (c != txt[i])
            return false;
    }
    return true;
}

} // namespace

StoreError ResultFile::open(const QString &fileName)
{
    m_fileName = fileName;
    m_temporary.reset();
    m_fd.reset();
    // A regular file (or none yet) is replaced by a new one written beside
    // it, so that a failure or a crash while the rows are written leaves the
    // old file whole. The file a symbolic link leads to is the one replaced.
    const QByteArray path = nativePath(fileName);
    QByteArray target;
    struct stat st {};
    if (!resolveLinks(path, &target)) {
        const bool exists = ::stat(target.constData(), &st) == 0;
        const bool isNew = !exists && errno == ENOENT;
        // A file the user may not write stays refused, as an open for writing refuses it.
        const bool writable = exists && S_ISREG(st.st_mode)
                              && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) == 0;
        if (isNew || writable) {
            auto temporary = std::make_unique<TemporaryFile>();
            // A new file gets 0666 less the umask; one replaced keeps its mode and, where allowed, its owner.
            if (!temporary->create(target, writable ? st.st_mode & 07777 : 0666, writable)) {
                if (writable && ::fchown(temporary->fd(), st.st_uid, st.st_gid) != 0) {
                    // Only root may give a file away; the user's own file stays the user's.
                }
                m_temporary = std::move(temporary);
                return {};
            }
        }
    }
    // Anything else is written in place, as it always was: a device, a FIFO,
    // a folder where no new file may be made beside a file that may be
    // written. Without O_NONBLOCK a FIFO nobody reads would hold the window.
    m_fd = UniqueFd(::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!m_fd.isOpen())
        return told(StoreError(errno), fileName);
    if (const int flags = ::fcntl(m_fd.get(), F_GETFL); flags != -1)
        ::fcntl(m_fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return {};
}

StoreError ResultFile::write(const ResultSource &source)
{
    ChunkWriter out(m_temporary ? m_temporary->fd() : m_fd.get(), m_write);
    const int rows = source.rowCount();
    for (int row = 0; row < rows && !out.failed(); ++row) {
        const ResultTexts texts = source.rowTexts(row);
        out.beginRow(row);
        appendResultLine(texts, [&out](std::string_view piece) { out.append(piece); });
        out.append(ResultLineEnd);
        out.endRow();
    }
    out.finish(rows);
    StoreError closeError;
    if (m_temporary) {
        // No fsync: it would cost Save a third more time, and a crash of the
        // program leaves the old file or the new one whole without it.
        if (!out.failed())
            closeError = m_temporary->replaceTarget(false);
        m_temporary.reset(); // a temporary file not put in place goes
    } else {
        // The file or its folder was removed while it was written: the writes
        // went to a file nobody can open any more. The platform would have
        // refused the removal; here the user is told rather than shown a save
        // that kept nothing.
        if (struct stat st {}; !out.failed() && ::fstat(m_fd.get(), &st) == 0 && st.st_nlink == 0)
            closeError = StoreError(ENOENT);
        if (StoreError err = m_fd.close(); !closeError && err.reason() != EINTR)
            closeError = err;
    }
    if (out.failed()) {
        m_failedRow = out.failedRow();
        return told(out.error(), m_fileName);
    }
    if (closeError) {
        m_failedRow = rows;
        return told(closeError, m_fileName);
    }
    return {};
}

std::string resultLine(const ResultTexts &texts)
{
    std::string line;
    line.reserve(texts.oid.size() + texts.name.size() + texts.type.size() + texts.value.size()
                 + 3 * ResultFieldSeparator.size());
    appendResultLine(texts, [&line](std::string_view piece) { line.append(piece); });
    return line;
}

QString fileErrorMessage(int errnoValue, const QString &fileName)
{
    switch (errnoValue) {
    case ENOENT:
        return QString::fromLatin1(folderExists(fileName) ? msg::FileNotFound : msg::InvalidFilename);
    case ENOTDIR: // a part of the folder path is a file: the folder is missing
        return QString::fromLatin1(msg::InvalidFilename);
    case EMFILE:
    case ENFILE:
        return QString::fromLatin1(msg::TooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // the name of a folder, which Windows refuses as access denied
        return QString::fromLatin1(msg::FileAccessDenied);
    case ENOSPC:
    case EDQUOT:
        return QString::fromStdString(formatMessage(msg::IoError, 112)); // the code of a full disk
    default:
        return QString::fromStdString(formatMessage(msg::IoError, errnoValue));
    }
}

QString withTxtExtension(const QString &chosenPath)
{
    qsizetype extStart = chosenPath.size();
    for (qsizetype i = chosenPath.size() - 1; i >= 0; --i) {
        const QChar c = chosenPath[i];
        if (c == u'.') {
            extStart = i;
            break;
        }
        if (c == u'\\' || c == u':' || c == u'/')
            break;
    }
    const QStringView ext = QStringView(chosenPath).mid(extStart);
    if (isTxtExtension(ext))
        return chosenPath;
    return chosenPath.left(extStart) + QStringLiteral(".txt");
}

bool needsReplaceQuestion(const QString &dialogName, const QString &finalName)
{
    if (finalName == dialogName)
        return false;
    const QFileInfo info(finalName);
    return info.exists() || info.isSymLink(); // a dangling link would be written through
}
