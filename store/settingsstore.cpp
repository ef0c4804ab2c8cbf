// SPDX-License-Identifier: MIT
#include "store/settingsstore.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"

#include <climits>
#include <optional>

namespace {

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

// A value's failure, told with its name.
StoreError valueFailure(const char *templ, const char *name)
{
    return StoreError::message(QString::fromStdString(formatMessage(templ, name)));
}

// An integer setting, when it exists: read into 4 bytes (fewer stored bytes
// read as they are, zero-extended), then the type is checked.
StoreError readInteger(const HiveKey &key, const char *name, std::optional<int32_t> *value)
{
    if (key.regQueryValue(name, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    uint32_t type = REG_NONE;
    unsigned char bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (key.regQueryValue(name, &type, bytes, &size) != ERROR_SUCCESS)
        return valueFailure(msg::GetDataFailed, name);
    if (type != REG_DWORD)
        return valueFailure(msg::InvalidDataType, name);
    *value = fromLittleEndian(bytes);
    return {};
}

StoreError readPosition(const HiveKey &key, std::optional<QRect> *bounds)
{
    const char *name = "Position";
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    unsigned char bytes[16] = {};
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_DWORD || size > sizeof bytes)
        return valueFailure(msg::InvalidDataType, name);
    uint32_t got = sizeof bytes;
    if (key.regQueryValue(name, &type, bytes, &got) != ERROR_SUCCESS)
        return valueFailure(msg::GetDataFailed, name);
    // A shorter value would leave coordinates the store never gave; the
    // built-in bounds stay.
    if (got < sizeof bytes)
        return {};
    const int32_t left = fromLittleEndian(bytes);
    const int32_t top = fromLittleEndian(bytes + 4);
    const int32_t right = fromLittleEndian(bytes + 8);
    const int32_t bottom = fromLittleEndian(bytes + 12);
    *bounds = QRect(left, top, clampToInt(int64_t(right) - left), clampToInt(int64_t(bottom) - top));
    return {};
}

// The settings key's values, in the order of the store; the first failure ends it.
StoreError readValues(const HiveKey &key, Settings &s)
{
    const auto integer = [&key](const char *name, auto apply) {
        std::optional<int32_t> value;
        StoreError failure = readInteger(key, name, &value);
        if (value)
            apply(*value);
        return failure;
    };
    // Bounds first, so a window that starts maximised keeps them as its normal bounds.
    StoreError failure = readPosition(key, &s.bounds);
    if (!failure)
        failure = integer("WindowState", [&](int32_t v) { s.windowState = v == 2 ? 2 : 0; });
    if (!failure)
        failure = integer("ShowToolBar", [&](int32_t v) { s.toolBarShown = v != 0; });
    if (!failure)
        failure = integer("ShowStatusBar", [&](int32_t v) { s.statusBarShown = v != 0; });
    if (!failure)
        failure = integer("Action", [&](int32_t v) { s.operation = Operation(v); });
    if (!failure)
        failure = integer("TimeOut", [&](int32_t v) { s.transport.timeOut = v; });
    if (!failure)
        failure = integer("Retries", [&](int32_t v) { s.transport.retries = v; });
    // Written by versions that speak SNMPv2c; anything but 2 is SNMPv1.
    if (!failure)
        failure = integer("Version", [&](int32_t v) { s.transport.version = SnmpVersion(v == 2 ? 2 : 1); });
    if (!failure)
        failure = integer("MibValues", [&](int32_t v) { s.mibValues = v != 0; });
    return failure;
}

// A history entry: REG_SZ or REG_EXPAND_SZ cut at the first zero byte; a value
// without data is an empty entry whatever its type. Its bytes stay as they
// are, UTF-8 or not.
StoreError readString(const HiveKey &key, const QByteArray &name, QString *text)
{
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) {
        text->clear();
        return {};
    }
    QByteArray bytes(qsizetype(size), '\0');
    uint32_t got = size;
    if (key.regQueryValue(name, &type, bytes.data(), &got) != ERROR_SUCCESS)
        return valueFailure(msg::GetDataFailed, name.constData());
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return valueFailure(msg::InvalidDataType, name.constData());
    bytes.truncate(got);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    *text = textFromBytes(bytes);
    return {};
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

// One list, when its key is there (true then). Entry by entry, so a failing
// value leaves the entries read before it; selected only when read whole.
bool loadHistory(RegistryHive &hive, const char *path, HistorySettings &list, StoreError *failure)
{
    HiveKey key;
    if (hive.regOpenKey(path, &key) != ERROR_SUCCESS)
        return false;
    list.items.emplace();
    for (const QByteArray &name : valueNames(key)) {
        QString text;
        if ((*failure = readString(key, name, &text)))
            return true;
        list.items->append(text);
    }
    list.selectFirst = true;
    return true;
}

// An agent text's bytes as a key name: "%", "\" (the path separator) and
// control characters (which would end the key's line in the file) as "%XX".
QByteArray agentKeyName(const QString &agent)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray name;
    for (const char c : bytesFromText(agent)) {
        const auto b = uchar(c);
        if (b == '%' || b == '\\' || b < 0x20 || b == 0x7F) {
            name += '%';
            name += digits[b >> 4];
            name += digits[b & 0xF];
        } else {
            name += c;
        }
    }
    return name;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A "%" without two hex digits after it stands for itself.
QString agentText(const QByteArray &name)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int high = name[i] == '%' && i + 2 < name.size() ? hexDigit(name[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(name[i + 2]) : -1;
        if (low >= 0) {
            bytes += char(high << 4 | low);
            i += 2;
        } else {
            bytes += name[i];
        }
    }
    return textFromBytes(bytes);
}

// One agent's properties; none, and no failure, when a number lies outside
// its list (a later version's).
StoreError readAgent(const HiveKey &key, std::optional<AgentProperties> *agent)
{
    std::optional<int32_t> version, level, auth, priv, remember;
    AgentProperties p;
    StoreError failure;
    if ((failure = readInteger(key, "Version", &version)) || (failure = readString(key, "UserName", &p.userName))
        || (failure = readInteger(key, "SecurityLevel", &level)) || (failure = readInteger(key, "AuthProtocol", &auth))
        || (failure = readInteger(key, "PrivProtocol", &priv)) || (failure = readString(key, "Context", &p.context))
        || (failure = readInteger(key, "RememberPassphrases", &remember)))
        return failure;
    if ((version && (*version < 0 || *version > 3)) || (level && !usmnames::validLevel(*level))
        || (auth && !usmnames::validAuth(*auth)) || (priv && !usmnames::validPriv(*priv)))
        return {};
    p.version = AgentVersion(version.value_or(0));
    if (level)
        p.level = SecurityLevel(*level);
    if (auth)
        p.auth = AuthProtocol(*auth);
    if (priv)
        p.priv = PrivProtocol(*priv);
    p.rememberPassphrases = remember.value_or(0) != 0;
    *agent = std::move(p);
    return {};
}

// Every agent's properties; an agent that fails has none, and the first
// failure is returned while the others load.
StoreError loadAgents(RegistryHive &hive, AgentPropertiesMap &agents)
{
    QList<QByteArray> names;
    {
        HiveKey parent;
        if (hive.regOpenKey(AgentsKey, &parent) != ERROR_SUCCESS)
            return {};
        QByteArray name;
        for (uint32_t i = 0; parent.regEnumKey(i, &name) == ERROR_SUCCESS; ++i)
            names.append(name);
    }
    StoreError first;
    for (const QByteArray &name : names) {
        HiveKey key;
        if (hive.regOpenKey(QByteArray(AgentsKey) + name, &key) != ERROR_SUCCESS)
            continue;
        std::optional<AgentProperties> agent;
        const StoreError failure = readAgent(key, &agent);
        if (agent)
            agents[agentText(name)] = std::move(*agent);
        if (failure && !first)
            first = failure;
    }
    return first;
}

// A binary value (another kind of value fails), when it exists.
StoreError readBinary(const HiveKey &key, const char *name, QByteArray *bytes)
{
    uint32_t type = REG_NONE;
    uint32_t size = 0;
    if (key.regQueryValue(name, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (type != REG_BINARY)
        return valueFailure(msg::InvalidDataType, name);
    QByteArray data(qsizetype(size), '\0');
    if (size > 0 && key.regQueryValue(name, &type, data.data(), &size) != ERROR_SUCCESS)
        return valueFailure(msg::GetDataFailed, name);
    *bytes = data.left(qsizetype(size));
    return {};
}

// One receiver user; none, and no failure, with a number outside its list.
StoreError readTrapUser(const HiveKey &key, std::optional<TrapUser> *user)
{
    std::optional<int32_t> level, auth, priv, remember;
    TrapUser u;
    StoreError failure;
    if ((failure = readString(key, "UserName", &u.userName)) || (failure = readBinary(key, "EngineID", &u.engineId))
        || (failure = readInteger(key, "SecurityLevel", &level)) || (failure = readInteger(key, "AuthProtocol", &auth))
        || (failure = readInteger(key, "PrivProtocol", &priv))
        || (failure = readInteger(key, "RememberPassphrases", &remember)))
        return failure;
    if ((level && !usmnames::validLevel(*level)) || (auth && !usmnames::validAuth(*auth))
        || (priv && !usmnames::validPriv(*priv)) || u.userName.isEmpty())
        return {};
    if (level)
        u.level = SecurityLevel(*level);
    if (auth)
        u.auth = AuthProtocol(*auth);
    if (priv)
        u.priv = PrivProtocol(*priv);
    u.rememberPassphrases = remember.value_or(0) != 0;
    *user = std::move(u);
    return {};
}

// The Traps window's values, on their own: the first failure ends them
// (what was read before it stays), and is returned.
StoreError loadTraps(RegistryHive &hive, TrapSettings &traps)
{
    HiveKey key;
    if (hive.regOpenKey(TrapsKey, &key) != ERROR_SUCCESS)
        return {};
    std::optional<int32_t> port, boots, communityCount, userCount;
    StoreError failure;
    (void)((failure = readString(key, "Address", &traps.address)) || (failure = readInteger(key, "Port", &port))
           || (failure = readBinary(key, "EngineID", &traps.engineId))
           || (failure = readInteger(key, "EngineBoots", &boots))
           || (failure = readInteger(key, "CommunityCount", &communityCount)));
    if (port && *port > 0 && *port <= 65535)
        traps.port = *port;
    traps.engineBoots = uint32_t(boots.value_or(0));
    if (failure)
        return failure;
    if (communityCount) {
        traps.communities.clear();
        for (int32_t i = 0; i < *communityCount; ++i) {
            QString community;
            const QByteArray name = "Community" + QByteArray::number(i);
            if ((failure = readString(key, name, &community)))
                return failure;
            traps.communities.append(community);
        }
    }
    if ((failure = readInteger(key, "UserCount", &userCount)) || !userCount)
        return failure;
    for (int32_t i = 0; i < *userCount; ++i) {
        HiveKey userKey;
        if (hive.regOpenKey(QByteArray(TrapsKey) + "User" + QByteArray::number(i), &userKey) != ERROR_SUCCESS)
            continue;
        std::optional<TrapUser> user;
        if ((failure = readTrapUser(userKey, &user)))
            return failure;
        if (user)
            traps.users.push_back(std::move(*user));
    }
    return {};
}

StoreError writeInteger(HiveKey &key, const char *name, int64_t value)
{
    unsigned char bytes[4];
    toLittleEndian(value, bytes);
    if (key.regSetValue(name, REG_DWORD, bytes, sizeof bytes) != ERROR_SUCCESS)
        return valueFailure(msg::SetDataFailed, name);
    return {};
}

StoreError writeValues(HiveKey &key, const Settings &s)
{
    if (s.windowState == 0 && s.bounds) {
        const QRect r = *s.bounds;
        unsigned char bytes[16];
        toLittleEndian(r.x(), bytes);
        toLittleEndian(r.y(), bytes + 4);
        toLittleEndian(int64_t(r.x()) + r.width(), bytes + 8);
        toLittleEndian(int64_t(r.y()) + r.height(), bytes + 12);
        if (key.regSetValue("Position", REG_BINARY, bytes, sizeof bytes) != ERROR_SUCCESS)
            return valueFailure(msg::SetDataFailed, "Position");
    }
    const std::pair<const char *, int64_t> values[] = {
        {"WindowState", s.windowState},
        {"ShowToolBar", s.toolBarShown ? 1 : 0},
        {"ShowStatusBar", s.statusBarShown ? 1 : 0},
        {"Action", int32_t(s.operation)},
        {"TimeOut", s.transport.timeOut},
        {"Retries", s.transport.retries},
        {"Version", s.transport.version == SnmpVersion::V2c ? 2 : 1},
        {"MibValues", s.mibValues ? 1 : 0},
    };
    for (const auto &[name, value] : values) {
        if (StoreError failure = writeInteger(key, name, value))
            return failure;
    }
    return {};
}

StoreError saveHistory(RegistryHive &hive, const char *path, const HistorySettings &list)
{
    HiveKey key;
    if (hive.regCreateKey(path, &key) != ERROR_SUCCESS || !list.items)
        return {};
    for (qsizetype i = 0; i < list.items->size(); ++i) {
        const QByteArray name = "Item" + QByteArray::number(i);
        QByteArray text = bytesFromText(list.items->at(i));
        text.append('\0'); // the terminating zero is part of the stored size
        if (key.regSetValue(name, REG_SZ, text.constData(), uint32_t(text.size())) != ERROR_SUCCESS)
            return valueFailure(msg::SetDataFailed, name.constData());
    }
    return {};
}

StoreError writeString(HiveKey &key, const char *name, const QString &value)
{
    QByteArray text = bytesFromText(value);
    text.append('\0'); // the terminating zero is part of the stored size
    if (key.regSetValue(name, REG_SZ, text.constData(), uint32_t(text.size())) != ERROR_SUCCESS)
        return valueFailure(msg::SetDataFailed, name);
    return {};
}

StoreError saveAgents(RegistryHive &hive, const AgentPropertiesMap &agents)
{
    for (const auto &[text, p] : agents) {
        // An empty name would be the Agents key itself.
        const QByteArray name = agentKeyName(text);
        HiveKey key;
        if (name.isEmpty() || hive.regCreateKey(QByteArray(AgentsKey) + name, &key) != ERROR_SUCCESS)
            continue;
        StoreError failure;
        if ((failure = writeInteger(key, "Version", int32_t(p.version))) || (failure = writeString(key, "UserName", p.userName))
            || (failure = writeInteger(key, "SecurityLevel", int32_t(p.level)))
            || (failure = writeInteger(key, "AuthProtocol", int32_t(p.auth)))
            || (failure = writeInteger(key, "PrivProtocol", int32_t(p.priv))) || (failure = writeString(key, "Context", p.context))
            || (failure = writeInteger(key, "RememberPassphrases", p.rememberPassphrases ? 1 : 0)))
            return failure;
    }
    return {};
}

// The Watch list; an item that fails is left out, the first failure returned.
StoreError loadWatch(RegistryHive &hive, WatchSettings &watch)
{
    HiveKey key;
    if (hive.regOpenKey(WatchKey, &key) != ERROR_SUCCESS)
        return {};
    std::optional<int32_t> interval, count;
    StoreError first = readInteger(key, "Interval", &interval);
    if (!first)
        first = readInteger(key, "Count", &count);
    if (interval)
        watch.intervalMs = *interval;
    for (int32_t i = 0; i < count.value_or(0); ++i) {
        HiveKey item;
        if (hive.regOpenKey(QByteArray(WatchKey) + "Item" + QByteArray::number(i), &item) != ERROR_SUCCESS)
            break; // a Count larger than the items: nothing more to read
        WatchEntry entry;
        StoreError failure;
        if ((failure = readString(item, "Agent", &entry.agent)) || (failure = readString(item, "Community", &entry.community))
            || (failure = readString(item, "Oid", &entry.oid))) {
            if (!first)
                first = failure;
            continue;
        }
        watch.entries.push_back(std::move(entry));
    }
    return first;
}

StoreError saveWatch(RegistryHive &hive, const WatchSettings &watch)
{
    HiveKey key;
    if (hive.regCreateKey(WatchKey, &key) != ERROR_SUCCESS)
        return {};
    StoreError failure;
    if ((failure = writeInteger(key, "Interval", watch.intervalMs))
        || (failure = writeInteger(key, "Count", int64_t(watch.entries.size()))))
        return failure;
    for (size_t i = 0; i < watch.entries.size(); ++i) {
        HiveKey item;
        if (hive.regCreateKey(QByteArray(WatchKey) + "Item" + QByteArray::number(qulonglong(i)), &item) != ERROR_SUCCESS)
            continue;
        const WatchEntry &entry = watch.entries[i];
        if ((failure = writeString(item, "Agent", entry.agent)) || (failure = writeString(item, "Community", entry.community))
            || (failure = writeString(item, "Oid", entry.oid)))
            return failure;
    }
    return {};
}

StoreError saveTraps(RegistryHive &hive, const TrapSettings &traps)
{
    HiveKey key;
    if (hive.regCreateKey(TrapsKey, &key) != ERROR_SUCCESS)
        return {};
    StoreError failure;
    if ((failure = writeString(key, "Address", traps.address)) || (failure = writeInteger(key, "Port", traps.port))
        || (failure = writeInteger(key, "EngineBoots", traps.engineBoots))
        || (failure = writeInteger(key, "CommunityCount", traps.communities.size())))
        return failure;
    if (!traps.engineId.isEmpty()
        && key.regSetValue("EngineID", REG_BINARY, traps.engineId.constData(), uint32_t(traps.engineId.size()))
            != ERROR_SUCCESS)
        return valueFailure(msg::SetDataFailed, "EngineID");
    for (qsizetype i = 0; i < traps.communities.size(); ++i) {
        const QByteArray name = "Community" + QByteArray::number(i);
        if ((failure = writeString(key, name.constData(), traps.communities[i])))
            return failure;
    }
    if ((failure = writeInteger(key, "UserCount", int64_t(traps.users.size()))))
        return failure;
    for (size_t i = 0; i < traps.users.size(); ++i) {
        const TrapUser &u = traps.users[i];
        HiveKey userKey;
        if (hive.regCreateKey(QByteArray(TrapsKey) + "User" + QByteArray::number(qsizetype(i)), &userKey)
            != ERROR_SUCCESS)
            continue;
        if ((failure = writeString(userKey, "UserName", u.userName))
            || (failure = writeInteger(userKey, "SecurityLevel", int32_t(u.level)))
            || (failure = writeInteger(userKey, "AuthProtocol", int32_t(u.auth)))
            || (failure = writeInteger(userKey, "PrivProtocol", int32_t(u.priv)))
            || (failure = writeInteger(userKey, "RememberPassphrases", u.rememberPassphrases ? 1 : 0)))
            return failure;
        // Always written: an empty one replaces the ID an earlier user there had.
        if (userKey.regSetValue("EngineID", REG_BINARY, u.engineId.constData(), uint32_t(u.engineId.size()))
            != ERROR_SUCCESS)
            return valueFailure(msg::SetDataFailed, "EngineID");
    }
    return {};
}

StoreError saveAll(RegistryHive &hive, const Settings &s)
{
    {
        HiveKey key;
        if (hive.regCreateKey(SettingsKey, &key) == ERROR_SUCCESS) {
            if (StoreError failure = writeValues(key, s))
                return failure;
        }
    }
    const std::pair<const char *, const HistorySettings *> lists[] = {
        {AgentHistoryKey, &s.agents}, {CommunityHistoryKey, &s.communities}, {OidHistoryKey, &s.oids}};
    for (const auto &[path, list] : lists) {
        if (StoreError failure = saveHistory(hive, path, *list))
            return failure;
    }
    if (StoreError failure = saveAgents(hive, s.agentProperties))
        return failure;
    if (const StoreError watchFailure = saveWatch(hive, s.watch))
        return watchFailure;
    return saveTraps(hive, s.traps);
}

} // namespace

LoadedSettings loadSettings(RegistryHive &hive)
{
    LoadedSettings loaded;
    Settings &s = loaded.settings;
    const StoreError fileError = hive.load();
    StoreError &failure = loaded.error;
    {
        HiveKey key;
        if (hive.regOpenKey(SettingsKey, &key) == ERROR_SUCCESS)
            failure = readValues(key, s);
    }
    if (!failure)
        loadHistory(hive, AgentHistoryKey, s.agents, &failure);
    if (!failure)
        loadHistory(hive, CommunityHistoryKey, s.communities, &failure);
    if (!failure && !loadHistory(hive, OidHistoryKey, s.oids, &failure))
        s.agents.selectFirst = s.communities.selectFirst = s.oids.selectFirst = true;
    // Independent of the values before: each agent loads on its own, and so do the Traps window's values.
    const StoreError agentFailure = loadAgents(hive, s.agentProperties);
    if (!failure)
        failure = agentFailure;
    const StoreError watchFailure = loadWatch(hive, s.watch);
    if (!failure)
        failure = watchFailure;
    const StoreError trapFailure = loadTraps(hive, s.traps);
    if (!failure)
        failure = trapFailure;
    if (!failure)
        failure = fileError;
    return loaded;
}

StoreError saveSettings(RegistryHive &hive, const Settings &settings)
{
    const StoreError failure = saveAll(hive, settings);
    // What was stored before a failing value still reaches the file; the
    // value's own message is the one the user sees.
    const StoreError written = hive.commit();
    return failure ? failure : written;
}
