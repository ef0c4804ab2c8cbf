// SPDX-License-Identifier: MIT
#include "resultmodel.h"

ResultModel::ResultModel(QObject *parent) : QAbstractTableModel(parent) {}

void ResultModel::setRowIcon(const QIcon &icon)
{
    m_rowIcon = icon;
    if (m_announced > 0)
        emit dataChanged(index(0, OidColumn), index(m_announced - 1, OidColumn), {Qt::DecorationRole});
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const QByteArrayView bytes = field(index.row(), index.column());
        // Latin-1 maps byte for byte, so a save writes back exactly what was rendered.
        return QString::fromLatin1(bytes.data(), bytes.size());
    }
    case Qt::DecorationRole:
        if (index.column() == OidColumn && !m_rowIcon.isNull())
            return m_rowIcon;
        return {};
    default:
        return {};
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case OidColumn:
        return QStringLiteral("Object Identifier");
    case NameColumn:
        return QStringLiteral("Name");
    case TypeColumn:
        return QStringLiteral("Type");
    case ValueColumn:
        return QStringLiteral("Value");
    default:
        return {};
    }
}

void ResultModel::appendRow(ResultRow &&row)
{
    for (const std::string *text : {&row.oid, &row.name, &row.type, &row.value}) {
        m_text.append(*text);
        m_bounds.push_back(m_text.size());
    }
    if (!m_sinceAnnounce.isValid() || m_sinceAnnounce.elapsed() >= AnnounceIntervalMs)
        flush();
}

void ResultModel::flush()
{
    const qsizetype stored = storedRowCount();
    if (stored > m_announced) {
        beginInsertRows({}, m_announced, int(stored - 1));
        m_announced = int(stored);
        endInsertRows();
    }
    m_sinceAnnounce.start();
}

void ResultModel::clear()
{
    beginResetModel();
    // Give the memory back: a long walk may have grown these to hundreds of MB.
    std::string().swap(m_text);
    std::vector<quint64>().swap(m_bounds);
    m_announced = 0;
    m_sinceAnnounce.invalidate();
    endResetModel();
}

QByteArrayView ResultModel::field(qsizetype row, int column) const
{
    Q_ASSERT(row >= 0 && row < storedRowCount() && column >= 0 && column < ColumnCount);
    const size_t i = size_t(row) * ColumnCount + size_t(column);
    const quint64 begin = i == 0 ? 0 : m_bounds[i - 1];
    return QByteArrayView(m_text.data() + begin, qsizetype(m_bounds[i] - begin));
}

std::array<QString, ResultModel::ColumnCount> ResultModel::rowTexts(qsizetype row) const
{
    std::array<QString, ColumnCount> texts;
    for (int column = 0; column < ColumnCount; ++column) {
        const QByteArrayView bytes = field(row, column);
        texts[size_t(column)] = QString::fromLatin1(bytes.data(), bytes.size());
    }
    return texts;
}

qsizetype ResultModel::memoryUsed() const
{
    return qsizetype(m_text.capacity() + m_bounds.capacity() * sizeof(quint64));
}
