// SPDX-License-Identifier: MIT
#include "store/settingsstore.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"

#include <climits>
#include <optional>

namespace {

constexpr HistoryBox AllBoxes[] = {AgentBox, CommunityBox, OidBox};

int32_t fromLittleEndian(const unsigned char *bytes)
{
    return int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

void toLittleEndian(int64_t value, unsigned char *bytes)
{
    const auto v = uint32_t(value); // wraps as the 32-bit fields of the store do
    bytes[0] = uchar(v);
    bytes[1] = uchar(v >> 8);
    bytes[2] = uchar(v >> 16);
    bytes[3] = uchar(v >> 24);
}

int clampToInt(int64_t value)
{
    return int(std::clamp<int64_t>(value, 0, INT_MAX));
}

bool valueExists(const HiveKey &key, const char *name)
{
    return key.regQueryValue(name, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// An integer setting: read into 4 bytes (fewer stored bytes read as they are,
// zero-extended), then the type is checked.
std::optional<int32_t> readInteger(const HiveKey &key, const char *name)
{
    if (!valueExists(key, name))
        return std::nullopt;
    uint32_t type = REG_NONE;
    unsigned char bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (key.regQueryValue(name, &type, bytes, &size) != ERROR_SUCCESS)
        throwMessage(msg::GetDataFailed, name);
    if (type != REG_DWORD)
        throwMessage(msg::InvalidDataType, name);
    return fromLittleEndian(bytes);
}

void readPosition(const HiveKey &key, SettingsHost &host)
{
    const char *name = "Position";
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS)
        return;
    unsigned char bytes[16] = {};
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_DWORD || size > sizeof bytes)
        throwMessage(msg::InvalidDataType, name);
    uint32_t got = sizeof bytes;
    if (key.regQueryValue(name, &type, bytes, &got) != ERROR_SUCCESS)
        throwMessage(msg::GetDataFailed, name);
    // A shorter value would leave coordinates the store never gave; the
    // built-in bounds stay.
    if (got < sizeof bytes)
        return;
    const int32_t left = fromLittleEndian(bytes);
    const int32_t top = fromLittleEndian(bytes + 4);
    const int32_t right = fromLittleEndian(bytes + 8);
    const int32_t bottom = fromLittleEndian(bytes + 12);
    host.setBounds(QRect(left, top, clampToInt(int64_t(right) - left), clampToInt(int64_t(bottom) - top)));
}

// A history entry: REG_SZ or REG_EXPAND_SZ cut at the first zero byte; a value
// without data is an empty entry whatever its type. Its bytes stay as they
// are, UTF-8 or not.
QString readString(const HiveKey &key, const QByteArray &name)
{
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    QByteArray bytes(qsizetype(size), '\0');
    uint32_t got = size;
    if (key.regQueryValue(name, &type, bytes.data(), &got) != ERROR_SUCCESS)
        throwMessage(msg::GetDataFailed, name.constData());
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throwMessage(msg::InvalidDataType, name.constData());
    bytes.truncate(got);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return textFromBytes(bytes);
}

QList<QByteArray> valueNames(const HiveKey &key)
{
    QList<QByteArray> names;
    uint32_t count = 0;
    uint32_t longest = 0;
    if (key.regQueryInfoKey(&count, &longest) != ERROR_SUCCESS)
        return names;
    names.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        QByteArray name;
        if (key.regEnumValue(i, &name) == ERROR_SUCCESS)
            names.append(name);
    }
    return names;
}

void selectFirst(HistoryList &list)
{
    if (list.count() > 0)
        list.selectItem(0);
}

// Appends one by one, so a failing value leaves the entries read before it.
void loadHistoryList(const HiveKey &key, HistoryList &list)
{
    const QList<QByteArray> names = valueNames(key);
    for (int i = list.count() - 1; i >= 0; --i)
        list.removeItem(i);
    for (const QByteArray &name : names)
        list.insertItem(list.count(), readString(key, name));
}

bool loadHistory(RegistryHive &hive, const char *path, HistoryList &list)
{
    HiveKey key;
    if (hive.regOpenKey(path, &key) != ERROR_SUCCESS)
        return false;
    loadHistoryList(key, list);
    selectFirst(list);
    return true;
}

void writeInteger(HiveKey &key, const char *name, int64_t value)
{
    unsigned char bytes[4];
    toLittleEndian(value, bytes);
    if (key.regSetValue(name, REG_DWORD, bytes, sizeof bytes) != ERROR_SUCCESS)
        throwMessage(msg::SetDataFailed, name);
}

void saveHistoryList(HiveKey &key, const HistoryList &list)
{
    for (int i = 0; i < list.count(); ++i) {
        const QByteArray name = "Item" + QByteArray::number(i);
        QByteArray text = bytesFromText(list.item(i));
        text.append('\0'); // the terminating zero is part of the stored size
        if (key.regSetValue(name, REG_SZ, text.constData(), uint32_t(text.size())) != ERROR_SUCCESS)
            throwMessage(msg::SetDataFailed, name.constData());
    }
}

void saveHistory(RegistryHive &hive, const char *path, const HistoryList &list)
{
    HiveKey key;
    if (hive.regCreateKey(path, &key) == ERROR_SUCCESS)
        saveHistoryList(key, list);
}

void writeValues(RegistryHive &hive, SettingsHost &host)
{
    {
        HiveKey key;
        if (hive.regCreateKey(SettingsKey, &key) == ERROR_SUCCESS) {
            const int state = host.windowStateValue();
            if (state == 0) {
                const QRect r = host.normalBounds();
                unsigned char bytes[16];
                toLittleEndian(r.x(), bytes);
                toLittleEndian(r.y(), bytes + 4);
                toLittleEndian(int64_t(r.x()) + r.width(), bytes + 8);
                toLittleEndian(int64_t(r.y()) + r.height(), bytes + 12);
                if (key.regSetValue("Position", REG_BINARY, bytes, sizeof bytes) != ERROR_SUCCESS)
                    throwMessage(msg::SetDataFailed, "Position");
            }
            writeInteger(key, "WindowState", state);
            writeInteger(key, "ShowToolBar", host.toolBarShown() ? 1 : 0);
            writeInteger(key, "ShowStatusBar", host.statusBarShown() ? 1 : 0);
            writeInteger(key, "Action", int32_t(host.operation()));
            writeInteger(key, "TimeOut", host.timeOut());
            writeInteger(key, "Retries", host.retries());
            writeInteger(key, "Version", host.snmpVersion() == SnmpVersion::V2c ? 2 : 1);
            writeInteger(key, "MibValues", host.mibValues() ? 1 : 0);
        }
    }
    saveHistory(hive, AgentHistoryKey, host.history(AgentBox));
    saveHistory(hive, CommunityHistoryKey, host.history(CommunityBox));
    saveHistory(hive, OidHistoryKey, host.history(OidBox));
}

} // namespace

void loadSettings(RegistryHive &hive, SettingsHost &host)
{
    if (!hive.isLoaded())
        hive.load();

    host.setOperation(Operation::Get);
    {
        HiveKey key;
        if (hive.regOpenKey(SettingsKey, &key) == ERROR_SUCCESS) {
            // Bounds first, so a window that starts maximised keeps them as its normal bounds.
            readPosition(key, host);
            if (const auto state = readInteger(key, "WindowState"); state && *state == 2)
                host.setWindowStateValue(2);
            if (const auto shown = readInteger(key, "ShowToolBar"))
                host.setToolBarShown(*shown != 0);
            if (const auto shown = readInteger(key, "ShowStatusBar"))
                host.setStatusBarShown(*shown != 0);
            if (const auto operation = readInteger(key, "Action"))
                host.setOperation(Operation(*operation));
            if (const auto timeOut = readInteger(key, "TimeOut"))
                host.setTimeOut(*timeOut);
            if (const auto retries = readInteger(key, "Retries"))
                host.setRetries(*retries);
            // Written by versions that speak SNMPv2c; anything but 2 is SNMPv1.
            if (const auto version = readInteger(key, "Version"))
                host.setSnmpVersion(*version == 2 ? SnmpVersion::V2c : SnmpVersion::V1);
            if (const auto on = readInteger(key, "MibValues"))
                host.setMibValues(*on != 0);
        }
    }
    loadHistory(hive, AgentHistoryKey, host.history(AgentBox));
    loadHistory(hive, CommunityHistoryKey, host.history(CommunityBox));
    if (!loadHistory(hive, OidHistoryKey, host.history(OidBox))) {
        for (HistoryBox box : AllBoxes)
            selectFirst(host.history(box));
    }

    if (const QString message = hive.takeLoadMessage(); !message.isEmpty())
        throw AppError(message.toStdString());
}

void saveSettings(RegistryHive &hive, SettingsHost &host)
{
    try {
        writeValues(hive, host);
    } catch (...) {
        // What was stored before the failing value still reaches the file;
        // the value's own message is the one the user sees.
        (void)hive.commit();
        throw;
    }
    if (const QString message = hive.commit(); !message.isEmpty())
        throw AppError(message.toStdString());
}
