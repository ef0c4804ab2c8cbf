// SPDX-License-Identifier: MIT
#include "engine/tables/mibtables.h"

#include "engine/mib/mibinfo.h"

#include <algorithm>
#include <map>

namespace {

QString dottedIds(OidSpan ids)
{
    QString numbers;
    for (const uint32_t id : ids)
        numbers += (numbers.isEmpty() ? QString() : QStringLiteral(".")) + QString::number(id);
    return numbers;
}

// The entry's INDEX clause; a suffix that does not fit it shows its numbers
// in the first part.
class MibIndexDecoder final : public IndexDecoder
{
public:
    explicit MibIndexDecoder(MibEntryIndex index) : m_index(std::move(index)) {}

    QStringList decode(OidSpan suffix) const override
    {
        QStringList parts;
        if (const auto decoded = mibDecodeIndex(m_index, suffix)) {
            for (const MibIndexPart &part : *decoded)
                parts << QString::fromStdString(part.value);
            return parts;
        }
        parts << dottedIds(suffix);
        while (parts.size() < qsizetype(m_index.objects.size()))
            parts << QString();
        return parts;
    }

private:
    MibEntryIndex m_index;
};

// An entry whose INDEX the MIB does not give: every sub-identifier.
class NumbersDecoder final : public IndexDecoder
{
public:
    QStringList decode(OidSpan suffix) const override { return {dottedIds(suffix)}; }
};

// A table being put together: its schema, its columns by number.
struct Assembly
{
    TableSchema schema;
    std::map<uint32_t, QString> columns;
};

// The label in "MODULE::label", or the dotted OID.
QString tableName(OidSpan table)
{
    const QString name = ShapeTableProvider::mibObjectName(table);
    const qsizetype colons = name.indexOf(QLatin1String("::"));
    return colons < 0 ? QLatin1Char('.') + dottedIds(table) : name.mid(colons + 2);
}

// The column of a table the MIB defines that holds this OID (the column
// itself or a name below it).
const MibObject *mibColumn(OidSpan oid)
{
    const MibObject *object = mibObject(oid);
    return object && object->kind == MibKind::Column && object->oid.size() >= 2 ? object : nullptr;
}

void addMibColumn(std::map<std::vector<uint32_t>, Assembly> &tables, const MibObject &column)
{
    const std::vector<uint32_t> entry(column.oid.begin(), column.oid.end() - 1);
    Assembly &table = tables[entry];
    if (table.schema.entry.empty()) {
        table.schema.entry = entry;
        table.schema.name = tableName(OidSpan(entry).first(entry.size() - 1));
    }
    table.columns[column.oid.back()] = QString::fromStdString(column.label);
}

} // namespace

std::vector<TableSchema> MibTableProvider::findTables(const SortedOids &names) const
{
    // The shapes' tables, each column moved to the table whose column the
    // MIB says it is: a shape found inside a column (its index read as
    // entry and column) is no table of its own.
    std::map<std::vector<uint32_t>, Assembly> tables;
    for (TableSchema &shape : m_shapes.findTables(names)) {
        std::vector<uint32_t> oid = shape.entry;
        oid.push_back(0);
        for (const TableColumn &column : shape.columns) {
            oid.back() = column.number;
            if (const MibObject *defined = mibColumn(oid)) {
                addMibColumn(tables, *defined);
                continue;
            }
            Assembly &table = tables[shape.entry];
            if (table.schema.entry.empty())
                table.schema = shape;
            table.columns[column.number] = column.name;
        }
    }
    // Instances of a MIB column no shape holds: a table of one row, or of one cell.
    std::vector<std::pair<size_t, size_t>> held;
    for (const auto &[entry, table] : tables)
        held.push_back(names.under(entry));
    std::ranges::sort(held);
    auto next = held.begin();
    for (size_t i = 0; i < names.size();) {
        while (next != held.end() && next->second <= i)
            ++next;
        if (next != held.end() && next->first <= i) {
            i = next->second;
            continue;
        }
        const OidSpan name = names.oid(i);
        const MibObject *object = mibObject(name);
        if (!object || object->oid.size() >= name.size()) {
            ++i;
            continue;
        }
        if (object->kind == MibKind::Column && object->oid.size() >= 2)
            addMibColumn(tables, *object);
        i = names.under(object->oid).second; // the object's other instances
    }

    std::vector<TableSchema> schemas;
    for (auto &[entry, table] : tables) {
        TableSchema &schema = table.schema;
        schema.columns.clear();
        for (const auto &[number, name] : table.columns)
            schema.columns.push_back({number, name});
        if (std::optional<MibEntryIndex> index = mibEntryIndex(entry); index && !index->objects.empty()) {
            schema.indexParts.clear();
            for (const std::string &object : index->objects)
                schema.indexParts << QString::fromStdString(object).remove(QStringLiteral("IMPLIED "));
            schema.decoder = std::make_shared<MibIndexDecoder>(std::move(*index));
        } else if (!schema.decoder) {
            schema.indexParts = {QStringLiteral("Index")};
            schema.decoder = std::make_shared<NumbersDecoder>();
        }
        schemas.push_back(std::move(schema));
    }
    return schemas;
}
