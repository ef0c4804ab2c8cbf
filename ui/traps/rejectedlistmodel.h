// SPDX-License-Identifier: MIT
#pragma once

#include "engine/snmp/notification.h"

#include <QAbstractTableModel>
#include <QTimer>

#include <deque>
#include <vector>

// The datagrams the receiver refused, with the reason, the newest last; the
// last MaxRows of them (the counts are the receiver's). Announced to the
// view as the notifications are, at most every AnnounceMs.
class RejectedListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, SourceColumn, VersionColumn, IdentityColumn, ReasonColumn, ColumnCount };
    static constexpr size_t MaxRows = 10000;
    static constexpr int AnnounceMs = 30;

    explicit RejectedListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(Rejection &&rejection);
    void announce();
    void clear();

private:
    void announceNow();

    std::deque<Rejection> m_rows;
    std::deque<Rejection> m_waiting;
    QTimer m_announceTimer;
};
