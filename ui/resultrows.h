// SPDX-License-Identifier: MIT
#pragma once

#include "engine/tableschema.h"
#include "store/resultfile.h"
#include "ui/resultmodel.h"

#include <string_view>

// The result list as the file writer reads it: views into the model's own
// bytes, nothing copied per row. A row's line as Copy Row puts it on the
// clipboard is the same.
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
