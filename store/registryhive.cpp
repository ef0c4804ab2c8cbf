// SPDX-License-Identifier: MIT
#include "store/registryhive.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "store/filesafety.h"
#include "store/hivetext.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

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

// A message of the table with the file's path and, for two placeholders, the
// failure's reason.
QString fileMessage(const char *templ, const QString &path, const StoreError &failure = {})
{
    const std::string p = path.toStdString();
    if (!failure)
        return QString::fromStdString(formatMessage(templ, p.c_str()));
    return QString::fromStdString(formatMessage(templ, p.c_str(), failure.reasonText().toStdString().c_str()));
}

// What the file says about a failure of its own.
StoreError told(const char *templ, const QString &path, const StoreError &failure = {})
{
    return failure.told(fileMessage(templ, path, failure));
}

QByteArray fileNameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
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
    const QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    const HiveValue *old = m_node->value(name);
    qint64 growth = valueTextSize(HiveValue{name, type, bytes}) - (old ? valueTextSize(*old) : 0);
    if (!old && !m_node->parent && m_node->values.empty())
        growth += keyTextSize(0); // the root's header is written once it has a value
    // The file must stay writable; only growth is refused, so that rewriting
    // a value never fails.
    const qint64 total = m_hive->m_textBytes + growth;
    if (total > RegistryHive::MaxFileSize && growth > 0)
        return ERROR_NOT_ENOUGH_QUOTA;
    m_node->setValue(name, type, bytes);
    m_hive->m_textBytes = total;
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

long HiveKey::regEnumKey(uint32_t index, QByteArray *name) const
{
    if (!m_node)
        return ERROR_INVALID_HANDLE;
    if (index >= m_node->children.size())
        return ERROR_NO_MORE_ITEMS;
    if (name)
        *name = m_node->children[index]->name;
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

StoreError RegistryHive::load()
{
    if (m_loaded)
        return {};
    m_loaded = true;
    m_root = std::make_unique<HiveNode>();
    m_textBytes = serializedSize(*m_root);

    const QByteArray path = nativePath(m_filePath);
    struct stat st {};
    if (::stat(nativePath(QFileInfo(m_filePath).path()).constData(), &st) != 0) {
        // No folder, no file: nothing to read and nothing to create yet. A
        // folder that is there but closed to us is said now, not only at exit.
        if (const int err = errno; err != ENOENT && err != ENOTDIR)
            return told(msg::SettingsFileUnreadable, m_filePath, StoreError(err));
        return {};
    }

    // Held so that moving a bad file aside cannot take away another copy's
    // freshly written one. Without it (read-only folder) reading is still safe:
    // writers replace the file by rename, so a reader never sees it torn.
    FileLock lock;
    const bool lockedOut = lock.acquire(path + ".lock", m_lockWaitMs).reason() == StoreError::LockedOut;
    const StoreError locked = lockedOut ? told(msg::SettingsFileLocked, m_filePath) : StoreError();

    QByteArray text;
    const StoreError read = readFile(path, MaxFileSize, &text);
    if (read.reason() == ENOENT)
        return locked;
    if (read && read.reason() != StoreError::TooLarge)
        return told(msg::SettingsFileUnreadable, m_filePath, read);
    if (!read) {
        if (text.isEmpty())
            return locked; // nothing to lose
        if (auto parsed = parseHive(text)) {
            const qint64 size = serializedSize(*parsed);
            if (size <= MaxLoadSize) {
                m_root = std::move(parsed);
                m_textBytes = size;
                return locked;
            }
        }
    }
    if (lockedOut)
        return locked; // left where it is: the exit deals with it under the lock
    // A link stays where it is; the bad file it leads to is what goes aside.
    QByteArray target;
    if (const StoreError failure = resolveLinks(path, &target))
        return told(msg::SettingsFileUnreadable, m_filePath, failure);
    QString keptAs;
    if (const StoreError failure = moveAside(QFile::decodeName(target), &keptAs))
        return told(msg::SettingsFileUnreadable, m_filePath, failure);
    return StoreError::message(fileMessage(msg::SettingsFileKept, keptAs));
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
    qint64 pathLength = 0;
    for (const QByteArray &part : parts) {
        pathLength += 1 + part.size();
        HiveNode *existing = node->child(part);
        if (!existing)
            m_textBytes += keyTextSize(pathLength);
        node = existing ? existing : node->addChild(part);
    }
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

StoreError RegistryHive::commit()
{
    const auto failed = [this](const StoreError &failure) {
        return told(msg::SettingsFileUnwritten, m_filePath, failure);
    };
    const QByteArray path = nativePath(m_filePath);
    const QByteArray folder = nativePath(QFileInfo(m_filePath).path());
    if (const StoreError failure = ensureFolder(folder))
        return failed(failure);
    tightenFolder(folder);
    FileLock lock;
    if (const StoreError failure = lock.acquire(path + ".lock", m_lockWaitMs))
        return failed(failure);
    // A link (a dotfiles manager's) is written through: its target is what
    // gets replaced, beside itself so that the rename stays on one file system.
    QByteArray target;
    if (const StoreError failure = resolveLinks(path, &target))
        return failed(failure);

    // Start from what is in the file now: another copy may have written since load.
    StoreError note;
    auto root = std::make_unique<HiveNode>();
    QByteArray text;
    const StoreError read = readFile(path, MaxFileSize, &text);
    // replacing a file we cannot read would lose it unseen
    if (read && read.reason() != ENOENT && read.reason() != StoreError::TooLarge)
        return failed(read);
    bool unparsable = read.reason() == StoreError::TooLarge;
    if (!read && !text.isEmpty()) {
        if (auto parsed = parseHive(text))
            root = std::move(parsed);
        else
            unparsable = true;
    }
    if (unparsable) {
        QString keptAs;
        if (const StoreError failure = moveAside(QFile::decodeName(target), &keptAs))
            return failed(failure);
        note = StoreError::message(fileMessage(msg::SettingsFileKept, keptAs));
    }

    for (const Change &change : m_changes) {
        HiveNode *node = root.get();
        for (const QByteArray &part : change.path)
            node = node->addChild(part);
        if (change.isValue)
            node->setValue(change.name, change.type, change.data);
    }
    // Measured first: a file of deep keys would grow far past the bound.
    if (serializedSize(*root) > MaxFileSize)
        return failed(StoreError(EFBIG));
    text = serializeHive(*root);

    removeStaleTemporaries(folderOf(target), fileNameOf(target));

    TemporaryFile temp;
    StoreError failure = temp.create(target);
    if (!failure)
        failure = writeAll(temp.fd(), text.constData(), size_t(text.size()), m_write);
    if (!failure)
        failure = temp.replaceTarget();
    return failure ? failed(failure) : note;
}
