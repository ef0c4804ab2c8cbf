// SPDX-License-Identifier: MIT
#include "engine/tables/mibtables.h"

#include "engine/mib/mibinfo.h"

namespace {

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
        QString numbers;
        for (const uint32_t id : suffix)
            numbers += (numbers.isEmpty() ? QString() : QStringLiteral(".")) + QString::number(id);
        parts << numbers;
        while (parts.size() < qsizetype(m_index.objects.size()))
            parts << QString();
        return parts;
    }

private:
    MibEntryIndex m_index;
};

} // namespace

std::vector<TableSchema> MibTableProvider::findTables(const SortedOids &names) const
{
    std::vector<TableSchema> tables = m_shapes.findTables(names);
    for (TableSchema &table : tables) {
        std::optional<MibEntryIndex> index = mibEntryIndex(table.entry);
        if (!index || index->objects.empty())
            continue;
        table.indexParts.clear();
        for (const std::string &object : index->objects)
            table.indexParts << QString::fromStdString(object).remove(QStringLiteral("IMPLIED "));
        table.decoder = std::make_shared<MibIndexDecoder>(std::move(*index));
    }
    return tables;
}
