// SPDX-License-Identifier: MIT
#include "store/resultfile.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "store/filesafety.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BlockSize = 128;

// The result file's buffer: full 128-byte blocks go out as they fill. After a
// failed block nothing more is written, so the file keeps exactly the blocks
// before it; the caller reports the error once the current row is formatted.
class BlockWriter
{
public:
    BlockWriter(int fd, const FileWriteFunction &write) : m_fd(fd), m_write(write) {}

    void append(std::string_view text)
    {
        while (!text.empty()) {
            const size_t n = std::min(BlockSize - m_used, text.size());
            std::memcpy(m_buffer + m_used, text.data(), n);
            m_used += n;
            text.remove_prefix(n);
            if (m_used == BlockSize)
                flush();
        }
    }

    void flush()
    {
        if (m_error == 0 && m_used > 0)
            m_error = writeAll(m_fd, m_buffer, m_used, m_write);
        m_used = 0;
    }

    int error() const { return m_error; }

private:
    int m_fd;
    const FileWriteFunction &m_write;
    char m_buffer[BlockSize];
    size_t m_used = 0;
    int m_error = 0;
};

// Closes the file, then restores the cursor, also when rows cannot be read
// (an exception from the source).
class OpenFileGuard
{
public:
    OpenFileGuard(UniqueFd fd, CursorControl &cursor) : m_fd(std::move(fd)), m_cursor(cursor) {}
    ~OpenFileGuard()
    {
        if (m_fd.isOpen()) {
            m_fd.reset();
            m_cursor.popCursor();
        }
    }
    OpenFileGuard(const OpenFileGuard &) = delete;
    OpenFileGuard &operator=(const OpenFileGuard &) = delete;

    int fd() const { return m_fd.get(); }

    // Closes, restores the cursor, and returns the close's error.
    int finish()
    {
        const int err = m_fd.close();
        m_cursor.popCursor();
        return err == EINTR ? 0 : err;
    }

private:
    UniqueFd m_fd;
    CursorControl &m_cursor;
};

[[noreturn]] void raiseFileError(int err, const QString &fileName)
{
    throw AppError(fileErrorMessage(err, fileName));
}

bool folderExists(const QString &fileName)
{
    struct stat st {};
    return ::stat(QFile::encodeName(QFileInfo(fileName).absolutePath()).constData(), &st) == 0
           && S_ISDIR(st.st_mode);
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

void writeResultFile(const QString &fileName, const ResultSource &source, CursorControl &cursor,
                     const FileWriteFunction &write)
{
    UniqueFd fd(::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.isOpen())
        raiseFileError(errno, fileName);

    cursor.pushBusyCursor();
    OpenFileGuard file(std::move(fd), cursor);
    BlockWriter out(file.fd(), write);
    int writeError = 0;
    const int rows = source.rowCount();
    for (int row = 0; row < rows; ++row) {
        const ResultTexts texts = source.rowTexts(row);
        out.append(texts.oid);
        out.append(" | ");
        out.append(texts.name);
        out.append(" | ");
        out.append(texts.type);
        out.append(" | ");
        out.append(texts.value);
        out.append("\r\n");
        if (out.error()) {
            writeError = out.error();
            break;
        }
    }
    int closeError = 0;
    if (!writeError) {
        out.flush(); // the last partial block goes out with the close
        closeError = out.error();
    }
    // The file or its folder was removed while it was written: the writes went
    // to a file nobody can open any more. The platform would have refused the
    // removal; here the user is told rather than shown a save that kept nothing.
    if (struct stat st {}; !writeError && !closeError && ::fstat(file.fd(), &st) == 0 && st.st_nlink == 0)
        closeError = ENOENT;
    if (const int err = file.finish(); !closeError)
        closeError = err;
    if (writeError)
        raiseFileError(writeError, fileName);
    if (closeError)
        raiseFileError(closeError, fileName);
}

std::string fileErrorMessage(int errnoValue, const QString &fileName)
{
    switch (errnoValue) {
    case ENOENT:
        return folderExists(fileName) ? msg::FileNotFound : msg::InvalidFilename;
    case ENOTDIR: // a part of the folder path is a file: the folder is missing
        return msg::InvalidFilename;
    case EMFILE:
    case ENFILE:
        return msg::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // the name of a folder, which Windows refuses as access denied
        return msg::FileAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return formatMessage(msg::IoError, 112); // the code of a full disk
    default:
        return formatMessage(msg::IoError, errnoValue);
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
