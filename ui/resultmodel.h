// SPDX-License-Identifier: MIT
#pragma once

#include "rowrender.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QIcon>

#include <array>
#include <string>
#include <vector>

// The rows of the result list. A walk may bring millions of rows, so they are
// kept as bytes in one arena with per-field offsets (about 40 bytes per row on
// top of the texts), and QStrings are made only when the view asks.
//
// Rows are stored the moment they arrive, but the view learns of them at most
// once per AnnounceIntervalMs: telling a QTreeView about every single row while
// events are processed after each costs milliseconds per row. flush() announces
// the rest at once; call it when a run ends and before anything reads the list
// through the view.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { OidColumn, NameColumn, TypeColumn, ValueColumn, ColumnCount };
    static constexpr int AnnounceIntervalMs = 30;

    explicit ResultModel(QObject *parent = nullptr);

    void setRowIcon(const QIcon &icon);

    // Rows known to the view; storedRowCount() may be ahead until flush().
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void appendRow(ResultRow &&row);
    void flush();
    // Removes every row in one reset.
    void clear();

    qsizetype storedRowCount() const { return qsizetype(m_bounds.size() / ColumnCount); }
    bool hasPendingRows() const { return storedRowCount() > m_announced; }
    // A stored row's field as the bytes it was rendered to.
    QByteArrayView field(qsizetype row, int column) const;
    // OID text, name, type and value of a stored row.
    std::array<QString, ColumnCount> rowTexts(qsizetype row) const;
    // Bytes reserved by the row storage.
    qsizetype memoryUsed() const;

private:
    std::string m_text;              // every field of every row, back to back
    std::vector<quint64> m_bounds;   // end offset of each field; a field starts where the previous ended
    int m_announced = 0;
    QElapsedTimer m_sinceAnnounce;
    QIcon m_rowIcon;
};
