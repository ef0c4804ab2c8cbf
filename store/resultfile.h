// SPDX-License-Identifier: MIT
#pragma once

#include "store/filesafety.h"
#include "store/storeerror.h"

#include <QString>

#include <memory>
#include <string>
#include <string_view>

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

// Writes every row as "oid | name | type | value" plus CR LF, bytes as they
// are, in two steps: open() readies the file, write() fills it and puts it in
// place. A caller that shows a busy cursor while the rows are written shows
// it between the two, so that a file that cannot be opened leaves the cursor
// alone. Failures carry the message of the file error table.
//
// A regular file is replaced whole: the rows go to a temporary file beside it
// (mode 0666 less the umask for a new file, the old file's mode otherwise),
// which is renamed over it only once all of them are written. A failure or a
// crash leaves the old file as it was. A device, a FIFO, or a file that may
// be written in a folder where no file may be made is written in place. The
// text goes out in 64 KiB writes with the outcome of a 128-byte buffer
// written block by block.
class ResultFile
{
public:
    // write replaces ::write, so that a test can fail the writes.
    explicit ResultFile(WriteFunction write = {}) : m_write(std::move(write)) {}

    StoreError open(const QString &fileName);
    // Once, after a successful open(). A failed write leaves the file as it
    // was before (written in place, it holds the whole 128-byte blocks before
    // the first block that did not reach it); nothing is written after it.
    // A failing close or rename, or the file (or its folder) removed while it
    // was written in place (as ENOENT), fails too.
    StoreError write(const ResultSource &source);
    // Where write() reported its failure: at the end of the row during which
    // the first block that did not reach the file was filled, or at the close
    // (the source's rowCount()) for the final partial block and for the close
    // and rename themselves. -1 without one.
    int failedRow() const { return m_failedRow; }

private:
    WriteFunction m_write;
    std::unique_ptr<TemporaryFile> m_temporary; // the replacement being written
    UniqueFd m_fd;                              // the file written in place
    QString m_fileName;
    int m_failedRow = -1;
};

// The message for a failed file call. errno values map to the codes of the
// message table: ENOENT 2 "File not found", or 3 "Invalid filename" when the
// file's folder is missing; ENOTDIR 3; EMFILE, ENFILE 4 "Too many open files";
// EACCES, EPERM, EROFS, EISDIR 5 "File access denied"; ENOSPC, EDQUOT 112
// "I/O error 112". Any other errno gives "I/O error <errno>" (never a table
// text: EIO is 5 but is no access problem).
QString fileErrorMessage(int errnoValue, const QString &fileName);

// Save As step 7: the extension is the text from the last "." on, unless a
// "\", ":" or (on this platform) "/" follows that dot. When it is not ".txt"
// in any letter case it is replaced by ".txt" (or ".txt" is appended).
QString withTxtExtension(const QString &chosenPath);

// The save dialog asked about dialogName only. When the name to be written
// differs and that file exists, the window must ask before replacing it; when
// the user declines, nothing is written and the current file name stays as it
// was before Save As (otherwise a later Save would replace it unasked).
bool needsReplaceQuestion(const QString &dialogName, const QString &finalName);
