// SPDX-License-Identifier: MIT
#include "common/apperror.h"
#include "store/agentproperties.h"
#include "tests/store/fakewindow.h"
#include "tests/support/confighome.h"
#include "tests/support/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

template<size_t N>
QByteArray bin(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QByteArray bounds(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    QByteArray out;
    for (int32_t v : {left, top, right, bottom}) {
        for (int i = 0; i < 4; ++i)
            out.append(char(uint32_t(v) >> (8 * i)));
    }
    return out;
}

} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartAndFirstExit();
    void emptyHistoryKeyEmptiesBox();
    void oidListWithoutAgentList();
    void maximisedWithStoredPosition();
    void exitWhileMaximisedKeepsPosition();
    void operationOutOfRangeKept();
    void integerOfWrongKind_data();
    void integerOfWrongKind();
    void versionValue_data();
    void versionValue();
    void agentProperties_data();
    void agentProperties();
    void positionRules_data();
    void positionRules();
    void historyValueRules();
    void twelveEntriesWrittenBack();
    void otherValueNamesRemain();
    void failedStoreKeepsEarlierValues();
    void corruptFileReported();

private:
    void writeFile(const QByteArray &text);
    Stored stored(const char *key, const QByteArray &name) const { return storedValue(m_path, key, name); }
    QString loadError(FakeWindow &window);

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

void TestSettingsStore::writeFile(const QByteArray &text)
{
    QDir().mkpath(QFileInfo(m_path).path());
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QString TestSettingsStore::loadError(FakeWindow &window)
{
    RegistryHive hive(m_path);
    try {
        loadSettings(hive, window);
    } catch (const AppError &e) {
        if (hive.openKeyCount() != 0)
            return "a key was left open";
        return QString::fromStdString(e.what());
    }
    return hive.openKeyCount() == 0 ? QString() : "a key was left open";
}

void TestSettingsStore::firstStartAndFirstExit()
{
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    QCOMPARE(window.m_operation, 1);
    QCOMPARE(window.m_bounds, QRect(191, 101, 640, 480));
    QCOMPARE(window.m_state, 0);
    QCOMPARE(window.m_timeOut, 1000);
    QCOMPARE(window.m_retries, 1);
    // "hlOid" is missing, so entry 0 is selected in all three boxes
    QCOMPARE(window.m_agent.text, "127.0.0.1");
    QCOMPARE(window.m_community.text, "tarnel");
    QCOMPARE(window.m_oids.text, ".1.3.6.1.2.1.1.1.0");
    QCOMPARE(window.m_oids.items.size(), 3);
    QVERIFY(!QFile::exists(m_path));

    RegistryHive hive(m_path);
    saveSettings(hive, window);
    QCOMPARE(hive.openKeyCount(), 0);
    QCOMPARE(stored(SettingsKey, "Position").data, bounds(191, 101, 831, 581));
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

    QFile f(m_path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    // the intermediate key exists and holds nothing
    QVERIFY(text.contains("[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists]\r\n\r\n"));
    QVERIFY(text.contains(AgentSection) && text.contains(CommunitySection) && text.contains(OidSection));

    // and the next start finds it all
    FakeWindow next;
    next.m_agent.items = {"other"};
    QCOMPARE(loadError(next), QString());
    QCOMPARE(next.m_agent.items, QStringList{"127.0.0.1"});
    QCOMPARE(next.m_oids.items, window.m_oids.items);
    QCOMPARE(next.m_bounds, QRect(191, 101, 640, 480));
}

void TestSettingsStore::emptyHistoryKeyEmptiesBox()
{
    writeFile(Header + AgentSection + "\r\n" + OidSection + "\"Item0\"=\"sysDescr\"\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    QVERIFY(window.m_agent.items.isEmpty());
    QCOMPARE(window.m_agent.text, QString());
    QCOMPARE(window.m_agent.selected, -1);
    QCOMPARE(window.m_oids.items, QStringList{"sysDescr"});
    QCOMPARE(window.m_oids.text, "sysDescr");
}

void TestSettingsStore::oidListWithoutAgentList()
{
    writeFile(Header + CommunitySection + "\"Item0\"=\"public\"\r\n\r\n" + OidSection
              + "\"Item0\"=\".1.3.6.1.2.1.1.5.0\"\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    QCOMPARE(window.m_agent.items, QStringList{"127.0.0.1"});
    QCOMPARE(window.m_agent.selected, -1);
    QCOMPARE(window.m_agent.text, QString());
    QCOMPARE(window.m_community.text, "public");
    QCOMPARE(window.m_oids.text, ".1.3.6.1.2.1.1.5.0");
}

void TestSettingsStore::maximisedWithStoredPosition()
{
    writeFile(Header + SettingsSection + "\"Position\"=hex:0a,00,00,00,14,00,00,00,6e,00,00,00,dc,00,00,00\r\n"
              + "\"WindowState\"=dword:00000002\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    QCOMPARE(window.m_bounds, QRect(10, 20, 100, 200));
    QCOMPARE(window.m_state, 2);
    QCOMPARE(window.m_log, (QStringList{"bounds", "state"})); // bounds first: the normal bounds

    // only 2 acts: 1 (minimised) opens normal
    writeFile(Header + SettingsSection + "\"WindowState\"=dword:00000001\r\n");
    FakeWindow normal;
    QCOMPARE(loadError(normal), QString());
    QCOMPARE(normal.m_state, 0);
    QVERIFY(normal.m_log.isEmpty());
}

void TestSettingsStore::exitWhileMaximisedKeepsPosition()
{
    const QByteArray position = bounds(10, 20, 110, 220);
    writeFile(Header + SettingsSection + "\"Position\"=hex:0a,00,00,00,14,00,00,00,6e,00,00,00,dc,00,00,00\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    window.m_state = 2;
    window.m_bounds = QRect(0, 0, 1920, 1080);
    RegistryHive hive(m_path);
    saveSettings(hive, window);
    QCOMPARE(stored(SettingsKey, "Position").data, position);
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(2));

    FakeWindow next;
    QCOMPARE(loadError(next), QString());
    QCOMPARE(next.m_bounds, QRect(10, 20, 100, 200));
    QCOMPARE(next.m_state, 2);

    // minimised at exit (the launcher's request): stores 1, Position stays
    next.m_state = 1;
    next.m_bounds = QRect(5, 5, 50, 50);
    RegistryHive again(m_path);
    saveSettings(again, next);
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(1));
    QCOMPARE(stored(SettingsKey, "Position").data, position);
}

void TestSettingsStore::operationOutOfRangeKept()
{
    writeFile(Header + SettingsSection + "\"Action\"=dword:00000007\r\n\"TimeOut\"=dword:ffffffff\r\n"
              + "\"ShowToolBar\"=dword:00000000\r\n\"ShowStatusBar\"=dword:00000005\r\n");
    FakeWindow window;
    window.m_statusBar = false;
    QCOMPARE(loadError(window), QString());
    QCOMPARE(window.m_operation, 7);
    QCOMPARE(window.m_timeOut, -1); // taken as stored
    QVERIFY(!window.m_toolBar);
    QVERIFY(window.m_statusBar);
    RegistryHive hive(m_path);
    saveSettings(hive, window);
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
    writeFile(Header + SettingsSection + "\"Action\"=dword:00000002\r\n" + timeOut + "\r\n"
              + "\"Retries\"=dword:00000005\r\n\r\n" + AgentSection + "\"Item0\"=\"10.1.1.1\"\r\n\r\n" + OidSection
              + "\"Item0\"=\"all\"\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), message);
    QCOMPARE(window.m_operation, 2); // read before the failure
    if (message.isEmpty()) {
        QCOMPARE(window.m_timeOut, 2000); // fewer bytes, zero-extended
        QCOMPARE(window.m_retries, 5);
        QCOMPARE(window.m_agent.text, "10.1.1.1");
        return;
    }
    QCOMPARE(window.m_timeOut, 1000);
    QCOMPARE(window.m_retries, 1);
    QCOMPARE(window.m_agent.items, QStringList{"127.0.0.1"});
    QCOMPARE(window.m_agent.selected, -1);
    QCOMPARE(window.m_oids.items.size(), 3);
    QCOMPARE(window.m_oids.selected, -1);
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
    writeFile(Header + SettingsSection + "\"Retries\"=dword:00000004\r\n" + version + "\r\n\r\n" + AgentSection
              + "\"Item0\"=\"10.1.1.1\"\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), message);
    QCOMPARE(window.m_retries, 4); // read before it
    QCOMPARE(int(window.m_version), loaded);
    QCOMPARE(window.m_agent.text, message.isNull() ? "10.1.1.1" : ""); // the lists after it only without failure

    QFile::remove(m_path);
    RegistryHive hive(m_path);
    saveSettings(hive, window);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\"Retries\"=dword:00000004\r\n\"Version\"=dword:0000000" + QByteArray::number(loaded)));
}

void TestSettingsStore::agentProperties_data()
{
    QTest::addColumn<QByteArray>("values"); // of the agent "a%b\\c" besides a good one
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

// Agent Properties: read back as written, the agent text's "%" and "\"
// escaped in its key's name; a damaged agent has no properties, the others
// load, and the settings before are untouched.
void TestSettingsStore::agentProperties()
{
    QFETCH(QByteArray, values);
    QFETCH(QString, message);
    QFETCH(bool, loaded);
    const QByteArray agents = "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\Agents\\";
    writeFile(Header + SettingsSection + "\"Retries\"=dword:00000004\r\n\r\n" + agents + "a%25b%5Cc]\r\n" + values
              + "\r\n" + agents + "10.0.0.1]\r\n\"Version\"=dword:00000002\r\n");
    RegistryHive hive(m_path);
    QString error;
    const AgentPropertiesMap agentsRead = loadAgentProperties(hive, &error);
    QCOMPARE(error, message);
    QCOMPARE(agentsRead.count(QStringLiteral("A%B\\C")), size_t(loaded)); // letter case aside
    QCOMPARE(agentsRead.at(QStringLiteral("10.0.0.1")).version, AgentVersion::V2c);
    if (loaded) {
        const AgentProperties &agent = agentsRead.at(QStringLiteral("a%b\\c"));
        QCOMPARE(agent.userName, QStringLiteral("ops"));
        QCOMPARE(agent.auth, AuthProtocol::SHA256);
        QCOMPARE(agent.priv, PrivProtocol::AES256C);
        QCOMPARE(agent.context, QStringLiteral("vrf-1"));
        QVERIFY(agent.rememberPassphrases);
    }

    QFile::remove(m_path);
    RegistryHive written(m_path);
    saveAgentProperties(written, agentsRead);
    QCOMPARE(written.commit(), QString());
    RegistryHive again(m_path);
    QVERIFY(loadAgentProperties(again, &error) == agentsRead);
}

void TestSettingsStore::positionRules_data()
{
    QTest::addColumn<QByteArray>("position");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QRect>("bounds");
    const QRect builtIn(191, 101, 640, 480);
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
    writeFile(Header + SettingsSection + "\"Position\"=" + position + "\r\n\"WindowState\"=dword:00000002\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), message);
    QCOMPARE(window.m_bounds, bounds);
    QCOMPARE(window.m_state, message.isEmpty() ? 2 : 0);
}

void TestSettingsStore::historyValueRules()
{
    writeFile(Header + AgentSection
              + "\"Item0\"=hex(1):61,62,00,63,64,00\r\n" // cut at the first zero
                "\"Item1\"=hex(2):25,50,41,54,48,25,00\r\n" // not expanded
                "\"Item2\"=hex(1):6e,6f,7a,65,72,6f\r\n" // no zero at all
                "\"Item3\"=hex(4):\r\n" // no data: empty, whatever the type
                "\"Item4\"=\"Z\xc3\xbcrich\"\r\n"
                "\"Item5\"=hex:31\r\n" // data of another type
                "\"Item6\"=\"never read\"\r\n\r\n"
              + CommunitySection + "\"Item0\"=\"public\"\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), "Invalid data type for 'Item5'");
    // emptied, then appended one by one up to the failing value; not selected
    QCOMPARE(window.m_agent.items, (QStringList{"ab", "%PATH%", "nozero", "", QString::fromUtf8("Z\xc3\xbcrich")}));
    QCOMPARE(window.m_agent.selected, -1);
    QCOMPARE(window.m_community.items, QStringList{"tarnel"});
}

void TestSettingsStore::twelveEntriesWrittenBack()
{
    QByteArray section = AgentSection;
    for (int i = 0; i < 12; ++i)
        section += "\"Item" + QByteArray::number(i) + "\"=\"10.0.0." + QByteArray::number(i) + "\"\r\n";
    writeFile(Header + section);
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    QCOMPARE(window.m_agent.items.size(), 12);
    // the run's rule: a new input on top, one entry dropped
    window.m_agent.insertItem(0, "10.9.9.9");
    window.m_agent.removeItem(12);
    RegistryHive hive(m_path);
    saveSettings(hive, window);
    QCOMPARE(stored(AgentHistoryKey, "Item0").data, bin("10.9.9.9\0"));
    for (int i = 1; i < 12; ++i)
        QCOMPARE(stored(AgentHistoryKey, "Item" + QByteArray::number(i)).data,
                 "10.0.0." + QByteArray::number(i - 1) + '\0');
    QVERIFY(!stored(AgentHistoryKey, "Item12").exists);
}

void TestSettingsStore::otherValueNamesRemain()
{
    writeFile(Header + AgentSection + "\"Item0\"=\"a\"\r\n\"Item1\"=\"b\"\r\n\"Favourite\"=\"c\"\r\n");
    FakeWindow window;
    QCOMPARE(loadError(window), QString());
    QCOMPARE(window.m_agent.items, (QStringList{"a", "b", "c"}));
    RegistryHive hive(m_path);
    saveSettings(hive, window);
    QCOMPARE(stored(AgentHistoryKey, "Favourite").data, bin("c\0"));
    QCOMPARE(stored(AgentHistoryKey, "Item2").data, bin("c\0"));

    FakeWindow next;
    QCOMPARE(loadError(next), QString());
    QCOMPARE(next.m_agent.items, (QStringList{"a", "b", "c", "c"}));
}

void TestSettingsStore::failedStoreKeepsEarlierValues()
{
    writeFile(Header + CommunitySection + "\"Item0\"=\"old\"\r\n");
    FakeWindow window;
    window.m_retries = 3;
    window.m_agent.items = {"first", QString(RegistryHive::MaxFileSize, 'x'), "third"};
    window.m_community.items = {"new"};
    RegistryHive hive(m_path);
    try {
        saveSettings(hive, window);
        QFAIL("no error");
    } catch (const AppError &e) {
        QCOMPARE(QString::fromStdString(e.what()), "Failed to set data for 'Item1'");
    }
    QCOMPARE(hive.openKeyCount(), 0);
    // stored before the failure: in the file; after it: as it was
    QCOMPARE(stored(SettingsKey, "Retries").data, dword(3));
    QCOMPARE(stored(AgentHistoryKey, "Item0").data, bin("first\0"));
    QVERIFY(!stored(AgentHistoryKey, "Item1").exists);
    QCOMPARE(stored(CommunityHistoryKey, "Item0").data, bin("old\0"));
    QVERIFY(!stored(OidHistoryKey, "Item0").exists);
}

void TestSettingsStore::corruptFileReported()
{
    writeFile("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n\"Action\"=dword:zz\r\n");
    FakeWindow window;
    const QString message = loadError(window);
    QVERIFY2(message.startsWith("The settings file could not be read; it was kept as '" + m_path + ".bad-"),
             qPrintable(message));
    // otherwise a first start
    QCOMPARE(window.m_operation, 1);
    QCOMPARE(window.m_agent.text, "127.0.0.1");
    QCOMPARE(window.m_oids.text, ".1.3.6.1.2.1.1.1.0");

    RegistryHive hive(m_path);
    saveSettings(hive, window);
    QVERIFY(stored(SettingsKey, "Action").exists);
    const QString keptAs = message.section('\'', 1, 1);
    QFile kept(keptAs);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll().contains("dword:zz"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
