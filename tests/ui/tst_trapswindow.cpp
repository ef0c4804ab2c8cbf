// SPDX-License-Identifier: MIT
// The Traps window of the real main window: linkDown by its name with its
// bindings rendered by the MIB, filter, Pause, Clear, the two files, a
// burst of 10,000 while the window keeps answering, a port that cannot be
// had, an SNMPv3 user set up in the window, what the settings file keeps,
// and the list's bound.
#include "tests/support/fakekeyring.h"
#include "tests/support/loopbackudp.h"
#include "tests/support/trapsenders.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/trapuserdialog.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/traps/trapfilter.h"
#include "ui/traps/traplistmodel.h"
#include "ui/traps/trapswindow.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// linkDown of interface n, its admin status up and its operational status down.
QStringList linkDown(int n)
{
    const QString column = QStringLiteral(".1.3.6.1.2.1.2.2.1.%1.") + QString::number(n);
    return {QString(), QStringLiteral(".1.3.6.1.6.3.1.1.5.3"), column.arg(1), QStringLiteral("i"), QString::number(n),
            column.arg(7), QStringLiteral("i"), QStringLiteral("1"), column.arg(8), QStringLiteral("i"), QStringLiteral("2")};
}

QString cell(const QAbstractItemModel &model, int row, int column)
{
    return model.index(row, column).data().toString();
}

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTrapsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void linkDownByTheMib();
    void filterPauseClear();
    void savedAsResultFileAndCsv();
    void burstWhileTheWindowAnswers();
    void portInUseSaysWhyAndHow();
    void snmpv3UserSetUpInTheWindow();
    void settingsKeptWithoutPassphrases();
    void userDialogAsTyped();
    void passphrasesLeaveTheKeyringWithTheirUser();
    void boundKeepsTheNewest();

private:
    // Net-SNMP's snmptrap or snmpinform to the window's port; its exit code.
    int send(const QString &tool, const QStringList &arguments, const QStringList &trap);
    bool openAndListen();

    WindowFixture m_window;
    TTrapsWindow *m_traps = nullptr;
};

void TestTrapsWindow::init()
{
    QVERIFY(m_window.start());
    QVERIFY(openAndListen());
}

void TestTrapsWindow::cleanup()
{
    m_traps = nullptr;
    m_window.stop();
}

bool TestTrapsWindow::openAndListen()
{
    if (!m_window.trigger("actTraps"))
        return false;
    m_traps = m_window->trapsWindow();
    new QAbstractItemModelTester(&m_traps->notifications(), m_traps);
    new QAbstractItemModelTester(&m_traps->shown(), m_traps);
    m_traps->addressBox()->setText(QStringLiteral("127.0.0.1"));
    m_traps->portBox()->setValue(freeLoopbackPort());
    m_traps->listenButton()->click();
    return m_traps->isListening();
}

int TestTrapsWindow::send(const QString &tool, const QStringList &arguments, const QStringList &trap)
{
    TrapSender sender;
    const QString target = QStringLiteral("127.0.0.1:%1").arg(m_traps->portBox()->value());
    if (!sender.start(tool, arguments + QStringList{QStringLiteral("-r"), QStringLiteral("1"), target} + trap))
        return -1;
    // The window answers informs meanwhile.
    return QTest::qWaitFor([&sender] { return sender.finished(); }, 15000) ? sender.exitCode() : -1;
}

// linkDown shown by its name, its bindings rendered by the MIB below it, as
// the list shows them with MIB Values on and off.
void TestTrapsWindow::linkDownByTheMib()
{
    QVERIFY(m_window.trigger("actMibValues"));
    QCOMPARE(send(QStringLiteral("snmptrap"), {"-v2c", "-c", "public"}, linkDown(2)), 0);
    TrapListModel &list = m_traps->notifications();
    QTRY_COMPARE(list.rowCount(), 1);
    QCOMPARE(cell(list, 0, TrapListModel::NameColumn), QStringLiteral("IF-MIB::linkDown"));
    QCOMPARE(cell(list, 0, TrapListModel::VersionColumn), QStringLiteral("SNMPv2c"));
    QCOMPARE(cell(list, 0, TrapListModel::IdentityColumn), QStringLiteral("public"));
    QVERIFY(cell(list, 0, TrapListModel::SourceColumn).startsWith(QLatin1String("127.0.0.1:")));
    QCOMPARE(cell(list, 0, TrapListModel::SummaryColumn),
             QStringLiteral("ifIndex.2=2, ifAdminStatus.2=up(1), ifOperStatus.2=down(2)"));

    m_traps->listView()->setCurrentIndex(m_traps->shown().index(0, 0));
    ResultModel &rows = m_traps->bindings();
    QTRY_COMPARE(rows.rowCount(), 5);
    const QStringList names{"SNMPv2-MIB::sysUpTime.0", "SNMPv2-MIB::snmpTrapOID.0", "IF-MIB::ifIndex.2",
                            "IF-MIB::ifAdminStatus.2", "IF-MIB::ifOperStatus.2"};
    for (int row = 0; row < 5; ++row)
        QCOMPARE(rows.rowTexts(row)[ResultModel::NameColumn], names[row]);
    QCOMPARE(rows.rowTexts(1)[ResultModel::ValueColumn], QStringLiteral("IF-MIB::linkDown"));
    QCOMPARE(rows.rowTexts(3)[ResultModel::ValueColumn], QStringLiteral("up(1)"));
    QCOMPARE(rows.rowTexts(4)[ResultModel::ValueColumn], QStringLiteral("down(2)"));
    QVERIFY(m_traps->detailsLabel()->text().contains(QLatin1String("community 'public'")));

    QVERIFY(m_window.trigger("actMibValues"));
    QCOMPARE(rows.rowTexts(4)[ResultModel::ValueColumn], QStringLiteral("2"));
    QCOMPARE(cell(list, 0, TrapListModel::SummaryColumn), QStringLiteral("ifIndex.2=2, ifAdminStatus.2=1, ifOperStatus.2=2"));
}

void TestTrapsWindow::filterPauseClear()
{
    for (int n : {1, 2, 3})
        QCOMPARE(send(QStringLiteral("snmptrap"), {"-v2c", "-c", "public"}, linkDown(n)), 0);
    QCOMPARE(send(QStringLiteral("snmpinform"), {"-v2c", "-c", "public"}, linkDown(40)), 0);
    TrapFilter &shown = m_traps->shown();
    QTRY_COMPARE(shown.rowCount(), 4);

    QTest::keyClicks(m_traps->filterBox(), QStringLiteral("ifIndex.2="));
    QTRY_COMPARE(shown.rowCount(), 1);
    m_traps->filterBox()->setText(QStringLiteral("INFORM"));
    QTRY_COMPARE(shown.rowCount(), 1);
    QTRY_COMPARE(cell(shown, 0, TrapListModel::SummaryColumn).left(11), QStringLiteral("ifIndex.40="));
    m_traps->filterBox()->clear();
    QTRY_COMPARE(shown.rowCount(), 4);

    m_traps->pauseBox()->click();
    QCOMPARE(send(QStringLiteral("snmptrap"), {"-v2c", "-c", "public"}, linkDown(5)), 0);
    QCOMPARE(send(QStringLiteral("snmptrap"), {"-v1", "-c", "public"},
                  {".1.3.6.1.4.1.8072.3.2.10", "10.0.0.9", "3", "0", "", ".1.3.6.1.2.1.2.2.1.1.9", "i", "9"}),
             0);
    QTRY_COMPARE(m_traps->receiver().counts().received, uint64_t(6));
    QTRY_COMPARE(m_traps->pausedLabel()->text(), QStringLiteral("2 arrived"));
    QCOMPARE(shown.rowCount(), 4); // the list holds still
    m_traps->pauseBox()->click();
    QCOMPARE(shown.rowCount(), 6);
    QCOMPARE(cell(shown, 5, TrapListModel::NameColumn), QStringLiteral("IF-MIB::linkUp"));
    QCOMPARE(cell(shown, 5, TrapListModel::VersionColumn), QStringLiteral("SNMPv1"));

    m_traps->clear();
    QCOMPARE(shown.rowCount(), 0);
}

void TestTrapsWindow::savedAsResultFileAndCsv()
{
    QCOMPARE(send(QStringLiteral("snmptrap"), {"-v1", "-c", "public"},
                  {".1.3.6.1.4.1.8072.3.2.10", "10.0.0.9", "6", "17", "", ".1.3.6.1.2.1.1.5.0", "s", "a | b, \"c\""}),
             0);
    QCOMPARE(send(QStringLiteral("snmptrap"), {"-v2c", "-c", "public"}, linkDown(7)), 0);
    QTRY_COMPARE(m_traps->notifications().rowCount(), 2);
    QTemporaryDir dir;
    m_window.log.answerFile = [&] { return std::optional(dir.filePath(QStringLiteral("traps"))); };
    m_window.log.answerCsvFile = [&] { return std::optional(dir.filePath(QStringLiteral("traps.csv"))); };
    m_traps->saveAs();
    m_traps->exportCsv();
    QCOMPARE(m_window.log.errors, QStringList());

    // A block per notification: its line, then its bindings as result rows.
    const QList<QByteArray> lines = fileText(dir.filePath(QStringLiteral("traps.txt"))).split('\n');
    QCOMPARE(lines.size(), 1 + 6 + 1 + 5 + 1); // the last line end leaves an empty piece
    QVERIFY(lines[0].startsWith("# "));
    QVERIFY2(lines[0].contains(" | SNMPv1 public | NET-SNMP-TC::linux.0.17 (enterprise .1.3.6.1.4.1.8072.3.2.10, "
                               "agent 10.0.0.9, generic 6, specific 17, time-stamp "),
             lines[0].constData());
    QCOMPARE(lines[3], QByteArray(".1.3.6.1.2.1.1.5.0 | SNMPv2-MIB::sysName.0 | Octet String | a | b, \"c\"\r"));
    QVERIFY(lines[7].contains(" | SNMPv2c public | IF-MIB::linkDown\r"));
    QCOMPARE(lines[12], QByteArray(".1.3.6.1.2.1.2.2.1.8.7 | IF-MIB::ifOperStatus.7 | Integer32 | 2\r"));

    const QList<QByteArray> records = fileText(dir.filePath(QStringLiteral("traps.csv"))).split('\n');
    QCOMPARE(records[0], QByteArray("Time,Source,Version,Community / User,Notification,Bindings,Details\r"));
    QVERIFY2(records[1].contains(",SNMPv1,public,NET-SNMP-TC::linux.0.17,\"sysName.0=a | b, \"\"c\"\"\",\"enterprise "),
             records[1].constData());
    QCOMPARE(records.size(), 4);
}

// 10,000 traps from one Net-SNMP session as fast as it sends them: every one
// reaches the list, and a 10 ms timer of the window's keeps firing meanwhile.
void TestTrapsWindow::burstWhileTheWindowAnswers()
{
    constexpr int Count = 10000;
    // The testers go over every row at every insertion: not for 10,000 rows.
    qDeleteAll(m_traps->findChildren<QAbstractItemModelTester *>());
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    tick.setInterval(10);
    connect(&tick, &QTimer::timeout, this, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    TrapSender sender;
    QVERIFY(sender.start(QStringLiteral(TRAPBURST_PATH),
                         {QStringLiteral("127.0.0.1:%1").arg(m_traps->portBox()->value()), QString::number(Count)}));
    sinceTick.start();
    tick.start();
    QTRY_VERIFY_WITH_TIMEOUT(sender.finished(), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(m_traps->notifications().rowCount(), Count, 60000);
    tick.stop();
    QCOMPARE(m_traps->receiver().counts().lost, uint64_t(0));
    QCOMPARE(cell(m_traps->notifications(), Count - 1, TrapListModel::SummaryColumn).left(13),
             QStringLiteral("ifIndex.10000"));
    // Generous for a shared machine and the sanitizers; the benchmark gives the figure.
    qInfo("longest gap between 10 ms ticks during the burst: %lld ms", longestGap);
    QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
}

void TestTrapsWindow::portInUseSaysWhyAndHow()
{
    const quint16 taken = m_traps->portBox()->value();
    m_traps->listenButton()->click(); // Stop
    QVERIFY(!m_traps->isListening());
    const UdpSocket holder;
    QVERIFY(bindLoopback(holder.fd(), taken));
    m_traps->listenButton()->click();
    QVERIFY(!m_traps->isListening());
    QCOMPARE(m_window.log.errors.size(), 1);
    QVERIFY2(m_window.log.errors[0].contains(QStringLiteral("UDP port %1 of 127.0.0.1 is in use").arg(taken)),
             qPrintable(m_window.log.errors[0]));
    QVERIFY(m_traps->statusLabel()->text().startsWith(QLatin1String("Not listening.")));
    QCOMPARE(m_window.notIdle(), QString()); // the main window goes on as before
}

// A user added in the window: its traps (with the sender's engine ID) and
// its informs (against ours, shown in the window) are taken.
void TestTrapsWindow::snmpv3UserSetUpInTheWindow()
{
    m_window.log.answerTrapUser = [](TrapUser &user, Secret &auth, Secret &priv) {
        user.userName = QString::fromLatin1(TrapSender::User);
        user.engineId = QByteArray::fromHex(TrapSender::EngineIdHex);
        user.auth = AuthProtocol::SHA256;
        user.priv = PrivProtocol::AES256;
        auth = Secret(TrapSender::AuthPassphrase);
        priv = Secret(TrapSender::PrivPassphrase);
        return true;
    };
    m_traps->addUser();
    QCOMPARE(m_window.log.errors, QStringList());
    const QStringList v3 = TrapSender::v3Arguments();
    QCOMPARE(send(QStringLiteral("snmptrap"), v3 + QStringList{"-e", QStringLiteral("0x") + TrapSender::EngineIdHex}, linkDown(3)), 0);
    QCOMPARE(send(QStringLiteral("snmpinform"), v3, linkDown(4)), 0);
    QTRY_COMPARE(m_traps->notifications().rowCount(), 2);
    QCOMPARE(cell(m_traps->notifications(), 1, TrapListModel::VersionColumn), QStringLiteral("SNMPv3 inform"));
    QCOMPARE(cell(m_traps->notifications(), 0, TrapListModel::IdentityColumn), QLatin1String(TrapSender::User));
    const QByteArray engineId = m_traps->settings().engineId;
    QVERIFY(!engineId.isEmpty());
    QVERIFY(m_traps->findChild<QLabel *>(QStringLiteral("lblEngine"))->text().contains(QLatin1String(engineId.toHex())));
}

void TestTrapsWindow::settingsKeptWithoutPassphrases()
{
    m_window.log.answerTrapUser = [](TrapUser &user, Secret &auth, Secret &) {
        user.userName = QStringLiteral("ops");
        user.level = SecurityLevel::AuthNoPriv;
        auth = Secret(TrapSender::AuthPassphrase);
        return true;
    };
    m_traps->addUser();
    m_traps->communitiesBox()->setPlainText(QStringLiteral("public\nn\u00f8c"));
    const TrapSettings kept = m_traps->settings();
    m_window.quit();
    QVERIFY(!fileText(RegistryHive::defaultFilePath()).contains(TrapSender::AuthPassphrase));
    QVERIFY(m_window.open());
    QVERIFY(m_window.trigger("actTraps"));
    m_traps = m_window->trapsWindow();
    QCOMPARE(m_traps->settings(), kept);
    QCOMPARE(m_traps->settings().engineBoots, kept.engineBoots);
    QCOMPARE(m_traps->portBox()->value(), kept.port);
    QCOMPARE(m_traps->communitiesBox()->toPlainText(), QStringLiteral("public\nn\u00f8c"));
    // The next Listen is our engine's next boot, under the same ID.
    m_traps->listenButton()->click();
    QVERIFY(m_traps->isListening());
    QCOMPARE(m_traps->settings().engineId, kept.engineId);
    QCOMPARE(m_traps->settings().engineBoots, kept.engineBoots + 1);
}

// The real dialog: OK only with a name and an engine ID that is one (or
// none); what was typed comes back.
void TestTrapsWindow::userDialogAsTyped()
{
    TrapUser user;
    Secret auth;
    Secret priv;
    bool accepted = false;
    ModalDialogs dialogs;
    QVERIFY(driveModal<TTrapUserDialog>([&] { accepted = dialogs.editTrapUser(m_traps, user, auth, priv); },
                                        [](TTrapUserDialog *dialog) {
                                            auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("btnOk"));
                                            auto *engine = dialog->findChild<QLineEdit *>(QStringLiteral("edtEngineId"));
                                            QVERIFY(!ok->isEnabled());
                                            QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("edtUser")),
                                                             QStringLiteral("ops"));
                                            QVERIFY(ok->isEnabled());
                                            QTest::keyClicks(engine, QStringLiteral("0x80 00 00 00 0"));
                                            QVERIFY(!ok->isEnabled()); // an odd number of digits
                                            QTest::keyClicks(engine, QStringLiteral("1"));
                                            QVERIFY(ok->isEnabled());
                                            QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("edtAuthPass")),
                                                             QStringLiteral("authPass-123"));
                                            ok->click();
                                        }));
    QVERIFY(accepted);
    QCOMPARE(user.userName, QStringLiteral("ops"));
    QCOMPARE(user.engineId, QByteArray::fromHex("8000000001"));
    QCOMPARE(auth.bytes(), std::string("authPass-123"));
}

// A user remembered in the keyring: renamed, its entry moves; removed, it goes.
void TestTrapsWindow::passphrasesLeaveTheKeyringWithTheirUser()
{
    DialogLog log;
    StubDialogs dialogs(log);
    const auto state = std::make_shared<FakeKeyring::State>();
    TTrapsWindow window(dialogs, TrapSettings(), nullptr, std::make_unique<FakeKeyring>(state), nullptr);
    QString name = QStringLiteral("ops");
    log.answerTrapUser = [&name](TrapUser &user, Secret &auth, Secret &priv) {
        user.userName = name;
        user.rememberPassphrases = true;
        auth = Secret(TrapSender::AuthPassphrase);
        priv = Secret(TrapSender::PrivPassphrase);
        return true;
    };
    // The keyring answers from the event loop.
    const auto stored = [&state](const char *user) {
        return state->entries.contains(QLatin1String(user) + QLatin1String("@traps:"));
    };
    window.addUser();
    QTRY_VERIFY(stored("ops"));
    name = QStringLiteral("noc");
    window.editUser(0);
    QTRY_VERIFY(!stored("ops") && stored("noc"));
    window.removeUser(0);
    QTRY_VERIFY(!stored("noc"));
    QCOMPARE(log.errors, QStringList());
}

// Beyond the bound the oldest go, counted; paused, the rows in sight stay.
void TestTrapsWindow::boundKeepsTheNewest()
{
    TrapListModel list(3);
    QAbstractItemModelTester tester(&list);
    const auto add = [&list](int n) {
        Notification notification;
        notification.receivedMs = n;
        list.append(std::move(notification));
    };
    for (int n = 1; n <= 5; ++n)
        add(n);
    list.flush();
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.notification(0).receivedMs, 3);
    QCOMPARE(list.dropped(), uint64_t(2));
    list.setPaused(true);
    add(6);
    add(7);
    add(8);
    add(9);
    list.flush();
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.notification(0).receivedMs, 3);
    QCOMPARE(list.arrivedWhilePaused(), uint64_t(4));
    list.setPaused(false);
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.notification(0).receivedMs, 7);
    QCOMPARE(list.dropped(), uint64_t(6));
}

QTEST_MAIN(TestTrapsWindow)
#include "tst_trapswindow.moc"
