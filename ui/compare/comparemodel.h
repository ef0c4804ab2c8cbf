// SPDX-License-Identifier: MIT
#pragma once

#include "engine/recording/walkdiff.h"

#include <QAbstractTableModel>
#include <QByteArray>

#include <vector>

// The changes between two walks as the Compare window lists them: all of
// them, or those of one kind, and of those the ones whose name or OID holds
// a text (letter case aside).
class CompareModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        ChangeColumn,
        OidColumn,
        NameColumn,
        TypeColumn,
        OldValueColumn,
        NewValueColumn,
        IncreaseColumn,
        RateColumn,
        ColumnCount
    };
    enum class Show { AllChanges, Changed, Added, Removed };

    explicit CompareModel(QObject *parent = nullptr);

    void setComparison(WalkComparison comparison);
    const WalkComparison &comparison() const { return m_comparison; }
    void setShow(Show show);
    void setNameFilter(const QString &text);
    // "N same, N changed, N added, N removed", and the time between the walks when known.
    QString summary() const;
    const WalkChange &change(int row) const { return m_comparison.changes[m_shown[size_t(row)]]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void refilter();
    bool shown(const WalkChange &change) const;

    WalkComparison m_comparison;
    std::vector<uint32_t> m_shown; // indexes of the changes shown
    Show m_show = Show::AllChanges;
    QByteArray m_filter; // lower case, as the texts' bytes
};
