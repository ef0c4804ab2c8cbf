// SPDX-License-Identifier: MIT
#pragma once

#include "engine/mib/mibinfo.h"
#include "engine/watch/watchpoller.h"

#include <QAbstractTableModel>
#include <QString>

#include <unordered_map>
#include <vector>

// What the MIB says of a watched object, for its row, its graph's axis and
// its legend. Read in one MIB generation and read again once it moves.
struct WatchLabels
{
    uint64_t generation = 0;
    QString name;  // as the result list names it: "IF-MIB::ifInOctets.1"
    QString units; // the MIB's UNITS, empty for none
    std::vector<MibNamedNumber> enums;
    bool octets = false; // an octet counter: may be shown in bits per second
};

// The Watch window's list: one row per watched object, over the poller's
// own records; rows are added and removed through here so that the views
// hear of it. Texts are made when a view asks for them.
class WatchListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { AgentColumn, NameColumn, ValueColumn, RateColumn, PolledColumn, StateColumn, ColumnCount };

    explicit WatchListModel(WatchPoller &poller, QObject *parent = nullptr);

    WatchPoller &poller() const { return m_poller; }
    // False when it is watched already.
    bool add(const WatchTarget &target);
    void remove(const QList<int> &rows);
    // Started or paused: objects not yet polled say "waiting" or "paused".
    void pollingChanged();
    // Octet counters' rates in bits per second.
    void setBits(bool on);
    bool bits() const { return m_bits; }

    const WatchLabels &labels(int row) const;
    // What a rate or value of the row is plotted as, for the axis: "octets/s".
    QString axisUnit(int row) const;
    // A plotted value in the row's unit, as the list writes it: "1.25 M".
    static QString scaled(double value);
    // The factor its plotted values are shown with: 8 for an octet counter in bits.
    double factor(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    QString stateText(int row) const;

private:
    WatchPoller &m_poller;
    bool m_bits = false;
    mutable std::unordered_map<ObjectId, WatchLabels> m_labels;
};
