// SPDX-License-Identifier: MIT
// Recordings in the window: Net-SNMP's own walks of snmpd opened and equal to
// Norvane's walk of it, a walk saved as a recording and compared with a later
// one, the offline list's state, Save As's formats, Stop during an open.
#include "engine/recording/walkdiff.h"
#include "tests/support/files.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/windowfixture.h"
#include "ui/compare/comparemodel.h"
#include "ui/compare/comparewindow.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/results/resultrecording.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The types whose values snmpd changes between two walks.
bool moving(const std::string &type)
{
    return type == "TimeTicks" || type == "Counter32" || type == "Counter64" || type == "Gauge32";
}

} // namespace

class TestRecordings final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_window.start()); }
    void cleanup() { m_window.stop(); }
    void netSnmpWalkOpened_data();
    void netSnmpWalkOpened();
    void savedWalkComparedWithTheNext();
    void previousWalkCompared();
    void offlineList();
    void saveAsRecordingFormats();
    void stopDuringOpen();

private:
    void walk(const QString &subtree);
    // A copy of the list's rows, kept apart as a compared walk.
    std::unique_ptr<ResultModel> keepList();

    SnmpdAgent m_snmpd;
    QTemporaryDir m_dir;
    WindowFixture m_window;
};

void TestRecordings::initTestCase()
{
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
}

void TestRecordings::walk(const QString &subtree)
{
    m_window.setInputs(m_snmpd.address(), QString::fromLatin1(SnmpdAgent::Community), subtree);
    QVERIFY(m_window.trigger("actWalk"));
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
}

std::unique_ptr<ResultModel> TestRecordings::keepList()
{
    auto copy = std::make_unique<ResultModel>();
    const ResultModel &list = m_window->results();
    for (qsizetype row = 0; row < list.storedRowCount(); ++row) {
        const auto text = [&](int c) { return std::string(list.field(row, c).data(), size_t(list.field(row, c).size())); };
        copy->appendRow({text(0), text(1), text(2), text(3),
                         std::string(list.encodedBinding(row).data(), size_t(list.encodedBinding(row).size()))});
    }
    return copy;
}

void TestRecordings::netSnmpWalkOpened_data()
{
    QTest::addColumn<QStringList>("options");
    const QString mibs = QStringLiteral("+") + QString::fromLocal8Bit(qgetenv("NORVANE_MIBDIR"));
    QTest::newRow("-ObentU, as snmpsim reads it") << QStringList{"-ObentU"};
    QTest::newRow("-On") << QStringList{"-On"};
    QTest::newRow("-On with the MIBs: labels, hints, units") << QStringList{"-On", "-M", mibs, "-m", "ALL"};
    QTest::newRow("Net-SNMP's default with the MIBs: names") << QStringList{"-M", mibs, "-m", "ALL"};
}

// Net-SNMP's walk of snmpd opened: the same objects as Norvane's walk of it,
// the same texts but for the values snmpd moves on meanwhile.
void TestRecordings::netSnmpWalkOpened()
{
    QFETCH(QStringList, options);
    const QString file = m_dir.filePath(QStringLiteral("snmpd.snmpwalk"));
    QProcess snmpwalk;
    snmpwalk.setStandardOutputFile(file);
    snmpwalk.start(QStringLiteral("snmpwalk"), options + QStringList{"-v2c", "-c", SnmpdAgent::Community,
                                                                      m_snmpd.address(), "1.3.6.1.2.1.1"});
    QVERIFY(snmpwalk.waitForFinished(30000) && snmpwalk.exitCode() == 0);
    QProcess more;
    more.setStandardOutputFile(file, QIODevice::Append);
    more.start(QStringLiteral("snmpwalk"), options + QStringList{"-v2c", "-c", SnmpdAgent::Community,
                                                                 m_snmpd.address(), "1.3.6.1.2.1.2"});
    QVERIFY(more.waitForFinished(30000) && more.exitCode() == 0);

    walk(QStringLiteral("1.3.6.1.2.1.1"));
    walk(QStringLiteral("1.3.6.1.2.1.2"));
    const std::unique_ptr<ResultModel> walked = keepList();
    m_window.log.answerRecording = file;
    QVERIFY(m_window.trigger("actOpen"));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    const WalkComparison c = compareWalks(ResultWalk(*walked), ResultWalk(m_window->results()));
    QCOMPARE(c.added + c.removed, 0u);
    QVERIFY(c.same > 30);
    for (const WalkChange &change : c.changes)
        QVERIFY2(moving(change.newType) && change.oldType == change.newType, change.oid.c_str());
    // The names as a run gives them.
    for (qsizetype row = 0; row < walked->storedRowCount(); ++row)
        QCOMPARE(m_window->results().field(row, ResultModel::NameColumn), walked->field(row, ResultModel::NameColumn));
}

// The system, interfaces and SNMP groups walked and saved as an snmpsim
// recording; traffic; walked again and compared with the file: counters
// moved on, nothing added or removed. (The UDP and TCP tables change with
// the tests running beside.)
void TestRecordings::savedWalkComparedWithTheNext()
{
    const QStringList groups{"1.3.6.1.2.1.1", "1.3.6.1.2.1.2", "1.3.6.1.2.1.11"};
    for (const QString &group : groups)
        walk(group);
    const QString saved = m_dir.filePath(QStringLiteral("before.snmprec"));
    m_window.log.answerFile = [&] { return std::optional(saved); };
    QVERIFY(m_window.trigger("actSaveAs"));
    QCOMPARE(m_window->currentFileName(), saved);
    QVERIFY(readAll(saved).startsWith("1.3.6.1.2.1.1.1.0|4|"));
    QVERIFY(m_window.trigger("actClear"));
    QTest::qWait(1100); // a second and more of sysUpTime between the walks
    for (const QString &group : groups)
        walk(group);
    m_window.log.answerRecording = saved;
    QVERIFY(m_window.trigger("actCompareWith"));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    TCompareWindow *window = m_window->comparing().compareWindow();
    QVERIFY(window && window->isVisible());
    CompareModel *model = window->model();
    QAbstractItemModelTester tester(model);
    const WalkComparison &c = model->comparison();
    QCOMPARE(c.added + c.removed, 0u);
    QVERIFY(c.changed > 0 && c.same > 30);
    QVERIFY(c.seconds && *c.seconds >= 1.0);
    QCOMPARE(window->summaryLabel()->text(), model->summary());
    QVERIFY(window->summaryLabel()->text().startsWith(QStringLiteral("%1 same, %2 changed, 0 added, 0 removed").arg(c.same).arg(c.changed)));
    // The agent's packets in: up with the walk's own traffic, at a rate.
    window->nameBox()->setText(QStringLiteral("snmpinpkts"));
    QTRY_COMPARE(model->rowCount(), 1);
    const WalkChange &packets = model->change(0);
    QCOMPARE(packets.name, std::string("SNMPv2-MIB::snmpInPkts.0"));
    QVERIFY(packets.increase && *packets.increase > 100 && packets.perSecond && *packets.perSecond > 10);
    window->showBox()->setCurrentIndex(int(CompareModel::Show::Added));
    QCOMPARE(model->rowCount(), 0);
}

// The same walk twice in the list: the second compared with the first, the
// time between them by the clock; another walk in between changes nothing.
void TestRecordings::previousWalkCompared()
{
    walk(QStringLiteral("1.3.6.1.2.1.11"));
    QVERIFY(!m_window.trigger("actComparePrevious"));
    walk(QStringLiteral("1.3.6.1.2.1.1"));
    QVERIFY(!m_window.trigger("actComparePrevious"));
    QTest::qWait(200);
    walk(QStringLiteral("1.3.6.1.2.1.11"));
    QVERIFY(m_window.trigger("actComparePrevious"));
    const WalkComparison &c = m_window->comparing().compareWindow()->model()->comparison();
    QCOMPARE(c.added + c.removed, 0u);
    QVERIFY(c.changed > 0 && c.same > 0);
    QVERIFY(c.seconds && *c.seconds >= 0.2);
    for (const WalkChange &change : c.changes)
        QVERIFY2(change.increase && change.perSecond, change.oid.c_str());
    QVERIFY(m_window.trigger("actClear"));
    QVERIFY(!m_window.trigger("actComparePrevious"));
}

// An opened file is the list until Clear or a Run: the title says which, bad
// lines are told, and MIB Values, Save and Table View work on it.
void TestRecordings::offlineList()
{
    const QString file = m_dir.filePath(QStringLiteral("device.snmprec"));
    QVERIFY(writeFile(file, "1.3.6.1.2.1.1.1.0|4|router\n1.3.6.1.2.1.2.2.1.8.1|2|2\n1.3.6.1.2.1.2.2.1.8.2|2|x\n"));
    m_window.log.answerRecording = file;
    QVERIFY(m_window.trigger("actOpen"));
    QCOMPARE(m_window.log.errors, QStringList{"1 line of 'device.snmprec' skipped:\n"
                                              "Line 3: the value 'x' is no Integer32"});
    QCOMPARE(m_window->windowTitle(), QStringLiteral("device.snmprec - Norvane"));
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("device.snmprec: 2 rows, 1 line skipped"));
    QCOMPARE(m_window.notIdle(), QStringLiteral("status not Ready"));
    QVERIFY(m_window.trigger("actMibValues"));
    QCOMPARE(m_window->listView()->model()->index(1, 3).data().toString(), QStringLiteral("down(2)"));
    // A file's row is no object on an agent: nothing to poll.
    m_window->listView()->selectionModel()->select(m_window->listView()->model()->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(m_window.trigger("actExportPrometheus")); // a row is selected
    QVERIFY(!m_window.trigger("actAddToWatch"));
    QVERIFY(m_window.trigger("actTableView"));

    // A file that is no recording leaves the list as it was.
    const QString elf = m_dir.filePath(QStringLiteral("a.out"));
    QVERIFY(writeFile(elf, QByteArray("\x7f" "ELF\x02\x01\0\0", 8)));
    m_window.log.answerRecording = elf;
    QVERIFY(m_window.trigger("actOpen"));
    QCOMPARE(m_window.log.errors.last(), QStringLiteral("'a.out' is not a recording. Line 1: neither an snmpsim "
                                                        "recording, Net-SNMP walk text nor a Norvane result file."));
    QCOMPARE(m_window->results().storedRowCount(), 2);
    QCOMPARE(m_window->openedFile(), file);

    // A Run's rows never join the file's.
    m_window.log.errors.clear();
    walk(QStringLiteral("1.3.6.1.2.1.1.1"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Norvane"));
    QCOMPARE(m_window->results().storedRowCount(), 1);
    QCOMPARE(m_window.notIdle(), QString());
    m_window.log.answerRecording = file;
    QVERIFY(m_window.trigger("actOpen"));
    QCOMPARE(m_window->results().storedRowCount(), 2);
    QVERIFY(m_window.trigger("actClear"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Norvane"));
    QVERIFY(m_window->openedFile().isEmpty());
}

void TestRecordings::saveAsRecordingFormats()
{
    QVERIFY(m_window.open(WindowFixture::Dialogs::Real));
    walk(QStringLiteral("1.3.6.1.2.1.1"));
    // The recording's filter chosen, a device's dotted name typed: the extension is added.
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->deleteLater();
        dialog->setDirectory(m_dir.path());
        dialog->selectNameFilter(QStringLiteral("Net-SNMP walk (*.snmpwalk)"));
        // Typed over the name, as a user types it (the filter changed its extension).
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        name->setText(QStringLiteral("10.0.0.1"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    poll->start(10);
    QVERIFY(m_window.trigger("actSaveAs"));
    const QString walkFile = m_dir.filePath(QStringLiteral("10.0.0.1.snmpwalk"));
    QCOMPARE(m_window->currentFileName(), walkFile);
    QVERIFY(readAll(walkFile).startsWith(".1.3.6.1.2.1.1.1.0 = STRING: \""));
    // Save writes the same format again.
    QVERIFY(writeFile(walkFile, "stale"));
    QVERIFY(m_window.trigger("actSave"));
    QVERIFY(readAll(walkFile).startsWith(".1.3.6.1.2.1.1.1.0 = STRING: \""));

    // A row walk text has no form for: nothing written, the file kept.
    SnmpVarBind sequence;
    sequence.name.ids = {1, 3, 6, 1, 4, 1, 99999, 1};
    sequence.value.asnType = asn::Sequence;
    sequence.value.bytes = "\x02\x01\x05";
    m_window->appendRow(renderBinding(sequence));
    QString told;
    QVERIFY(m_window.drive<QMessageBox>("actSave", [&](QMessageBox *box) { told = box->text(); }));
    QCOMPARE(told, QStringLiteral("Row %1 (.1.3.6.1.4.1.99999.1 | Sequence | 02 01 05 ) has no Net-SNMP walk text: "
                                  "save the list as an snmpsim recording.")
                       .arg(m_window->results().storedRowCount()));
    QVERIFY(readAll(walkFile).startsWith(".1.3.6.1.2.1.1.1.0 = STRING: \""));
    QVERIFY(readAll(walkFile).indexOf("99999") < 0);
}

// Stop during a long open: the rows read so far stay, the window is idle.
void TestRecordings::stopDuringOpen()
{
    QByteArray text;
    for (int i = 1; i <= 400000; ++i)
        text += "1.3.6.1.4.1.99999." + QByteArray::number(i) + "|2|" + QByteArray::number(i) + "\n";
    const QString file = m_dir.filePath(QStringLiteral("long.snmprec"));
    QVERIFY(writeFile(file, text));
    m_window.log.answerRecording = file;
    QTimer::singleShot(50, this, [this] { QVERIFY(m_window.trigger("actStop")); });
    QVERIFY(m_window.trigger("actOpen"));
    const qsizetype rows = m_window->results().storedRowCount();
    QVERIFY2(rows > 0 && rows < 400000, qPrintable(QString::number(rows)));
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("long.snmprec: stopped after %1 rows").arg(rows));
    QVERIFY(m_window.log.errors.isEmpty());
    QVERIFY(m_window->isIdle() && !m_window->isRunning());
}

QTEST_MAIN(TestRecordings)
#include "tst_recordings.moc"
