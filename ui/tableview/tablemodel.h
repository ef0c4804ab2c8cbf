// SPDX-License-Identifier: MIT
#pragma once

#include "engine/tables/tableschema.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <memory>
#include <vector>

// One table of the result list as a grid: a column per index part, then one
// per table column; a row per index. A cell shows its result row's value
// as the list shows it (the list's model is read, nothing is copied). A
// click on a header sorts (numbers as numbers), the filter keeps the rows
// with a cell containing its text; both only reorder the grid rows.
class TableGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    // results: the result list's model, whose ValueColumn the cells show;
    // oids: the same rows' OID texts, to read an index from.
    TableGridModel(const QAbstractItemModel &results, const OidSource &oids, QObject *parent = nullptr);

    // Shows the table, keeping the sort and the filter.
    void setTable(std::shared_ptr<const FoundTable> table);
    const FoundTable &table() const { return *m_table; }
    int indexColumnCount() const { return int(m_table->schema.indexParts.size()); }
    // Grid rows in the table, shown or not.
    int tableRowCount() const { return m_table->rowCount; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void setFilterText(const QString &text);
    QString filterText() const { return m_filter; }

    // A shown cell's text, as the view shows it.
    QString cellText(int row, int column) const;
    // The result row a shown cell shows; -1 for an index cell or an empty one.
    int resultRow(const QModelIndex &cell) const;
    QStringList headerTexts() const;
    QStringList rowTexts(int row) const;
    // The cells as tab-separated lines, one per row that has any of them,
    // their columns in order.
    QString copyText(const QModelIndexList &cells) const;

private:
    QString gridText(int gridRow, int column) const;
    void arrange(); // the shown rows: filtered, then sorted

    const QAbstractItemModel &m_results;
    const OidSource &m_oids;
    std::shared_ptr<const FoundTable> m_table; // shared with the window's list of tables
    std::vector<int32_t> m_shown; // grid rows in the order shown
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_filter;
    // The index parts of the grid row read last: a row's cells are painted together.
    mutable int m_decodedRow = -1;
    mutable QStringList m_decoded;
};
