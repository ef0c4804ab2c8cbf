// SPDX-License-Identifier: MIT
#include "ui/widgets/coolbar.h"
#include "ui/widgets/pagescroller.h"
#include "ui/widgets/splitter.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A control with a fixed size hint.
class Block : public QWidget
{
public:
    Block(QSize hint, QSize minimum = {20, 10}) : m_hint(hint), m_minimum(minimum) {}
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_minimum; }

private:
    QSize m_hint;
    QSize m_minimum;
};

constexpr int Frame = 2 * CoolBar::Margin;
constexpr int Gap = CoolBar::RowSpacing;

} // namespace

class TestCoolBar final : public QObject
{
    Q_OBJECT

private slots:
    void sizesItselfToItsBands();
    void shrinkingMovesBandsUp();
    void growingGivesBandsTheirOwnRow();
    void rereadsHeightAfterEveryMove();
    void hiddenControlTakesItsBandAway();
    void doubleClickMaximisesBand();
    void splitterDragMovesBandsLive();
    void scrollerScrollsWhenNarrow();
};

void TestCoolBar::sizesItselfToItsBands()
{
    CoolBar bar;
    bar.addBand(new Block({100, 15}), 21, false);
    QCOMPARE(bar.layoutHeight(), Frame + 21);
    // A control taller than the band's minimum makes the band taller.
    bar.addBand(new Block({200, 30}), 22, true);
    QCOMPARE(bar.bandHeight(1), 30);
    QCOMPARE(bar.rowCount(), 2);
    QCOMPARE(bar.layoutHeight(), Frame + 21 + Gap + 30);
    QCOMPARE(bar.sizeHint().height(), bar.layoutHeight());
    QCOMPARE(bar.minimumSizeHint().height(), bar.layoutHeight());

    // In one row, the row is as high as its highest band.
    bar.setBandBreak(1, false);
    QCOMPARE(bar.rowCount(), 1);
    QCOMPARE(bar.layoutHeight(), Frame + 30);
}

void TestCoolBar::shrinkingMovesBandsUp()
{
    CoolBar bar;
    bar.addBand(new Block({100, 15}), 21, false);
    bar.addBand(new Block({200, 15}), 22, true);
    const int two = Frame + 21 + Gap + 22;
    const int one = Frame + 22;
    QCOMPARE(bar.layoutHeight(), two);

    // Not far enough: H minus the band's height is still above h.
    bar.moveBandsForHeight(two - 1);
    QCOMPARE(bar.bandRow(1), 1);
    bar.moveBandsForHeight(two - 22 + 1);
    QCOMPARE(bar.bandRow(1), 1);
    // Exactly H - 22: the band joins the previous row.
    bar.moveBandsForHeight(two - 22);
    QCOMPARE(bar.bandRow(1), 0);
    QVERIFY(!bar.bandBreak(1));
    QCOMPARE(bar.layoutHeight(), one);
    // The first band has no previous row, however small h gets.
    bar.moveBandsForHeight(1);
    QCOMPARE(bar.rowCount(), 1);
    QCOMPARE(bar.bandRow(0), 0);
}

void TestCoolBar::growingGivesBandsTheirOwnRow()
{
    CoolBar bar;
    bar.addBand(new Block({100, 15}), 21, false);
    bar.addBand(new Block({200, 15}), 22, false);
    const int one = Frame + 22;
    QCOMPARE(bar.rowCount(), 1);

    bar.moveBandsForHeight(one); // h = H: nothing to gain
    QCOMPARE(bar.rowCount(), 1);
    bar.moveBandsForHeight(one + 22 - 1);
    QCOMPARE(bar.rowCount(), 1);
    bar.moveBandsForHeight(one + 22);
    QCOMPARE(bar.rowCount(), 2);
    QVERIFY(bar.bandBreak(1));
    QCOMPARE(bar.bandRow(1), 1);

    // A band of fixed size keeps sharing its row.
    CoolBar fixed;
    fixed.addBand(new Block({100, 15}), 21, false);
    fixed.addBand(new Block({200, 15}), 22, false, true);
    fixed.moveBandsForHeight(500);
    QCOMPARE(fixed.rowCount(), 1);
}

void TestCoolBar::rereadsHeightAfterEveryMove()
{
    // Three bands on three rows: H = Frame + 21 + 22 + 22 + 2 gaps.
    auto build = [](CoolBar &bar, bool breaks) {
        bar.addBand(new Block({50, 10}), 21, false);
        bar.addBand(new Block({50, 10}), 22, breaks);
        bar.addBand(new Block({50, 10}), 22, breaks);
    };
    const int three = Frame + 21 + 22 + 22 + 2 * Gap;
    const int twoRows = Frame + 21 + 22 + Gap; // the last two share a row
    {
        CoolBar bar;
        build(bar, true);
        QCOMPARE(bar.layoutHeight(), three);
        // The last band goes up (three - 22 >= h); then, with H re-read as
        // twoRows, the middle one goes too only if twoRows - 22 >= h.
        bar.moveBandsForHeight(twoRows - 22 + 1);
        QCOMPARE(bar.rowCount(), 2);
        QCOMPARE(bar.bandRow(2), 1);
        QCOMPARE(bar.bandRow(1), 1);
        bar.moveBandsForHeight(twoRows - 22);
        QCOMPARE(bar.rowCount(), 1);
    }
    {
        CoolBar bar;
        build(bar, false);
        QCOMPARE(bar.layoutHeight(), Frame + 22);
        // Growing from one row: the last band takes its own row, then with H
        // re-read the middle band only when h >= new H + 22.
        const int afterFirst = Frame + 22 + Gap + 22;
        bar.moveBandsForHeight(afterFirst + 22 - 1);
        QCOMPARE(bar.rowCount(), 2);
        QVERIFY(bar.bandBreak(2));
        QVERIFY(!bar.bandBreak(1));
        bar.moveBandsForHeight(afterFirst + 22);
        QCOMPARE(bar.rowCount(), 3);
    }
}

void TestCoolBar::hiddenControlTakesItsBandAway()
{
    CoolBar bar;
    auto *menu = new Block({100, 15});
    auto *tools = new Block({200, 15});
    bar.addBand(menu, 21, false);
    bar.addBand(tools, 22, true);
    bar.resize(400, bar.layoutHeight());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    tools->hide();
    QCOMPARE(bar.rowCount(), 1);
    QCOMPARE(bar.layoutHeight(), Frame + 21);
    QCOMPARE(bar.bandRow(1), -1);
    QVERIFY(bar.band(1)->isHidden());
    // A hidden band is not moved by the splitter.
    bar.moveBandsForHeight(500);
    QVERIFY(bar.bandBreak(1));

    tools->show();
    QCOMPARE(bar.rowCount(), 2);
    QVERIFY(!bar.band(1)->isHidden());
    QCOMPARE(bar.band(1)->y(), CoolBar::Margin + 21 + Gap);
    QCOMPARE(bar.band(1)->height(), 22);
}

void TestCoolBar::doubleClickMaximisesBand()
{
    CoolBar bar;
    bar.addBand(new Block({100, 15}, {20, 10}), 21, false);
    bar.addBand(new Block({200, 15}, {20, 10}), 22, false);
    bar.resize(600, bar.layoutHeight());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    const int inner = 600 - Frame;
    const int minimum = CoolBand::GripWidth + 20;

    // As laid out: the first band as wide as it wants, the last takes the rest.
    QCOMPARE(bar.band(0)->width(), CoolBand::GripWidth + 100);
    QCOMPARE(bar.band(1)->width(), inner - CoolBand::GripWidth - 100);

    QTest::mouseDClick(bar.band(1), Qt::LeftButton, {}, QPoint(3, 5));
    QCOMPARE(bar.band(0)->width(), minimum);
    QCOMPARE(bar.band(1)->width(), inner - minimum);

    QTest::mouseDClick(bar.band(0), Qt::LeftButton, {}, QPoint(3, 5));
    QCOMPARE(bar.band(0)->width(), inner - minimum);
    QCOMPARE(bar.band(1)->width(), minimum);
    QCOMPARE(bar.band(1)->x(), CoolBar::Margin + inner - minimum);
}

void TestCoolBar::splitterDragMovesBandsLive()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new CoolBar;
    bar->addBand(new Block({100, 15}), 21, false);
    bar->addBand(new Block({200, 15}), 22, true);
    auto *splitter = new Splitter(bar);
    layout->addWidget(bar);
    layout->addWidget(splitter);
    layout->addWidget(new QWidget, 1);
    window.resize(500, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(splitter->height(), Splitter::Thickness);
    QCOMPARE(splitter->cursor().shape(), Qt::SizeVerCursor);

    const int two = Frame + 21 + Gap + 22;
    QTRY_COMPARE(splitter->y(), two);

    // Drag the handle up by the second band's height: it joins the first row,
    // and the layout follows without a release.
    const QPoint grab(100, 1);
    QTest::mousePress(splitter, Qt::LeftButton, {}, grab);
    QTest::mouseMove(splitter, grab - QPoint(0, 10));
    QCOMPARE(bar->rowCount(), 2);
    QTest::mouseMove(splitter, grab - QPoint(0, 22));
    QCOMPARE(bar->rowCount(), 1);
    QTRY_COMPARE(splitter->y(), Frame + 22);

    // And back down, far enough for the band to get its row again.
    QTest::mouseMove(splitter, grab + QPoint(0, 22));
    QCOMPARE(bar->rowCount(), 2);
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, grab + QPoint(0, 22));
    QTRY_COMPARE(splitter->y(), two);

    // Without a drag, moving the pointer does nothing.
    QTest::mouseMove(splitter, grab - QPoint(0, 40));
    QCOMPARE(bar->rowCount(), 2);
}

void TestCoolBar::scrollerScrollsWhenNarrow()
{
    PageScroller scroller;
    auto *control = new Block({300, 20});
    scroller.setControl(control);
    QCOMPARE(scroller.sizeHint(), QSize(300, 20));
    scroller.resize(400, 20);
    scroller.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scroller));
    const auto arrows = scroller.findChildren<QToolButton *>();
    QCOMPARE(arrows.size(), 2);
    for (QToolButton *arrow : arrows)
        QVERIFY(arrow->isHidden());
    QCOMPARE(control->width(), 400); // a wide scroller gives all its width

    scroller.resize(100, 20);
    QTRY_VERIFY(!arrows[0]->isHidden());
    QToolButton *right = arrows[0]->arrowType() == Qt::RightArrow ? arrows[0] : arrows[1];
    QCOMPARE(control->width(), 300);
    QCOMPARE(control->x(), 0);
    right->click();
    QCOMPARE(scroller.scrollOffset(), 16);
    QCOMPARE(control->x(), -16);
    for (int i = 0; i < 50; ++i)
        right->click();
    // Stops where the control's right edge reaches the viewport's.
    QCOMPARE(control->x() + control->width(), control->parentWidget()->width());

    // The keyboard coming to a part out of sight scrolls it into sight.
    auto *part = new QLineEdit(control);
    part->setGeometry(10, 0, 40, 20);
    part->show();
    scroller.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&scroller));
    part->setFocus(Qt::TabFocusReason);
    QCOMPARE(scroller.scrollOffset(), 10);
}

QTEST_MAIN(TestCoolBar)
#include "tst_coolbar.moc"
