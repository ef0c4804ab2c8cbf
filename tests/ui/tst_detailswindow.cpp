// SPDX-License-Identifier: MIT
// The details dialog as the user meets it: opened from the main window over
// rows that a walk brought in, stepping through the window's own list.
#include "tests/support/modaldriver.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/detailsdialog.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace {

// Subtrees of the test agent; a walk of one fills the list with its rows.
constexpr const char *OneRow = ".1.3.6.1.4.1.99999.1";
constexpr const char *FiveRows = ".1.3.6.1.4.1.99999.2";
constexpr const char *FortyRows = ".1.3.6.1.4.1.99999.3";
constexpr const char *LongValue = ".1.3.6.1.4.1.99999.4";

const QString longText =
    QStringLiteral("A value of many words, far too long for one line of the field. ").repeated(10).trimmed();

QString oidOf(const char *subtree, int n)
{
    return QStringLiteral("%1.%2").arg(QLatin1String(subtree)).arg(n);
}

// Integers 100 + n under each subtree, numbered from 1, and one long string.
std::vector<ScriptedAgent::Binding> agentTable()
{
    std::vector<ScriptedAgent::Binding> table;
    const auto add = [&table](const char *subtree, int rows) {
        for (int n = 1; n <= rows; ++n)
            table.push_back({ScriptedAgent::oid(qPrintable(oidOf(subtree, n))), ScriptedAgent::Value::integer(100 + n)});
    };
    add(OneRow, 1);
    add(FiveRows, 5);
    add(FortyRows, 40);
    table.push_back({ScriptedAgent::oid(qPrintable(oidOf(LongValue, 1))), ScriptedAgent::Value::octets(longText.toUtf8())});
    return table;
}

} // namespace

class TestDetailsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stepButtonsAtTheEnds_data();
    void stepButtonsAtTheEnds();
    void stepsThroughTheListAndBack();
    void stepScrollsOnlyToARowOutOfSight();
    void steppedRowStaysCurrentAfterClose();
    void longValueWrapsAndScrolls();
    void escapeClosesOnlyFromAButton();
    void opensByEnterDoubleClickAndMenu();
    void disabledWithoutASelectedRow();

private:
    int walk(const char *subtree);
    void clickRow(int row);
    int selectedRow() const;
    QString listText(int row, int column) const;
    bool showsRow(QWidget *dialog, int row) const;

    ScriptedAgent m_agent;
    WindowFixture m_window;
    ListView *m_list = nullptr;
};

void TestDetailsWindow::initTestCase()
{
    m_agent.setTable(agentTable());
    QVERIFY(m_agent.start());
}

void TestDetailsWindow::init()
{
    // Each window starts from an empty settings folder and leaves nothing for the next.
    QVERIFY(m_window.start(WindowFixture::Dialogs::Real));
    m_list = m_window->listView();
}

void TestDetailsWindow::cleanup()
{
    m_window.stop();
    m_list = nullptr;
}

// Walks a subtree of the agent; the number of rows in the list, -1 on failure.
int TestDetailsWindow::walk(const char *subtree)
{
    m_window.setInputs(m_agent.address(), QStringLiteral("tarnel"), QLatin1String(subtree));
    ErrorBoxWatch errors;
    if (!m_window.trigger("actWalk") || !m_window.trigger("actRun"))
        return -1;
    if (!errors.texts.isEmpty()) {
        qWarning("walk failed: %s", qPrintable(errors.texts.join(u'\n')));
        return -1;
    }
    return m_window->results().rowCount();
}

void TestDetailsWindow::clickRow(int row)
{
    const QRect rect = m_list->visualRect(m_list->model()->index(row, 1));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, rect.center());
}

int TestDetailsWindow::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

QString TestDetailsWindow::listText(int row, int column) const
{
    return m_list->model()->index(row, column).data().toString();
}

// The four fields show the list's row, which is its selected and current row.
bool TestDetailsWindow::showsRow(QWidget *dialog, int row) const
{
    return fieldText(dialog, "edtOid") == listText(row, 0) && fieldText(dialog, "edtName") == listText(row, 1)
        && fieldText(dialog, "edtType") == listText(row, 2) && fieldText(dialog, "edtValue") == listText(row, 3)
        && selectedRow() == row && m_list->currentIndex().row() == row;
}

void TestDetailsWindow::stepButtonsAtTheEnds_data()
{
    QTest::addColumn<QString>("subtree");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("next");
    QTest::newRow("single row") << OneRow << 1 << 0 << false << false;
    QTest::newRow("first of several") << FiveRows << 5 << 0 << false << true;
    QTest::newRow("last of several") << FiveRows << 5 << 4 << true << false;
}

void TestDetailsWindow::stepButtonsAtTheEnds()
{
    QFETCH(QString, subtree);
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(bool, previous);
    QFETCH(bool, next);
    QCOMPARE(walk(qPrintable(subtree)), rows);
    // Away from the design's position, so that centring over it shows.
    m_window->move(140, 70);
    clickRow(selected);
    QCOMPARE(selectedRow(), selected);

    const bool opened = m_window.drive<TDetailsDialog>("actDetails", [&](TDetailsDialog *dialog) {
        QCOMPARE(dialog->parentWidget(), m_window.get());
        QVERIFY(centredOver(dialog, m_window.get()));
        QCOMPARE(fieldText(dialog, "edtOid"), oidOf(qPrintable(subtree), selected + 1));
        QCOMPARE(fieldText(dialog, "edtValue"), QString::number(100 + selected + 1));
        QCOMPARE(child<QPushButton>(dialog, "btnPrev")->isEnabled(), previous);
        QCOMPARE(child<QPushButton>(dialog, "btnNext")->isEnabled(), next);
        QTRY_COMPARE(focusName(), QStringLiteral("edtOid"));
    });
    QVERIFY(opened);
}

void TestDetailsWindow::stepsThroughTheListAndBack()
{
    QCOMPARE(walk(FiveRows), 5);
    clickRow(0);
    const bool opened = m_window.drive<TDetailsDialog>("actDetails", [this](TDetailsDialog *dialog) {
        auto *prev = child<QPushButton>(dialog, "btnPrev");
        auto *next = child<QPushButton>(dialog, "btnNext");
        QVERIFY(showsRow(dialog, 0));
        // Each row as the walk rendered it: its OID and value, and the name and type beside them.
        QCOMPARE(fieldText(dialog, "edtOid"), oidOf(FiveRows, 1));
        QCOMPARE(fieldText(dialog, "edtValue"), QStringLiteral("101"));
        QVERIFY(!fieldText(dialog, "edtName").isEmpty());
        QVERIFY(!fieldText(dialog, "edtType").isEmpty());
        QVERIFY(fieldText(dialog, "edtName") != fieldText(dialog, "edtType"));

        for (int row = 1; row < 5; ++row) {
            QVERIFY(next->isEnabled());
            QTest::mouseClick(next, Qt::LeftButton);
            QVERIFY2(showsRow(dialog, row), qPrintable(QString::number(row)));
            QCOMPARE(fieldText(dialog, "edtOid"), oidOf(FiveRows, row + 1));
            QCOMPARE(fieldText(dialog, "edtValue"), QString::number(101 + row));
            QVERIFY(prev->isEnabled());
        }
        QVERIFY(!next->isEnabled());
        for (int row = 3; row >= 0; --row) {
            QTest::mouseClick(prev, Qt::LeftButton);
            QVERIFY2(showsRow(dialog, row), qPrintable(QString::number(row)));
            QVERIFY(next->isEnabled());
        }
        QVERIFY(!prev->isEnabled());
        QCOMPARE(m_list->selectionModel()->selectedRows().size(), 1);
    });
    QVERIFY(opened);
}

void TestDetailsWindow::stepScrollsOnlyToARowOutOfSight()
{
    QCOMPARE(walk(FortyRows), 40);
    // Size the window so that the list shows rows 0 to 4 whole and row 5 in part.
    const int h = m_list->visualRect(m_list->model()->index(0, 0)).height();
    QVERIFY(h > 0);
    const int wanted = 5 * h + h / 2;
    m_window->resize(m_window->width(), m_window->height() + wanted - m_list->viewport()->height());
    QTRY_COMPARE(m_list->viewport()->height(), wanted);

    const QRect viewport = m_list->viewport()->rect();
    const auto rowRect = [this](int row) { return m_list->visualRect(m_list->model()->index(row, 0)); };
    QScrollBar *scroll = m_list->verticalScrollBar();
    QCOMPARE(scroll->value(), 0);
    QVERIFY(viewport.contains(rowRect(4)));
    QVERIFY(viewport.intersects(rowRect(5)) && !viewport.contains(rowRect(5)));
    QVERIFY(!viewport.intersects(rowRect(6)));

    clickRow(4);
    QCOMPARE(scroll->value(), 0);
    const bool opened = m_window.drive<TDetailsDialog>("actDetails", [&](TDetailsDialog *dialog) {
        auto *next = child<QPushButton>(dialog, "btnNext");
        // Row 5 is partly in sight: the list stays where it is.
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(showsRow(dialog, 5));
        QCOMPARE(scroll->value(), 0);
        // Row 6 lies wholly below: the list scrolls until it is in sight.
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(showsRow(dialog, 6));
        QVERIFY(scroll->value() > 0);
        QVERIFY(viewport.contains(rowRect(6)));
        QVERIFY(!viewport.intersects(rowRect(0)));
    });
    QVERIFY(opened);
    // Closing leaves the list where the steps took it.
    QVERIFY(scroll->value() > 0);
    QVERIFY(viewport.contains(rowRect(6)));
}

void TestDetailsWindow::steppedRowStaysCurrentAfterClose()
{
    QCOMPARE(walk(FiveRows), 5);
    clickRow(1);
    const bool opened = m_window.drive<TDetailsDialog>("actDetails", [](TDetailsDialog *dialog) {
        auto *next = child<QPushButton>(dialog, "btnNext");
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(dialog, "btnClose"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(opened);
    QCOMPARE(selectedRow(), 3);
    QCOMPARE(m_list->currentIndex().row(), 3);
    // The dialog was destroyed when it closed.
    QCOMPARE(m_window->findChild<TDetailsDialog *>(), nullptr);

    // Details opens on that row again; Tab to Close and Enter closes it.
    QVERIFY(m_window.drive<TDetailsDialog>("actDetails", [this](TDetailsDialog *dialog) {
        QVERIFY(showsRow(dialog, 3));
        QCOMPARE(fieldText(dialog, "edtOid"), oidOf(FiveRows, 4));
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("btnClose"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
    }));

    // Keyboard navigation in the list goes on from it.
    m_list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_list);
    QTest::keyClick(m_list, Qt::Key_Down);
    QCOMPARE(selectedRow(), 4);
    QCOMPARE(m_list->currentIndex().row(), 4);
}

void TestDetailsWindow::longValueWrapsAndScrolls()
{
    QCOMPARE(walk(LongValue), 1);
    QVERIFY(listText(0, 3).contains(longText));
    clickRow(0);
    const bool opened = m_window.drive<TDetailsDialog>("actDetails", [this](TDetailsDialog *dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        auto *value = child<QPlainTextEdit>(dialog, "edtValue");
        QCOMPARE(value->toPlainText(), listText(0, 3));
        // One paragraph, wrapped at the field's width into more lines than it shows.
        QCOMPARE(value->document()->blockCount(), 1);
        QTRY_VERIFY(value->document()->firstBlock().layout()->lineCount() > 4);
        QVERIFY(value->verticalScrollBar()->isVisible());
        QVERIFY(value->verticalScrollBar()->maximum() > 0);
        QVERIFY(!value->horizontalScrollBar()->isVisible());
        QCOMPARE(value->verticalScrollBar()->value(), 0);
        value->setFocus();
        QTest::keyClick(value, Qt::Key_End, Qt::ControlModifier);
        QTRY_VERIFY(value->verticalScrollBar()->value() > 0);
        QCOMPARE(value->toPlainText(), listText(0, 3));
    });
    QVERIFY(opened);
}

void TestDetailsWindow::escapeClosesOnlyFromAButton()
{
    QCOMPARE(walk(FiveRows), 5);
    clickRow(0);
    bool closedByEscape = false;
    const bool opened = m_window.drive<TDetailsDialog>("actDetails", [&](TDetailsDialog *dialog) {
        QTRY_COMPARE(focusName(), QStringLiteral("edtOid"));
        // Right after opening the focus is in a field, which keeps Esc.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QVERIFY(showsRow(dialog, 0));
        // Nor does Enter reach the window's Enter command behind the dialog.
        QCOMPARE(modalOpenedBy([] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }, dialog),
                 QString());
        QCOMPARE(m_window->findChildren<TDetailsDialog *>().size(), 1);
        QVERIFY(dialog->isVisible());

        auto *next = child<QPushButton>(dialog, "btnNext");
        QTest::mouseClick(next, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), next);
        QTest::keyClick(next, Qt::Key_Escape);
        closedByEscape = !dialog->isVisible();
    });
    QVERIFY(opened);
    QVERIFY(closedByEscape);
    // Esc closed the dialog and nothing else: the row stepped to stays selected.
    QCOMPARE(selectedRow(), 1);
    QVERIFY(m_window->isIdle());
}

void TestDetailsWindow::opensByEnterDoubleClickAndMenu()
{
    QCOMPARE(walk(FiveRows), 5);
    const auto opensOn = [this](int row) {
        return [this, row](TDetailsDialog *dialog) {
            QVERIFY(showsRow(dialog, row));
            QTest::mouseClick(child<QPushButton>(dialog, "btnClose"), Qt::LeftButton);
        };
    };

    // Enter in the list, which has the focus since the click.
    clickRow(2);
    QCOMPARE(QApplication::focusWidget(), m_list);
    QVERIFY(driveModal<TDetailsDialog>([this] { QTest::keyClick(m_list, Qt::Key_Return); }, opensOn(2)));
    // With Shift, and the keypad's Enter.
    QVERIFY(driveModal<TDetailsDialog>([this] { QTest::keyClick(m_list, Qt::Key_Return, Qt::ShiftModifier); },
                                       opensOn(2)));
    QVERIFY(driveModal<TDetailsDialog>([this] { QTest::keyClick(m_list, Qt::Key_Enter, Qt::KeypadModifier); },
                                       opensOn(2)));

    // Enter in a combo box: the command takes the key, the box keeps its text.
    QComboBox *oids = m_window->oidBox();
    oids->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), oids);
    const QString oidText = oids->currentText();
    const int oidCount = oids->count();
    QVERIFY(driveModal<TDetailsDialog>([oids] { QTest::keyClick(oids, Qt::Key_Return); }, opensOn(2)));
    QCOMPARE(oids->currentText(), oidText);
    QCOMPARE(oids->count(), oidCount);

    // A double click on a row opens on that row.
    // (QTest sends a lone double-click event to a widget; a real one follows a press and release.)
    const QPoint point = m_list->visualRect(m_list->model()->index(3, 1)).center();
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, point);
    QVERIFY(driveModal<TDetailsDialog>(
        [&] { QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, point); }, opensOn(3)));
    QTest::mouseRelease(m_list->viewport(), Qt::LeftButton, {}, point);

    // The View menu's item, by its accelerator in the dropped-down menu.
    auto *view = m_window->findChild<QMenu *>(QStringLiteral("miView"));
    QVERIFY(view);
    QVERIFY(view->actions().contains(m_window->commands().actDetails));
    bool fromMenu = false;
    bool menuDone = false;
    QTimer::singleShot(0, this, [&] {
        [&] { QTRY_VERIFY(view->isVisible()); }();
        if (view->isVisible())
            fromMenu = driveModal<TDetailsDialog>([view] { QTest::keyClick(view, Qt::Key_D); }, opensOn(3));
        if (view->isVisible())
            view->close();
        menuDone = true;
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
    QTRY_VERIFY(menuDone);
    QVERIFY(fromMenu);
    QVERIFY(!view->isVisible());
}

void TestDetailsWindow::disabledWithoutASelectedRow()
{
    QCOMPARE(walk(FiveRows), 5);
    m_list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_list);
    QCOMPARE(selectedRow(), -1);
    m_window->updateCommands();
    QVERIFY(!m_window->commands().actDetails->isEnabled());

    // Enter in the list or in a box, and the command itself, open nothing.
    QCOMPARE(modalOpenedBy([this] { QTest::keyClick(m_list, Qt::Key_Return); }), QString());
    QComboBox *agent = m_window->agentBox();
    agent->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), agent);
    QCOMPARE(modalOpenedBy([agent] { QTest::keyClick(agent, Qt::Key_Return); }), QString());
    QCOMPARE(modalOpenedBy([this] { QVERIFY(!m_window->execute(m_window->commands().actDetails)); }), QString());

    // Clear takes the selected row away with the rest: Details is off again.
    clickRow(2);
    QCOMPARE(selectedRow(), 2);
    m_window->updateCommands();
    QVERIFY(m_window->commands().actDetails->isEnabled());
    QVERIFY(m_window.trigger("actClear"));
    QCOMPARE(m_list->model()->rowCount(), 0);
    QCOMPARE(modalOpenedBy([this] { QTest::keyClick(m_list, Qt::Key_Return); }), QString());
    QVERIFY(!m_window->commands().actDetails->isEnabled());
}

QTEST_MAIN(TestDetailsWindow)
#include "tst_detailswindow.moc"
