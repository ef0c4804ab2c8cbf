// SPDX-License-Identifier: MIT
#include "ui/results/resultmodel.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {

ResultRow makeRow(int n)
{
    const std::string suffix = std::to_string(n);
    return {"1.3.6.1.2.1.2.2.1.2." + suffix, "ifDescr." + suffix, "OCTET STRING", "eth" + suffix};
}

} // namespace

class TestResultModel final : public QObject
{
    Q_OBJECT

private slots:
    void storesRowsAndAnswersTheView();
    void announcesNewRowsPaced();
    void announceIntervalGrowsWithTheList();
    void clearEmptiesInOneReset();
    void keepsBytesAsTheyWere();
    void millionRowsStayCompact();
};

void TestResultModel::storesRowsAndAnswersTheView()
{
    ResultModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRowIcon(QIcon(QStringLiteral(":/images/row.png")));

    QCOMPARE(model.columnCount(), 4);
    const QStringList headers = {"Object Identifier", "Name", "Type", "Value"};
    for (int c = 0; c < 4; ++c)
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);

    model.appendRow({"1.3.6.1.2.1.1.1.0", "sysDescr.0", "OCTET STRING", "Linux box"});
    model.appendRow({"1.3.6.1.2.1.1.3.0", "sysUpTime.0", "TimeTicks", ""});
    model.flush();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1.3.6.1.2.1.1.1.0"));
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("Linux box"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("sysUpTime.0"));
    QCOMPARE(model.data(model.index(1, 3)).toString(), QString());
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);

    // The row icon sits in the first column only.
    QVERIFY(model.data(model.index(0, 0), Qt::DecorationRole).canConvert<QIcon>());
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());

    QVERIFY(!(model.flags(model.index(0, 3)) & Qt::ItemIsEditable));
    const auto texts = model.rowTexts(1);
    QCOMPARE(texts[0], QStringLiteral("1.3.6.1.2.1.1.3.0"));
    QCOMPARE(texts[2], QStringLiteral("TimeTicks"));
}

void TestResultModel::announcesNewRowsPaced()
{
    ResultModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    // The first row of a run shows at once.
    model.appendRow(makeRow(0));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(inserted.count(), 1);

    // A burst within the interval is stored but not yet announced.
    QElapsedTimer burst;
    burst.start();
    int appended = 1;
    while (burst.elapsed() < ResultModel::AnnounceIntervalMs / 3 && appended < 1000)
        model.appendRow(makeRow(appended++));
    QCOMPARE(model.storedRowCount(), appended);
    QVERIFY(model.rowCount() < appended);
    QVERIFY(model.hasPendingRows());
    // Rows still pending can be read by whoever stores the list.
    QCOMPARE(model.rowTexts(appended - 1)[1], QString::fromStdString(makeRow(appended - 1).name));

    // Once the interval has passed, the next row announces everything pending in one insertion.
    const int before = int(inserted.count());
    QTRY_VERIFY(burst.elapsed() > ResultModel::AnnounceIntervalMs);
    model.appendRow(makeRow(appended++));
    QCOMPARE(model.rowCount(), appended);
    QCOMPARE(inserted.count(), before + 1);
    QCOMPARE(inserted.last().at(2).toInt(), appended - 1);

    // flush() announces at once, whatever the interval.
    model.appendRow(makeRow(appended++));
    model.flush();
    QCOMPARE(model.rowCount(), appended);
    QVERIFY(!model.hasPendingRows());
    model.flush(); // nothing pending: no empty insertion
    QCOMPARE(inserted.count(), before + 2);
}

void TestResultModel::announceIntervalGrowsWithTheList()
{
    const std::pair<qsizetype, int> expected[] = {{0, 30},       {7'749, 30},   {7'750, 31},
                                                  {124'999, 499}, {125'000, 500}, {10'000'000, 500}};
    for (const auto &[rows, ms] : expected)
        QCOMPARE(ResultModel::announceIntervalMs(rows), ms);
}

void TestResultModel::clearEmptiesInOneReset()
{
    ResultModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 500; ++i)
        model.appendRow(makeRow(i));
    model.flush();
    const qsizetype held = model.memoryUsed();
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.clear();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.storedRowCount(), 0);
    // The memory goes back too (all but a short string's inline buffer).
    QVERIFY2(model.memoryUsed() < held / 100, qPrintable(QString::number(model.memoryUsed())));

    // After a clear the next run's first row shows at once again.
    model.appendRow(makeRow(7));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowTexts(0)[3], QStringLiteral("eth7"));
}

void TestResultModel::keepsBytesAsTheyWere()
{
    ResultModel model;
    // Empty fields on both sides of non-empty ones, a vertical bar, a high byte.
    model.appendRow({"", "a|b", "", std::string("\xE9t\xE9", 3)});
    model.appendRow({"x", "", "y", ""});
    model.flush();
    QCOMPARE(model.field(0, 0).size(), 0);
    QCOMPARE(model.field(0, 1), QByteArrayView("a|b"));
    QCOMPARE(model.field(0, 3), QByteArrayView("\xE9t\xE9"));
    QCOMPARE(model.data(model.index(0, 3)).toString().toLatin1(), QByteArray("\xE9t\xE9"));
    QCOMPARE(model.field(1, 0), QByteArrayView("x"));
    QCOMPARE(model.field(1, 1).size(), 0);
    QCOMPARE(model.field(1, 2), QByteArrayView("y"));
    QCOMPARE(model.field(1, 3).size(), 0);
}

void TestResultModel::millionRowsStayCompact()
{
    ResultModel model;
    constexpr int Rows = 1'000'000;
    qsizetype textBytes = 0;
    for (int i = 0; i < Rows; ++i) {
        ResultRow row = makeRow(i);
        textBytes += qsizetype(row.oid.size() + row.name.size() + row.type.size() + row.value.size());
        model.appendRow(std::move(row));
    }
    model.flush();
    QCOMPARE(model.rowCount(), Rows);
    QCOMPARE(model.rowTexts(Rows - 1)[0], QStringLiteral("1.3.6.1.2.1.2.2.1.2.999999"));
    const qsizetype perRow = model.memoryUsed() / Rows;
    const qsizetype textPerRow = textBytes / Rows;
    qInfo("%lld bytes per row, %lld of them text", qlonglong(perRow), qlonglong(textPerRow));
    // The texts, their offsets and the arena's growth slack; no per-cell objects.
    QVERIFY2(perRow < 2 * textPerRow + 80, qPrintable(QString::number(perRow)));
}

QTEST_MAIN(TestResultModel)
#include "tst_resultmodel.moc"
