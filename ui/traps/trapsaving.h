// SPDX-License-Identifier: MIT
#pragma once

#include "store/storeerror.h"

class DialogService;
class QSortFilterProxyModel;
class QWidget;
class TrapListModel;

// The notifications the list shows (the filter's, in their order) to a file:
//
// - Save As: the result file's format, a block per notification: a line
//   "# time | source | version community-or-user | name (details)", then
//   its bindings as result rows, "OID | name | type | value", values as the
//   list shows them (MIB Values on or off). The ".txt" rule and the replace
//   question are the main window's.
// - Export CSV: one record per notification, the list's columns with the
//   full time and the details, header first.
class TrapSaving
{
public:
    TrapSaving(DialogService &dialogs, const TrapListModel &notifications, const QSortFilterProxyModel &shown)
        : m_dialogs(dialogs), m_notifications(notifications), m_shown(shown)
    {
    }

    StoreError saveAs(QWidget *owner);
    StoreError exportCsv(QWidget *owner);

    StoreError writeResultFile(const QString &fileName) const;
    StoreError writeCsv(const QString &fileName) const;

private:
    DialogService &m_dialogs;
    const TrapListModel &m_notifications;
    const QSortFilterProxyModel &m_shown;
};
