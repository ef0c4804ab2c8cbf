// SPDX-License-Identifier: MIT
#include "tests/support/modaldriver.h"
#include "ui/dialogs/detailsdialog.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeView>

#include <memory>

namespace {

// A stand-in for the main window: a report list over four text columns,
// one selected row at most, selected whole.
struct ListWindow
{
    QWidget window;
    QStandardItemModel model{0, 4};
    QTreeView *view = new QTreeView(&window);

    explicit ListWindow(int rows)
    {
        for (int row = 0; row < rows; ++row) {
            QList<QStandardItem *> items;
            for (const QString &text : {QStringLiteral(".1.3.6.1.2.1.2.2.1.%1.1").arg(row), QStringLiteral("name%1").arg(row),
                                        QStringLiteral("type%1").arg(row), QStringLiteral("value%1").arg(row)})
                items << new QStandardItem(text);
            model.appendRow(items);
        }
        view->setModel(&model);
        view->setRootIsDecorated(false);
        view->setUniformRowHeights(true);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        window.resize(640, 480);
        view->setGeometry(window.rect());
        window.show();
    }

    void select(int row)
    {
        const QModelIndex index = model.index(row, 0);
        view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    int selectedRow() const
    {
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }

    int rowHeight() const { return view->visualRect(model.index(0, 0)).height(); }

    // Leaves rows 0 to 4 wholly in sight and row 5 in part.
    bool showFiveAndAHalfRows()
    {
        view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const int h = rowHeight();
        const int frame = view->height() - view->viewport()->height();
        view->resize(view->width(), frame + 5 * h + h / 2);
        return view->viewport()->height() == 5 * h + h / 2;
    }

    bool wholeInSight(int row) const { return view->viewport()->rect().contains(view->visualRect(model.index(row, 0))); }
    bool partlyInSight(int row) const { return view->viewport()->rect().intersects(view->visualRect(model.index(row, 0))); }
};

} // namespace

class TestDetailsDialog final : public QObject
{
    Q_OBJECT

private slots:
    void frameAndControls();
    void stepButtonsFollowTheSelectedRow_data();
    void stepButtonsFollowTheSelectedRow();
    void stepsThroughEveryRowAndBack();
    void stepScrollsOnlyToARowOutOfSight();
    void steppedRowStaysSelectedAfterClose();
    void longTextsWrapAndScroll();
    void escapeBelongsToTheFieldsButClosesFromAButton();
    void acceleratorsAndTabOrder();
    void fieldsAreReadOnlyButCopyable();
    void definitionSection_data();
    void definitionSection();
};

void TestDetailsDialog::frameAndControls()
{
    ListWindow list(3);
    list.select(1);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Object Details"));
    QCOMPARE(dialog.size(), QSize(337, 323));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.focusWidget(), child<QPlainTextEdit>(dialog, "edtOid"));

    // Centred over its owner.
    QVERIFY((dialog.frameGeometry().center() - list.window.frameGeometry().center()).manhattanLength() <= 2);

    // Painted in the face colour, not the window colour of an edit.
    for (const char *name : {"edtOid", "edtName", "edtType", "edtValue"}) {
        const QPalette palette = child<QPlainTextEdit>(dialog, name)->palette();
        QCOMPARE(palette.color(QPalette::Base), dialog.palette().color(QPalette::Window));
    }

    // No caption is cut: every button and label shows its whole text and stays inside the dialog.
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
        QVERIFY2(button->width() >= button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width() + 8,
                 qPrintable(button->text()));
        QVERIFY(dialog.rect().contains(button->geometry()));
    }
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        QVERIFY(dialog.rect().contains(label->geometry()));
    }
}

void TestDetailsDialog::stepButtonsFollowTheSelectedRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("next");
    QTest::newRow("single row") << 1 << 0 << false << false;
    QTest::newRow("first of several") << 4 << 0 << false << true;
    QTest::newRow("middle") << 4 << 2 << true << true;
    QTest::newRow("last of several") << 4 << 3 << true << false;
}

void TestDetailsDialog::stepButtonsFollowTheSelectedRow()
{
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(bool, previous);
    QFETCH(bool, next);
    ListWindow list(rows);
    list.select(selected);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    QCOMPARE(child<QPushButton>(dialog, "btnPrev")->isEnabled(), previous);
    QCOMPARE(child<QPushButton>(dialog, "btnNext")->isEnabled(), next);
    QCOMPARE(fieldText(&dialog, "edtOid"), list.model.index(selected, 0).data().toString());
}

void TestDetailsDialog::stepsThroughEveryRowAndBack()
{
    constexpr int rows = 5;
    ListWindow list(rows);
    list.select(0);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    auto *prev = child<QPushButton>(dialog, "btnPrev");
    auto *next = child<QPushButton>(dialog, "btnNext");

    const auto showsRow = [&](int row) {
        return fieldText(&dialog, "edtOid") == QStringLiteral(".1.3.6.1.2.1.2.2.1.%1.1").arg(row)
            && fieldText(&dialog, "edtName") == QStringLiteral("name%1").arg(row)
            && fieldText(&dialog, "edtType") == QStringLiteral("type%1").arg(row)
            && fieldText(&dialog, "edtValue") == QStringLiteral("value%1").arg(row) && list.selectedRow() == row
            && list.view->currentIndex().row() == row;
    };
    QVERIFY(showsRow(0));
    for (int row = 1; row < rows; ++row) {
        QVERIFY(next->isEnabled());
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY2(showsRow(row), qPrintable(QString::number(row)));
        QVERIFY(prev->isEnabled());
    }
    QVERIFY(!next->isEnabled());
    for (int row = rows - 2; row >= 0; --row) {
        QTest::mouseClick(prev, Qt::LeftButton);
        QVERIFY2(showsRow(row), qPrintable(QString::number(row)));
        QVERIFY(next->isEnabled());
    }
    QVERIFY(!prev->isEnabled());
    // Never more than one selected row in the list.
    QCOMPARE(list.view->selectionModel()->selectedRows().size(), 1);
}

void TestDetailsDialog::stepScrollsOnlyToARowOutOfSight()
{
    ListWindow list(40);
    QVERIFY(QTest::qWaitForWindowExposed(&list.window));
    QVERIFY(list.showFiveAndAHalfRows());
    QScrollBar *scroll = list.view->verticalScrollBar();
    QCOMPARE(scroll->value(), 0);
    QVERIFY(list.wholeInSight(4));
    QVERIFY(list.partlyInSight(5) && !list.wholeInSight(5));
    QVERIFY(!list.partlyInSight(6));

    list.select(4);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    auto *next = child<QPushButton>(dialog, "btnNext");
    auto *prev = child<QPushButton>(dialog, "btnPrev");

    // Row 5 is partly in sight: the list stays where it is.
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(list.selectedRow(), 5);
    QCOMPARE(scroll->value(), 0);

    // Row 6 lies wholly below: the list scrolls until it is in sight.
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(list.selectedRow(), 6);
    QVERIFY(scroll->value() > 0);
    QVERIFY(list.partlyInSight(6));

    // From a row far out of sight, above and below.
    scroll->setValue(0);
    list.view->selectionModel()->select(list.model.index(30, 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(list.selectedRow(), 31);
    QVERIFY(list.partlyInSight(31));
    scroll->setValue(scroll->maximum());
    list.view->selectionModel()->select(list.model.index(3, 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::mouseClick(prev, Qt::LeftButton);
    QCOMPARE(list.selectedRow(), 2);
    QVERIFY(list.partlyInSight(2));
}

void TestDetailsDialog::steppedRowStaysSelectedAfterClose()
{
    ListWindow list(6);
    list.select(1);
    {
        TDetailsDialog dialog(list.view, &list.window);
        int result = -2;
        QVERIFY(driveModal<TDetailsDialog>([&] { result = dialog.exec(); }, [&dialog](TDetailsDialog *) {
            auto *next = child<QPushButton>(dialog, "btnNext");
            QTest::mouseClick(next, Qt::LeftButton);
            QTest::mouseClick(next, Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(dialog, "btnClose"), Qt::LeftButton);
        }));
        QCOMPARE(result, int(QDialog::Accepted));
    }
    QCOMPARE(list.selectedRow(), 3);
    QCOMPARE(list.view->currentIndex().row(), 3);

    // The next opening starts from that row.
    TDetailsDialog again(list.view, &list.window);
    again.show();
    QCOMPARE(fieldText(&again, "edtName"), QStringLiteral("name3"));

    // Keyboard navigation in the list goes on from the focused row.
    again.close();
    list.view->setFocus();
    QTest::keyClick(list.view, Qt::Key_Down);
    QCOMPARE(list.selectedRow(), 4);
}

void TestDetailsDialog::longTextsWrapAndScroll()
{
    ListWindow list(1);
    const QString longValue = QStringLiteral("A long value of words that cannot possibly fit on one line of the field. ").repeated(8);
    const QString longOid = QStringLiteral(".1.3.6.1.4.1.99999").append(QStringLiteral(".1234567890").repeated(12));
    const QString longType = QStringLiteral("OCTET STRING with a type text far wider than its one-line field");
    list.model.setData(list.model.index(0, 0), longOid);
    list.model.setData(list.model.index(0, 2), longType);
    list.model.setData(list.model.index(0, 3), longValue);
    list.select(0);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const auto lines = [](QPlainTextEdit *field) {
        return field->document()->firstBlock().layout()->lineCount();
    };
    auto *value = child<QPlainTextEdit>(dialog, "edtValue");
    QCOMPARE(value->toPlainText(), longValue);
    QTRY_VERIFY(lines(value) > 1);
    QVERIFY(value->verticalScrollBar()->isVisible());
    QVERIFY(value->verticalScrollBar()->maximum() > 0);
    QTest::keyClick(value, Qt::Key_End, Qt::ControlModifier);
    QTRY_VERIFY(value->verticalScrollBar()->value() > 0);

    // An OID without blanks wraps as well.
    QTRY_VERIFY(lines(child<QPlainTextEdit>(dialog, "edtOid")) > 1);

    auto *type = child<QPlainTextEdit>(dialog, "edtType");
    QCOMPARE(type->toPlainText(), longType);
    QCOMPARE(lines(type), 1);
    QVERIFY(!type->verticalScrollBar()->isVisible());
    QVERIFY(!type->horizontalScrollBar()->isVisible());
}

void TestDetailsDialog::escapeBelongsToTheFieldsButClosesFromAButton()
{
    ListWindow list(3);
    list.select(0);
    TDetailsDialog dialog(list.view, &list.window);
    int result = -2;
    QVERIFY(driveModal<TDetailsDialog>([&] { result = dialog.exec(); }, [&dialog](TDetailsDialog *) {
        auto *oid = child<QPlainTextEdit>(dialog, "edtOid");
        QTRY_COMPARE(QApplication::focusWidget(), oid);
        QTest::keyClick(oid, Qt::Key_Escape);
        QTest::keyClick(oid, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(fieldText(&dialog, "edtOid"), QStringLiteral(".1.3.6.1.2.1.2.2.1.0.1"));

        auto *next = child<QPushButton>(dialog, "btnNext");
        QTest::mouseClick(next, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), next);
        QTest::keyClick(next, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }));
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(list.selectedRow(), 1);
}

void TestDetailsDialog::acceleratorsAndTabOrder()
{
    ListWindow list(3);
    list.select(0);
    TDetailsDialog dialog(list.view, &list.window);
    int result = -2;
    QVERIFY(driveModal<TDetailsDialog>([&] { result = dialog.exec(); }, [&dialog](TDetailsDialog *) {
        QTRY_COMPARE(focusName(), QStringLiteral("edtOid"));
        // Previous is disabled on the first row, so Tab passes it by.
        for (const QString &name : {QStringLiteral("edtName"), QStringLiteral("edtType"),
                                    QStringLiteral("edtValue"), QStringLiteral("btnNext"),
                                    QStringLiteral("btnClose"), QStringLiteral("edtOid")}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), name);
        }
        const QList<std::pair<Qt::Key, const char *>> accelerators{
            {Qt::Key_M, "edtName"}, {Qt::Key_T, "edtType"}, {Qt::Key_V, "edtValue"}, {Qt::Key_O, "edtOid"}};
        for (const auto &[key, name] : accelerators) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            QCOMPARE(focusName(), QLatin1String(name));
        }
        // No default button: Enter in a field presses none, on a focused button it presses that one.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(fieldText(&dialog, "edtName"), QStringLiteral("name0"));
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("btnNext"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(fieldText(&dialog, "edtName"), QStringLiteral("name1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focusName(), QStringLiteral("btnPrev"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(fieldText(&dialog, "edtName"), QStringLiteral("name0"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
        // A button's accelerator presses it after a short animation.
        QTRY_COMPARE(fieldText(&dialog, "edtName"), QStringLiteral("name1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(!dialog.isVisible());
    }));
    QCOMPARE(result, int(QDialog::Accepted));
}

void TestDetailsDialog::fieldsAreReadOnlyButCopyable()
{
    ListWindow list(1);
    list.select(0);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *value = child<QPlainTextEdit>(dialog, "edtValue");
    value->setFocus();
    QTest::keyClicks(value, QStringLiteral("typed"));
    QTest::keyClick(value, Qt::Key_Backspace);
    QTest::keyClick(value, Qt::Key_Delete);
    QCOMPARE(value->toPlainText(), QStringLiteral("value0"));

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(value, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(value, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("value0"));
    QVERIFY(dialog.isVisible());
}

void TestDetailsDialog::definitionSection_data()
{
    QTest::addColumn<QString>("oid");
    QTest::addColumn<QString>("valueNote"); // the list's tool tip of the value
    QTest::addColumn<QString>("definition"); // how the section's text starts
    QTest::newRow("column") << ".1.3.6.1.2.1.2.2.1.8.11" << ""
                            << "IF-MIB::ifOperStatus (.1.3.6.1.2.1.2.2.1.8)\nColumn of ifEntry, INDEX { ifIndex }\n"
                               "Index: ifIndex = 11\nSyntax: INTEGER {up(1), down(2), testing(3), unknown(4), "
                               "dormant(5), notPresent(6), lowerLayerDown(7)}\nAccess: read-only\nStatus: current\n\n"
                               "The current operational state of the interface.  The testing(3) state indicates "
                               "that no operational packets can be passed.";
    QTest::newRow("scalar, a value the list notes") << ".1.3.6.1.2.1.1.1.0" << "Read by its length"
                            << "SNMPv2-MIB::sysDescr (.1.3.6.1.2.1.1.1)\nScalar\nInstance: .0\n"
                               "Syntax: DisplayString (OCTET STRING (SIZE (0..255)))\nDisplay hint: 255a\n"
                               "Access: read-only\nStatus: current\nValue: Read by its length\n\n"
                               "A textual description of the entity.";
    QTest::newRow("unknown object") << ".1.3.6.1.4.1.99999.1" << "" << "No MIB module describes this object.";
}

// Behind the Definition button, closed at first: the specified controls
// keep their places whether it is open or not, and the section follows
// the steps.
void TestDetailsDialog::definitionSection()
{
    QFETCH(QString, oid);
    QFETCH(QString, valueNote);
    QFETCH(QString, definition);
    ListWindow list(2);
    list.model.item(0, 0)->setText(oid);
    list.model.item(0, 3)->setToolTip(valueNote);
    list.model.item(1, 0)->setText(QStringLiteral(".1.3.6.1.2.1.1.3.0"));
    list.select(0);
    TDetailsDialog dialog(list.view, &list.window);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *button = child<QPushButton>(dialog, "btnDefinition");
    auto *section = child<QPlainTextEdit>(dialog, "edtDefinition");
    QVERIFY(section->isHidden());
    QCOMPARE(dialog.size(), QSize(337, 323));
    QMap<QWidget *, QRect> specified;
    for (QWidget *widget : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        specified[widget] = widget->geometry();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    QTRY_VERIFY(section->isVisible());
    QVERIFY(button->isChecked());
    QCOMPARE(dialog.width(), 337);
    QVERIFY(dialog.height() > 323 + 100);
    QVERIFY(section->y() >= 323 && dialog.rect().contains(section->geometry()));
    for (auto it = specified.begin(); it != specified.end(); ++it)
        QCOMPARE(it.key()->geometry(), it.value());
    QVERIFY2(section->toPlainText().startsWith(definition), qPrintable(section->toPlainText()));
    QCOMPARE(child<QPlainTextEdit>(dialog, "edtValue")->toolTip(), valueNote);
    QTest::mouseClick(child<QPushButton>(dialog, "btnNext"), Qt::LeftButton);
    QVERIFY(section->toPlainText().startsWith(QStringLiteral("SNMPv2-MIB::sysUpTime (.1.3.6.1.2.1.1.3)\nScalar")));

    button->click();
    QVERIFY(section->isHidden());
    QCOMPARE(dialog.size(), QSize(337, 323));
}

QTEST_MAIN(TestDetailsDialog)
#include "tst_detailsdialog.moc"
