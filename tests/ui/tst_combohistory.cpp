// SPDX-License-Identifier: MIT
#include "engine/query/historyrule.h"
#include "ui/combohistory.h"

#include <QComboBox>
#include <QTest>

namespace {

QStringList items(const QComboBox &box)
{
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

// An input box as the window makes them.
void makeInputBox(QComboBox &box, const QStringList &entries, const QString &typed)
{
    box.setEditable(true);
    box.setInsertPolicy(QComboBox::NoInsert);
    box.setCompleter(nullptr);
    box.addItems(entries);
    box.setCurrentIndex(-1);
    box.setEditText(typed);
}

} // namespace

// The history rule of the query run, applied to real combo boxes.
class TestComboHistory final : public QObject
{
    Q_OBJECT

private slots:
    void matchMovesUpAndShowsStoredCase();
    void newTextGoesOnTopKeepingWhatIsShown();
    void firstEntryOfAnEmptyListSelectsNothing();
    void fullListDropsItsLastEntry();
    void longerLoadedListKeepsItsLength();
};

void TestComboHistory::matchMovesUpAndShowsStoredCase()
{
    QComboBox box;
    makeInputBox(box, {"public", "tarnel", "private"}, "TARNEL");
    ComboHistory history(&box);
    recordHistory(history);
    QCOMPARE(items(box), QStringList({"tarnel", "public", "private"}));
    QCOMPARE(box.currentIndex(), 0);
    QCOMPARE(box.currentText(), QStringLiteral("tarnel"));

    // Already entry 0 and selected, typed in another case: the stored text comes back.
    box.setEditText("Tarnel");
    recordHistory(history);
    QCOMPARE(items(box), QStringList({"tarnel", "public", "private"}));
    QCOMPARE(box.currentText(), QStringLiteral("tarnel"));
}

void TestComboHistory::newTextGoesOnTopKeepingWhatIsShown()
{
    QComboBox box;
    makeInputBox(box, {"a", "b"}, "");
    box.setCurrentIndex(1);
    box.setEditText(" tarnel");
    ComboHistory history(&box);
    recordHistory(history);
    QCOMPARE(items(box), QStringList({" tarnel", "a", "b"}));
    // The selection stays on the entry it was on ("b", now entry 2), the text as typed.
    QCOMPARE(box.currentIndex(), 2);
    QCOMPARE(box.currentText(), QStringLiteral(" tarnel"));
}

void TestComboHistory::firstEntryOfAnEmptyListSelectsNothing()
{
    QComboBox box;
    makeInputBox(box, {}, "10.0.0.1");
    ComboHistory history(&box);
    recordHistory(history);
    QCOMPARE(items(box), QStringList({"10.0.0.1"}));
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.currentText(), QStringLiteral("10.0.0.1"));
}

void TestComboHistory::fullListDropsItsLastEntry()
{
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QString::number(i);
    QComboBox box;
    makeInputBox(box, ten, "new");
    box.setCurrentIndex(9);
    box.setEditText("new");
    ComboHistory history(&box);
    recordHistory(history);
    QCOMPARE(box.count(), 10);
    QCOMPARE(box.itemText(0), QStringLiteral("new"));
    QCOMPARE(box.itemText(9), QStringLiteral("8"));
    // The dropped entry was the selected one; the typed text stays.
    QCOMPARE(box.currentText(), QStringLiteral("new"));
}

void TestComboHistory::longerLoadedListKeepsItsLength()
{
    QStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve << QString::number(i);
    QComboBox box;
    makeInputBox(box, twelve, "x");
    ComboHistory history(&box);
    recordHistory(history);
    QCOMPARE(box.count(), 12);
    QCOMPARE(box.itemText(0), QStringLiteral("x"));
    QCOMPARE(box.itemText(11), QStringLiteral("10"));
}

QTEST_MAIN(TestComboHistory)
#include "tst_combohistory.moc"
