// SPDX-License-Identifier: MIT
#include "ui/compare/comparemodel.h"

#include <QLocale>

#include <algorithm>

namespace {

QString latin1(const std::string &text)
{
    // The texts are the rows' bytes; Latin-1 shows them byte for byte, as the list does.
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool holds(const std::string &text, const QByteArray &needle)
{
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return lower(a) == b; })
           != text.end();
}

} // namespace

CompareModel::CompareModel(QObject *parent) : QAbstractTableModel(parent) {}

void CompareModel::setComparison(WalkComparison comparison)
{
    beginResetModel();
    m_comparison = std::move(comparison);
    m_shown.clear();
    endResetModel();
    refilter();
}

void CompareModel::setShow(Show show)
{
    if (show == m_show)
        return;
    m_show = show;
    refilter();
}

void CompareModel::setNameFilter(const QString &text)
{
    QByteArray filter = text.toLatin1().toLower();
    if (filter == m_filter)
        return;
    m_filter = std::move(filter);
    refilter();
}

bool CompareModel::shown(const WalkChange &change) const
{
    using Kind = WalkChange::Kind;
    const bool kind = m_show == Show::AllChanges || (m_show == Show::Changed && change.kind == Kind::Changed)
                      || (m_show == Show::Added && change.kind == Kind::Added)
                      || (m_show == Show::Removed && change.kind == Kind::Removed);
    return kind && (m_filter.isEmpty() || holds(change.name, m_filter) || holds(change.oid, m_filter));
}

void CompareModel::refilter()
{
    beginResetModel();
    m_shown.clear();
    for (size_t i = 0; i < m_comparison.changes.size(); ++i) {
        if (shown(m_comparison.changes[i]))
            m_shown.push_back(uint32_t(i));
    }
    endResetModel();
}

QString CompareModel::summary() const
{
    const QLocale c = QLocale::c();
    QString text = QStringLiteral("%1 same, %2 changed, %3 added, %4 removed")
                       .arg(m_comparison.same)
                       .arg(m_comparison.changed)
                       .arg(m_comparison.added)
                       .arg(m_comparison.removed);
    if (m_comparison.restarted)
        text += QStringLiteral("; the agent restarted between the walks");
    else if (m_comparison.seconds)
        text += QStringLiteral("; %1 s between the walks").arg(c.toString(*m_comparison.seconds, 'f', 2));
    return text;
}

int CompareModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int CompareModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CompareModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const bool number = index.column() == IncreaseColumn || index.column() == RateColumn;
    if (role == Qt::TextAlignmentRole)
        return number ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    const WalkChange &c = change(index.row());
    switch (index.column()) {
    case ChangeColumn:
        return c.kind == WalkChange::Kind::Added     ? QStringLiteral("Added")
               : c.kind == WalkChange::Kind::Removed ? QStringLiteral("Removed")
                                                     : QStringLiteral("Changed");
    case OidColumn:
        return latin1(c.oid);
    case NameColumn:
        return latin1(c.name);
    case TypeColumn:
        if (c.oldType.empty() || c.newType.empty() || c.oldType == c.newType)
            return latin1(c.newType.empty() ? c.oldType : c.newType);
        return latin1(c.oldType) + QStringLiteral(" \u2192 ") + latin1(c.newType);
    case OldValueColumn:
        return latin1(c.oldValue);
    case NewValueColumn:
        return latin1(c.newValue);
    case IncreaseColumn:
        return c.increase ? QVariant(QString::number(*c.increase)) : QVariant();
    case RateColumn:
        return c.perSecond ? QVariant(QLocale::c().toString(*c.perSecond, 'f', 2)) : QVariant();
    default:
        return {};
    }
}

QVariant CompareModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const captions[ColumnCount] = {"Change", "Object Identifier", "Name",  "Type",
                                                      "Old Value", "New Value", "Increase", "Per Second"};
    return section >= 0 && section < ColumnCount ? QVariant(QString::fromLatin1(captions[section])) : QVariant();
}
