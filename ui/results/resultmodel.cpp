// SPDX-License-Identifier: MIT
#include "ui/results/resultmodel.h"

#include "engine/mib/mibinfo.h"
#include "engine/mib/mibrender.h"
#include "engine/query/rowbinding.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <chrono>
#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Blocks are filled a row at a time, and every page would otherwise fault at
// the first row that reaches it, 256 times a text block: on this project's
// virtual machine two fifths of a GetBulk walk's CPU. One request maps the
// pages of a new block at once (Linux 5.14 on; elsewhere it fails and the
// pages fault as before).
void mapPages(const void *data, size_t bytes)
{
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
}

} // namespace

ResultModel::ResultModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &ResultModel::announceAfterQuiet);
}

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
        if (index.column() == ValueColumn)
            return valueText(index.row());
        const QByteArrayView bytes = field(index.row(), index.column());
        // Latin-1 maps byte for byte, so a save writes back exactly what was rendered.
        return QString::fromLatin1(bytes.data(), bytes.size());
    }
    case Qt::ToolTipRole: {
        // A value MIB Values could only guess says so.
        bool byLength = false;
        if (index.column() == ValueColumn && m_mibValues && mibValue(index.row(), &byLength) && byLength)
            return tr("Read as an address by its length: no InetAddressType for it among the rows");
        return {};
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

void ResultModel::setMibValues(bool on)
{
    if (on == m_mibValues)
        return;
    m_mibValues = on;
    if (m_announced > 0)
        emit dataChanged(index(0, ValueColumn), index(m_announced - 1, ValueColumn), {Qt::DisplayRole});
}

void ResultModel::mibsChanged()
{
    if (m_mibValues && m_announced > 0)
        emit dataChanged(index(0, ValueColumn), index(m_announced - 1, ValueColumn), {Qt::DisplayRole});
}

qint64 ResultModel::clockNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ResultModel::appendRow(ResultRow &&row)
{
    appendRow(std::move(row), clockNs());
}

void ResultModel::appendRow(ResultRow &&row, qint64 nowNs)
{
    const std::array<const std::string *, ColumnCount> texts = {&row.oid, &row.name, &row.type, &row.value};
    size_t bytes = 0;
    for (const std::string *text : texts)
        bytes += text->size();
    const quint32 bindingLength = quint32(row.binding.size());
    if (bindingLength > 0)
        bytes += sizeof bindingLength + bindingLength;
    if (m_textBlocks.empty() || m_textBlocks.back().capacity() - m_textBlocks.back().size() < bytes) {
        m_textBlocks.emplace_back();
        m_textBlocks.back().reserve(std::max(TextBlockBytes, bytes));
        mapPages(m_textBlocks.back().data(), m_textBlocks.back().capacity());
    }
    if (m_rows % RecordsPerBlock == 0) {
        m_recordBlocks.push_back(std::make_unique_for_overwrite<RowRecord[]>(size_t(RecordsPerBlock)));
        mapPages(m_recordBlocks.back().get(), size_t(RecordsPerBlock) * sizeof(RowRecord));
    }

    std::string &block = m_textBlocks.back();
    RowRecord &record = m_recordBlocks.back()[size_t(m_rows % RecordsPerBlock)];
    record.block = quint32(m_textBlocks.size() - 1);
    record.offset = quint32(block.size());
    for (int column = 0; column < ColumnCount; ++column) {
        record.length[size_t(column)] = quint32(texts[size_t(column)]->size());
        block.append(*texts[size_t(column)]); // within the reserved capacity: never reallocates
    }
    if (bindingLength > 0) {
        record.length[TypeColumn] |= HasBinding;
        block.append(reinterpret_cast<const char *>(&bindingLength), sizeof bindingLength);
        block.append(row.binding);
    }
    if (row.role == RowRole::AddressType)
        noteAddressType(row);
    ++m_rows;
    if (m_announcedNs < 0 || nowNs - m_announcedNs >= qint64(announceIntervalMs(m_announced)) * 1000000) {
        flush();
        return;
    }
    m_lastStoredNs = nowNs;
    if (!m_quietTimer.isActive())
        m_quietTimer.start(QuietMs);
}

void ResultModel::noteAddressType(const ResultRow &row)
{
    int64_t type = 0;
    const char *end = row.value.data() + row.value.size();
    if (row.type == "Integer32" && std::from_chars(row.value.data(), end, type).ptr == end)
        m_addressTypes[row.oid] = type;
}

void ResultModel::addCompanionRow(const ResultRow &row)
{
    if (row.role != RowRole::AddressType)
        return;
    noteAddressType(row);
    if (m_mibValues && m_announced > 0)
        emit dataChanged(index(0, ValueColumn), index(m_announced - 1, ValueColumn), {Qt::DisplayRole});
}

void ResultModel::announceAfterQuiet()
{
    if (!hasPendingRows())
        return;
    const qint64 quiet = (clockNs() - m_lastStoredNs) / 1000000;
    if (quiet >= QuietMs)
        flush();
    else
        m_quietTimer.start(int(QuietMs - quiet));
}

int ResultModel::announceIntervalMs(qsizetype shownRows)
{
    return int(std::clamp<qsizetype>(shownRows / 250, AnnounceIntervalMs, MaxAnnounceIntervalMs));
}

void ResultModel::flush()
{
    const qsizetype stored = storedRowCount();
    if (stored > m_announced) {
        beginInsertRows({}, m_announced, int(stored - 1));
        m_announced = int(stored);
        endInsertRows();
    }
    m_announcedNs = clockNs();
}

void ResultModel::clear()
{
    beginResetModel();
    // Give the memory back: a long walk may have grown these to hundreds of MB.
    std::vector<std::string>().swap(m_textBlocks);
    std::vector<std::unique_ptr<RowRecord[]>>().swap(m_recordBlocks);
    m_rows = 0;
    m_announced = 0;
    m_announcedNs = -1;
    m_addressTypes.clear();
    endResetModel();
}

const ResultModel::RowRecord &ResultModel::record(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < storedRowCount());
    return m_recordBlocks[size_t(row / RecordsPerBlock)][size_t(row % RecordsPerBlock)];
}

QByteArrayView ResultModel::field(qsizetype row, int column) const
{
    Q_ASSERT(column >= 0 && column < ColumnCount);
    const RowRecord &r = record(row);
    const char *text = m_textBlocks[r.block].data() + r.offset;
    for (int before = 0; before < column; ++before)
        text += r.length[size_t(before)] & ~HasBinding;
    return QByteArrayView(text, qsizetype(r.length[size_t(column)] & ~HasBinding));
}

QByteArrayView ResultModel::encodedBinding(qsizetype row) const
{
    const RowRecord &r = record(row);
    if (!(r.length[TypeColumn] & HasBinding))
        return {};
    const QByteArrayView value = field(row, ValueColumn);
    const char *at = value.data() + value.size();
    quint32 length = 0;
    std::memcpy(&length, at, sizeof length);
    return QByteArrayView(at + sizeof length, qsizetype(length));
}

std::optional<SnmpVarBind> ResultModel::binding(qsizetype row) const
{
    const auto view = [](QByteArrayView bytes) { return std::string_view(bytes.data(), size_t(bytes.size())); };
    return bindingFromRow(view(field(row, OidColumn)), view(field(row, TypeColumn)), view(field(row, ValueColumn)),
                          view(encodedBinding(row)));
}

std::optional<std::string> ResultModel::mibValue(qsizetype row, bool *byLength) const
{
    const std::optional<SnmpVarBind> binding = this->binding(row);
    if (!binding)
        return std::nullopt;
    const MibObject *object = mibObject(binding->name.ids);
    if (!object)
        return std::nullopt;
    const MibRowLookup addressType = [this](std::span<const uint32_t> oid) -> std::optional<int64_t> {
        std::string text;
        for (const uint32_t id : oid)
            text += "." + std::to_string(id);
        const auto found = m_addressTypes.find(text);
        return found != m_addressTypes.end() ? std::optional(found->second) : std::nullopt;
    };
    return mibValueText(*binding, *object, addressType, byLength);
}

QString ResultModel::valueText(qsizetype row) const
{
    if (m_mibValues) {
        if (const std::optional<std::string> text = mibValue(row))
            return QString::fromStdString(*text);
    }
    // Latin-1 maps byte for byte, so a save writes back exactly what was rendered.
    const QByteArrayView bytes = field(row, ValueColumn);
    return QString::fromLatin1(bytes.data(), bytes.size());
}

std::array<QString, ResultModel::ColumnCount> ResultModel::rowTexts(qsizetype row) const
{
    std::array<QString, ColumnCount> texts;
    for (int column = 0; column < ValueColumn; ++column) {
        const QByteArrayView bytes = field(row, column);
        texts[size_t(column)] = QString::fromLatin1(bytes.data(), bytes.size());
    }
    texts[ValueColumn] = valueText(row);
    return texts;
}

qsizetype ResultModel::memoryUsed() const
{
    size_t bytes = m_textBlocks.capacity() * sizeof(std::string)
        + m_recordBlocks.capacity() * sizeof(std::unique_ptr<RowRecord[]>)
        + m_recordBlocks.size() * size_t(RecordsPerBlock) * sizeof(RowRecord);
    for (const std::string &block : m_textBlocks)
        bytes += block.capacity();
    return qsizetype(bytes);
}
