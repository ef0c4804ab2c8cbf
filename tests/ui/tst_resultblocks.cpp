// SPDX-License-Identifier: MIT
// The result model's storage: rows packed into fixed-size text blocks with a
// record per row, where a row never straddles two blocks and nothing stored
// ever moves. Every field must read back byte for byte wherever it landed.
#include "ui/results/resultmodel.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <random>

namespace {

// A row whose four fields have the given lengths, filled with bytes that
// depend on the row and column, so a field read from the wrong place shows.
ResultRow patternRow(int row, const std::array<size_t, 4> &lengths)
{
    std::array<std::string, 4> fields;
    for (size_t column = 0; column < 4; ++column) {
        fields[column].resize(lengths[column]);
        for (size_t i = 0; i < lengths[column]; ++i)
            fields[column][i] = char((row * 7 + int(column) * 31 + int(i)) % 251 + 1);
    }
    return {fields[0], fields[1], fields[2], fields[3]};
}

void compareRow(const ResultModel &model, int row, const ResultRow &expected)
{
    const std::string *fields[] = {&expected.oid, &expected.name, &expected.type, &expected.value};
    for (int column = 0; column < ResultModel::ColumnCount; ++column) {
        const QByteArrayView stored = model.field(row, column);
        const std::string &want = *fields[column];
        QVERIFY2(stored == QByteArrayView(want.data(), qsizetype(want.size())),
                 qPrintable(QStringLiteral("row %1, column %2: %3 bytes stored, %4 expected")
                                .arg(row)
                                .arg(column)
                                .arg(stored.size())
                                .arg(want.size())));
    }
}

} // namespace

class TestResultBlocks final : public QObject
{
    Q_OBJECT

private slots:
    void rowsReadBackAcrossBlockEnds();
    void rowLargerThanABlock();
    void recordBlockBoundary();
    void clearThenRefill();
};

// Rows of random sizes, some of them a good part of a block, fill many
// blocks; every row that did not fit the rest of a block opened the next.
void TestResultBlocks::rowsReadBackAcrossBlockEnds()
{
    ResultModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::mt19937 random(4711);
    std::uniform_int_distribution<size_t> small(0, 300);
    std::uniform_int_distribution<size_t> large(100'000, 400'000);
    std::vector<ResultRow> rows;
    size_t total = 0;
    for (int row = 0; total < 12 * 1024 * 1024; ++row) {
        const bool big = row % 50 == 49;
        const std::array<size_t, 4> lengths = {small(random), small(random), small(random) % 20,
                                               big ? large(random) : small(random)};
        rows.push_back(patternRow(row, lengths));
        total += lengths[0] + lengths[1] + lengths[2] + lengths[3];
        ResultRow copy = rows.back();
        model.appendRow(std::move(copy));
    }
    model.flush();
    QCOMPARE(model.storedRowCount(), qsizetype(rows.size()));
    QCOMPARE(model.rowCount(), int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        compareRow(model, row, rows[size_t(row)]);
        if (QTest::currentTestFailed())
            return;
    }
    // Blocks are filled, not left mostly empty: a row wastes at most the rest of one block.
    QVERIFY2(model.memoryUsed() < qsizetype(total) * 3 / 2 + 4 * 1024 * 1024,
             qPrintable(QString::number(model.memoryUsed())));
    // The view reads the same bytes.
    QCOMPARE(model.data(model.index(3, 1)).toString().toLatin1(), QByteArray::fromStdString(rows[3].name));
}

// A 3 MB value (a hex dump of a huge octet string, say) gets a block of its
// own; the rows before and after it stay where they were.
void TestResultBlocks::rowLargerThanABlock()
{
    ResultModel model;
    const ResultRow before = patternRow(0, {20, 30, 9, 40});
    const ResultRow huge = patternRow(1, {26, 18, 12, 3 * 1024 * 1024});
    const ResultRow after = patternRow(2, {21, 31, 10, 41});
    for (const ResultRow &row : {before, huge, after}) {
        ResultRow copy = row;
        model.appendRow(std::move(copy));
    }
    compareRow(model, 0, before);
    compareRow(model, 1, huge);
    compareRow(model, 2, after);
    QVERIFY(model.memoryUsed() >= qsizetype(3 * 1024 * 1024));
}

// Row records come in blocks too; the rows on both sides of a block's end,
// and an empty row there, read back.
void TestResultBlocks::recordBlockBoundary()
{
    ResultModel model;
    constexpr int Rows = 65536 * 2 + 3;
    for (int row = 0; row < Rows; ++row) {
        const bool empty = row == 65536 || row == 65535 * 2;
        model.appendRow(empty ? ResultRow{} : patternRow(row, {size_t(row % 40), 12, 9, size_t(row % 7)}));
    }
    QCOMPARE(model.storedRowCount(), qsizetype(Rows));
    for (const int row : {0, 65534, 65535, 65536, 65537, 65535 * 2, 131071, 131072, Rows - 1}) {
        const bool empty = row == 65536 || row == 65535 * 2;
        compareRow(model, row, empty ? ResultRow{} : patternRow(row, {size_t(row % 40), 12, 9, size_t(row % 7)}));
        if (QTest::currentTestFailed())
            return;
    }
}

void TestResultBlocks::clearThenRefill()
{
    ResultModel model;
    for (int row = 0; row < 70000; ++row)
        model.appendRow(patternRow(row, {30, 20, 9, 15}));
    model.flush();
    model.clear();
    QCOMPARE(model.storedRowCount(), qsizetype(0));
    QCOMPARE(model.memoryUsed(), qsizetype(0));
    // A fresh first block and record block: no stale record or offset survives.
    const ResultRow first = patternRow(9, {5, 6, 7, 8});
    ResultRow copy = first;
    model.appendRow(std::move(copy));
    QCOMPARE(model.storedRowCount(), qsizetype(1));
    QCOMPARE(model.rowCount(), 1);
    compareRow(model, 0, first);
}

QTEST_MAIN(TestResultBlocks)
#include "tst_resultblocks.moc"
