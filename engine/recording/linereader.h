// SPDX-License-Identifier: MIT
#pragma once

// The lines of a recording file, one at a time: plain text, or gzip or bzip2
// compressed (told by the file's first bytes, whatever its name). Memory stays
// bounded whatever the file holds: a block is read at a time, and a line
// longer than MaxLineBytes is reported and passed over without being kept.
// No call does more than read one block, so a caller can process its events
// between calls even while a line of gigabytes is passed over.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class LineReader
{
public:
    static constexpr size_t MaxLineBytes = size_t(1) << 20;
    static constexpr size_t BlockBytes = size_t(1) << 20;
    // open() and error(): a reason beside the errno values.
    enum Reason : int { NotRegularFile = -1, Damaged = -2 };

    enum class Next {
        Line,    // a line, without its "\n" (a "\r" before it stays)
        TooLong, // a line longer than MaxLineBytes: its first MaxLineBytes bytes
        Pending, // nothing yet: call again (a long line is being passed over)
        End,
        Failed,  // error() tells why
    };

    LineReader();
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // 0, an errno value or NotRegularFile. Opening a FIFO or a device does
    // not wait on it; it is refused.
    int open(const std::string &path);
    // The next line; the view lasts until the next call.
    Next next(std::string_view &line);
    // The number of the line next() returned last, from 1.
    uint64_t lineNumber() const { return m_line; }
    // An errno value or Damaged (compressed data that does not decompress).
    int error() const { return m_error; }
    // Bytes of the file read so far, and its size: the progress of a read.
    uint64_t fileBytesRead() const { return m_fileRead; }
    uint64_t fileSize() const { return m_fileSize; }

private:
    class Decoder;

    // Up to size bytes of the text into data; 0 at its end, -1 on failure.
    long long fill(char *data, size_t size);
    long long readFile(char *data, size_t size);

    int m_fd = -1;
    std::unique_ptr<Decoder> m_decoder; // null for plain text
    std::unique_ptr<char[]> m_buffer;   // MaxLineBytes + BlockBytes
    size_t m_begin = 0;                 // the unread text is [m_begin, m_end)
    size_t m_end = 0;
    bool m_eof = false;
    bool m_skipping = false; // passing over the rest of a line too long
    uint64_t m_line = 0;
    int m_error = 0;
    uint64_t m_fileRead = 0;
    uint64_t m_fileSize = 0;
};
