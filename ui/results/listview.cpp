// SPDX-License-Identifier: MIT
#include "ui/results/listview.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QToolTip>

namespace {

// Share of the highlight in the colour of a selection without the focus; the
// rest is the list's background.
constexpr double QuietSelection = 0.35;

QColor blend(const QColor &a, const QColor &b, double share)
{
    const auto mix = [share](int x, int y) { return qRound(x * share + y * (1 - share)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

// The text in lines no wider than width. Qt wraps a tooltip wider than the
// screen at spaces only, and a value may be 65,535 characters without one.
QString inLines(const QString &text, const QFont &font, int width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines.join(u'\n');
}

// Rows are drawn as a whole; no cell of the row gets a focus frame of its
// own: the list draws one around the whole current row.
class RowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
    }
};

} // namespace

ListView::ListView(QWidget *parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("ListView"));
    setItemDelegate(new RowDelegate(this));
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    updateRowHeight();
    updateColours();
    setAccessibleName(tr("Results"));
}

// Without the focus the selection stays in sight, in the platform's colour
// for an inactive selection. Where the platform paints both alike (Fusion
// does), the highlight is toned down towards the background, with the usual
// text colour, so that the list still shows whether it has the focus.
void ListView::updateColours()
{
    QPalette colours = palette();
    const QColor highlight = colours.color(QPalette::Active, QPalette::Highlight);
    if (colours.color(QPalette::Inactive, QPalette::Highlight) != highlight)
        return;
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     blend(highlight, colours.color(QPalette::Active, QPalette::Base), QuietSelection));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText, colours.color(QPalette::Active, QPalette::Text));
    setPalette(colours);
}

// Every row is as high as one line of text beside a small icon, the height a
// row with both asks of the style; fixed, so that no row is ever measured.
void ListView::updateRowHeight()
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    option.text = QStringLiteral("Xg");
    option.decorationSize = iconSize();
    const int height = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
    verticalHeader()->setDefaultSectionSize(height);
}

void ListView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateRowHeight();
}

void ListView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    // At the end of its range a table lines the last row up with the bottom
    // and cuts the top one; a list keeps whole rows from the top.
    const QScrollBar *bar = verticalScrollBar();
    if (dy != 0 && verticalScrollMode() == ScrollPerItem && bar->maximum() > 0 && bar->value() == bar->maximum()) {
        const int before = verticalHeader()->offset();
        verticalHeader()->setOffsetToSectionPosition(bar->value());
        viewport()->scroll(0, before - verticalHeader()->offset());
    }
}

// Only the cell under the pointer is measured, when the tooltip is asked
// for: a list of millions of rows costs no more than one of ten. The model
// has no tooltips of its own, so nothing else is lost by answering here.
bool ListView::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = cutOffText(index);
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        const int width = screen()->availableGeometry().width() * 3 / 4;
        QToolTip::showText(help->globalPos(), inLines(text, QToolTip::font(), width), viewport(), visualRect(index));
    }
    return true;
}

// The cell's text when the part of the cell in sight is narrower than the
// delegate needs for it, with the icon and the margins; else nothing.
QString ListView::cutOffText(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    const int needed = itemDelegateForIndex(index)->sizeHint(option, index).width();
    if (needed <= (option.rect & viewport()->rect()).width())
        return {};
    return index.data(Qt::DisplayRole).toString();
}

void ListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit enterPressed();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
    // A move that stays on a current row that is not selected (Home on the
    // first row, Up on it) selects it, as the first arrow key always does.
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && currentIndex().isValid()
            && !selectionModel()->hasSelection())
            selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        break;
    default:
        break;
    }
}

void ListView::focusInEvent(QFocusEvent *event)
{
    // A table view makes its first row current, unselected, as it takes the
    // focus, and Down then goes to the second row. A report list has no
    // current row until a key or a click picks one: Down selects the first.
    const bool hadCurrent = currentIndex().isValid();
    QTableView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid() && !selectionModel()->hasSelection())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

QRect ListView::rowRect(const QModelIndex &index) const
{
    if (!index.isValid() || !model())
        return {};
    const int last = model()->columnCount(index.parent()) - 1;
    return visualRect(index.siblingAtColumn(0)) | visualRect(index.siblingAtColumn(last));
}

void ListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // The focus rectangle spans the row, not just the cell the view repaints.
    viewport()->update(rowRect(previous));
    viewport()->update(rowRect(current));
}

// With the focus, a dotted rectangle goes round the current row; before a
// key has picked one, round the first row, where the keyboard starts, and
// round the whole list while it is empty.
void ListView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (!hasFocus() || !model())
        return;
    QModelIndex row = currentIndex();
    if (!row.isValid() && model()->rowCount(rootIndex()) > 0)
        row = model()->index(0, 0, rootIndex());
    const QRect frame = row.isValid() ? rowRect(row) : viewport()->rect();
    if (!frame.intersects(event->rect()))
        return;
    QPainter painter(viewport());
    const bool selected = row.isValid() && selectionModel()->isRowSelected(row.row(), row.parent());
    QPen pen(palette().color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    pen.setDashPattern({1, 1});
    painter.setPen(pen);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
}

QModelIndex ListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QAbstractItemModel *rows = model();
    const int count = rows ? rows->rowCount(rootIndex()) : 0;
    const int column = qMax(0, currentIndex().column());
    switch (cursorAction) {
    case MoveHome:
        return count > 0 ? rows->index(0, column, rootIndex()) : QModelIndex();
    case MoveEnd:
        return count > 0 ? rows->index(count - 1, column, rootIndex()) : QModelIndex();
    case MoveLeft:
    case MoveRight: {
        QScrollBar *sideways = horizontalScrollBar();
        sideways->setValue(sideways->value() + (cursorAction == MoveLeft ? -1 : 1) * sideways->singleStep());
        return currentIndex();
    }
    default:
        return QTableView::moveCursor(cursorAction, modifiers);
    }
}
