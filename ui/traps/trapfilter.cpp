// SPDX-License-Identifier: MIT
#include "ui/traps/trapfilter.h"

#include "ui/traps/traplistmodel.h"

TrapFilter::TrapFilter(TrapListModel &notifications, QObject *parent)
    : QSortFilterProxyModel(parent), m_notifications(notifications)
{
    setSourceModel(&notifications);
}

void TrapFilter::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    invalidateRowsFilter();
}

bool TrapFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_text.isEmpty())
        return true;
    for (const int column : {TrapListModel::SourceColumn, TrapListModel::VersionColumn, TrapListModel::IdentityColumn,
                             TrapListModel::NameColumn, TrapListModel::SummaryColumn}) {
        const std::string text = m_notifications.text(sourceRow, column);
        if (QString::fromUtf8(text.data(), qsizetype(text.size())).contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
