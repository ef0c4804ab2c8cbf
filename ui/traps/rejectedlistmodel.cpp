// SPDX-License-Identifier: MIT
#include "ui/traps/rejectedlistmodel.h"

#include "engine/traps/traptext.h"
#include "ui/traps/traplistmodel.h"

RejectedListModel::RejectedListModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_announceTimer.setSingleShot(true);
    m_announceTimer.setInterval(AnnounceMs);
    connect(&m_announceTimer, &QTimer::timeout, this, &RejectedListModel::announceNow);
}

int RejectedListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RejectedListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RejectedListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
        || role != Qt::DisplayRole)
        return {};
    const Rejection &r = m_rows[size_t(index.row())];
    switch (index.column()) {
    case TimeColumn:
        return TrapListModel::fullTime(r.receivedMs);
    case SourceColumn:
        return QString::fromStdString(senderText(r.sender));
    case VersionColumn:
        return QString::fromStdString(r.version);
    case IdentityColumn:
        return QString::fromLatin1(r.identity.data(), qsizetype(r.identity.size()));
    case ReasonColumn:
        return QString::fromStdString(r.reason);
    default:
        return {};
    }
}

QVariant RejectedListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const captions[ColumnCount] = {"Time", "Source", "Version", "Community / User", "Reason"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(captions[section]) : QVariant();
}

void RejectedListModel::append(Rejection &&rejection)
{
    m_waiting.push_back(std::move(rejection));
    if (m_waiting.size() > MaxRows)
        m_waiting.pop_front();
}

void RejectedListModel::announce()
{
    if (!m_waiting.empty() && !m_announceTimer.isActive())
        m_announceTimer.start();
}

void RejectedListModel::announceNow()
{
    if (m_waiting.empty())
        return;
    const size_t excess = m_rows.size() + m_waiting.size() > MaxRows ? m_rows.size() + m_waiting.size() - MaxRows : 0;
    if (excess > 0) {
        beginRemoveRows({}, 0, int(excess) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + qsizetype(excess));
        endRemoveRows();
    }
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(m_waiting.size()) - 1);
    for (Rejection &r : m_waiting)
        m_rows.push_back(std::move(r));
    m_waiting.clear();
    endInsertRows();
}

void RejectedListModel::clear()
{
    m_announceTimer.stop();
    beginResetModel();
    m_rows.clear();
    m_waiting.clear();
    endResetModel();
}
