// SPDX-License-Identifier: MIT
#include "ui/traps/traplistmodel.h"

#include "engine/mib/mibsetup.h"
#include "engine/traps/packedbindings.h"
#include "engine/traps/traptext.h"

#include <QDateTime>

namespace {

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

TrapListModel::TrapListModel(size_t bound, QObject *parent) : QAbstractTableModel(parent), m_bound(std::max<size_t>(bound, 1))
{
    m_announceTimer.setSingleShot(true);
    connect(&m_announceTimer, &QTimer::timeout, this, &TrapListModel::announceNow);
}

TrapListModel::~TrapListModel() = default;

int TrapListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrapListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TrapListModel::fullTime(int64_t receivedMs)
{
    return QDateTime::fromMSecsSinceEpoch(receivedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

uint64_t TrapListModel::textKey() const
{
    return (mibsetup::generation() + 1) * 2 + (m_mibValues ? 1 : 0);
}

Notification TrapListModel::notificationOf(const Entry &e)
{
    Notification n;
    n.receivedMs = e.receivedMs;
    n.sender = {e.address, e.port};
    n.version = e.version;
    n.inform = e.inform;
    (e.version == NotificationVersion::V3 ? n.user : n.community) = e.identity;
    if (e.extra) {
        n.v1 = e.extra->v1;
        n.engineId = e.extra->engineId;
        n.context = e.extra->context;
    }
    n.bindings = unpackBindings(e.packed);
    for (const SnmpVarBind &b : n.bindings) {
        if (b.name.ids == notificationoids::SnmpTrapOid0 && b.value.asnType == asn::ObjectIdentifier) {
            n.trapOid = b.value.object;
            break;
        }
    }
    return n;
}

const TrapListModel::Entry &TrapListModel::texts(const Entry &entry) const
{
    if (entry.textKey != textKey()) {
        const Notification n = notificationOf(entry);
        entry.name = notificationName(n.trapOid);
        entry.summary = notificationSummary(n, m_mibValues);
        // The first name may have loaded the MIBs: the key as it is now.
        entry.textKey = textKey();
    }
    return entry;
}

std::string TrapListModel::text(int row, int column) const
{
    const Entry &e = m_rows[size_t(row)];
    switch (column) {
    case TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(e.receivedMs).toString(QStringLiteral("HH:mm:ss.zzz")).toStdString();
    case SourceColumn:
        return senderText({e.address, e.port});
    case VersionColumn:
        return std::string(versionName(e.version)) + (e.inform ? " inform" : "");
    case IdentityColumn:
        return e.identity;
    case NameColumn:
        return texts(e).name;
    case SummaryColumn:
        return texts(e).summary;
    default:
        return {};
    }
}

QVariant TrapListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole) {
        const std::string t = text(index.row(), index.column());
        // Communities and user names are bytes as sent: shown as Latin-1 unless UTF-8.
        if (index.column() == IdentityColumn)
            return QString::fromLatin1(t.data(), qsizetype(t.size()));
        return fromUtf8(t);
    }
    if (role == Qt::ToolTipRole && index.column() == TimeColumn)
        return fullTime(m_rows[size_t(index.row())].receivedMs);
    return {};
}

QVariant TrapListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const captions[ColumnCount] = {"Time", "Source", "Version", "Community / User",
                                                      "Notification", "Bindings"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(captions[section]) : QVariant();
}

void TrapListModel::append(Notification &&notification)
{
    Entry &e = m_waiting.emplace_back();
    e.receivedMs = notification.receivedMs;
    e.address = std::move(notification.sender.address);
    e.port = notification.sender.port;
    e.version = notification.version;
    e.inform = notification.inform;
    e.identity = std::move(notification.version == NotificationVersion::V3 ? notification.user : notification.community);
    e.packed = packBindings(notification.bindings);
    e.bindingCount = uint32_t(notification.bindings.size());
    if (notification.v1 || !notification.engineId.empty() || !notification.context.empty())
        e.extra.reset(new Extra{std::move(notification.v1), std::move(notification.engineId),
                                std::move(notification.context)});
    if (m_paused)
        ++m_arrivedWhilePaused;
    // The rows in sight go when what waits is announced; what waits is bounded itself.
    if (m_waiting.size() > m_bound) {
        m_waiting.pop_front();
        ++m_dropped;
    }
}

void TrapListModel::announce()
{
    if (m_paused || m_waiting.empty() || m_announceTimer.isActive())
        return;
    if (!m_sinceAnnounce.isValid() || m_sinceAnnounce.elapsed() >= AnnounceMs)
        announceNow();
    else
        m_announceTimer.start(int(AnnounceMs - m_sinceAnnounce.elapsed()));
}

void TrapListModel::flush()
{
    m_announceTimer.stop();
    announceNow();
}

void TrapListModel::announceNow()
{
    if (m_paused || m_waiting.empty())
        return;
    m_sinceAnnounce.start();
    // Room first: the oldest rows go when the new ones would pass the bound.
    const size_t excess = m_rows.size() + m_waiting.size() > m_bound ? m_rows.size() + m_waiting.size() - m_bound : 0;
    const size_t removed = std::min(excess, m_rows.size());
    if (removed > 0) {
        beginRemoveRows({}, 0, int(removed) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + qsizetype(removed));
        endRemoveRows();
        m_dropped += removed;
    }
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(m_waiting.size()) - 1);
    for (auto &entry : m_waiting)
        m_rows.push_back(std::move(entry));
    m_waiting.clear();
    endInsertRows();
}

void TrapListModel::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    m_arrivedWhilePaused = 0;
    if (!paused)
        flush();
}

void TrapListModel::clear()
{
    m_announceTimer.stop();
    beginResetModel();
    m_rows.clear();
    m_waiting.clear();
    m_arrivedWhilePaused = 0;
    endResetModel();
}

void TrapListModel::setMibValues(bool on)
{
    if (on == m_mibValues)
        return;
    m_mibValues = on;
    mibsChanged();
}

void TrapListModel::mibsChanged()
{
    if (!m_rows.empty())
        emit dataChanged(index(0, NameColumn), index(int(m_rows.size()) - 1, SummaryColumn), {Qt::DisplayRole});
}

Notification TrapListModel::notification(int row) const
{
    return notificationOf(m_rows[size_t(row)]);
}

size_t TrapListModel::bindingCount(int row) const
{
    return m_rows[size_t(row)].bindingCount;
}
