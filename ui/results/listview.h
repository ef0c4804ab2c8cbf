// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

// The result list: a read-only report view, one selected row at most, whose
// selection stays visible while another control has the focus.
//
// A table view underneath, not a tree view: a tree view lays out every row it
// holds again whenever rows are added (about 40 ms at a million rows, with an
// item array of 40 bytes a row), while a table of fixed-height rows only
// counts them. Keys and scrolling behave as in a report list: the first
// arrow key selects a row (Down with nothing selected selects the first),
// Home and End go to the first and last row, Left and Right scroll sideways,
// and the top row is always a whole one, also at the end of the list. While
// the list has the focus its current row carries a focus rectangle; without
// the focus the selection stays visible in a quieter colour. A cell whose
// text its column (or the list's edge) cuts off shows it whole as a tooltip.
class ListView : public QTableView
{
    Q_OBJECT

public:
    explicit ListView(QWidget *parent = nullptr);

signals:
    // Return or Enter, whatever the modifiers.
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;

private:
    void updateRowHeight();
    void updateColours();
    QRect rowRect(const QModelIndex &index) const;
    QString cutOffText(const QModelIndex &index) const;
};
