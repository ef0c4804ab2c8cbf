// SPDX-License-Identifier: MIT
#pragma once

#include "ui/results/rowsearch.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QToolButton;

// The find bar under the result list, hidden until Ctrl+F: a text box and
// the "match case" and "whole value" toggles. Enter (or the Next button)
// asks for the next row, Shift+Enter (or Previous) for the one before; Esc
// closes the bar from any of its controls. What is searched and where the list goes is the window's.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);

    QString text() const;
    RowSearch::Options options() const;
    QLineEdit *edit() const { return edtFind; }
    // Shows the bar with its text selected and the keyboard in it.
    void open();

signals:
    void findNext();
    void findPrevious();
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLineEdit *edtFind = nullptr;
    QCheckBox *chkMatchCase = nullptr;
    QCheckBox *chkWholeValue = nullptr;
    QToolButton *btnFindNext = nullptr;
    QToolButton *btnFindPrevious = nullptr;
    QToolButton *btnCloseFind = nullptr;
};
