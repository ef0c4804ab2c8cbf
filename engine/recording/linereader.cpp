// SPDX-License-Identifier: MIT
#include "engine/recording/linereader.h"

#include <bzlib.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t InputBytes = size_t(1) << 16;
constexpr size_t BufferBytes = LineReader::MaxLineBytes + LineReader::BlockBytes;

} // namespace

// A compressed file's text: zlib's gzip streams or libbzip2's, each member
// after the other, as gzip -d and bzip2 -d read concatenated files.
class LineReader::Decoder
{
public:
    enum class Kind { Gzip, Bzip2 };

    explicit Decoder(Kind kind) : m_kind(kind), m_input(std::make_unique<char[]>(InputBytes)) { start(); }
    ~Decoder() { end(); }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Like LineReader::fill, reading the compressed bytes through reader.
    long long decode(LineReader &reader, char *data, size_t size)
    {
        for (;;) {
            if (m_available == 0 && !m_inputEnded) {
                const long long n = reader.readFile(m_input.get(), InputBytes);
                if (n < 0)
                    return -1;
                m_inputEnded = n == 0;
                m_next = m_input.get();
                m_available = size_t(n);
            }
            if (m_available == 0 && m_inputEnded)
                return m_streamEnded || !m_started ? 0 : damaged(reader);
            if (m_streamEnded) {
                // Another member follows.
                end();
                start();
            }
            size_t produced = 0;
            const size_t before = m_available;
            const int status = step(data, size, produced);
            // Nothing taken and nothing given: the data cannot go on.
            if (status < 0 || (status == 0 && produced == 0 && m_available == before))
                return damaged(reader);
            m_started = true;
            m_streamEnded = status > 0;
            if (produced > 0)
                return (long long)produced;
        }
    }

private:
    long long damaged(LineReader &reader)
    {
        reader.m_error = LineReader::Damaged;
        return -1;
    }

    // -1 damaged, 1 at the end of a member, 0 otherwise.
    int step(char *data, size_t size, size_t &produced)
    {
        if (m_kind == Kind::Gzip) {
            m_zip.next_in = reinterpret_cast<Bytef *>(m_next);
            m_zip.avail_in = uInt(m_available);
            m_zip.next_out = reinterpret_cast<Bytef *>(data);
            m_zip.avail_out = uInt(size);
            const int status = inflate(&m_zip, Z_NO_FLUSH);
            consumed(reinterpret_cast<char *>(m_zip.next_in));
            produced = size - m_zip.avail_out;
            if (status == Z_STREAM_END)
                return 1;
            return status == Z_OK || status == Z_BUF_ERROR ? 0 : -1;
        }
        m_bzip.next_in = m_next;
        m_bzip.avail_in = unsigned(m_available);
        m_bzip.next_out = data;
        m_bzip.avail_out = unsigned(size);
        const int status = BZ2_bzDecompress(&m_bzip);
        consumed(m_bzip.next_in);
        produced = size - m_bzip.avail_out;
        if (status == BZ_STREAM_END)
            return 1;
        return status == BZ_OK ? 0 : -1;
    }

    void consumed(char *next)
    {
        m_available -= size_t(next - m_next);
        m_next = next;
    }

    void start()
    {
        m_started = false;
        m_streamEnded = false;
        if (m_kind == Kind::Gzip) {
            m_zip = z_stream{};
            inflateInit2(&m_zip, 16 + MAX_WBITS); // a gzip header, not zlib's
        } else {
            m_bzip = bz_stream{};
            BZ2_bzDecompressInit(&m_bzip, 0, 0);
        }
    }
    void end()
    {
        if (m_kind == Kind::Gzip)
            inflateEnd(&m_zip);
        else
            BZ2_bzDecompressEnd(&m_bzip);
    }

    Kind m_kind;
    z_stream m_zip{};
    bz_stream m_bzip{};
    std::unique_ptr<char[]> m_input;
    char *m_next = nullptr;
    size_t m_available = 0;
    bool m_inputEnded = false;
    bool m_started = false;     // the member has given output or taken input
    bool m_streamEnded = false; // the member ended; anything after it is another
};

LineReader::LineReader() = default;

LineReader::~LineReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int LineReader::open(const std::string &path)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return errno;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return NotRegularFile;
    m_fileSize = uint64_t(st.st_size);
    m_buffer = std::make_unique<char[]>(BufferBytes);
    // The magic numbers of gzip and bzip2.
    const long long head = readFile(m_buffer.get(), BlockBytes);
    if (head < 0)
        return m_error;
    m_end = size_t(head);
    m_eof = head == 0;
    const auto starts = [&](const char *magic, size_t n) { return m_end >= n && std::memcmp(m_buffer.get(), magic, n) == 0; };
    if (starts("\x1f\x8b", 2) || starts("BZh", 3)) {
        m_decoder = std::make_unique<Decoder>(starts("BZh", 3) ? Decoder::Kind::Bzip2 : Decoder::Kind::Gzip);
        // Put the bytes read back in front of the file's: the decoder reads them first.
        if (::lseek(m_fd, 0, SEEK_SET) != 0)
            return errno;
        m_fileRead = 0;
        m_end = 0;
        m_eof = false;
    }
    return 0;
}

long long LineReader::readFile(char *data, size_t size)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, data, size);
        if (n >= 0) {
            m_fileRead += uint64_t(n);
            return n;
        }
        if (errno != EINTR) {
            m_error = errno;
            return -1;
        }
    }
}

long long LineReader::fill(char *data, size_t size)
{
    return m_decoder ? m_decoder->decode(*this, data, size) : readFile(data, size);
}

LineReader::Next LineReader::next(std::string_view &line)
{
    if (m_error != 0)
        return Next::Failed;
    char *buffer = m_buffer.get();
    if (m_skipping) {
        // One block a call: the rest of a line too long, up to its "\n".
        if (const void *nl = std::memchr(buffer + m_begin, '\n', m_end - m_begin)) {
            m_begin = size_t(static_cast<const char *>(nl) - buffer) + 1;
            m_skipping = false;
        } else {
            m_begin = m_end = 0;
            if (m_eof) {
                m_skipping = false;
                return Next::End;
            }
            const long long n = fill(buffer, BlockBytes);
            if (n < 0)
                return Next::Failed;
            m_end = size_t(n);
            m_eof = n == 0;
            return Next::Pending;
        }
    }
    for (;;) {
        if (const void *nl = std::memchr(buffer + m_begin, '\n', m_end - m_begin)) {
            const auto at = size_t(static_cast<const char *>(nl) - buffer);
            line = std::string_view(buffer + m_begin, at - m_begin);
            m_begin = at + 1;
            ++m_line;
            if (line.size() > MaxLineBytes) {
                line = line.substr(0, MaxLineBytes);
                return Next::TooLong;
            }
            return Next::Line;
        }
        if (m_end - m_begin > MaxLineBytes) {
            // The head of the line is all that is kept of it.
            line = std::string_view(buffer + m_begin, MaxLineBytes);
            m_begin = m_end;
            m_skipping = true;
            ++m_line;
            return Next::TooLong;
        }
        if (m_eof) {
            if (m_begin == m_end)
                return Next::End;
            line = std::string_view(buffer + m_begin, m_end - m_begin); // the last line, without "\n"
            m_begin = m_end;
            ++m_line;
            return Next::Line;
        }
        // Room for a whole block behind the start of the line.
        std::memmove(buffer, buffer + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
        const long long n = fill(buffer + m_end, BlockBytes);
        if (n < 0)
            return Next::Failed;
        m_end += size_t(n);
        m_eof = n == 0;
    }
}
