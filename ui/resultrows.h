// SPDX-License-Identifier: MIT
#pragma once

#include "store/resultfile.h"
#include "ui/resultmodel.h"

#include <string_view>

// The result list as the file writer reads it: views into the model's own
// bytes, nothing copied per row.
class ResultRows final : public ResultSource
{
public:
    explicit ResultRows(const ResultModel &model) : m_model(model) {}

    int rowCount() const override { return int(m_model.storedRowCount()); }
    ResultTexts rowTexts(int row) const override
    {
        return {text(row, ResultModel::OidColumn), text(row, ResultModel::NameColumn),
                text(row, ResultModel::TypeColumn), text(row, ResultModel::ValueColumn)};
    }

private:
    std::string_view text(int row, int column) const
    {
        const QByteArrayView bytes = m_model.field(row, column);
        return {bytes.data(), size_t(bytes.size())};
    }

    const ResultModel &m_model;
};
