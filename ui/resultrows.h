// SPDX-License-Identifier: MIT
#pragma once

#include "store/resultfile.h"
#include "ui/resultmodel.h"

#include <optional>
#include <string>
#include <string_view>

// The result list as the file writer reads it: views into the model's own
// bytes, nothing copied per row; with MIB Values on, the values as the list
// shows them (UTF-8).
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
