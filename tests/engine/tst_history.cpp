// SPDX-License-Identifier: MIT
#include "engine/query/historyrule.h"
#include "tests/support/fakehistory.h"

#include <QScopeGuard>
#include <QTest>

namespace {

QStringList numbered(int from, int to)
{
    QStringList items;
    for (int i = from; i <= to; ++i)
        items.append(QStringLiteral("agent%1").arg(i));
    return items;
}

} // namespace

class TestHistory final : public QObject
{
    Q_OBJECT

private slots:
    void historyRule_data();
    void historyRule();
};

void TestHistory::historyRule_data()
{
    QTest::addColumn<QString>("locale"); // empty: the test's own, C
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("typed"); // the texts run, one after the other
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("shown"); // the box's text at the end

    QTest::newRow("new text into an empty list") << QString() << QStringList() << QStringList{"127.0.0.1"}
                                                 << QStringList{"127.0.0.1"} << -1 << "127.0.0.1";
    QTest::newRow("new text goes on top, unselected")
        << QString() << QStringList{"127.0.0.1"} << QStringList{"10.0.0.1"} << QStringList{"10.0.0.1", "127.0.0.1"}
        << -1 << "10.0.0.1";
    QTest::newRow("match ignoring case moves up and shows the stored case")
        << QString() << QStringList{"public", "private", "tarnel", "x"} << QStringList{"TARNEL"}
        << QStringList{"tarnel", "public", "private", "x"} << 0 << "tarnel";
    QTest::newRow("match at the top stays") << QString() << QStringList{"Tarnel", "public"} << QStringList{"tarnel"}
                                            << QStringList{"Tarnel", "public"} << 0 << "Tarnel";
    // A list loaded from the store may hold both spellings.
    QTest::newRow("first match wins") << QString() << QStringList{"a", "Public", "PUBLIC"} << QStringList{"public"}
                                      << QStringList{"Public", "a", "PUBLIC"} << 0 << "Public";
    QTest::newRow("leading blank is a new entry")
        << QString() << QStringList{"public", "tarnel"} << QStringList{" tarnel"}
        << QStringList{" tarnel", "public", "tarnel"} << -1 << " tarnel";
    QTest::newRow("non-ASCII letters match ignoring case")
        << QString() << QStringList{"other", u"r\u00e9seau-\u00c4"_qs} << QStringList{u"R\u00c9SEAU-\u00e4"_qs}
        << QStringList{u"r\u00e9seau-\u00c4"_qs, "other"} << 0 << u"r\u00e9seau-\u00c4"_qs;
    // Through the locale's collation (ICU): letter case is ignored, blanks
    // and accents are not. The entry TARNEL selected stays selected below
    // the new ones.
    QTest::newRow("user locale's collation")
        << "de_DE" << QStringList{"public", "tarnel", u"Gr\u00fcn"_qs} << QStringList{"TARNEL", " tarnel", "GRUN"}
        << QStringList{"GRUN", " tarnel", "tarnel", "public", u"Gr\u00fcn"_qs} << 2 << "GRUN";
    QTest::newRow("ten entries stay ten") << QString() << numbered(0, 9) << QStringList{"new"}
                                          << QStringList{"new"} + numbered(0, 8) << -1 << "new";
    // 13 entries for a moment, then one is dropped; a match only reorders.
    QTest::newRow("longer loaded list keeps its length")
        << QString() << numbered(0, 11) << QStringList{"new", "AGENT10"}
        << QStringList{"agent10", "new"} + numbered(0, 9) << 0 << "agent10";
}

void TestHistory::historyRule()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, items);
    QFETCH(QStringList, typed);
    const QLocale saved;
    const auto restore = qScopeGuard([&saved] { QLocale::setDefault(saved); });
    if (!locale.isEmpty())
        QLocale::setDefault(QLocale(locale));
    FakeHistory list(items);
    for (const QString &text : typed) {
        list.text = text;
        recordHistory(list);
    }
    QTEST(list.items, "after");
    QTEST(list.selected, "selected");
    QTEST(list.text, "shown");
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
