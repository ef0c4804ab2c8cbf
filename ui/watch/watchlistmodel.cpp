// SPDX-License-Identifier: MIT
#include "ui/watch/watchlistmodel.h"

#include "engine/mib/mibsetup.h"
#include "engine/query/rowrender.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

const char *const Headers[] = {"Agent", "Name", "Last value", "Rate", "Last poll", "State"};

bool isCounter(uint8_t type)
{
    const ValueKind kind = valueKind(type);
    return kind == ValueKind::Counter32 || kind == ValueKind::Counter64;
}

} // namespace

WatchListModel::WatchListModel(WatchPoller &poller, QObject *parent) : QAbstractTableModel(parent), m_poller(poller)
{
    // Every answer may change any row's texts; the view repaints the rows in sight.
    connect(&m_poller, &WatchPoller::polled, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, ValueColumn), index(rowCount() - 1, StateColumn));
    });
}

bool WatchListModel::add(const WatchTarget &target)
{
    if (m_poller.rowOf(target) >= 0 || size_t(m_poller.count()) >= WatchPoller::MaxObjects)
        return false;
    const int row = m_poller.count();
    beginInsertRows({}, row, row);
    m_poller.add(target);
    endInsertRows();
    return true;
}

void WatchListModel::remove(const QList<int> &rows)
{
    std::vector<ObjectId> ids;
    for (const int row : rows) {
        if (row >= 0 && row < m_poller.count())
            ids.push_back(m_poller.object(row).id);
    }
    if (ids.empty())
        return;
    beginResetModel();
    m_poller.remove(ids);
    for (const ObjectId id : ids)
        m_labels.erase(id);
    endResetModel();
}

void WatchListModel::pollingChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, StateColumn), index(rowCount() - 1, StateColumn));
}

void WatchListModel::setBits(bool on)
{
    if (on == m_bits)
        return;
    m_bits = on;
    if (rowCount() > 0)
        emit dataChanged(index(0, RateColumn), index(rowCount() - 1, RateColumn));
}

const WatchLabels &WatchListModel::labels(int row) const
{
    const WatchedObject &object = m_poller.object(row);
    WatchLabels &labels = m_labels[object.id];
    const uint64_t generation = mibsetup::generation();
    if (labels.generation == generation && !labels.name.isEmpty())
        return labels;
    labels = WatchLabels();
    // The name as the result list's rows get it; it may load the MIBs first.
    labels.name = QString::fromStdString(renderBinding({{object.target.oid}, {}}).name);
    labels.generation = mibsetup::generation();
    if (const MibObject *mib = mibObject(object.target.oid)) {
        labels.units = QString::fromStdString(mib->units);
        labels.enums = mib->enums;
        labels.octets = mib->label.ends_with("Octets");
    }
    if (labels.units.contains(QLatin1String("octet"), Qt::CaseInsensitive))
        labels.octets = true;
    return labels;
}

double WatchListModel::factor(int row) const
{
    return m_bits && labels(row).octets && isCounter(m_poller.object(row).value.asnType) ? 8.0 : 1.0;
}

QString WatchListModel::axisUnit(int row) const
{
    const WatchedObject &object = m_poller.object(row);
    const WatchLabels &l = labels(row);
    if (isCounter(object.value.asnType)) {
        if (factor(row) == 8.0)
            return QStringLiteral("bits/s");
        if (!l.units.isEmpty())
            return l.units + QStringLiteral("/s");
        return l.octets ? QStringLiteral("octets/s") : QStringLiteral("per second");
    }
    if (object.value.asnType == asn::TimeTicks && l.units.isEmpty())
        return QStringLiteral("seconds");
    return l.units;
}

QString WatchListModel::scaled(double value)
{
    if (std::isnan(value))
        return {};
    static constexpr const char *prefixes[] = {"", " k", " M", " G", " T", " P"};
    double magnitude = std::fabs(value);
    size_t p = 0;
    while (magnitude >= 1000 && p + 1 < std::size(prefixes)) {
        magnitude /= 1000;
        value /= 1000;
        ++p;
    }
    // Three significant digits; whole numbers below 1000 as they are.
    const int decimals = p == 0 && value == std::floor(value) ? 0 : magnitude < 10 ? 2 : magnitude < 100 ? 1 : 0;
    return QString::number(value, 'f', decimals) + QLatin1String(prefixes[p]);
}

QString WatchListModel::stateText(int row) const
{
    const WatchedObject &object = m_poller.object(row);
    if (!object.problem.isEmpty())
        return object.problem;
    if (object.polledMs == 0)
        return m_poller.isPolling() ? QStringLiteral("waiting") : QStringLiteral("paused");
    switch (object.step.outcome) {
    case Outcome::First:
        return QStringLiteral("first reading");
    case Outcome::Restarted:
        return QStringLiteral("restarted");
    case Outcome::TypeChanged:
        return QStringLiteral("type changed");
    case Outcome::NoValue:
        return QString::fromStdString(renderBinding({{object.target.oid}, object.value}, object.version).type);
    default:
        return QStringLiteral("ok");
    }
}

int WatchListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_poller.count();
}

int WatchListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant WatchListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == RateColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const int row = index.row();
    const WatchedObject &object = m_poller.object(row);
    switch (index.column()) {
    case AgentColumn:
        return object.target.agent;
    case NameColumn:
        return labels(row).name;
    case ValueColumn: {
        if (object.polledMs == 0 || valueKind(object.value.asnType) == ValueKind::None)
            return QString();
        const std::string text = renderBinding({{object.target.oid}, object.value}, object.version).value;
        if (object.value.asnType == asn::Integer32 && !labels(row).enums.empty()) {
            MibObject enums;
            enums.enums = labels(row).enums;
            if (const std::optional<std::string> label = enumText(object.value.number, enums))
                return QString::fromStdString(*label);
        }
        return QString::fromStdString(text);
    }
    case RateColumn:
        if (object.step.outcome != Outcome::Rate)
            return QString();
        return scaled(object.step.value * factor(row)) + QLatin1Char(' ') + axisUnit(row);
    case PolledColumn:
        return object.polledMs == 0 ? QString()
                                    : QDateTime::fromMSecsSinceEpoch(object.polledMs).toString(QStringLiteral("HH:mm:ss"));
    case StateColumn:
        return stateText(row);
    default:
        return {};
    }
}

QVariant WatchListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(Headers[section]);
}
