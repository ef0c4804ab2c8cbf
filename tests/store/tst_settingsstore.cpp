// SPDX-License-Identifier: MIT
#include "store/settingsstore.h"
#include "tests/support/confighome.h"
#include "tests/support/settingsfile.h"

#include <QTest>

namespace {

template<size_t N>
QByteArray bin(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// A list as the load found it: "built-in" when its key was missing, else its
// entries; "selected" when entry 0 is to be selected.
QString found(const HistorySettings &list)
{
    const QString items = list.items ? '[' + list.items->join(QStringLiteral(" | ")) + ']' : QStringLiteral("built-in");
    return list.selectFirst ? QStringLiteral("selected ") + items : items;
}

const QStringList BuiltInOids{".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0", "all"};

} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void historyLists_data();
    void historyLists();
    void firstExitAndNextStart();
    void maximisedWithStoredPosition();
    void exitWhileMaximisedKeepsPosition();
    void operationOutOfRangeKept();
    void integerOfWrongKind_data();
    void integerOfWrongKind();
    void versionValue_data();
    void versionValue();
    void agentProperties_data();
    void agentProperties();
    void watchListShrinksAndSkipsABadItem();
    void trapReceiver();
    void positionRules_data();
    void positionRules();
    void twelveEntriesWrittenBack();
    void otherValueNamesRemain();
    void failedStoreKeepsEarlierValues();
    void corruptFileReported();

private:
    Stored stored(const char *key, const QByteArray &name) const { return storedValue(m_path, key, name); }
    LoadedSettings load() const;
    QString save(const Settings &settings) const;

    std::unique_ptr<ConfigHome> m_dir;
    QString m_path;
};

void TestSettingsStore::init()
{
    m_dir = std::make_unique<ConfigHome>();
    QVERIFY(m_dir->isValid());
    m_path = RegistryHive::defaultFilePath();
}

void TestSettingsStore::cleanup()
{
    m_dir.reset();
}

// A fresh hive's load, which must leave no key open.
LoadedSettings TestSettingsStore::load() const
{
    RegistryHive hive(m_path);
    LoadedSettings loaded = loadSettings(hive);
    if (hive.openKeyCount() != 0)
        loaded.error = StoreError::message(QStringLiteral("a key was left open"));
    return loaded;
}

QString TestSettingsStore::save(const Settings &settings) const
{
    RegistryHive hive(m_path);
    const StoreError failure = saveSettings(hive, settings);
    return hive.openKeyCount() != 0 ? QStringLiteral("a key was left open") : failure.message();
}

void TestSettingsStore::historyLists_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("agents");
    QTest::addColumn<QString>("communities");
    QTest::addColumn<QString>("oids");
    // "hlOid" is missing, so entry 0 is selected in all three boxes.
    QTest::newRow("first start, no file") << QByteArray() << QString() << "selected built-in" << "selected built-in"
                                          << "selected built-in";
    QTest::newRow("empty key empties its box") << Header + AgentSection + "\r\n" + OidSection + "\"Item0\"=\"sysDescr\"\r\n"
                                               << QString() << "selected []" << "built-in" << "selected [sysDescr]";
    // "hlAgent" missing: its built-in entry stays, not selected.
    QTest::newRow("oid list without agent list")
        << Header + CommunitySection + "\"Item0\"=\"public\"\r\n\r\n" + OidSection + "\"Item0\"=\".1.3.6.1.2.1.1.5.0\"\r\n"
        << QString() << "built-in" << "selected [public]" << "selected [.1.3.6.1.2.1.1.5.0]";
    // Read up to the failing value, not selected; nothing after it.
    QTest::newRow("history value rules")
        << Header + AgentSection
               + "\"Item0\"=hex(1):61,62,00,63,64,00\r\n" // cut at the first zero
                 "\"Item1\"=hex(2):25,50,41,54,48,25,00\r\n" // not expanded
                 "\"Item2\"=hex(1):6e,6f,7a,65,72,6f\r\n" // no zero at all
                 "\"Item3\"=hex(4):\r\n" // no data: empty, whatever the type
                 "\"Item4\"=\"Z\xc3\xbcrich\"\r\n"
                 "\"Item5\"=hex:31\r\n" // data of another type
                 "\"Item6\"=\"never read\"\r\n\r\n"
               + CommunitySection + "\"Item0\"=\"public\"\r\n"
        << "Invalid data type for 'Item5'" << QString::fromUtf8("[ab | %PATH% | nozero |  | Z\xc3\xbcrich]") << "built-in"
        << "built-in";
    // Creation order, whatever the names.
    QTest::newRow("other value names")
        << Header + AgentSection + "\"Item0\"=\"a\"\r\n\"Item1\"=\"b\"\r\n\"Favourite\"=\"c\"\r\n" << QString()
        << "selected [a | b | c]" << "selected built-in" << "selected built-in";
}

void TestSettingsStore::historyLists()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(QString, agents);
    QFETCH(QString, communities);
    QFETCH(QString, oids);
    QVERIFY(file.isEmpty() || writeFile(m_path, file));
    const LoadedSettings loaded = load();
    QCOMPARE(loaded.error.message(), message);
    QCOMPARE(found(loaded.settings.agents), agents);
    QCOMPARE(found(loaded.settings.communities), communities);
    QCOMPARE(found(loaded.settings.oids), oids);
}

void TestSettingsStore::firstExitAndNextStart()
{
    const LoadedSettings first = load();
    QCOMPARE(first.error.message(), QString());
    QCOMPARE(first.settings.operation, Operation::Get);
    QVERIFY(!first.settings.bounds); // the window keeps its built-in bounds
    QCOMPARE(first.settings.windowState, 0);
    QCOMPARE(first.settings.transport.timeOut, 1000);
    QCOMPARE(first.settings.transport.retries, 1);
    QVERIFY(!QFile::exists(m_path));

    Settings exit = first.settings;
    exit.bounds = QRect(191, 101, 640, 480);
    exit.agents.items = QStringList{"127.0.0.1"};
    exit.communities.items = QStringList{"tarnel"};
    exit.oids.items = BuiltInOids;
    QCOMPARE(save(exit), QString());
    QCOMPARE(stored(SettingsKey, "Position").data, position(QRect(191, 101, 640, 480)));
    QCOMPARE(stored(SettingsKey, "Position").type, REG_BINARY);
    const struct
    {
        const char *name;
        uint32_t value;
    } dwords[] = {{"WindowState", 0}, {"ShowToolBar", 1}, {"ShowStatusBar", 1},
                  {"Action", 1},      {"TimeOut", 1000}, {"Retries", 1}, {"Version", 1}};
    for (const auto &d : dwords) {
        const Stored s = stored(SettingsKey, d.name);
        QCOMPARE(s.type, REG_DWORD);
        QCOMPARE(s.data, dword(d.value));
    }
    QCOMPARE(stored(AgentHistoryKey, "Item0").data, bin("127.0.0.1\0"));
    QCOMPARE(stored(CommunityHistoryKey, "Item0").type, REG_SZ);
    QCOMPARE(stored(CommunityHistoryKey, "Item0").data, bin("tarnel\0"));
    QCOMPARE(stored(OidHistoryKey, "Item2").data, bin("all\0"));

    // the intermediate key exists and holds nothing
    const QByteArray text = readAll(m_path);
    QVERIFY(text.contains("[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists]\r\n\r\n"));
    QVERIFY(text.contains(AgentSection) && text.contains(CommunitySection) && text.contains(OidSection));

    // and the next start finds it all
    const LoadedSettings next = load();
    QCOMPARE(next.error.message(), QString());
    QCOMPARE(next.settings.agents.items, std::optional(QStringList{"127.0.0.1"}));
    QCOMPARE(next.settings.oids.items, std::optional(BuiltInOids));
    QCOMPARE(next.settings.bounds, std::optional(QRect(191, 101, 640, 480)));
}

void TestSettingsStore::maximisedWithStoredPosition()
{
    QVERIFY(writeFile(m_path, Header + SettingsSection
                                  + "\"Position\"=hex:0a,00,00,00,14,00,00,00,6e,00,00,00,dc,00,00,00\r\n"
                                  + "\"WindowState\"=dword:00000002\r\n"));
    const LoadedSettings loaded = load();
    QCOMPARE(loaded.error.message(), QString());
    QCOMPARE(loaded.settings.bounds, std::optional(QRect(10, 20, 100, 200)));
    QCOMPARE(loaded.settings.windowState, 2);

    // only 2 acts: 1 (minimised) opens normal
    QVERIFY(writeFile(m_path, Header + SettingsSection + "\"WindowState\"=dword:00000001\r\n"));
    QCOMPARE(load().settings.windowState, 0);
}

void TestSettingsStore::exitWhileMaximisedKeepsPosition()
{
    const QByteArray keptPosition = position(QRect(10, 20, 100, 200));
    QVERIFY(writeFile(m_path, Header + SettingsSection
                                  + "\"Position\"=hex:0a,00,00,00,14,00,00,00,6e,00,00,00,dc,00,00,00\r\n"));
    Settings settings = load().settings;
    settings.windowState = 2;
    settings.bounds = QRect(0, 0, 1920, 1080);
    QCOMPARE(save(settings), QString());
    QCOMPARE(stored(SettingsKey, "Position").data, keptPosition);
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(2));

    Settings next = load().settings;
    QCOMPARE(next.bounds, std::optional(QRect(10, 20, 100, 200)));
    QCOMPARE(next.windowState, 2);

    // minimised at exit (the launcher's request): stores 1, Position stays
    next.windowState = 1;
    next.bounds = QRect(5, 5, 50, 50);
    QCOMPARE(save(next), QString());
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(1));
    QCOMPARE(stored(SettingsKey, "Position").data, keptPosition);
}

void TestSettingsStore::operationOutOfRangeKept()
{
    QVERIFY(writeFile(m_path, Header + SettingsSection + "\"Action\"=dword:00000007\r\n\"TimeOut\"=dword:ffffffff\r\n"
                                  + "\"ShowToolBar\"=dword:00000000\r\n\"ShowStatusBar\"=dword:00000005\r\n"));
    const LoadedSettings loaded = load();
    QCOMPARE(loaded.error.message(), QString());
    QCOMPARE(int(loaded.settings.operation), 7);
    QCOMPARE(loaded.settings.transport.timeOut, -1); // taken as stored
    QVERIFY(!loaded.settings.toolBarShown);
    QVERIFY(loaded.settings.statusBarShown); // any value but 0
    QCOMPARE(save(loaded.settings), QString());
    QCOMPARE(stored(SettingsKey, "Action").data, dword(7));
    QCOMPARE(stored(SettingsKey, "TimeOut").data, dword(0xffffffff));
    QCOMPARE(stored(SettingsKey, "ShowToolBar").data, dword(0));
    QCOMPARE(stored(SettingsKey, "ShowStatusBar").data, dword(1));
}

void TestSettingsStore::integerOfWrongKind_data()
{
    QTest::addColumn<QByteArray>("timeOut");
    QTest::addColumn<QString>("message");
    QTest::newRow("four digits, 5 bytes") << QByteArray("\"TimeOut\"=\"2000\"") << "Failed to get data for 'TimeOut'";
    QTest::newRow("two digits, 3 bytes") << QByteArray("\"TimeOut\"=\"20\"") << "Invalid data type for 'TimeOut'";
    QTest::newRow("binary, 4 bytes") << QByteArray("\"TimeOut\"=hex:d0,07,00,00") << "Invalid data type for 'TimeOut'";
    QTest::newRow("dword, 5 bytes") << QByteArray("\"TimeOut\"=hex(4):d0,07,00,00,00") << "Failed to get data for 'TimeOut'";
    QTest::newRow("dword, 2 bytes") << QByteArray("\"TimeOut\"=hex(4):d0,07") << QString();
}

void TestSettingsStore::integerOfWrongKind()
{
    QFETCH(QByteArray, timeOut);
    QFETCH(QString, message);
    QVERIFY(writeFile(m_path, Header + SettingsSection + "\"Action\"=dword:00000002\r\n" + timeOut + "\r\n"
                                  + "\"Retries\"=dword:00000005\r\n\r\n" + AgentSection + "\"Item0\"=\"10.1.1.1\"\r\n\r\n"
                                  + OidSection + "\"Item0\"=\"all\"\r\n"));
    const LoadedSettings loaded = load();
    const Settings &s = loaded.settings;
    QCOMPARE(loaded.error.message(), message);
    QCOMPARE(s.operation, Operation::GetNext); // read before the failure
    if (message.isEmpty()) {
        QCOMPARE(s.transport.timeOut, 2000); // fewer bytes, zero-extended
        QCOMPARE(s.transport.retries, 5);
        QCOMPARE(found(s.agents), "selected [10.1.1.1]");
        return;
    }
    QCOMPARE(s.transport.timeOut, 1000);
    QCOMPARE(s.transport.retries, 1);
    QCOMPARE(found(s.agents), "built-in");
    QCOMPARE(found(s.oids), "built-in");
}

// Any stored number but 2 is SNMPv1; written back as 1 or 2, after "Retries".
void TestSettingsStore::versionValue_data()
{
    QTest::addColumn<QByteArray>("version"); // the value's line, empty when missing
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("loaded");
    QTest::newRow("missing") << QByteArray() << QString() << 1;
    QTest::newRow("1") << QByteArray("\"Version\"=dword:00000001") << QString() << 1;
    QTest::newRow("2") << QByteArray("\"Version\"=dword:00000002") << QString() << 2;
    QTest::newRow("3") << QByteArray("\"Version\"=dword:00000003") << QString() << 1;
    QTest::newRow("text, 3 bytes") << QByteArray("\"Version\"=\"2c\"") << "Invalid data type for 'Version'" << 1;
    QTest::newRow("text, 5 bytes") << QByteArray("\"Version\"=\"v2c!\"") << "Failed to get data for 'Version'" << 1;
    QTest::newRow("binary") << QByteArray("\"Version\"=hex:02,00,00,00") << "Invalid data type for 'Version'" << 1;
}

void TestSettingsStore::versionValue()
{
    QFETCH(QByteArray, version);
    QFETCH(QString, message);
    QFETCH(int, loaded);
    QVERIFY(writeFile(m_path, Header + SettingsSection + "\"Retries\"=dword:00000004\r\n" + version + "\r\n\r\n"
                                  + AgentSection + "\"Item0\"=\"10.1.1.1\"\r\n"));
    const LoadedSettings load = this->load();
    QCOMPARE(load.error.message(), message);
    QCOMPARE(load.settings.transport.retries, 4); // read before it
    QCOMPARE(int(load.settings.transport.version), loaded);
    // the lists after it only without failure
    QCOMPARE(found(load.settings.agents), message.isNull() ? "selected [10.1.1.1]" : "built-in");

    QFile::remove(m_path);
    QCOMPARE(save(load.settings), QString());
    QVERIFY(readAll(m_path).contains("\"Retries\"=dword:00000004\r\n\"Version\"=dword:0000000" + QByteArray::number(loaded)));
}

void TestSettingsStore::agentProperties_data()
{
    QTest::addColumn<QByteArray>("values"); // of the agent "a%b\\c\t[::1]" besides a good one
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("loaded");
    const QByteArray good = "\"Version\"=dword:00000003\r\n\"UserName\"=\"ops\"\r\n\"SecurityLevel\"=dword:00000003\r\n"
                            "\"AuthProtocol\"=dword:00000004\r\n\"PrivProtocol\"=dword:00000006\r\n"
                            "\"Context\"=\"vrf-1\"\r\n\"RememberPassphrases\"=dword:00000001\r\n";
    QTest::newRow("all values") << good << QString() << true;
    QTest::newRow("a protocol of a later version") << good + "\"PrivProtocol\"=dword:00000009\r\n" << QString() << false;
    QTest::newRow("a version of a later version") << good + "\"Version\"=dword:00000004\r\n" << QString() << false;
    QTest::newRow("level as text") << good + "\"SecurityLevel\"=\"3\"\r\n" << "Invalid data type for 'SecurityLevel'"
                                   << false;
    QTest::newRow("user name as a number") << good + "\"UserName\"=dword:00000001\r\n"
                                           << "Invalid data type for 'UserName'" << false;
}

// Agent Properties: read back as written, the agent text's "%", "\" and
// control characters escaped in its key's name; a damaged agent has no
// properties, the others load, and so do the settings before.
void TestSettingsStore::agentProperties()
{
    QFETCH(QByteArray, values);
    QFETCH(QString, message);
    QFETCH(bool, loaded);
    const QByteArray agents = "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\Agents\\";
    QVERIFY(writeFile(m_path, Header + SettingsSection + "\"Retries\"=dword:00000004\r\n\r\n" + agents
                                  + "a%25b%5Cc%09[::1]]\r\n" + values + "\r\n" + agents
                                  + "10.0.0.1]\r\n\"Version\"=dword:00000002\r\n"));
    const LoadedSettings load = this->load();
    QCOMPARE(load.error.message(), message);
    QCOMPARE(load.settings.transport.retries, 4);
    const AgentPropertiesMap &read = load.settings.agentProperties;
    QCOMPARE(read.count(QStringLiteral("A%B\\C\t[::1]")), size_t(loaded)); // letter case aside
    QCOMPARE(read.at(QStringLiteral("10.0.0.1")).version, AgentVersion::V2c);
    if (loaded) {
        const AgentProperties &agent = read.at(QStringLiteral("a%b\\c\t[::1]"));
        QCOMPARE(agent.userName, QStringLiteral("ops"));
        QCOMPARE(agent.auth, AuthProtocol::SHA256);
        QCOMPARE(agent.priv, PrivProtocol::AES256C);
        QCOMPARE(agent.context, QStringLiteral("vrf-1"));
        QVERIFY(agent.rememberPassphrases);
    }

    QFile::remove(m_path);
    QCOMPARE(save(load.settings), QString());
    QVERIFY(readAll(m_path).contains("Agents\\a%25b%5Cc%09[::1]]\r\n") == loaded);
    QVERIFY(this->load().settings.agentProperties == read);
}

// The hive cannot delete: a shorter list is its Count, the items past it
// stay in the file unread. An item with a value of a wrong kind is left out.
void TestSettingsStore::watchListShrinksAndSkipsABadItem()
{
    Settings settings;
    settings.watch.intervalMs = 2500;
    for (const char *oid : {".1.3.6.1.2.1.2.2.1.10.1", ".1.3.6.1.2.1.2.2.1.16.1", ".1.3.6.1.2.1.1.3.0"})
        settings.watch.entries.push_back({QStringLiteral("udp:[::1]:1161"), QStringLiteral("tarnel"), QString::fromLatin1(oid)});
    QCOMPARE(save(settings), QString());
    settings.watch.entries.erase(settings.watch.entries.begin());
    QCOMPARE(save(settings), QString());
    LoadedSettings next = load();
    QCOMPARE(next.error.message(), QString());
    QCOMPARE(next.settings.watch.intervalMs, 2500);
    QVERIFY(next.settings.watch.entries == settings.watch.entries);
    QVERIFY(readAll(m_path).contains("Watch\\Item2]"));

    QByteArray text = readAll(m_path);
    text.replace("\"Oid\"=\".1.3.6.1.2.1.2.2.1.16.1\"", "\"Oid\"=dword:00000001");
    QVERIFY(writeFile(m_path, text));
    next = load();
    QCOMPARE(next.error.message(), QStringLiteral("Invalid data type for 'Oid'"));
    QCOMPARE(next.settings.watch.entries.size(), size_t(1));
    QCOMPARE(next.settings.watch.entries.front().oid, QStringLiteral(".1.3.6.1.2.1.1.3.0"));
}

// The Traps window's receiver read back as written; a shorter list of
// communities and users written over a longer one reads back shorter (the
// store keeps values and keys nobody writes); a value of a wrong kind is
// reported, what came before it kept, and the other settings load.
void TestSettingsStore::trapReceiver()
{
    Settings written;
    TrapSettings &traps = written.traps;
    traps.address = QStringLiteral("::1");
    traps.port = 10162;
    traps.communities = QStringList{QStringLiteral("public"), QStringLiteral("n\u00f8c %1\\x")};
    traps.engineId = QByteArray::fromHex("80001f8880a1b2c3d4");
    traps.engineBoots = 7;
    TrapUser sender{QStringLiteral("ops"), QByteArray::fromHex("8000000001020304"), SecurityLevel::AuthNoPriv,
                    AuthProtocol::SHA512, PrivProtocol::AES, true};
    TrapUser informer;
    informer.userName = QStringLiteral("informer");
    traps.users = {sender, informer};
    QCOMPARE(save(written), QString());
    QCOMPARE(load().settings.traps, traps);

    traps.communities = QStringList{"only"};
    traps.users = {informer};
    QCOMPARE(save(written), QString());
    QCOMPARE(load().settings.traps, traps);

    QByteArray text = readAll(m_path);
    text.replace("\"CommunityCount\"=dword:00000001", "\"CommunityCount\"=\"1\"");
    QVERIFY(writeFile(m_path, text));
    const LoadedSettings damaged = load();
    QCOMPARE(damaged.error.message(), QStringLiteral("Invalid data type for 'CommunityCount'"));
    QCOMPARE(damaged.settings.traps.port, 10162);
    QCOMPARE(damaged.settings.traps.engineId, traps.engineId);
    QCOMPARE(damaged.settings.traps.communities, TrapSettings().communities);
}

void TestSettingsStore::positionRules_data()
{
    QTest::addColumn<QByteArray>("position");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QRect>("bounds"); // QRect(): the window's built-in bounds stay
    const QRect builtIn;
    const QByteArray sixteen = "0a,00,00,00,14,00,00,00,6e,00,00,00,dc,00,00,00";
    QTest::newRow("binary") << "hex:" + sixteen << QString() << QRect(10, 20, 100, 200);
    QTest::newRow("none") << "hex(0):" + sixteen << QString() << QRect(10, 20, 100, 200);
    QTest::newRow("multi-sz") << "hex(7):" + sixteen << QString() << QRect(10, 20, 100, 200);
    QTest::newRow("text") << QByteArray("\"0,0,10,10\"") << "Invalid data type for 'Position'" << builtIn;
    QTest::newRow("expand-sz") << "hex(2):" + sixteen << "Invalid data type for 'Position'" << builtIn;
    QTest::newRow("dword") << QByteArray("dword:00000001") << "Invalid data type for 'Position'" << builtIn;
    QTest::newRow("17 bytes") << "hex:" + sixteen + ",00" << "Invalid data type for 'Position'" << builtIn;
    // shorter than a rectangle: ignored, the load goes on
    QTest::newRow("8 bytes") << QByteArray("hex:0a,00,00,00,14,00,00,00") << QString() << builtIn;
    QTest::newRow("empty") << QByteArray("hex:") << QString() << builtIn;
    QTest::newRow("right of left") << QByteArray("hex:64,00,00,00,64,00,00,00,0a,00,00,00,0a,00,00,00")
                                   << QString() << QRect(100, 100, 0, 0);
}

void TestSettingsStore::positionRules()
{
    QFETCH(QByteArray, position);
    QFETCH(QString, message);
    QFETCH(QRect, bounds);
    QVERIFY(writeFile(m_path, Header + SettingsSection + "\"Position\"=" + position
                                  + "\r\n\"WindowState\"=dword:00000002\r\n"));
    const LoadedSettings loaded = load();
    QCOMPARE(loaded.error.message(), message);
    QCOMPARE(loaded.settings.bounds, bounds == QRect() ? std::nullopt : std::optional(bounds));
    QCOMPARE(loaded.settings.windowState, message.isEmpty() ? 2 : 0);
}

void TestSettingsStore::twelveEntriesWrittenBack()
{
    QByteArray section = AgentSection;
    for (int i = 0; i < 12; ++i)
        section += "\"Item" + QByteArray::number(i) + "\"=\"10.0.0." + QByteArray::number(i) + "\"\r\n";
    QVERIFY(writeFile(m_path, Header + section));
    Settings settings = load().settings;
    QStringList &agents = *settings.agents.items;
    QCOMPARE(agents.size(), 12);
    // the run's rule: a new input on top, one entry dropped
    agents.prepend("10.9.9.9");
    agents.removeAt(12);
    QCOMPARE(save(settings), QString());
    QCOMPARE(stored(AgentHistoryKey, "Item0").data, bin("10.9.9.9\0"));
    for (int i = 1; i < 12; ++i)
        QCOMPARE(stored(AgentHistoryKey, "Item" + QByteArray::number(i)).data,
                 "10.0.0." + QByteArray::number(i - 1) + '\0');
    QVERIFY(!stored(AgentHistoryKey, "Item12").exists);
}

void TestSettingsStore::otherValueNamesRemain()
{
    QVERIFY(writeFile(m_path, Header + AgentSection + "\"Item0\"=\"a\"\r\n\"Item1\"=\"b\"\r\n\"Favourite\"=\"c\"\r\n"));
    QCOMPARE(save(load().settings), QString());
    QCOMPARE(stored(AgentHistoryKey, "Favourite").data, bin("c\0"));
    QCOMPARE(stored(AgentHistoryKey, "Item2").data, bin("c\0"));
    QCOMPARE(load().settings.agents.items, std::optional(QStringList{"a", "b", "c", "c"}));
}

void TestSettingsStore::failedStoreKeepsEarlierValues()
{
    QVERIFY(writeFile(m_path, Header + CommunitySection + "\"Item0\"=\"old\"\r\n"));
    Settings settings;
    settings.transport.retries = 3;
    settings.agents.items = QStringList{"first", QString(RegistryHive::MaxFileSize, 'x'), "third"};
    settings.communities.items = QStringList{"new"};
    settings.oids.items = BuiltInOids;
    QCOMPARE(save(settings), "Failed to set data for 'Item1'");
    // stored before the failure: in the file; after it: as it was
    QCOMPARE(stored(SettingsKey, "Retries").data, dword(3));
    QCOMPARE(stored(AgentHistoryKey, "Item0").data, bin("first\0"));
    QVERIFY(!stored(AgentHistoryKey, "Item1").exists);
    QCOMPARE(stored(CommunityHistoryKey, "Item0").data, bin("old\0"));
    QVERIFY(!stored(OidHistoryKey, "Item0").exists);
}

void TestSettingsStore::corruptFileReported()
{
    QVERIFY(writeFile(m_path, "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n\"Action\"=dword:zz\r\n"));
    const LoadedSettings loaded = load();
    const QString message = loaded.error.message();
    QVERIFY2(message.startsWith("The settings file could not be read; it was kept as '" + m_path + ".bad-"),
             qPrintable(message));
    // otherwise a first start
    QCOMPARE(loaded.settings.operation, Operation::Get);
    QCOMPARE(found(loaded.settings.agents), "selected built-in");
    QCOMPARE(found(loaded.settings.oids), "selected built-in");

    QCOMPARE(save(loaded.settings), QString());
    QVERIFY(stored(SettingsKey, "Action").exists);
    QVERIFY(readAll(message.section('\'', 1, 1)).contains("dword:zz"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
