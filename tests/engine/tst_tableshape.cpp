// SPDX-License-Identifier: MIT
// Tables found by the shape of the names, and as the MIB places them: which
// rows form which table, how their cells line up, and how an index reads.
#include "engine/tables/mibtables.h"

#include <QTest>

#include <string>
#include <vector>

namespace {

struct TextRows final : OidSource
{
    std::vector<std::string> oids;
    int rowCount() const override { return int(oids.size()); }
    std::string_view oidText(int row) const override { return oids[size_t(row)]; }
};

// Each table as "entry [columns] index:row/row ..." with "-" for an empty cell.
QStringList describe(const std::vector<FoundTable> &tables, const OidSource &rows)
{
    QStringList out;
    for (const FoundTable &t : tables) {
        QStringList columns;
        for (const TableColumn &c : t.schema.columns)
            columns << c.name;
        QString text = t.schema.name + QStringLiteral(" [%1]").arg(columns.join(u','));
        for (int r = 0; r < t.rowCount; ++r) {
            const std::vector<uint32_t> index = t.indexOf(r, rows);
            QStringList cells;
            for (int c = 0; c < t.columnCount(); ++c)
                cells << (t.cell(r, c) < 0 ? QStringLiteral("-") : QString::number(t.cell(r, c)));
            text += u' ' + t.schema.decoder->decode(index).join(u'|') + u':' + cells.join(u'/');
        }
        out << text;
    }
    return out;
}

// "E.c.i" for each column and index, columns outermost, under the entry E.
QStringList walk(const QString &entry, const QList<int> &columns, const QStringList &indexes)
{
    QStringList oids;
    for (int c : columns)
        for (const QString &i : indexes)
            oids << QStringLiteral(".%1.%2.%3").arg(entry).arg(c).arg(i);
    return oids;
}

// A string index's sub-identifiers, with its length first unless implied.
QString chars(const char *text, bool implied = false)
{
    QStringList ids;
    if (!implied)
        ids << QString::number(qstrlen(text));
    for (const char *c = text; *c; ++c)
        ids << QString::number(int(*c));
    return ids.join(u'.');
}

const QString E = QStringLiteral("1.3.6.1.4.1.99999.2.1");

} // namespace

class TestTableShape final : public QObject
{
    Q_OBJECT

private slots:
    void tablesByShape_data();
    void tablesByShape();
};

void TestTableShape::tablesByShape_data()
{
    QTest::addColumn<QStringList>("oids");
    QTest::addColumn<QStringList>("tables");
    const QString table = QStringLiteral(".1.3.6.1.4.1.99999.2");
    const QStringList scalars{".1.3.6.1.4.1.99999.1.1.0", ".1.3.6.1.4.1.99999.1.2.0"};
    QTest::newRow("a walk: scalars, then a table column by column")
        << scalars + walk(E, {1, 2, 3}, {"1", "2", "10"})
        << QStringList{table + " [1,2,3] 1:2/5/8 2:3/6/9 10:4/7/10"};
    QTest::newRow("columns walked apart, later one first; a name twice keeps its latest row")
        << walk(E, {3}, {"1", "2"}) + walk(E, {1}, {"2", "1"}) + walk(E, {3}, {"2"})
        << QStringList{table + " [1,3] 1:3/0 2:2/4"};
    QTest::newRow("a column of its own") << walk(E, {2}, {"1", "2", "3"})
                                         << QStringList{table + " [2] 1:0 2:1 3:2"};
    QTest::newRow("a column of its own, index of an interface and an address")
        << walk(E, {4}, {"60.10.204.88.1", "60.10.204.88.10", "60.10.204.89.7"})
        << QStringList{table + " [4] 60.10.204.88.1:0 60.10.204.88.10:1 60.10.204.89.7:2"};
    QTest::newRow("length-prefixed strings") << walk(E, {2, 3}, {chars("ab"), chars("public"), chars("x")})
                                             << QStringList{table + " [2,3] x:2/5 ab:0/3 public:1/4"};
    QTest::newRow("IMPLIED strings, a column of its own")
        << walk(E, {2}, {chars("traphost.1", true), chars("traphost.22", true)})
        << QStringList{table + " [2] traphost.1:0 traphost.22:1"};
    QTest::newRow("one character, or two numbers: numbers") << walk(E, {2, 3}, {chars("a"), chars("b")})
                                                            << QStringList{table + " [2,3] 1.97:0/2 1.98:1/3"};
    QTest::newRow("printable numbers of one length: numbers") << walk(E, {2, 3}, {"100.64.50.50", "100.64.50.51"})
                                                              << QStringList{table + " [2,3] 100.64.50.50:0/2 100.64.50.51:1/3"};
    QTest::newRow("two-part index, always 1 first") << walk(E, {2, 3}, {"1.5", "1.6"})
                                                    << QStringList{table + " [2,3] 1.5:0/2 1.6:1/3"};
    QTest::newRow("sibling tables of one shape under a prefix ending in 1")
        << walk("1.3.6.1.4.1.99999.1.1.1", {2, 3}, {"1", "2"}) + walk("1.3.6.1.4.1.99999.1.2.1", {2, 3}, {"1", "2"})
        << QStringList{".1.3.6.1.4.1.99999.1.1 [2,3] 1:0/2 2:1/3", ".1.3.6.1.4.1.99999.1.2 [2,3] 1:4/6 2:5/7"};
    QTest::newRow("scalars and lone names are no tables, but for a MIB column's instance")
        << scalars + QStringList{".1.3.6.1.2.1.2.2.1.2.5", ".1.3.6.1.4.1.9.9.1.1", "."}
               + walk("1.3.6.1.4.1.99999.3.1", {1, 2}, {"1.0", "2.0"}) // two groups of scalars alike
        << QStringList{"ifTable [ifDescr] 5:2"};
    const QStringList v6 = {"2.16.42.1.72.96.0.1.0.1.0.0.0.0.0.0.0.100", "2.16.42.1.72.96.0.1.0.1.0.0.0.0.0.0.0.101"};
    QTest::newRow("a column of its own, an address after its type: the whole index")
        << walk(E, {28}, QStringList{"1.4.192.168.1.1", "1.4.192.168.1.2"} + v6)
        << QStringList{table + " [28] 1.4.192.168.1.1:0 1.4.192.168.1.2:1 " + v6[0] + ":2 " + v6[1] + ":3"};
    QTest::newRow("MIB: a shape inside a column is the column's table")
        << walk("1.3.6.1.2.1.7.7.1", {8}, {"1.4.0.0.0.0.37.1.4.0.0.0.0.0.13480", "1.4.127.0.0.1.53.1.4.0.0.0.0.0.13528"})
        << QStringList{"udpEndpointTable [udpEndpointProcess] ipv4(1)|0.0.0.0|37|ipv4(1)|0.0.0.0|0|13480:0 "
                       "ipv4(1)|127.0.0.1|53|ipv4(1)|0.0.0.0|0|13528:1"};
    QTest::newRow("names the rendering cut are left out")
        << walk(E, {2, 3}, {"1", QStringList(116, QStringLiteral("1")).join(u'.')}) // 256 characters
        << QStringList{table + " [2,3] 1:0/2"};
}

void TestTableShape::tablesByShape()
{
    QFETCH(QStringList, oids);
    TextRows rows;
    for (const QString &oid : oids)
        rows.oids.push_back(oid.toStdString());
    // No module names the enterprise 99999: its tables go by their shape alone.
    QTEST(describe(buildTables(SortedOids(rows), MibTableProvider()), rows), "tables");
}

QTEST_GUILESS_MAIN(TestTableShape)
#include "tst_tableshape.moc"
