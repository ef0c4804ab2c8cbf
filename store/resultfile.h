// SPDX-License-Identifier: MIT
#pragma once

#include "common/apperror.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The four texts of one result row in column order. The views stay valid until
// the next call of rowTexts.
struct ResultTexts
{
    std::string_view oid;
    std::string_view name;
    std::string_view type;
    std::string_view value;
};

// A row's line, without its CR LF: the four texts joined by " | ", written
// verbatim. The writer puts the pieces into the file; a copy of a row
// collects them.
inline constexpr std::string_view ResultFieldSeparator = " | ";
inline constexpr std::string_view ResultLineEnd = "\r\n";

template <typename Append>
void appendResultLine(const ResultTexts &texts, Append &&append)
{
    append(texts.oid);
    append(ResultFieldSeparator);
    append(texts.name);
    append(ResultFieldSeparator);
    append(texts.type);
    append(ResultFieldSeparator);
    append(texts.value);
}

std::string resultLine(const ResultTexts &texts);

// The result list as the writer reads it, row by row.
class ResultSource
{
public:
    virtual ~ResultSource() = default;
    virtual int rowCount() const = 0;
    virtual ResultTexts rowTexts(int row) const = 0;
};

class CursorControl
{
public:
    virtual ~CursorControl() = default;
    virtual void pushBusyCursor() = 0; // remember the cursor, show arrow with hourglass
    virtual void popCursor() = 0;      // restore the remembered cursor
};

// POSIX write(2) semantics; replaceable so a test can fail a write.
using FileWriteFunction = std::function<ssize_t(int fd, const void *data, size_t size)>;

// A failure after the file was opened. row() is where it was reported: at the
// end of the row during which the first block that did not reach the file was
// filled, or at the close (row() == the source's rowCount()) for the final
// partial block and for the close itself.
class ResultFileError : public AppError
{
public:
    ResultFileError(const std::string &message, int row) : AppError(message), m_row(row) {}
    int row() const { return m_row; }

private:
    int m_row;
};

// Writes every row as "oid | name | type | value" plus CR LF, bytes as they
// are. Replaces an existing file; a new one gets mode 0666 less the umask.
// While the file is written others may read it (POSIX does not lock it
// against readers). The text goes out in 64 KiB writes with the outcome of a
// 128-byte buffer written block by block. Throws:
// - open fails: AppError with the mapped message, the cursor untouched;
// - a write fails: ResultFileError, after the file is closed and the cursor
//   restored; the file holds the whole 128-byte blocks before the first block
//   that did not reach it (rows up to a chunk beyond the reported one have
//   been read, but nothing of them is written);
// - close fails, or the file (or its folder) was removed while it was
//   written (as ENOENT): ResultFileError, after the cursor is restored.
void writeResultFile(const QString &fileName, const ResultSource &source, CursorControl &cursor,
                     const FileWriteFunction &write = {});

// The message for a failed file call. errno values map to the codes of the
// message table: ENOENT 2 "File not found", or 3 "Invalid filename" when the
// file's folder is missing; ENOTDIR 3; EMFILE, ENFILE 4 "Too many open files";
// EACCES, EPERM, EROFS, EISDIR 5 "File access denied"; ENOSPC, EDQUOT 112
// "I/O error 112". Any other errno gives "I/O error <errno>" (never a table
// text: EIO is 5 but is no access problem).
std::string fileErrorMessage(int errnoValue, const QString &fileName);

// Save As step 7: the extension is the text from the last "." on, unless a
// "\", ":" or (on this platform) "/" follows that dot. When it is not ".txt"
// in any letter case it is replaced by ".txt" (or ".txt" is appended).
QString withTxtExtension(const QString &chosenPath);

// The save dialog asked about dialogName only. When the name to be written
// differs and that file exists, the window must ask before replacing it; when
// the user declines, nothing is written and the current file name stays as it
// was before Save As (otherwise a later Save would replace it unasked).
bool needsReplaceQuestion(const QString &dialogName, const QString &finalName);
