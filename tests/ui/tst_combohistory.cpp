// SPDX-License-Identifier: MIT
#include "engine/query/historyrule.h"
#include "ui/combohistory.h"

#include <QComboBox>
#include <QTest>

namespace {

QStringList numbers(int from, int to)
{
    QStringList texts;
    for (int i = from; i <= to; ++i)
        texts << QString::number(i);
    return texts;
}

} // namespace

// The history rule of the query run, applied to real combo boxes made as the
// window makes its input boxes: what the box selects and shows afterwards.
class TestComboHistory final : public QObject
{
    Q_OBJECT

private slots:
    void recordsIntoABox_data();
    void recordsIntoABox();
};

void TestComboHistory::recordsIntoABox_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selectedBefore");
    QTest::addColumn<QStringList>("typed"); // the texts run, one after the other
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selected"); // -2: not looked at
    QTest::addColumn<QString>("shown");
    // Already entry 0 and selected, typed in another case again: the stored text comes back.
    QTest::newRow("match moves up and shows the stored case")
        << QStringList{"public", "tarnel", "private"} << -1 << QStringList{"TARNEL", "Tarnel"}
        << QStringList{"tarnel", "public", "private"} << 0 << "tarnel";
    // The selection stays on the entry it was on ("b", now entry 2), the text as typed.
    QTest::newRow("new text goes on top, keeping what is shown")
        << QStringList{"a", "b"} << 1 << QStringList{" tarnel"} << QStringList{" tarnel", "a", "b"} << 2
        << " tarnel";
    QTest::newRow("first entry of an empty list selects nothing")
        << QStringList{} << -1 << QStringList{"10.0.0.1"} << QStringList{"10.0.0.1"} << -1 << "10.0.0.1";
    // The dropped entry was the selected one; the typed text stays.
    QTest::newRow("a full list drops its last entry")
        << numbers(0, 9) << 9 << QStringList{"new"} << QStringList{"new"} + numbers(0, 8) << -2 << "new";
    QTest::newRow("a longer loaded list keeps its length")
        << numbers(0, 11) << -1 << QStringList{"x"} << QStringList{"x"} + numbers(0, 10) << -2 << "x";
}

void TestComboHistory::recordsIntoABox()
{
    QFETCH(QStringList, entries);
    QFETCH(int, selectedBefore);
    QFETCH(QStringList, typed);
    QFETCH(int, selected);
    QComboBox box;
    box.setEditable(true);
    box.setInsertPolicy(QComboBox::NoInsert);
    box.setCompleter(nullptr);
    box.addItems(entries);
    box.setCurrentIndex(selectedBefore);
    ComboHistory history(&box);
    for (const QString &text : typed) {
        box.setEditText(text);
        recordHistory(history);
    }
    QStringList after;
    for (int i = 0; i < box.count(); ++i)
        after << box.itemText(i);
    QTEST(after, "after");
    if (selected != -2)
        QCOMPARE(box.currentIndex(), selected);
    QTEST(box.currentText(), "shown");
}

QTEST_MAIN(TestComboHistory)
#include "tst_combohistory.moc"
