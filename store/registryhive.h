// SPDX-License-Identifier: MIT
#pragma once

#include "store/filesafety.h"
#include "store/storeerror.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The per-user hive: the keys under HKEY_CURRENT_USER that Norvane uses, kept
// in one REGEDIT4 text file and offered through registry-like operations so
// that the settings code reads as it would against the registry.
//
// Key paths are relative to HKEY_CURRENT_USER, components separated by "\";
// leading and trailing backslashes are ignored ("\Software\Ferrolyn\Norvane\").
// Key and value names are bytes (UTF-8 in practice) and compare
// case-insensitively, as in the registry. Values keep their type number and
// their exact bytes, and enumerate in the order of their first creation.

// Value types (the registry's numbers).
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;

// Result codes of the operations (the registry's numbers).
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr long ERROR_NO_MORE_ITEMS = 259;
inline constexpr long ERROR_NOT_ENOUGH_QUOTA = 1816;

// One key of the hive with its subkeys and values, both in creation order.
struct HiveValue
{
    QByteArray name; // empty for the default value ("@")
    uint32_t type = REG_NONE;
    QByteArray data;
};

// Change children and values only through addChild and setValue, which keep
// the look-up index.
struct HiveNode
{
    QByteArray name;
    HiveNode *parent = nullptr;
    std::vector<std::unique_ptr<HiveNode>> children;
    std::vector<HiveValue> values;

    HiveNode *child(const QByteArray &childName) const;
    HiveNode *addChild(const QByteArray &childName); // the existing one when present
    const HiveValue *value(const QByteArray &valueName) const;
    // Overwrites in place (keeping the first name's letter case) or appends.
    void setValue(const QByteArray &valueName, uint32_t type, const QByteArray &data);

private:
    // Folded names, so a large file loads without quadratic look-ups.
    QHash<QByteArray, HiveNode *> m_childIndex;
    QHash<QByteArray, size_t> m_valueIndex;
};

class RegistryHive;

// An open key. Closing it (regCloseKey or the destructor) is all the clean-up
// there is; a handle must not outlive its hive.
class HiveKey
{
public:
    HiveKey() = default;
    ~HiveKey();
    HiveKey(HiveKey &&other) noexcept;
    HiveKey &operator=(HiveKey &&other) noexcept;
    HiveKey(const HiveKey &) = delete;
    HiveKey &operator=(const HiveKey &) = delete;

    bool isOpen() const { return m_node != nullptr; }

    // Any of type, data and size may be null. With data, *size is the buffer's
    // size on entry; data larger than that give ERROR_MORE_DATA with the needed
    // size in *size (the buffer's content is then not to be relied on). A missing value
    // gives ERROR_FILE_NOT_FOUND.
    long regQueryValue(const QByteArray &name, uint32_t *type, void *data, uint32_t *size) const;
    // Creates the value at the end of the key's order, or overwrites it in place.
    long regSetValue(const QByteArray &name, uint32_t type, const void *data, uint32_t size);
    // Number of values and the length in bytes of the longest value name.
    long regQueryInfoKey(uint32_t *valueCount, uint32_t *maxValueNameLength) const;
    // The name of the value at index (creation order); ERROR_NO_MORE_ITEMS past the end.
    long regEnumValue(uint32_t index, QByteArray *name) const;
    // The name of the subkey at index (creation order); ERROR_NO_MORE_ITEMS past the end.
    long regEnumKey(uint32_t index, QByteArray *name) const;
    long regCloseKey();

private:
    friend class RegistryHive;
    RegistryHive *m_hive = nullptr;
    HiveNode *m_node = nullptr;
};

class RegistryHive
{
public:
    // The one bound of the file, for what is read and what is written: the
    // text this hive writes, which may be longer than the text it read (hex
    // for text that is not UTF-8, a line for every key on a path). Values
    // that would take it further are refused; a file larger than this is
    // kept aside unread.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    // A file whose text as written back would pass this is kept aside at
    // load: the rest is room for what the exit writes, so that whatever
    // loads can always be written again.
    static constexpr qint64 MaxLoadSize = 12 * 1024 * 1024;
    // The registry's nesting limit, also a bound for hostile files.
    static constexpr int MaxDepth = 512;
    // How long the load and the write wait for another copy's lock.
    static constexpr int DefaultLockWaitMs = 5000;

    explicit RegistryHive(QString filePath);
    ~RegistryHive();
    RegistryHive(const RegistryHive &) = delete;
    RegistryHive &operator=(const RegistryHive &) = delete;

    // $XDG_CONFIG_HOME/Ferrolyn/Norvane.reg, ~/.config when it is unset.
    static QString defaultFilePath();
    const QString &filePath() const { return m_filePath; }

    // Reads the file once, under the lock; the hive is usable whatever it
    // returns. A missing file gives an empty hive; a file that cannot be
    // parsed, or that would not fit MaxLoadSize written back, is moved aside
    // to "<file>.bad-<yyyyMMdd-hhmmss>" and the hive starts empty; either that
    // or an unreadable file (also any that is not a regular file) is told in
    // the returned error's message. When the lock stays taken, the file is
    // read without it (writers replace it whole, so it is never torn),
    // nothing is moved, and the message says so. A symbolic link is
    // followed; a bad file is moved aside beside its target. Later calls
    // read nothing and return no error.
    StoreError load();
    bool isLoaded() const { return m_loaded; }

    long regOpenKey(const QByteArray &path, HiveKey *key);
    // Opens the key, creating it and its missing parents.
    long regCreateKey(const QByteArray &path, HiveKey *key);
    int openKeyCount() const { return m_openKeys; }

    // Writes the file: under the lock, re-reads it, applies the keys created and
    // values set through this hive since load (in their order), and replaces the
    // file atomically (temporary file 0600 in the same folder, fsync, rename,
    // fsync of the folder; the folder is created 0700 when missing). Values of
    // other names in the file remain, so of two copies the last to write wins
    // value by value. On failure the previous file is intact. A file that has
    // become unparsable is moved aside first and the returned error's message
    // says so, although the write happened.
    // A symbolic link stays: its target is replaced, in the target's folder.
    // Nothing is written while the lock stays taken or when the file is not a
    // regular one.
    StoreError commit();

    void setWriteFunction(WriteFunction write) { m_write = std::move(write); }
    void setLockWait(int milliseconds) { m_lockWaitMs = milliseconds; }

private:
    friend class HiveKey;
    struct Change
    {
        QList<QByteArray> path;
        bool isValue = false;
        QByteArray name;
        uint32_t type = 0;
        QByteArray data;
    };

    void keyOpened(HiveKey *key, HiveNode *node);
    void recordValue(HiveNode *node, const QByteArray &name, uint32_t type, const QByteArray &data);

    QString m_filePath;
    std::unique_ptr<HiveNode> m_root;
    std::vector<Change> m_changes;
    WriteFunction m_write;
    qint64 m_textBytes = 0; // the size of the file this hive writes
    int m_lockWaitMs = DefaultLockWaitMs;
    int m_openKeys = 0;
    bool m_loaded = false;
};
