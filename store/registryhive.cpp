// SPDX-License-Identifier: MIT
#include "store/registryhive.h"

#include "common/apperror.h"
#include "common/messages.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView RootName = "HKEY_CURRENT_USER";
constexpr qsizetype MaxValueNameLength = 16383;

// Registry names compare case-insensitively; names that are not UTF-8 compare
// as bytes.
QByteArray foldName(const QByteArray &name)
{
    bool ascii = true;
    for (char c : name) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return name.toLower();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(name);
    if (decoder.hasError())
        return name;
    return text.toCaseFolded().toUtf8();
}

class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// An exclusive flock on "<file>.lock", held for the object's life. The lock
// file is never removed: removing it would let two copies lock different files.
class FileLock
{
public:
    int acquire(const QByteArray &lockPath)
    {
        UniqueFd fd(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (fd.get() < 0)
            return errno;
        ::fchmod(fd.get(), 0600); // a restrictive umask must not lock ourselves out
        while (::flock(fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                return errno;
        }
        m_fd.reset(fd.release());
        return 0;
    }

private:
    UniqueFd m_fd; // closing releases the lock
};

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString errorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// A message of the table with the file's path and, for two placeholders, a reason.
QString fileMessage(const char *templ, const QString &path, int err = 0)
{
    const std::string p = path.toStdString();
    if (err == 0)
        return QString::fromStdString(formatMessage(templ, p.c_str()));
    return QString::fromStdString(formatMessage(templ, p.c_str(), errorText(err).toStdString().c_str()));
}

enum class ReadResult { Missing, Read, TooLarge, Failed };

ReadResult readFile(const QByteArray &path, QByteArray *text, int *err)
{
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        *err = errno;
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        *err = errno;
        return ReadResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        *err = EISDIR;
        return ReadResult::Failed;
    }
    if (st.st_size > RegistryHive::MaxFileSize)
        return ReadResult::TooLarge;
    // Read up to one byte past the bound, in case the file grows meanwhile.
    text->resize(qsizetype(st.st_size) + 1);
    qsizetype used = 0;
    for (;;) {
        if (used == text->size()) {
            if (used > RegistryHive::MaxFileSize)
                return ReadResult::TooLarge;
            text->resize(std::min<qsizetype>(text->size() * 2, RegistryHive::MaxFileSize + 1));
        }
        const ssize_t n = ::read(fd.get(), text->data() + used, size_t(text->size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        used += n;
    }
    text->truncate(used);
    return ReadResult::Read;
}

// Creates the folder and its missing parents; the ones created here are 0700
// whatever the umask.
int ensureFolder(const QByteArray &dir)
{
    struct stat st {};
    if (dir.isEmpty() || ::stat(dir.constData(), &st) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    const qsizetype slash = dir.lastIndexOf('/');
    if (slash > 0) {
        if (const int err = ensureFolder(dir.left(slash)))
            return err;
    }
    if (::mkdir(dir.constData(), 0700) != 0)
        return errno == EEXIST ? 0 : errno;
    ::chmod(dir.constData(), 0700);
    return 0;
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

// Moves an unreadable file aside, never over an earlier one.
int moveAside(const QString &path, QString *keptAs)
{
    const QString base = path + QStringLiteral(".bad-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString candidate = base;
    struct stat st {};
    for (int n = 2; ::lstat(nativePath(candidate).constData(), &st) == 0; ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    if (::rename(nativePath(path).constData(), nativePath(candidate).constData()) != 0)
        return errno;
    *keptAs = candidate;
    return 0;
}

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// The temporary files of writers that died before their rename ("<file>.tmp-"
// and mkostemp's six characters). Called under the lock, so none of them
// belongs to a writer still at work; they hold settings, so they do not stay.
void removeStaleTemporaries(const QByteArray &folder, const QByteArray &fileName)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.constData()));
    if (!dir)
        return;
    const QByteArray prefix = fileName + ".tmp-";
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix))
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

QList<QByteArray> splitPath(const QByteArray &path, bool *ok)
{
    *ok = true;
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path[begin] == '\\')
        ++begin;
    while (end > begin && path[end - 1] == '\\')
        --end;
    if (begin == end)
        return {};
    QList<QByteArray> parts = path.mid(begin, end - begin).split('\\');
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            *ok = false;
    }
    if (parts.size() > RegistryHive::MaxDepth)
        *ok = false;
    return parts;
}

qint64 dataBytes(const HiveNode &node)
{
    qint64 total = 0;
    for (const HiveValue &v : node.values)
        total += v.name.size() + v.data.size();
    for (const auto &child : node.children)
        total += dataBytes(*child);
    return total;
}

// The REGEDIT4 text form

QByteArrayView trimmed(QByteArrayView line)
{
    while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
        line = line.sliced(1);
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t'))
        line.chop(1);
    return line;
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Up to 8 hex digits, the whole text.
bool parseHexNumber(QByteArrayView text, uint32_t *value)
{
    if (text.isEmpty() || text.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | uint32_t(d);
    }
    *value = v;
    return true;
}

// A quoted text starting at text[0] == '"'; regedit escapes only \ and ".
// Any other backslash stands for itself, as a hand-typed path would mean.
bool parseQuoted(QByteArrayView text, QByteArray *out, qsizetype *consumed)
{
    out->clear();
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            *consumed = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out->append(text[i + 1]);
            ++i;
            continue;
        }
        out->append(c);
    }
    return false;
}

bool parseHexBytes(QByteArrayView text, QByteArray *out)
{
    out->clear();
    text = trimmed(text);
    if (text.isEmpty())
        return true;
    out->reserve(text.size() / 3 + 1);
    qsizetype i = 0;
    for (;;) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        int value = 0;
        int digits = 0;
        while (i < text.size() && digits < 3) {
            const int d = hexDigit(text[i]);
            if (d < 0)
                break;
            value = value * 16 + d;
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 2)
            return false;
        out->append(char(value));
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i == text.size())
            return true;
        if (text[i] != ',')
            return false;
        ++i;
        // regedit leaves no trailing comma, but one before the end is harmless
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i == text.size())
            return true;
    }
}

class Parser
{
public:
    explicit Parser(const QByteArray &text) : m_text(text) {}

    std::unique_ptr<HiveNode> run()
    {
        auto root = std::make_unique<HiveNode>();
        QByteArrayView header = nextLine();
        if (header.startsWith("\xEF\xBB\xBF"))
            header = header.sliced(3);
        if (trimmed(header) != QByteArrayView("REGEDIT4"))
            return nullptr;
        HiveNode *current = nullptr;
        while (!atEnd()) {
            const QByteArrayView line = trimmed(nextLine());
            if (line.isEmpty() || line.front() == ';')
                continue;
            if (line.front() == '[') {
                current = parseKeyLine(line, root.get());
                if (!current)
                    return nullptr;
            } else if (line.front() == '"' || line.front() == '@') {
                if (!current || !parseValueLine(line, current))
                    return nullptr;
            } else {
                return nullptr;
            }
        }
        return root;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }

    QByteArrayView nextLine()
    {
        const qsizetype start = m_pos;
        qsizetype end = m_text.indexOf('\n', start);
        if (end < 0)
            end = m_text.size();
        m_pos = end + 1;
        QByteArrayView line(m_text.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        return line;
    }

    static HiveNode *parseKeyLine(QByteArrayView line, HiveNode *root)
    {
        if (!line.endsWith(']'))
            return nullptr;
        const QByteArrayView inner = line.sliced(1, line.size() - 2);
        // "[-...]" deletes a key on import; a store has nothing to delete
        if (!startsWithNoCase(inner, RootName))
            return nullptr;
        QByteArrayView rest = inner.sliced(RootName.size());
        HiveNode *node = root;
        if (rest.isEmpty())
            return node;
        if (rest.front() != '\\')
            return nullptr;
        rest = rest.sliced(1);
        int depth = 0;
        while (true) {
            const qsizetype slash = rest.indexOf('\\');
            const QByteArrayView part = slash < 0 ? rest : rest.first(slash);
            if (part.isEmpty() || ++depth > RegistryHive::MaxDepth)
                return nullptr;
            node = node->addChild(part.toByteArray());
            if (slash < 0)
                return node;
            rest = rest.sliced(slash + 1);
        }
    }

    bool parseValueLine(QByteArrayView line, HiveNode *key)
    {
        QByteArray name;
        qsizetype pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!parseQuoted(line, &name, &pos)) {
            return false;
        }
        QByteArrayView rest = trimmed(line.sliced(pos));
        if (rest.isEmpty() || rest.front() != '=')
            return false;
        rest = trimmed(rest.sliced(1));
        if (rest.isEmpty())
            return false;

        if (rest.front() == '"') {
            QByteArray text;
            qsizetype used = 0;
            if (!parseQuoted(rest, &text, &used) || !trimmed(rest.sliced(used)).isEmpty())
                return false;
            text.append('\0');
            key->setValue(name, REG_SZ, text);
            return true;
        }
        if (startsWithNoCase(rest, "dword:")) {
            uint32_t v = 0;
            if (!parseHexNumber(trimmed(rest.sliced(6)), &v))
                return false;
            const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
            key->setValue(name, REG_DWORD, QByteArray(bytes, 4));
            return true;
        }
        uint32_t type = REG_BINARY;
        if (startsWithNoCase(rest, "hex:")) {
            rest = rest.sliced(4);
        } else if (startsWithNoCase(rest, "hex(")) {
            const qsizetype close = rest.indexOf(')');
            if (close < 0 || close + 1 >= rest.size() || rest[close + 1] != ':'
                || !parseHexNumber(rest.sliced(4, close - 4), &type))
                return false;
            rest = rest.sliced(close + 2);
        } else {
            return false;
        }
        // Long hex data continue on the next lines after a trailing "\".
        QByteArray joined;
        QByteArrayView piece = trimmed(rest);
        while (piece.endsWith('\\')) {
            joined.append(piece.first(piece.size() - 1));
            if (atEnd())
                return false;
            piece = trimmed(nextLine());
        }
        joined.append(piece);
        QByteArray data;
        if (!parseHexBytes(joined, &data))
            return false;
        key->setValue(name, type, data);
        return true;
    }

    const QByteArray &m_text;
    qsizetype m_pos = 0;
};

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(bytes); // decodes only when converted
    return !decoder.hasError();
}

// A REG_SZ goes out as "text" only when that reads back to the same bytes:
// one final zero, no other zero, no line break, valid UTF-8.
bool writableAsText(const HiveValue &v)
{
    if (v.type != REG_SZ || v.data.isEmpty() || v.data.back() != '\0')
        return false;
    const QByteArray body = v.data.first(v.data.size() - 1);
    return !body.contains('\0') && !body.contains('\r') && !body.contains('\n') && isValidUtf8(body);
}

void appendQuoted(QByteArray *out, const QByteArray &text)
{
    out->append('"');
    for (char c : text) {
        if (c == '\\' || c == '"')
            out->append('\\');
        out->append(c);
    }
    out->append('"');
}

void appendValue(QByteArray *out, const HiveValue &v)
{
    const qsizetype lineStart = out->size();
    if (v.name.isEmpty())
        out->append('@');
    else
        appendQuoted(out, v.name);
    out->append('=');
    if (writableAsText(v)) {
        appendQuoted(out, v.data.first(v.data.size() - 1));
        out->append("\r\n");
        return;
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | uchar(v.data[i]);
        out->append("dword:" + QByteArray::number(n, 16).rightJustified(8, '0') + "\r\n");
        return;
    }
    if (v.type == REG_BINARY)
        out->append("hex:");
    else
        out->append("hex(" + QByteArray::number(v.type, 16) + "):");
    // regedit's layout: "xx," pieces, continued with "\" so no line passes 80 columns
    static const char digits[] = "0123456789abcdef";
    qsizetype column = out->size() - lineStart;
    for (qsizetype i = 0; i < v.data.size(); ++i) {
        const uchar b = uchar(v.data[i]);
        out->append(digits[b >> 4]);
        out->append(digits[b & 0xF]);
        column += 2;
        if (i + 1 < v.data.size()) {
            out->append(',');
            ++column;
            if (column >= 77) {
                out->append("\\\r\n  ");
                column = 2;
            }
        }
    }
    out->append("\r\n");
}

void appendKey(QByteArray *out, const HiveNode &node, QByteArray &path, bool isRoot)
{
    if (!isRoot || !node.values.empty()) {
        out->append('[');
        out->append(RootName);
        out->append(path);
        out->append("]\r\n");
        for (const HiveValue &v : node.values)
            appendValue(out, v);
        out->append("\r\n");
    }
    for (const auto &child : node.children) {
        const qsizetype mark = path.size();
        path.append('\\');
        path.append(child->name);
        appendKey(out, *child, path, false);
        path.truncate(mark);
    }
}

} // namespace

// HiveNode

HiveNode *HiveNode::child(const QByteArray &childName) const
{
    return m_childIndex.value(foldName(childName), nullptr);
}

HiveNode *HiveNode::addChild(const QByteArray &childName)
{
    const QByteArray folded = foldName(childName);
    if (HiveNode *existing = m_childIndex.value(folded, nullptr))
        return existing;
    auto node = std::make_unique<HiveNode>();
    node->name = childName;
    node->parent = this;
    HiveNode *raw = node.get();
    children.push_back(std::move(node));
    m_childIndex.insert(folded, raw);
    return raw;
}

const HiveValue *HiveNode::value(const QByteArray &valueName) const
{
    const auto it = m_valueIndex.constFind(foldName(valueName));
    return it == m_valueIndex.cend() ? nullptr : &values[*it];
}

void HiveNode::setValue(const QByteArray &valueName, uint32_t type, const QByteArray &data)
{
    const QByteArray folded = foldName(valueName);
    const auto it = m_valueIndex.constFind(folded);
    if (it != m_valueIndex.cend()) {
        HiveValue &v = values[*it];
        v.type = type;
        v.data = data;
        return;
    }
    m_valueIndex.insert(folded, values.size());
    values.push_back(HiveValue{valueName, type, data});
}

std::unique_ptr<HiveNode> parseHive(const QByteArray &text)
{
    return Parser(text).run();
}

QByteArray serializeHive(const HiveNode &root)
{
    QByteArray out("REGEDIT4\r\n\r\n");
    QByteArray path;
    appendKey(&out, root, path, true);
    return out;
}

// HiveKey

HiveKey::~HiveKey()
{
    regCloseKey();
}

HiveKey::HiveKey(HiveKey &&other) noexcept
    : m_hive(std::exchange(other.m_hive, nullptr)), m_node(std::exchange(other.m_node, nullptr))
{
}

HiveKey &HiveKey::operator=(HiveKey &&other) noexcept
{
    if (this != &other) {
        regCloseKey();
        m_hive = std::exchange(other.m_hive, nullptr);
        m_node = std::exchange(other.m_node, nullptr);
    }
    return *this;
}

long HiveKey::regQueryValue(const QByteArray &name, uint32_t *type, void *data, uint32_t *size) const
{
    if (!m_node)
        return ERROR_INVALID_HANDLE;
    const HiveValue *v = m_node->value(name);
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    const auto needed = uint32_t(v->data.size());
    if (data) {
        if (!size)
            return ERROR_INVALID_PARAMETER;
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed)
            std::memcpy(data, v->data.constData(), needed);
    }
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

long HiveKey::regSetValue(const QByteArray &name, uint32_t type, const void *data, uint32_t size)
{
    if (!m_node)
        return ERROR_INVALID_HANDLE;
    // a line break in a name could not be written back
    if ((size && !data) || name.size() > MaxValueNameLength || name.contains('\r') || name.contains('\n'))
        return ERROR_INVALID_PARAMETER;
    const HiveValue *old = m_node->value(name);
    const qint64 replaced = old ? old->name.size() + old->data.size() : 0;
    const qint64 total = m_hive->m_dataBytes - replaced + name.size() + qint64(size);
    // only growth is refused, so a big hand-made file does not block the settings
    if (total > RegistryHive::MaxDataBytes && total > m_hive->m_dataBytes)
        return ERROR_NOT_ENOUGH_QUOTA;
    const QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    m_node->setValue(name, type, bytes);
    m_hive->m_dataBytes = total;
    m_hive->recordValue(m_node, name, type, bytes);
    return ERROR_SUCCESS;
}

long HiveKey::regQueryInfoKey(uint32_t *valueCount, uint32_t *maxValueNameLength) const
{
    if (!m_node)
        return ERROR_INVALID_HANDLE;
    qsizetype longest = 0;
    for (const HiveValue &v : m_node->values)
        longest = std::max(longest, v.name.size());
    if (valueCount)
        *valueCount = uint32_t(m_node->values.size());
    if (maxValueNameLength)
        *maxValueNameLength = uint32_t(longest);
    return ERROR_SUCCESS;
}

long HiveKey::regEnumValue(uint32_t index, QByteArray *name) const
{
    if (!m_node)
        return ERROR_INVALID_HANDLE;
    if (index >= m_node->values.size())
        return ERROR_NO_MORE_ITEMS;
    if (name)
        *name = m_node->values[index].name;
    return ERROR_SUCCESS;
}

long HiveKey::regCloseKey()
{
    if (!m_node)
        return ERROR_INVALID_HANDLE;
    --m_hive->m_openKeys;
    m_hive = nullptr;
    m_node = nullptr;
    return ERROR_SUCCESS;
}

// RegistryHive

RegistryHive::RegistryHive(QString filePath)
    : m_filePath(std::move(filePath)), m_root(std::make_unique<HiveNode>())
{
}

RegistryHive::~RegistryHive() = default;

QString RegistryHive::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // a relative XDG path is invalid and to be ignored
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Ferrolyn/Norvane.reg");
}

QString RegistryHive::takeLoadMessage()
{
    return std::exchange(m_loadMessage, QString());
}

void RegistryHive::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_root = std::make_unique<HiveNode>();
    m_dataBytes = 0;

    const QByteArray path = nativePath(m_filePath);
    struct stat st {};
    if (::stat(nativePath(QFileInfo(m_filePath).path()).constData(), &st) != 0) {
        // No folder, no file: nothing to read and nothing to create yet. A
        // folder that is there but closed to us is said now, not only at exit.
        if (const int err = errno; err != ENOENT && err != ENOTDIR)
            m_loadMessage = fileMessage(msg::SettingsFileUnreadable, m_filePath, err);
        return;
    }

    // Held so that moving a bad file aside cannot take away another copy's
    // freshly written one. Without it (read-only folder) reading is still safe:
    // writers replace the file by rename, so a reader never sees it torn.
    FileLock lock;
    lock.acquire(path + ".lock");

    QByteArray text;
    int err = 0;
    switch (readFile(path, &text, &err)) {
    case ReadResult::Missing:
        return;
    case ReadResult::Failed:
        m_loadMessage = fileMessage(msg::SettingsFileUnreadable, m_filePath, err);
        return;
    case ReadResult::Read:
        if (text.isEmpty())
            return; // nothing to lose
        if (auto parsed = parseHive(text)) {
            m_root = std::move(parsed);
            m_dataBytes = dataBytes(*m_root);
            return;
        }
        break;
    case ReadResult::TooLarge:
        break;
    }
    QString keptAs;
    if (const int moveErr = moveAside(m_filePath, &keptAs)) {
        m_loadMessage = fileMessage(msg::SettingsFileUnreadable, m_filePath, moveErr);
        return;
    }
    m_loadMessage = fileMessage(msg::SettingsFileKept, keptAs);
}

void RegistryHive::keyOpened(HiveKey *key, HiveNode *node)
{
    key->regCloseKey();
    key->m_hive = this;
    key->m_node = node;
    ++m_openKeys;
}

long RegistryHive::regOpenKey(const QByteArray &path, HiveKey *key)
{
    if (!key)
        return ERROR_INVALID_PARAMETER;
    bool ok = false;
    const QList<QByteArray> parts = splitPath(path, &ok);
    if (!ok)
        return ERROR_INVALID_PARAMETER;
    HiveNode *node = m_root.get();
    for (const QByteArray &part : parts) {
        node = node->child(part);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
    }
    keyOpened(key, node);
    return ERROR_SUCCESS;
}

long RegistryHive::regCreateKey(const QByteArray &path, HiveKey *key)
{
    if (!key)
        return ERROR_INVALID_PARAMETER;
    bool ok = false;
    const QList<QByteArray> parts = splitPath(path, &ok);
    if (!ok)
        return ERROR_INVALID_PARAMETER;
    HiveNode *node = m_root.get();
    for (const QByteArray &part : parts)
        node = node->addChild(part);
    m_changes.push_back(Change{parts, false, {}, 0, {}});
    keyOpened(key, node);
    return ERROR_SUCCESS;
}

void RegistryHive::recordValue(HiveNode *node, const QByteArray &name, uint32_t type, const QByteArray &data)
{
    QList<QByteArray> path;
    for (const HiveNode *n = node; n->parent; n = n->parent)
        path.prepend(n->name);
    m_changes.push_back(Change{std::move(path), true, name, type, data});
}

QString RegistryHive::commit()
{
    const auto failed = [this](int err) { return fileMessage(msg::SettingsFileUnwritten, m_filePath, err); };
    const QByteArray path = nativePath(m_filePath);
    const QByteArray folder = nativePath(QFileInfo(m_filePath).path());
    if (const int err = ensureFolder(folder))
        return failed(err);
    tightenFolder(folder);
    FileLock lock;
    if (const int err = lock.acquire(path + ".lock"))
        return failed(err);

    // Start from what is in the file now: another copy may have written since load.
    QString note;
    auto root = std::make_unique<HiveNode>();
    QByteArray text;
    int err = 0;
    const ReadResult read = readFile(path, &text, &err);
    if (read == ReadResult::Failed)
        return failed(err); // replacing a file we cannot read would lose it unseen
    bool unparsable = read == ReadResult::TooLarge;
    if (read == ReadResult::Read && !text.isEmpty()) {
        if (auto parsed = parseHive(text))
            root = std::move(parsed);
        else
            unparsable = true;
    }
    if (unparsable) {
        QString keptAs;
        if (const int moveErr = moveAside(m_filePath, &keptAs))
            return failed(moveErr);
        note = fileMessage(msg::SettingsFileKept, keptAs);
    }

    for (const Change &change : m_changes) {
        HiveNode *node = root.get();
        for (const QByteArray &part : change.path)
            node = node->addChild(part);
        if (change.isValue)
            node->setValue(change.name, change.type, change.data);
    }
    text = serializeHive(*root);
    if (text.size() > MaxFileSize)
        return failed(EFBIG);

    removeStaleTemporaries(folder, nativePath(QFileInfo(m_filePath).fileName()));

    // Temporary file in the same folder, so the rename is atomic.
    QByteArray temp = path + ".tmp-XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return failed(errno);
    const auto discard = [&](int error) {
        fd.reset();
        ::unlink(temp.constData());
        return failed(error);
    };
    if (::fchmod(fd.get(), 0600) != 0)
        return discard(errno);
    const WriteFunction &write = m_write ? m_write : WriteFunction(::write);
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t n = write(fd.get(), text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return discard(n < 0 ? errno : EIO);
        done += n;
    }
    if (::fsync(fd.get()) != 0)
        return discard(errno);
    if (::close(fd.release()) != 0)
        return discard(errno);
    if (::rename(temp.constData(), path.constData()) != 0)
        return discard(errno);
    // Make the rename itself durable; some file systems refuse, the file is in place anyway.
    UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return note;
}
