// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class ListView;
class QAction;
class QMenu;
class QPoint;
class ResultModel;

// Copying from the result list. Ctrl+C in the list puts the selected row on
// the clipboard as its line of the result file ("oid | name | type | value",
// without the line end); the context menu of a row copies the row, or its
// OID, name or value as the list shows it (a hex dump as its hex text).
class RowCopy : public QObject
{
    Q_OBJECT

public:
    enum class Part { Row, Oid, Name, Value };

    RowCopy(ListView *list, const ResultModel &rows);

    QMenu *menu() const { return m_menu; }
    // What copying a part of a row puts on the clipboard.
    static QString text(const ResultModel &rows, qsizetype row, Part part);
    // Copies that part of the selected row; nothing without a selected row.
    void copy(Part part) const;

private:
    void showMenu(const QPoint &position);

    ListView *m_list;
    const ResultModel &m_rows;
    QMenu *m_menu;
};
