// SPDX-License-Identifier: MIT
#include "engine/historyrule.h"
#include "tests/engine/fakehost.h"

#include <QTest>

namespace {

QStringList numbered(int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items.append(QStringLiteral("agent%1").arg(i));
    return items;
}

} // namespace

class TestHistory final : public QObject
{
    Q_OBJECT

private slots:
    void newTextGoesOnTopUnselected();
    void matchIgnoringCaseMovesUpAndShowsStoredCase();
    void matchAtTheTopStays();
    void firstMatchWins();
    void leadingBlankIsANewEntry();
    void nonAsciiLettersMatchIgnoringCase();
    void userLocaleCollation();
    void tenEntriesStayTen();
    void longerLoadedListKeepsItsLength();
};

void TestHistory::newTextGoesOnTopUnselected()
{
    FakeHistory list;
    list.text = QStringLiteral("127.0.0.1");
    recordHistory(list);
    QCOMPARE(list.items, QStringList{QStringLiteral("127.0.0.1")});
    QCOMPARE(list.selected, -1);
    QCOMPARE(list.text, QStringLiteral("127.0.0.1"));

    list.text = QStringLiteral("10.0.0.1");
    recordHistory(list);
    QCOMPARE(list.items, (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("127.0.0.1")}));
    QCOMPARE(list.selected, -1);
}

void TestHistory::matchIgnoringCaseMovesUpAndShowsStoredCase()
{
    FakeHistory list;
    list.items = {QStringLiteral("public"), QStringLiteral("private"), QStringLiteral("tarnel"), QStringLiteral("x")};
    list.text = QStringLiteral("TARNEL");
    recordHistory(list);
    QCOMPARE(list.items, (QStringList{QStringLiteral("tarnel"), QStringLiteral("public"), QStringLiteral("private"),
                                      QStringLiteral("x")}));
    QCOMPARE(list.selected, 0);
    QCOMPARE(list.text, QStringLiteral("tarnel"));
}

void TestHistory::matchAtTheTopStays()
{
    FakeHistory list;
    list.items = {QStringLiteral("Tarnel"), QStringLiteral("public")};
    list.text = QStringLiteral("tarnel");
    recordHistory(list);
    QCOMPARE(list.items, (QStringList{QStringLiteral("Tarnel"), QStringLiteral("public")}));
    QCOMPARE(list.text, QStringLiteral("Tarnel"));
}

void TestHistory::firstMatchWins()
{
    FakeHistory list; // a list loaded from the store may hold both spellings
    list.items = {QStringLiteral("a"), QStringLiteral("Public"), QStringLiteral("PUBLIC")};
    list.text = QStringLiteral("public");
    recordHistory(list);
    QCOMPARE(list.items, (QStringList{QStringLiteral("Public"), QStringLiteral("a"), QStringLiteral("PUBLIC")}));
    QCOMPARE(list.text, QStringLiteral("Public"));
}

void TestHistory::leadingBlankIsANewEntry()
{
    FakeHistory list;
    list.items = {QStringLiteral("public"), QStringLiteral("tarnel")};
    list.text = QStringLiteral(" tarnel");
    recordHistory(list);
    QCOMPARE(list.items, (QStringList{QStringLiteral(" tarnel"), QStringLiteral("public"), QStringLiteral("tarnel")}));
    QCOMPARE(list.selected, -1);
    QCOMPARE(list.text, QStringLiteral(" tarnel"));
}

void TestHistory::nonAsciiLettersMatchIgnoringCase()
{
    FakeHistory list;
    list.items = {QStringLiteral("other"), QStringLiteral("r\u00e9seau-\u00c4")};
    list.text = QStringLiteral("R\u00c9SEAU-\u00e4");
    recordHistory(list);
    QCOMPARE(list.items.size(), 2);
    QCOMPARE(list.text, QStringLiteral("r\u00e9seau-\u00c4"));
}

// With a real locale the comparison goes through the locale's collation
// (ICU): letter case is ignored, blanks and accents are not.
void TestHistory::userLocaleCollation()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    FakeHistory list;
    list.items = {QStringLiteral("public"), QStringLiteral("tarnel"), QStringLiteral("Gr\u00fcn")};
    list.text = QStringLiteral("TARNEL");
    recordHistory(list);
    const QStringList afterCase = list.items;
    list.text = QStringLiteral(" tarnel");
    recordHistory(list);
    const QStringList afterBlank = list.items;
    list.text = QStringLiteral("GRUN");
    recordHistory(list);
    const QStringList afterAccent = list.items;
    QLocale::setDefault(saved);

    QCOMPARE(afterCase, (QStringList{QStringLiteral("tarnel"), QStringLiteral("public"), QStringLiteral("Gr\u00fcn")}));
    QCOMPARE(afterBlank.first(), QStringLiteral(" tarnel"));
    QCOMPARE(afterBlank.size(), 4);
    QCOMPARE(afterAccent.first(), QStringLiteral("GRUN"));
    QCOMPARE(afterAccent.size(), 5);
}

void TestHistory::tenEntriesStayTen()
{
    FakeHistory list;
    list.items = numbered(10);
    list.text = QStringLiteral("new");
    recordHistory(list);
    QCOMPARE(list.items.size(), 10);
    QCOMPARE(list.items.first(), QStringLiteral("new"));
    QCOMPARE(list.items.last(), QStringLiteral("agent8")); // agent9 dropped
}

void TestHistory::longerLoadedListKeepsItsLength()
{
    FakeHistory list;
    list.items = numbered(12);
    list.text = QStringLiteral("new");
    recordHistory(list); // 13 entries for a moment, then one is dropped
    QCOMPARE(list.items.size(), 12);
    QCOMPARE(list.items.first(), QStringLiteral("new"));
    QCOMPARE(list.items.last(), QStringLiteral("agent10"));

    // A match only reorders.
    list.text = QStringLiteral("AGENT10");
    recordHistory(list);
    QCOMPARE(list.items.size(), 12);
    QCOMPARE(list.items.first(), QStringLiteral("agent10"));
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
