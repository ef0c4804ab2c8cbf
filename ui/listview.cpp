// SPDX-License-Identifier: MIT
#include "ui/listview.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Rows are drawn as a whole; no cell of the row gets a focus frame of its own.
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

    QPalette colours = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
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

void ListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit enterPressed();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
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
