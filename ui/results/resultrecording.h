// SPDX-License-Identifier: MIT
#pragma once

#include "engine/recording/recordinglines.h"
#include "engine/recording/walkdiff.h"
#include "store/storeerror.h"

#include <QString>

#include <string>
#include <unordered_map>

class ResultModel;

// The stored rows of the list as a recording is written from them.
class ResultBindings final : public BindingRows
{
public:
    explicit ResultBindings(const ResultModel &model) : m_model(model) {}

    size_t rowCount() const override;
    std::optional<SnmpVarBind> binding(size_t row) const override;
    std::string rowText(size_t row) const override;

private:
    const ResultModel &m_model;
};

// Stored rows first..end-1 of a list as a comparison reads them: the texts
// as stored (not the MIB Values), the OID texts whole.
class ResultWalk final : public WalkRows
{
public:
    ResultWalk(const ResultModel &model, qsizetype first, qsizetype end);
    explicit ResultWalk(const ResultModel &model);

    size_t rowCount() const override { return size_t(m_end - m_first); }
    std::string_view oid(size_t row) const override;
    std::string_view name(size_t row) const override { return text(row, 1); }
    std::string_view type(size_t row) const override { return text(row, 2); }
    std::string_view value(size_t row) const override { return text(row, 3); }
    std::string_view binding(size_t row) const override;

private:
    std::string_view text(size_t row, int column) const;

    const ResultModel &m_model;
    qsizetype m_first;
    qsizetype m_end;
    std::unordered_map<size_t, std::string> m_wholeOids; // of the rows whose OID text is cut
};

// Save As's recordings: the list written as snmpsim's or Net-SNMP walk text,
// atomically. Failures say what Save's do, or which row cannot be written.
StoreError saveRecording(const ResultModel &model, const QString &fileName, RecordingFormat format);
