// SPDX-License-Identifier: MIT
#include "ui/traps/trapsaving.h"

#include "engine/mib/mibinfo.h"
#include "engine/mib/mibrender.h"
#include "engine/query/rowrender.h"
#include "engine/traps/traptext.h"
#include "store/csvfile.h"
#include "store/resultfile.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/traps/traplistmodel.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <optional>

namespace {

// The shown notifications as result lines: a header line, then a row per binding.
class NotificationLines final : public ResultSource
{
public:
    NotificationLines(const TrapListModel &notifications, const QSortFilterProxyModel &shown)
        : m_notifications(notifications), m_shown(shown)
    {
        int line = 0;
        for (int row = 0; row < shown.rowCount(); ++row) {
            m_starts.push_back(line);
            line += 1 + int(notifications.bindingCount(sourceRow(row)));
        }
        m_lines = line;
    }

    int rowCount() const override { return m_lines; }
    ResultTexts rowTexts(int line) const override
    {
        const int shownRow = int(std::upper_bound(m_starts.begin(), m_starts.end(), line) - m_starts.begin()) - 1;
        if (shownRow != m_current)
            load(shownRow);
        const int within = line - m_starts[size_t(shownRow)];
        const ResultRow &row = m_rows[size_t(within)];
        return {row.oid, row.name, row.type, row.value};
    }

private:
    int sourceRow(int shownRow) const { return m_shown.mapToSource(m_shown.index(shownRow, 0)).row(); }

    void load(int shownRow) const
    {
        m_current = shownRow;
        const Notification n = m_notifications.notification(sourceRow(shownRow));
        m_rows.clear();
        ResultRow header;
        header.oid = "# " + TrapListModel::fullTime(n.receivedMs).toStdString();
        header.name = senderText(n.sender);
        header.type = std::string(versionName(n.version)) + (n.inform ? " inform " : " ")
            + (n.version == NotificationVersion::V3 ? n.user : n.community);
        const std::string details = notificationDetails(n);
        header.value = notificationName(n.trapOid) + (details.empty() ? std::string() : " (" + details + ")");
        m_rows.push_back(std::move(header));
        const bool mibValues = m_notifications.mibValues();
        for (const SnmpVarBind &b : n.bindings) {
            ResultRow row = renderBinding(b, n.version == NotificationVersion::V1 ? SnmpVersion::V1 : SnmpVersion::V2c);
            if (mibValues) {
                if (const MibObject *object = mibObject(b.name.ids)) {
                    if (std::optional<std::string> text = mibValueText(b, *object))
                        row.value = std::move(*text);
                }
            }
            m_rows.push_back(std::move(row));
        }
    }

    const TrapListModel &m_notifications;
    const QSortFilterProxyModel &m_shown;
    std::vector<int> m_starts; // each shown notification's first line
    int m_lines = 0;
    mutable int m_current = -1;
    mutable std::vector<ResultRow> m_rows;
};

class NotificationCsv final : public CsvSource
{
public:
    NotificationCsv(const TrapListModel &notifications, const QSortFilterProxyModel &shown)
        : m_notifications(notifications), m_shown(shown)
    {
    }
    QStringList header() const override
    {
        QStringList captions;
        for (int c = 0; c < TrapListModel::ColumnCount; ++c)
            captions << m_notifications.headerData(c, Qt::Horizontal).toString();
        return captions << QStringLiteral("Details");
    }
    int rowCount() const override { return m_shown.rowCount(); }
    QStringList row(int row) const override
    {
        const int source = m_shown.mapToSource(m_shown.index(row, 0)).row();
        QStringList cells;
        for (int c = 0; c < TrapListModel::ColumnCount; ++c)
            cells << m_notifications.data(m_notifications.index(source, c)).toString();
        const Notification n = m_notifications.notification(source);
        cells[TrapListModel::TimeColumn] = TrapListModel::fullTime(n.receivedMs);
        return cells << QString::fromStdString(notificationDetails(n));
    }

private:
    const TrapListModel &m_notifications;
    const QSortFilterProxyModel &m_shown;
};

} // namespace

StoreError TrapSaving::saveAs(QWidget *owner)
{
    QCoreApplication::processEvents();
    const std::optional<QString> chosen = m_dialogs.askSaveFileName(owner, QStringLiteral("*.txt"));
    if (!chosen)
        return {};
    const QString fileName = withTxtExtension(*chosen);
    if (needsReplaceQuestion(*chosen, fileName) && !m_dialogs.confirmReplace(owner, fileName))
        return {};
    return writeResultFile(fileName);
}

StoreError TrapSaving::exportCsv(QWidget *owner)
{
    const std::optional<QString> chosen = m_dialogs.askCsvFileName(owner, QStringLiteral("traps.csv"));
    return chosen ? writeCsv(*chosen) : StoreError();
}

StoreError TrapSaving::writeResultFile(const QString &fileName) const
{
    ResultFile file;
    // A file that cannot be opened leaves the cursor as it was.
    if (StoreError failure = file.open(fileName))
        return failure;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    return file.write(NotificationLines(m_notifications, m_shown));
}

StoreError TrapSaving::writeCsv(const QString &fileName) const
{
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    return writeCsvFile(fileName, NotificationCsv(m_notifications, m_shown));
}
