// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QAbstractButton;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QAbstractItemView;

// Shows one row of the main window's result list field by field and steps
// through the list. It keeps no data of its own: every refresh reads the
// list's selected row, and a step moves the list's selection, current row
// and scroll position, which stay where they are when the dialog closes.
//
// The list's model gives the row texts in columns 0 to 3 (OID, name, type,
// value); the list allows one selected row at most, selected as a whole.
//
// Below the row's fields, behind the Definition button, the object's
// definition as the MIB modules give it. The section starts closed, and
// closed the dialog is the row's four fields alone, in their place and size;
// opened, the dialog grows downwards by the section and the rest stays put.
class TDetailsDialog : public QDialog
{
    Q_OBJECT

public:
    TDetailsDialog(QAbstractItemView *listView, QWidget *owner);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void fitButtons();
    QPlainTextEdit *createField(const char *name, const QString &caption, int labelY, int fieldY, int height,
                                bool tall);
    void FormShow();
    void GroupClick(QAbstractButton *button);
    void refresh();
    void toggleDefinition();
    void refreshDefinition();
    void step(int t);
    int selectedRow() const;
    bool isPartlyVisible(const QModelIndex &index) const;

    QAbstractItemView *m_list;

    QPlainTextEdit *edtOid = nullptr;
    QPlainTextEdit *edtName = nullptr;
    QPlainTextEdit *edtType = nullptr;
    QPlainTextEdit *edtValue = nullptr;
    QPushButton *btnPrev = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnClose = nullptr;
    QPushButton *btnDefinition = nullptr;
    QPlainTextEdit *edtDefinition = nullptr;
};
