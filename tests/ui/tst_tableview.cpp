// SPDX-License-Identifier: MIT
// The Table View over the real window's list: the tables it finds, the
// grid's sort and filter, copying cells, the CSV export as Python's csv
// module reads it back, and a list that grows and is cleared.
#include "tests/support/windowfixture.h"
#include "ui/mibtree/mibtreewindow.h"
#include "ui/results/resultmodel.h"
#include "ui/tableview/tablemodel.h"
#include "ui/tableview/tablewindow.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

namespace {

ResultRow cell(const QString &oid, const char *type, const QString &value)
{
    return {oid.toStdString(), {}, type, value.toStdString()};
}

// ifTable's ifIndex, ifDescr, ifType and ifInOctets for interfaces 1, 2 and
// 10, column by column as a walk brings them; ipAddrTable's first two
// columns; hrStorageTable's one cell.
std::vector<ResultRow> walkedRows()
{
    std::vector<ResultRow> rows{cell(".1.3.6.1.2.1.1.5.0", "Octet String", "switch")};
    const QString ifEntry = QStringLiteral(".1.3.6.1.2.1.2.2.1.%1.%2");
    const QStringList indexes{"1", "2", "10"};
    const QStringList descr{"lo", "eth0", "say \"hi\", twice"};
    const QStringList type{"24", "6", "6"};
    const QStringList octets{"4294967295", "900", "12"};
    for (int i = 0; i < 3; ++i)
        rows.push_back(cell(ifEntry.arg(1).arg(indexes[i]), "Integer32", indexes[i]));
    for (const auto &[column, values, kind] : {std::tuple{2, descr, "Octet String"}, std::tuple{3, type, "Integer32"},
                                              std::tuple{10, octets, "Counter32"}})
        for (int i = 0; i < 3; ++i)
            rows.push_back(cell(ifEntry.arg(column).arg(indexes[i]), kind, values[i]));
    for (const int column : {1, 2})
        for (const char *address : {"9.0.0.1", "10.0.0.2"})
            rows.push_back(column == 1 ? cell(QStringLiteral(".1.3.6.1.2.1.4.20.1.1.") + address, "IpAddress", address)
                                       : cell(QStringLiteral(".1.3.6.1.2.1.4.20.1.2.") + address, "Integer32", "2"));
    rows.push_back(cell(QStringLiteral(".1.3.6.1.2.1.25.2.3.1.3.1"), "Octet String", "Physical memory"));
    return rows;
}

QStringList column(const TableGridModel &grid, int column)
{
    QStringList texts;
    for (int row = 0; row < grid.rowCount(); ++row)
        texts << grid.cellText(row, column);
    return texts;
}

} // namespace

class TestTableView final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_window.stop(); }
    void tablesOfTheList();
    void sortAndFilter_data();
    void sortAndFilter();
    void copyAndExportCsv();
    void followsTheList();
    void followsAReplacedModule();

private:
    void choose(int table);
    WindowFixture m_window;
    TTableWindow *m_table = nullptr;
};

void TestTableView::init()
{
    QVERIFY(m_window.start());
    for (ResultRow &row : walkedRows())
        m_window->appendRow(std::move(row));
    QVERIFY(m_window.trigger("actTableView"));
    m_table = m_window->tableWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_table));
}

void TestTableView::choose(int table)
{
    m_table->tableBox()->setCurrentIndex(table);
    emit m_table->tableBox()->activated(table);
}

void TestTableView::tablesOfTheList()
{
    QComboBox *tables = m_table->tableBox();
    QCOMPARE(tables->count(), 3);
    QCOMPARE(tables->itemText(0), QStringLiteral("ifTable: 3 rows, 4 columns"));
    QCOMPARE(tables->itemText(1), QStringLiteral("ipAddrTable: 2 rows, 2 columns"));
    QCOMPARE(tables->itemText(2), QStringLiteral("hrStorageTable: 1 row, 1 column"));
    const TableGridModel &grid = *m_table->grid();
    QAbstractItemModelTester tester(m_table->grid(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    // The index columns are named by the entry's INDEX clause, apart from
    // the columns where it names one of them.
    QCOMPARE(grid.headerTexts(), QStringList({"index: ifIndex", "ifIndex", "ifDescr", "ifType", "ifInOctets"}));
    QCOMPARE(grid.rowTexts(2), QStringList({"10", "10", "say \"hi\", twice", "6", "12"}));
    QCOMPARE(m_table->rowsLabel()->text(), QStringLiteral("3 rows"));
    choose(1);
    QCOMPARE(grid.headerTexts(), QStringList({"index: ipAdEntAddr", "ipAdEntAddr", "ipAdEntIfIndex"}));
    QCOMPARE(column(grid, 0), QStringList({"9.0.0.1", "10.0.0.2"}));
    choose(2);
    QCOMPARE(grid.headerTexts(), QStringList({"hrStorageIndex", "hrStorageDescr"}));
    QCOMPARE(grid.rowTexts(0), QStringList({"1", "Physical memory"}));
}

void TestTableView::sortAndFilter_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("sortColumn"); // -1: as found
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("indexes"); // as shown
    QTest::addColumn<QString>("label");
    QTest::newRow("as found: by index") << 0 << -1 << false << "" << QStringList{"1", "2", "10"} << "3 rows";
    QTest::newRow("index descending, as numbers") << 0 << 0 << true << "" << QStringList{"10", "2", "1"} << "3 rows";
    QTest::newRow("text, case ignored") << 0 << 2 << false << "" << QStringList{"2", "1", "10"} << "3 rows";
    QTest::newRow("a counter, as numbers") << 0 << 4 << false << "" << QStringList{"10", "2", "1"} << "3 rows";
    QTest::newRow("filter, any cell, case ignored") << 0 << -1 << false << "ETH" << QStringList{"2"} << "1 of 3 rows";
    QTest::newRow("filter, then sorted") << 0 << 2 << true << "E" << QStringList{"10", "2"} << "2 of 3 rows";
    QTest::newRow("addresses descending, as numbers") << 1 << 0 << true << "" << QStringList{"10.0.0.2", "9.0.0.1"}
                                                      << "2 rows";
}

void TestTableView::sortAndFilter()
{
    QFETCH(int, table);
    QFETCH(int, sortColumn);
    QFETCH(bool, descending);
    QFETCH(QString, filter);
    choose(table);
    m_table->gridView()->sortByColumn(sortColumn, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QTest::keyClicks(m_table->filterBox(), filter);
    QTRY_COMPARE(m_table->grid()->filterText(), filter);
    QTEST(column(*m_table->grid(), 0), "indexes");
    QTEST(m_table->rowsLabel()->text(), "label");
}

void TestTableView::copyAndExportCsv()
{
    QTableView *view = m_table->gridView();
    view->selectionModel()->select(QItemSelection(m_table->grid()->index(0, 1), m_table->grid()->index(1, 2)),
                                   QItemSelectionModel::ClearAndSelect);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\tlo\n2\teth0"));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ifTable.csv"));
    m_window.log.answerCsvFile = [file] { return std::optional<QString>(file); };
    m_table->findChild<QPushButton *>(QStringLiteral("btnExportCsv"))->click();
    QCOMPARE(m_window.log.asked, QStringList{"ifTable.csv"});
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral("import csv, json, sys; "
        "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))))"), file});
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.exitCode(), 0);
    QList<QStringList> records;
    for (const QJsonValue &record : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        records << record.toVariant().toStringList();
    QList<QStringList> grid{m_table->grid()->headerTexts()};
    for (int row = 0; row < m_table->grid()->rowCount(); ++row)
        grid << m_table->grid()->rowTexts(row);
    QCOMPARE(records, grid);
    QVERIFY2(m_table->rowsLabel()->text().endsWith(file), qPrintable(m_table->rowsLabel()->text()));

    // A file that cannot be written: the result file's message.
    m_window.log.answerCsvFile = [&dir] { return std::optional<QString>(dir.filePath("missing/t.csv")); };
    m_table->exportCsv();
    QCOMPARE(m_window.log.errors, QStringList{"Invalid filename"});
}

// Rows a walk brings join the grid; Clear empties it.
void TestTableView::followsTheList()
{
    m_window->appendRow(cell(".1.3.6.1.2.1.2.2.1.2.20", "Octet String", "eth9"));
    m_window->appendRow(cell(".1.3.6.1.2.1.2.2.1.8.20", "Integer32", "1"));
    QTRY_COMPARE(m_table->grid()->rowCount(), 4);
    QCOMPARE(m_table->grid()->headerTexts().mid(4), QStringList({"ifOperStatus", "ifInOctets"}));
    QCOMPARE(m_table->grid()->rowTexts(3), QStringList({"20", "", "eth9", "", "1", ""}));
    QVERIFY(m_window.trigger("actClear"));
    QCOMPARE(m_table->tableBox()->currentText(), QStringLiteral("No tables among the results"));
    QCOMPARE(m_table->grid()->columnCount(), 0);
    QVERIFY(!m_table->findChild<QPushButton *>(QStringLiteral("btnExportCsv"))->isEnabled());
}

// A module loaded again over itself, while its table is shown with MIB
// Values on: the columns, labels and hints are the new file's (Net-SNMP frees
// the old nodes, which nothing may still point at).
void TestTableView::followsAReplacedModule()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("NORVANE-RELOAD-MIB.txt"));
    const auto loadModule = [&](const char *column, const char *labels, const char *hint) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(QStringLiteral(
            "NORVANE-RELOAD-MIB DEFINITIONS ::= BEGIN\n"
            "IMPORTS MODULE-IDENTITY, OBJECT-TYPE, Integer32, enterprises FROM SNMPv2-SMI\n"
            "        TEXTUAL-CONVENTION FROM SNMPv2-TC;\n"
            "reloadMib MODULE-IDENTITY LAST-UPDATED \"202612090000Z\" ORGANIZATION \"-\" CONTACT-INFO \"-\"\n"
            "    DESCRIPTION \"-\" ::= { enterprises 99997 }\n"
            "Level ::= TEXTUAL-CONVENTION DISPLAY-HINT \"%3\" STATUS current DESCRIPTION \"-\" SYNTAX Integer32\n"
            "auditTable OBJECT-TYPE SYNTAX SEQUENCE OF AuditEntry MAX-ACCESS not-accessible STATUS current\n"
            "    DESCRIPTION \"-\" ::= { reloadMib 1 }\n"
            "auditEntry OBJECT-TYPE SYNTAX AuditEntry MAX-ACCESS not-accessible STATUS current\n"
            "    DESCRIPTION \"-\" INDEX { auditIndex } ::= { auditTable 1 }\n"
            "AuditEntry ::= SEQUENCE { auditIndex Integer32, %1 INTEGER, auditLevel Level }\n"
            "auditIndex OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current\n"
            "    DESCRIPTION \"-\" ::= { auditEntry 1 }\n"
            "%1 OBJECT-TYPE SYNTAX INTEGER { %2 } MAX-ACCESS read-only STATUS current\n"
            "    DESCRIPTION \"-\" ::= { auditEntry 2 }\n"
            "auditLevel OBJECT-TYPE SYNTAX Level MAX-ACCESS read-only STATUS current\n"
            "    DESCRIPTION \"-\" ::= { auditEntry 3 }\n"
            "END\n").arg(column, labels, hint).toUtf8());
        out.close();
        m_window.log.answerMibFile = file;
        QVERIFY(m_window.trigger("actLoadMib"));
        QCOMPARE(m_window->mibTreeWindow()->pages()->currentIndex(), 0); // loaded without errors
    };
    loadModule("auditState", "quiet(1), active(2), failed(3)", "d-2");
    QVERIFY(m_window.trigger("actClear"));
    for (const char *index : {"7", "8"}) {
        const QString entry = QStringLiteral(".1.3.6.1.4.1.99997.1.1.%1.") + index;
        m_window->appendRow(cell(entry.arg(2), "Integer32", "2"));
        m_window->appendRow(cell(entry.arg(3), "Integer32", "1234"));
    }
    QVERIFY(m_window.trigger("actMibValues"));
    QVERIFY(m_window.trigger("actTableView"));
    QTRY_COMPARE(m_table->grid()->rowTexts(0), QStringList({"7", "active(2)", "12.34"}));
    QCOMPARE(m_table->grid()->headerTexts().mid(1), QStringList({"auditState", "auditLevel"}));

    loadModule("auditMode", "idle(1), busy(2)", "d-1");
    QCOMPARE(m_window->results().rowTexts(2)[3], QStringLiteral("busy(2)"));
    QCOMPARE(m_window->results().rowTexts(3)[3], QStringLiteral("123.4"));
    QCOMPARE(m_table->grid()->headerTexts().mid(1), QStringList({"auditMode", "auditLevel"}));
    QCOMPARE(m_table->grid()->rowTexts(1), QStringList({"8", "busy(2)", "123.4"}));
}

QTEST_MAIN(TestTableView)
#include "tst_tableview.moc"
