// SPDX-License-Identifier: MIT
#pragma once

#include "engine/tables/tableschema.h"
#include "store/resultfile.h"
#include "ui/results/resultmodel.h"

#include <optional>
#include <string>
#include <string_view>

// The result list as the file writer reads it: views into the model's own
// bytes, nothing copied per row; with MIB Values on, the values as the list
// shows them (UTF-8). A row's line as Copy Row puts it on the clipboard is
// the same.
class ResultRows final : public ResultSource
{
public:
    explicit ResultRows(const ResultModel &model) : m_model(model) {}

    int rowCount() const override { return int(m_model.storedRowCount()); }
    ResultTexts rowTexts(int row) const override
    {
        std::string_view value = text(row, ResultModel::ValueColumn);
        if (m_model.mibValues()) {
            if (std::optional<std::string> shown = m_model.mibValue(row))
                value = m_value = std::move(*shown);
        }
        return {text(row, ResultModel::OidColumn), text(row, ResultModel::NameColumn),
                text(row, ResultModel::TypeColumn), value};
    }

private:
    std::string_view text(int row, int column) const
    {
        const QByteArrayView bytes = m_model.field(row, column);
        return {bytes.data(), size_t(bytes.size())};
    }

    const ResultModel &m_model;
    mutable std::string m_value; // the last MIB value handed out
};

// The OID texts of the rows the list shows, as the table finder reads them.
class ResultOids final : public OidSource
{
public:
    explicit ResultOids(const ResultModel &model) : m_model(model) {}

    int rowCount() const override { return m_model.rowCount(); }
    std::string_view oidText(int row) const override
    {
        const QByteArrayView bytes = m_model.field(row, ResultModel::OidColumn);
        return {bytes.data(), size_t(bytes.size())};
    }

private:
    const ResultModel &m_model;
};
