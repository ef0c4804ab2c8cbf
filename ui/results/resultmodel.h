// SPDX-License-Identifier: MIT
#pragma once

#include "engine/query/rowrender.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QIcon>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The rows of the result list. A walk may bring millions of rows, so they are
// kept as bytes in fixed-size text blocks with a 24-byte record per row, and
// QStrings are made only when the view asks. Nothing stored ever moves: one
// growing array would now and then copy every row so far, a pause that grows
// with the list (170 ms at 800,000 rows).
//
// Rows are stored the moment they arrive, but the view learns of them at most
// once per AnnounceIntervalMs: telling the view about every single row while
// events are processed after each costs a repaint per row. When no row has
// come for QuietMs (the run waits for a slow answer), a timer announces the
// rows held back, so none stays unseen until the next one arrives. flush()
// announces the rest at once; call it when a run ends and before anything
// reads the list through the view.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { OidColumn, NameColumn, TypeColumn, ValueColumn, ColumnCount };
    static constexpr int AnnounceIntervalMs = 30;
    // The interval for a list that shows this many rows: 1 ms per 250 rows,
    // never less than AnnounceIntervalMs (so 30 ms up to 7,749 rows) nor more
    // than MaxAnnounceIntervalMs (reached at 125,000 rows). Each
    // announcement costs the view a repaint of the visible rows (about 2 ms)
    // and bookkeeping that grows with the list; spaced out as the list grows,
    // they stay a few per cent of a long walk.
    static constexpr int MaxAnnounceIntervalMs = 500;
    static int announceIntervalMs(qsizetype shownRows);
    static constexpr int QuietMs = 50;

    explicit ResultModel(QObject *parent = nullptr);

    void setRowIcon(const QIcon &icon);

    // Rows known to the view; storedRowCount() may be ahead until flush().
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // MIB Values: the Value column shows what the MIB says of the object,
    // rendered whenever a value is read, from the row's own texts; no row
    // changes. Off, every value is its stored text.
    void setMibValues(bool on);
    bool mibValues() const { return m_mibValues; }
    // The loaded MIB set changed: MIB Values are read anew.
    void mibsChanged();

    void appendRow(ResultRow &&row);
    // A row fetched only to read others by (QuerySink::companionRow): kept
    // aside, never shown; the values read by it change.
    void addCompanionRow(const ResultRow &row);
    // The same stored at nowNs, a reading of clockNs(): a caller that reads
    // the clock for each row anyway spares the model a second reading.
    void appendRow(ResultRow &&row, qint64 nowNs);
    // The steady clock the pacing follows, in nanoseconds.
    static qint64 clockNs();
    void flush();
    // Removes every row in one reset.
    void clear();

    qsizetype storedRowCount() const { return m_rows; }
    bool hasPendingRows() const { return storedRowCount() > m_announced; }
    // A stored row's field as the bytes it was rendered to.
    QByteArrayView field(qsizetype row, int column) const;
    // A stored row's value as the MIB renders it (UTF-8); nothing when the
    // MIB has nothing to add and the stored text stands. An InetAddress is
    // read by the InetAddressType of its table row, from the rows or fetched
    // beside them; without one by its length, and then *byLength is set.
    std::optional<std::string> mibValue(qsizetype row, bool *byLength = nullptr) const;
    // (engine/query/rowbinding.h): what a recording of the list is written from.
    std::optional<SnmpVarBind> binding(qsizetype row) const;
    // A stored row's encoded binding: empty for the rows whose texts give it.
    QByteArrayView encodedBinding(qsizetype row) const;
    // OID text, name, type and value of a stored row, as the list shows them.
    std::array<QString, ColumnCount> rowTexts(qsizetype row) const;
    // Bytes reserved by the row storage.
    qsizetype memoryUsed() const;

private:
    void announceAfterQuiet();
    void noteAddressType(const ResultRow &row);

    // A row's four fields lie back to back in one text block, from offset on.
    // A row whose texts cannot give its binding back (ResultRow::binding)
    // has it after them, its length in 4 bytes before it, and HasBinding
    // set in its type length: no row pays for the few that need it.
    struct RowRecord
    {
        quint32 block;
        quint32 offset;
        std::array<quint32, ColumnCount> length;
    };
    // A row longer than a block gets a block of its own size.
    static constexpr size_t TextBlockBytes = size_t(1) << 20;
    static constexpr qsizetype RecordsPerBlock = qsizetype(1) << 16;
    static constexpr quint32 HasBinding = quint32(1) << 31;

    const RowRecord &record(qsizetype row) const;
    // The value column's text as the list shows it.
    QString valueText(qsizetype row) const;

    std::vector<std::string> m_textBlocks; // each reserved once and filled within that
    std::vector<std::unique_ptr<RowRecord[]>> m_recordBlocks;
    qsizetype m_rows = 0;
    int m_announced = 0;
    qint64 m_announcedNs = -1; // clockNs() at the last announcement; -1: none since the last clear()
    qint64 m_lastStoredNs = 0; // clockNs() when the last row held back was stored
    QTimer m_quietTimer;       // not restarted per row: a fast walk stores one every few microseconds
    QIcon m_rowIcon;
    bool m_mibValues = false;
    // The InetAddressType rows' numbers by OID text, stored and fetched: few
    // rows, and an InetAddress looks its type up here.
    std::unordered_map<std::string, int64_t> m_addressTypes;
};
