// SPDX-License-Identifier: MIT
#include "ui/tableview/tablemodel.h"

#include "ui/results/resultmodel.h"

#include <QMap>

#include <algorithm>

namespace {

// How a column sorts: by the first kind every non-empty text of it fits.
enum class SortKind { Integers, Decimals, Dotted, LeadingNumber, Text };

bool isDigits(QStringView s)
{
    return !s.isEmpty() && std::ranges::all_of(s, [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QStringView unsigned_(QStringView s)
{
    return s.startsWith(u'-') ? s.mid(1) : s;
}

bool isInteger(QStringView s)
{
    return isDigits(unsigned_(s));
}

bool isDecimal(QStringView s)
{
    const QStringView magnitude = unsigned_(s);
    const qsizetype dot = magnitude.indexOf(u'.');
    return dot < 0 ? isDigits(magnitude) : isDigits(magnitude.left(dot)) && isDigits(magnitude.mid(dot + 1));
}

// "10.0.0.1", ".1.3.6.1.2.1", "60.10.204.88.1"
bool isDotted(QStringView s)
{
    if (s.startsWith(u'.'))
        s = s.mid(1);
    for (const QStringView part : s.split(u'.')) {
        if (!isDigits(part))
            return false;
    }
    return true;
}

// TimeTicks: "12345678 (1 days, 10 hours, 17 minutes, 36 seconds)"
QStringView leadingNumber(QStringView s)
{
    const qsizetype space = s.indexOf(QLatin1String(" ("));
    return space > 0 && isDigits(s.left(space)) ? s.left(space) : QStringView();
}

int compareDigits(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// Whole numbers of any length, exactly (Counter64 too).
int compareIntegers(QStringView a, QStringView b)
{
    const bool negativeA = a.startsWith(u'-');
    const bool negativeB = b.startsWith(u'-');
    if (negativeA != negativeB)
        return negativeA ? -1 : 1;
    const int magnitude = compareDigits(unsigned_(a), unsigned_(b));
    return negativeA ? -magnitude : magnitude;
}

int compareDotted(QStringView a, QStringView b)
{
    const QList<QStringView> x = (a.startsWith(u'.') ? a.mid(1) : a).split(u'.');
    const QList<QStringView> y = (b.startsWith(u'.') ? b.mid(1) : b).split(u'.');
    for (qsizetype i = 0; i < std::min(x.size(), y.size()); ++i) {
        if (const int c = compareDigits(x[i], y[i]); c != 0)
            return c;
    }
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

SortKind sortKind(const std::vector<QString> &texts, bool indexPart)
{
    // An index "1.5" is two numbers, not one and a half.
    const std::pair<SortKind, bool (*)(QStringView)> kinds[] = {
        {SortKind::Integers, isInteger},
        {SortKind::Decimals, isDecimal},
        {SortKind::Dotted, isDotted},
        {SortKind::LeadingNumber, [](QStringView s) { return !leadingNumber(s).isEmpty(); }},
    };
    for (const auto &[kind, fits] : kinds) {
        if (indexPart && kind == SortKind::Decimals)
            continue;
        if (std::ranges::all_of(texts, [fits](const QString &t) { return t.isEmpty() || fits(t); }))
            return kind;
    }
    return SortKind::Text;
}

// Empty cells first, then by the column's kind.
int compareTexts(SortKind kind, const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return int(b.isEmpty()) - int(a.isEmpty());
    switch (kind) {
    case SortKind::Integers:
        return compareIntegers(a, b);
    case SortKind::Decimals: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case SortKind::Dotted:
        return compareDotted(a, b);
    case SortKind::LeadingNumber:
        return compareDigits(leadingNumber(a), leadingNumber(b));
    case SortKind::Text:
        break;
    }
    return a.compare(b, Qt::CaseInsensitive);
}

} // namespace

TableGridModel::TableGridModel(const QAbstractItemModel &results, const OidSource &oids, QObject *parent)
    : QAbstractTableModel(parent), m_results(results), m_oids(oids), m_table(std::make_shared<FoundTable>())
{
}

void TableGridModel::setTable(std::shared_ptr<const FoundTable> table)
{
    beginResetModel();
    m_table = std::move(table);
    m_decodedRow = -1;
    arrange();
    endResetModel();
}

int TableGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int TableGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table->schema.decoder ? 0 : indexColumnCount() + m_table->columnCount();
}

QVariant TableGridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return cellText(index.row(), index.column());
}

QVariant TableGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return headerTexts().at(section);
}

QStringList TableGridModel::headerTexts() const
{
    QStringList columns;
    for (const TableColumn &column : m_table->schema.columns)
        columns << column.name;
    // An INDEX object that is a column as well (ifIndex) heads two columns:
    // a CSV reader keyed by the header would keep only one of them.
    QStringList texts;
    for (const QString &part : m_table->schema.indexParts)
        texts << (columns.contains(part) ? QStringLiteral("index: ") + part : part);
    return texts + columns;
}

int TableGridModel::resultRow(const QModelIndex &cell) const
{
    if (!cell.isValid() || cell.row() >= rowCount() || cell.column() < indexColumnCount() || cell.column() >= columnCount())
        return -1;
    return m_table->cell(m_shown[size_t(cell.row())], cell.column() - indexColumnCount());
}

QString TableGridModel::gridText(int gridRow, int column) const
{
    if (column < indexColumnCount()) {
        if (m_decodedRow != gridRow) {
            const std::vector<uint32_t> suffix = m_table->indexOf(gridRow, m_oids);
            m_decoded = m_table->schema.decoder->decode(suffix);
            m_decodedRow = gridRow;
        }
        return m_decoded.value(column);
    }
    const int32_t row = m_table->cell(gridRow, column - indexColumnCount());
    if (row < 0)
        return {};
    return m_results.index(row, ResultModel::ValueColumn).data().toString();
}

QString TableGridModel::cellText(int row, int column) const
{
    return gridText(m_shown[size_t(row)], column);
}

QStringList TableGridModel::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column)
        texts << cellText(row, column);
    return texts;
}

QString TableGridModel::copyText(const QModelIndexList &cells) const
{
    QMap<int, QList<int>> rows; // row -> its columns, in order
    for (const QModelIndex &cell : cells)
        rows[cell.row()].append(cell.column());
    QStringList lines;
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        std::ranges::sort(*it);
        QStringList texts;
        for (const int column : *it)
            texts << cellText(it.key(), column);
        lines << texts.join(u'\t');
    }
    return lines.join(u'\n');
}

void TableGridModel::setFilterText(const QString &text)
{
    if (text == m_filter)
        return;
    beginResetModel();
    m_filter = text;
    arrange();
    endResetModel();
}

void TableGridModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int32_t> gridRows;
    for (const QModelIndex &index : before)
        gridRows.push_back(m_shown[size_t(index.row())]);
    m_sortColumn = column;
    m_sortOrder = order;
    arrange();
    std::vector<int> position(size_t(m_table->rowCount), -1);
    for (size_t i = 0; i < m_shown.size(); ++i)
        position[size_t(m_shown[i])] = int(i);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(position[size_t(gridRows[size_t(i)])], before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TableGridModel::arrange()
{
    m_shown.clear();
    const int columns = columnCount();
    for (int gridRow = 0; gridRow < m_table->rowCount; ++gridRow) {
        bool keep = m_filter.isEmpty();
        for (int column = 0; column < columns && !keep; ++column)
            keep = gridText(gridRow, column).contains(m_filter, Qt::CaseInsensitive);
        if (keep)
            m_shown.push_back(gridRow);
    }
    if (m_sortColumn < 0 || m_sortColumn >= columns)
        return;
    std::vector<QString> keys(size_t(m_table->rowCount));
    std::vector<QString> present;
    for (const int32_t gridRow : m_shown) {
        keys[size_t(gridRow)] = gridText(gridRow, m_sortColumn);
        present.push_back(keys[size_t(gridRow)]);
    }
    const SortKind kind = sortKind(present, m_sortColumn < indexColumnCount());
    const int direction = m_sortOrder == Qt::AscendingOrder ? 1 : -1;
    std::ranges::stable_sort(m_shown, [&](int32_t a, int32_t b) {
        return direction * compareTexts(kind, keys[size_t(a)], keys[size_t(b)]) < 0;
    });
}
