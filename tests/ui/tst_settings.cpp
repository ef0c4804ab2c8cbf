// SPDX-License-Identifier: MIT
#include "engine/mib/oidtext.h"
#include "store/settingsstore.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/settingsfile.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/errorbox.h"
#include "ui/results/resultmodel.h"
#include "ui/widgets/coolbar.h"
#include "ui/widgets/statusbar.h"
#include "ui/windowplacement.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <sys/stat.h>

namespace {

// "Position" in the file's text form: four little-endian 32-bit integers.
QByteArray positionLine(int left, int top, int right, int bottom)
{
    QByteArray line = "\"Position\"=hex:";
    QStringList bytes;
    for (int v : {left, top, right, bottom}) {
        for (int i = 0; i < 4; ++i)
            bytes << QString::asprintf("%02x", (uint32_t(v) >> (8 * i)) & 0xff);
    }
    return line + bytes.join(',').toLatin1() + "\r\n";
}

QByteArray dwordLine(const char *name, uint32_t value)
{
    return QByteArray("\"") + name + "\"=dword:" + QByteArray::number(value, 16).rightJustified(8, '0') + "\r\n";
}

QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Answers every Get and GetNext with one readable value.
ScriptedAgent::Handler oneValueHandler()
{
    return ScriptedAgent::sameBindingHandler(
        {ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"), ScriptedAgent::Value::octets("agent")});
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartWithoutFile();
    void boundsRoundTrip();
    void boundsOffEveryScreen();
    void placement_data();
    void placement();
    void maximisedWithStoredPosition();
    void exitWhileMaximisedKeepsPosition();
    void minimisedKeepsTheStateItCameFrom();
    void emptyHistoryKeyEmptiesItsBox();
    void oidListWithoutAgentList();
    void operationOutsideTheRange();
    void timeOutOfWrongKind_data();
    void timeOutOfWrongKind();
    void twelveEntriesStayTwelve();
    void otherValueNamesInCreationOrder();
    void viewTogglesStoredAndRestored();
    void corruptFileKeptAside();
    void failedWriteAtExitShown();

private:
    Stored stored(const char *key, const QByteArray &name) const { return storedValue(m_path, key, name); }
    void startWindow();
    QComboBox *box(const char *name) const;
    QRect builtInBounds() const;

    WindowFixture m_window;
    QString m_path;
};

void TestSettings::init()
{
    QVERIFY(m_window.newSettings());
    m_path = RegistryHive::defaultFilePath();
    QVERIFY(m_path.startsWith(m_window.settingsFolder()));
}

void TestSettings::cleanup()
{
    m_window.stop();
}

// A program start: the window loads the file while it is created, then shows
// (maximised or minimised, as the file says).
void TestSettings::startWindow()
{
    QVERIFY(m_window.open(WindowFixture::Dialogs::Stub, WindowFixture::Wait::Exposed));
}

QComboBox *TestSettings::box(const char *name) const
{
    return m_window->findChild<QComboBox *>(QString::fromLatin1(name));
}

QRect TestSettings::builtInBounds() const
{
    return QRect(191, 101, std::max(640, m_window->coolBar()->sizeHint().width()), 480);
}

void TestSettings::firstStartWithoutFile()
{
    QVERIFY(!QFile::exists(m_path));
    startWindow();
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    QCOMPARE(m_window->geometry(), builtInBounds());
    QCOMPARE(m_window->windowStateValue(), 0);
    QCOMPARE(box("cboAgent")->currentText(), QStringLiteral("127.0.0.1"));
    QCOMPARE(box("cboCommunity")->currentText(), QStringLiteral("tarnel"));
    QCOMPARE(box("cboOids")->currentText(), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    QCOMPARE(box("cboOids")->count(), 3);
    QVERIFY(m_window.command("actGet")->isChecked());
    QCOMPARE(int(m_window->operation()), 1);
    QCOMPARE(m_window->transport().timeOut, 1000);
    QCOMPARE(m_window->transport().retries, 1);
    // Nothing is written before the exit.
    QVERIFY(!QFile::exists(m_path));

    const QRect bounds = m_window->geometry();
    m_window.quit();
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    QVERIFY(QFile::exists(m_path));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(m_path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));

    const Stored pos = stored(SettingsKey, "Position");
    QCOMPARE(pos.type, REG_BINARY);
    QCOMPARE(pos.data, position(bounds));
    const struct
    {
        const char *name;
        uint32_t value;
    } dwords[] = {{"WindowState", 0}, {"ShowToolBar", 1}, {"ShowStatusBar", 1},
                  {"Action", 1},      {"TimeOut", 1000}, {"Retries", 1}};
    for (const auto &d : dwords) {
        const Stored s = stored(SettingsKey, d.name);
        QVERIFY2(s.exists, d.name);
        QCOMPARE(s.type, REG_DWORD);
        QCOMPARE(s.data, dword(d.value));
    }
    QCOMPARE(stored(AgentHistoryKey, "Item0").data, QByteArray("127.0.0.1", 10));
    QCOMPARE(stored(CommunityHistoryKey, "Item0").data, QByteArray("tarnel", 7));
    QCOMPARE(stored(OidHistoryKey, "Item0").data, QByteArray(".1.3.6.1.2.1.1.1.0", 19));
    QCOMPARE(stored(OidHistoryKey, "Item2").type, REG_SZ);
    QCOMPARE(stored(OidHistoryKey, "Item2").data, QByteArray("all", 4));
    QVERIFY(!stored(OidHistoryKey, "Item3").exists);
    // The intermediate key is there and empty.
    QVERIFY(readAll(m_path).contains("[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists]\r\n\r\n"));

    // The next start finds it all and asks nothing.
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(m_window->geometry(), bounds);
    QCOMPARE(box("cboOids")->currentText(), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
}

void TestSettings::boundsRoundTrip()
{
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect first(avail.x() + 40, avail.y() + 30, 700, 450);
    QVERIFY(writeFile(m_path, Header + SettingsSection
                              + positionLine(first.x(), first.y(), first.right() + 1, first.bottom() + 1)));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(m_window->geometry(), first);
    QCOMPARE(m_window->normalBounds(), first);
    m_window.quit();
    // Written back as the very numbers that were read.
    QCOMPARE(stored(SettingsKey, "Position").data, position(first));

    // The user moves and sizes the window: the next start has it there.
    startWindow();
    const QRect moved(avail.x() + 12, avail.y() + 8, 680, 500);
    m_window->setGeometry(moved);
    QTRY_COMPARE(m_window->geometry(), moved);
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "Position").data, position(moved));
    startWindow();
    QCOMPARE(m_window->geometry(), moved);
}

void TestSettings::boundsOffEveryScreen()
{
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    QRect desktop;
    for (QScreen *screen : QGuiApplication::screens())
        desktop |= screen->geometry();

    // Wholly left of and above every screen: the stored size, on the primary screen.
    const int left = desktop.left() - 5000;
    const int top = desktop.top() - 4000;
    QVERIFY(writeFile(m_path, Header + SettingsSection + positionLine(left, top, left + 660, top + 470)));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(m_window->geometry(), QRect(avail.topLeft() + QPoint(191, 101), QSize(660, 470)));
    QVERIFY(avail.intersects(m_window->frameGeometry()));
    m_window.quit();
    // The place it opened at is the place it keeps.
    QCOMPARE(stored(SettingsKey, "Position").data,
             position(QRect(avail.topLeft() + QPoint(191, 101), QSize(660, 470))));

    // Partly on a screen: taken as stored.
    const QRect partly(avail.right() - 200, avail.top() + 10, 650, 460);
    QVERIFY(writeFile(m_path, Header + SettingsSection
                              + positionLine(partly.x(), partly.y(), partly.right() + 1, partly.bottom() + 1)));
    startWindow();
    QCOMPARE(m_window->geometry(), partly);
    m_window.quit();

    // Right of every screen, and far larger than the desktop.
    QVERIFY(writeFile(m_path,
                      Header + SettingsSection + positionLine(desktop.right() + 100, 0, 2'000'000'000, 2'000'000'000)));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QVERIFY(avail.intersects(m_window->frameGeometry()));
    QVERIFY(m_window->width() <= desktop.width());
    QVERIFY(m_window->height() <= desktop.height());
}

void TestSettings::placement_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QList<QRect>>("screens"); // available areas, the primary first
    QTest::addColumn<QRect>("opens");
    const QRect wide(0, 0, 1280, 1024);
    // The primary's area below a 30-pixel panel, a second screen to its right.
    const QList<QRect> two = {QRect(0, 30, 1280, 994), QRect(1280, 0, 1920, 1080)};
    QTest::newRow("100 x 50 of the title at the right edge") << QRect(1180, 974, 700, 450) << QList{wide}
                                                              << QRect(1180, 974, 700, 450);
    QTest::newRow("99 wide") << QRect(1181, 0, 700, 450) << QList{wide} << QRect(191, 101, 700, 450);
    QTest::newRow("on the second screen") << QRect(2900, 1000, 900, 600) << two << QRect(2900, 1000, 900, 600);
    QTest::newRow("under the panel") << QRect(40, 0, 700, 450) << two << QRect(191, 131, 700, 450);
    QTest::newRow("screen gone, too large for the primary")
        << QRect(3300, 100, 1800, 1000) << two << QRect(191, 131, 652, 480);
    // Written with QT_SCALE_FACTOR=2 on a 2560 x 1600 screen, read with it on
    // a 1280 x 1024 one: 640 x 512 device-independent pixels.
    QTest::newRow("scaled, smaller screen") << QRect(900, 600, 700, 450) << QList{QRect(0, 0, 640, 512)}
                                            << QRect(191, 101, 652, 480);
    QTest::newRow("screen smaller than the built-in position")
        << QRect(900, 600, 200, 100) << QList{QRect(0, 0, 280, 140)} << QRect(0, 0, 200, 100);
}

// Where a window with stored bounds opens, for screens as the table says.
void TestSettings::placement()
{
    QFETCH(QRect, stored);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, opens);
    QCOMPARE(placeWindow(stored, screens, screens.front(), QRect(191, 101, 652, 480)), opens);
}

void TestSettings::maximisedWithStoredPosition()
{
    const QRect normal(60, 50, 650, 420);
    QVERIFY(writeFile(m_path, Header + SettingsSection + positionLine(60, 50, 710, 470) + dwordLine("WindowState", 2)));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QTRY_VERIFY(m_window->isMaximized());
    QCOMPARE(m_window->windowStateValue(), 2);
    QCOMPARE(m_window->normalBounds(), normal);
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "Position").data, position(normal));
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(2));

    // "WindowState" 1 (or any other value) opens the window normal.
    QVERIFY(writeFile(m_path, Header + SettingsSection + positionLine(60, 50, 710, 470) + dwordLine("WindowState", 1)));
    startWindow();
    QVERIFY(!m_window->isMaximized());
    QVERIFY(!m_window->isMinimized());
    QCOMPARE(m_window->windowStateValue(), 0);
    QCOMPARE(m_window->geometry(), normal);
}

void TestSettings::exitWhileMaximisedKeepsPosition()
{
    const QRect stored1(70, 40, 660, 430);
    QVERIFY(writeFile(m_path, Header + SettingsSection + positionLine(70, 40, 730, 470)));
    startWindow();
    QCOMPARE(m_window->geometry(), stored1);
    // Moved, then maximised: the move is not what the store keeps.
    m_window->setGeometry(20, 20, 640, 440);
    QTRY_COMPARE(m_window->geometry(), QRect(20, 20, 640, 440));
    m_window->showMaximized();
    QTRY_VERIFY(m_window->isMaximized());
    QCOMPARE(m_window->windowStateValue(), 2);
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "Position").data, position(stored1));
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(2));

    // The next start: the bounds of the last normal exit, then maximised.
    startWindow();
    QTRY_VERIFY(m_window->isMaximized());
    QCOMPARE(m_window->normalBounds(), stored1);
}

void TestSettings::minimisedKeepsTheStateItCameFrom()
{
    const QRect normal(80, 60, 640, 430);
    QVERIFY(writeFile(m_path, Header + SettingsSection + positionLine(80, 60, 720, 490)));
    startWindow();

    // Minimised from normal: 0, and the normal bounds are written.
    m_window->showMinimized();
    QTRY_VERIFY(m_window->isMinimized());
    QCOMPARE(m_window->windowStateValue(), 0);
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(0));
    QCOMPARE(stored(SettingsKey, "Position").data, position(normal));

    // Minimised from maximised: 2, whether or not the platform keeps the
    // maximised flag while minimised.
    startWindow();
    m_window->showMaximized();
    QTRY_VERIFY(m_window->isMaximized());
    m_window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(m_window->isMinimized());
    QCOMPARE(m_window->windowStateValue(), 2);
    m_window->setGeometry(0, 0, 700, 500); // must not reach the store
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(2));
    QCOMPARE(stored(SettingsKey, "Position").data, position(normal));

    // The launcher's minimised request is the one way to 1; an exit in it keeps Position.
    startWindow();
    m_window->setWindowStateValue(1);
    QTRY_VERIFY(m_window->isMinimized());
    QCOMPARE(m_window->windowStateValue(), 1);
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "WindowState").data, dword(1));
    QCOMPARE(stored(SettingsKey, "Position").data, position(normal));
}

void TestSettings::emptyHistoryKeyEmptiesItsBox()
{
    // "hlOid" is missing too, so entry 0 is selected in every box that has one.
    QVERIFY(writeFile(m_path, Header + AgentSection));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(box("cboAgent")->count(), 0);
    QCOMPARE(box("cboAgent")->currentText(), QString());
    QCOMPARE(box("cboCommunity")->currentText(), QStringLiteral("tarnel"));
    QCOMPARE(box("cboOids")->currentText(), QStringLiteral(".1.3.6.1.2.1.1.1.0"));

    // An empty list is written as no values at all.
    m_window.quit();
    QVERIFY(!stored(AgentHistoryKey, "Item0").exists);
    QVERIFY(readAll(m_path).contains(AgentSection));
}

void TestSettings::oidListWithoutAgentList()
{
    QVERIFY(writeFile(m_path, Header + CommunitySection + "\"Item0\"=\"public\"\r\n\r\n" + OidSection
                              + "\"Item0\"=\".1.3.6.1.2.1.1.5.0\"\r\n\"Item1\"=\"all\"\r\n"));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QComboBox *agent = box("cboAgent");
    QCOMPARE(items(agent), QStringList{"127.0.0.1"});
    QCOMPARE(agent->currentIndex(), -1);
    QCOMPARE(agent->currentText(), QString());
    QCOMPARE(box("cboCommunity")->currentText(), QStringLiteral("public"));
    QCOMPARE(items(box("cboOids")), (QStringList{".1.3.6.1.2.1.1.5.0", "all"}));
    QCOMPARE(box("cboOids")->currentText(), QStringLiteral(".1.3.6.1.2.1.1.5.0"));
}

void TestSettings::operationOutsideTheRange()
{
    ScriptedAgent agent;
    agent.setHandler(oneValueHandler());
    QVERIFY(agent.start());
    QVERIFY(writeFile(m_path, Header + SettingsSection + dwordLine("Action", 7)));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QCOMPARE(int(m_window->operation()), 7);
    for (QAction *action : m_window.command("actGet")->actionGroup()->actions())
        QVERIFY2(!action->isChecked(), qPrintable(action->objectName()));

    box("cboAgent")->setEditText(agent.address());
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY(m_window.log.errors.isEmpty());
    QVERIFY(agent.requests().empty());
    QCOMPARE(m_window->results().storedRowCount(), 0);
    QVERIFY(m_window->isIdle());
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "Action").data, dword(7));
}

void TestSettings::timeOutOfWrongKind_data()
{
    QTest::addColumn<QByteArray>("timeOut");
    QTest::addColumn<QString>("message");
    // REG_SZ "1500" with its zero byte: 5 bytes, more than an integer holds.
    QTest::newRow("5-byte string") << QByteArray("\"TimeOut\"=\"1500\"\r\n")
                                   << "Failed to get data for 'TimeOut'";
    // REG_SZ "15": 3 bytes, read but not a REG_DWORD.
    QTest::newRow("3-byte string") << QByteArray("\"TimeOut\"=\"15\"\r\n") << "Invalid data type for 'TimeOut'";
}

void TestSettings::timeOutOfWrongKind()
{
    QFETCH(QByteArray, timeOut);
    QFETCH(QString, message);
    QVERIFY(writeFile(m_path, Header + SettingsSection + dwordLine("ShowStatusBar", 0) + dwordLine("Action", 3) + timeOut
                              + dwordLine("Retries", 5) + "\r\n" + AgentSection + "\"Item0\"=\"10.0.0.1\"\r\n\r\n"
                              + CommunitySection + "\"Item0\"=\"public\"\r\n\r\n" + OidSection + "\"Item0\"=\"all\"\r\n"));
    startWindow();

    QCOMPARE(m_window.log.errors, QStringList{message});
    // It ends in a quote: the box adds no ".".
    QCOMPARE(errorBoxText(m_window.log.errors.first()), message);
    // What came before the value is applied...
    QVERIFY(m_window->statusLine()->isHidden());
    QCOMPARE(int(m_window->operation()), 3);
    QVERIFY(m_window.command("actWalk")->isChecked());
    // ...the value and all after it are not.
    QCOMPARE(m_window->transport().timeOut, 1000);
    QCOMPARE(m_window->transport().retries, 1);
    QCOMPARE(items(box("cboAgent")), QStringList{"127.0.0.1"});
    QCOMPARE(items(box("cboCommunity")), QStringList{"tarnel"});
    QCOMPARE(box("cboOids")->count(), 3);
    for (const char *name : {"cboAgent", "cboCommunity", "cboOids"}) {
        QCOMPARE(box(name)->currentIndex(), -1);
        QCOMPARE(box(name)->currentText(), QString());
    }
    QCOMPARE(m_window.notIdle(), QString()); // the failed load leaves the window idle, not busy

    // The exit writes what the window holds, as a DWORD again.
    m_window.quit();
    QCOMPARE(m_window.log.errors.size(), 1);
    QCOMPARE(stored(SettingsKey, "Action").data, dword(3));
    QCOMPARE(stored(SettingsKey, "TimeOut").type, REG_DWORD);
    QCOMPARE(stored(SettingsKey, "TimeOut").data, dword(1000));
    QCOMPARE(stored(SettingsKey, "Retries").data, dword(1));
}

void TestSettings::twelveEntriesStayTwelve()
{
    ScriptedAgent agent;
    agent.setHandler(oneValueHandler());
    QVERIFY(agent.start());
    QByteArray agents;
    QStringList loaded;
    for (int i = 0; i < 12; ++i) {
        loaded << QStringLiteral("10.0.0.%1").arg(i);
        agents += "\"Item" + QByteArray::number(i) + "\"=\"" + loaded.last().toLatin1() + "\"\r\n";
    }
    QVERIFY(writeFile(m_path,
                      Header + AgentSection + agents + "\r\n" + OidSection + "\"Item0\"=\".1.3.6.1.2.1.1.1.0\"\r\n"));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    QComboBox *agentBox = box("cboAgent");
    QCOMPARE(items(agentBox), loaded);
    QCOMPARE(agentBox->currentText(), QStringLiteral("10.0.0.0"));

    int largest = 0;
    connect(agentBox->model(), &QAbstractItemModel::rowsInserted, this,
            [&] { largest = std::max(largest, agentBox->count()); });
    agentBox->setEditText(agent.address());
    // No "hlCommunity": its built-in entry is listed but not selected.
    QCOMPARE(box("cboCommunity")->currentText(), QString());
    box("cboCommunity")->setEditText(QStringLiteral("tarnel"));
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    QCOMPARE(m_window->results().storedRowCount(), 1);
    QCOMPARE(largest, 13);
    QStringList expected = QStringList{agent.address()} + loaded.first(11);
    QCOMPARE(items(agentBox), expected);

    m_window.quit();
    for (int i = 0; i < 12; ++i) {
        const Stored s = stored(AgentHistoryKey, "Item" + QByteArray::number(i));
        QCOMPARE(s.type, REG_SZ);
        QCOMPARE(s.data, expected[i].toLatin1() + '\0');
    }
    QVERIFY(!stored(AgentHistoryKey, "Item12").exists);
    startWindow();
    QCOMPARE(items(box("cboAgent")), expected);
}

void TestSettings::otherValueNamesInCreationOrder()
{
    QVERIFY(writeFile(m_path, Header + CommunitySection
                              + "\"Item0\"=\"public\"\r\n\"Item1\"=\"private\"\r\n\"Last Used\"=\"lab\"\r\n\r\n" + OidSection
                              + "\"Item1\"=\"second\"\r\n\"Item0\"=\"first\"\r\n"));
    startWindow();
    QVERIFY(m_window.log.errors.isEmpty());
    // Creation order, whatever the names say.
    QCOMPARE(items(box("cboCommunity")), (QStringList{"public", "private", "lab"}));
    QCOMPARE(items(box("cboOids")), (QStringList{"second", "first"}));
    QCOMPARE(box("cboOids")->currentText(), QStringLiteral("second"));
    m_window.quit();

    QCOMPARE(stored(CommunityHistoryKey, "Item2").data, QByteArray("lab", 4));
    QCOMPARE(stored(CommunityHistoryKey, "Last Used").data, QByteArray("lab", 4));
    QCOMPARE(stored(OidHistoryKey, "Item0").data, QByteArray("second", 7));
    QCOMPARE(stored(OidHistoryKey, "Item1").data, QByteArray("first", 6));
    // The other name stays where it was created, Item2 comes after it.
    startWindow();
    QCOMPARE(items(box("cboCommunity")), (QStringList{"public", "private", "lab", "lab"}));
    // Item1 was created first and now holds "first".
    QCOMPARE(items(box("cboOids")), (QStringList{"first", "second"}));
}

void TestSettings::viewTogglesStoredAndRestored()
{
    startWindow();
    QVERIFY(m_window.command("actToolBar")->isChecked());
    QVERIFY(!m_window.command("actMibValues")->isChecked()); // no file: off
    QVERIFY(m_window.trigger("actToolBar"));
    QVERIFY(m_window.trigger("actStatusBar"));
    QVERIFY(m_window.trigger("actMibValues"));
    QVERIFY(!m_window->toolBarShown());
    QVERIFY(!m_window->statusBarShown());
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "ShowToolBar").data, dword(0));
    QCOMPARE(stored(SettingsKey, "ShowStatusBar").data, dword(0));
    QCOMPARE(stored(SettingsKey, "MibValues").data, dword(1));

    startWindow();
    QWidget *toolBar = m_window->findChild<QWidget *>(QStringLiteral("psToolBar"));
    QVERIFY(toolBar->isHidden());
    QVERIFY(m_window->statusLine()->isHidden());
    QVERIFY(!m_window.command("actToolBar")->isChecked());
    QVERIFY(!m_window.command("actStatusBar")->isChecked());
    QVERIFY(m_window.command("actMibValues")->isChecked());
    QVERIFY(m_window->results().mibValues());
    QCOMPARE(m_window->coolBar()->rowCount(), 1);
    m_window.quit();

    // Any value but 0 shows.
    QVERIFY(writeFile(m_path,
                      Header + SettingsSection + dwordLine("ShowToolBar", 5) + dwordLine("ShowStatusBar", 0xffffffff)));
    startWindow();
    QVERIFY(!m_window.command("actMibValues")->isChecked()); // a file without it: off
    QVERIFY(m_window->findChild<QWidget *>(QStringLiteral("psToolBar"))->isVisible());
    QVERIFY(m_window->statusLine()->isVisible());
    QCOMPARE(m_window->coolBar()->rowCount(), 2);
    m_window.quit();
    QCOMPARE(stored(SettingsKey, "ShowToolBar").data, dword(1));
}

void TestSettings::corruptFileKeptAside()
{
    const QByteArray garbage = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\"Action\"=dword:zz\r\n";
    QVERIFY(writeFile(m_path, garbage));
    startWindow();
    QCOMPARE(m_window.log.errors.size(), 1);
    const QStringList kept = QDir(QFileInfo(m_path).path()).entryList({"Norvane.reg.bad-*"}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY2(m_window.log.errors.first().contains(kept.first()), qPrintable(m_window.log.errors.first()));
    QFile aside(QFileInfo(m_path).dir().filePath(kept.first()));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), garbage);
    // The window starts as with an empty store, idle.
    QCOMPARE(box("cboAgent")->currentText(), QStringLiteral("127.0.0.1"));
    QCOMPARE(int(m_window->operation()), 1);
    QVERIFY(m_window->isIdle());
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("Ready"));

    // The exit writes a sound file, told once only.
    m_window.quit();
    QCOMPARE(m_window.log.errors.size(), 1);
    QCOMPARE(stored(SettingsKey, "Action").data, dword(1));
    startWindow();
    QCOMPARE(m_window.log.errors.size(), 1);
}

void TestSettings::failedWriteAtExitShown()
{
    startWindow();
    // A file where the settings folder should be: the file cannot be written.
    QFile blocker(QFileInfo(m_path).path());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_window.quit();
    QCOMPARE(m_window.log.errors.size(), 1);
    const QString message = m_window.log.errors.first();
    QVERIFY2(message.contains(QStringLiteral("could not be written")), qPrintable(message));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
