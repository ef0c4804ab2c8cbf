// SPDX-License-Identifier: MIT
#include "ui/results/resultrecording.h"

#include "store/recordingfile.h"
#include "ui/results/resultmodel.h"

namespace {

std::string_view view(QByteArrayView bytes)
{
    return {bytes.data(), size_t(bytes.size())};
}

class Lines final : public LineSource
{
public:
    explicit Lines(RecordingLines &lines) : m_lines(lines) {}
    bool nextLine(std::string &line) override { return m_lines.next(line); }

private:
    RecordingLines &m_lines;
};

} // namespace

size_t ResultBindings::rowCount() const
{
    return size_t(m_model.storedRowCount());
}

std::optional<SnmpVarBind> ResultBindings::binding(size_t row) const
{
    return m_model.binding(qsizetype(row));
}

std::string ResultBindings::rowText(size_t row) const
{
    const auto field = [&](int column) { return std::string(view(m_model.field(qsizetype(row), column))); };
    return field(ResultModel::OidColumn) + " | " + field(ResultModel::TypeColumn) + " | "
           + field(ResultModel::ValueColumn);
}

ResultWalk::ResultWalk(const ResultModel &model) : ResultWalk(model, 0, model.storedRowCount()) {}

ResultWalk::ResultWalk(const ResultModel &model, qsizetype first, qsizetype end)
    : m_model(model), m_first(first), m_end(end)
{
    // A name of more than 255 characters is cut in its row; its binding has it whole.
    for (qsizetype row = first; row < end; ++row) {
        if (m_model.encodedBinding(row).isEmpty() || m_model.field(row, ResultModel::OidColumn).size() < 256)
            continue;
        if (const std::optional<SnmpVarBind> binding = m_model.binding(row)) {
            std::string oid;
            for (const uint32_t id : binding->name.ids)
                oid += '.' + std::to_string(id);
            m_wholeOids.emplace(size_t(row - first), std::move(oid));
        }
    }
}

std::string_view ResultWalk::oid(size_t row) const
{
    if (!m_wholeOids.empty()) {
        if (const auto whole = m_wholeOids.find(row); whole != m_wholeOids.end())
            return whole->second;
    }
    return text(row, ResultModel::OidColumn);
}

std::string_view ResultWalk::binding(size_t row) const
{
    return view(m_model.encodedBinding(m_first + qsizetype(row)));
}

std::string_view ResultWalk::text(size_t row, int column) const
{
    return view(m_model.field(m_first + qsizetype(row), column));
}

StoreError saveRecording(const ResultModel &model, const QString &fileName, RecordingFormat format)
{
    const ResultBindings rows(model);
    RecordingLines lines;
    if (const std::string problem = lines.prepare(rows, format); !problem.empty())
        return StoreError::message(QString::fromStdString(problem));
    Lines source(lines);
    return writeRecordingFile(fileName, source);
}
