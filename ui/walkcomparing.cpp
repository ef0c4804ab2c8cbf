// SPDX-License-Identifier: MIT
#include "ui/walkcomparing.h"

#include "ui/compare/comparemodel.h"
#include "ui/compare/comparewindow.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/resultopening.h"
#include "ui/results/resultmodel.h"
#include "ui/results/resultrecording.h"
#include "ui/runlifecycle.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The rows of the file into a list of their own; the run's events still pass.
class Apart final : public QuerySink
{
public:
    Apart(ResultModel &rows, QuerySink &run) : m_rows(rows), m_run(run) {}
    void inputsAccepted() override {}
    void appendRow(ResultRow &&row) override { m_rows.appendRow(std::move(row)); }
    void betweenRows() override { m_run.betweenRows(); }

private:
    ResultModel &m_rows;
    QuerySink &m_run;
};

} // namespace

void WalkComparing::compareWithFile()
{
    if (const std::optional<QString> path = m_dialogs.askRecordingFileName(&m_window, QStringLiteral("Compare With")))
        compareWithFile(*path);
}

void WalkComparing::compareWithFile(const QString &path)
{
    m_run.run([this, path](QuerySink &sink, const RunControl &control, RunLifecycle::JobOutcome &outcome) {
        ResultModel recorded;
        Apart apart(recorded, sink);
        const RecordingRead read = readRecording(QFile::encodeName(path).toStdString(), apart, control);
        if (read.end != QueryEnd::Completed)
            return read.end; // stopped or given up: nothing to compare
        checkRecordingRead(read, path);
        if (!m_compareWindow)
            m_compareWindow = new TCompareWindow(&m_window);
        m_compareWindow->showComparison(compareWalks(ResultWalk(recorded), ResultWalk(m_results)),
                                        QFileInfo(path).fileName(), QStringLiteral("the list"));
        m_compareWindow->show();
        m_compareWindow->raise();
        m_compareWindow->activateWindow();
        outcome.status = m_compareWindow->model()->summary();
        outcome.failure = skippedLinesMessage(read, path);
        return read.end;
    });
}
