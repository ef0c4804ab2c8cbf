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

WalkComparing::WalkComparing(QWidget &window, DialogService &dialogs, ResultModel &results, RunLifecycle &run)
    : m_window(window), m_dialogs(dialogs), m_results(results), m_run(run)
{
    m_run.setRunEnded([this](const QueryRequest &request, qsizetype first, qsizetype end) {
        if (request.operation == Operation::Walk)
            m_walks.push_back({request.agent, request.oids, first, end, QDateTime::currentDateTime()});
    });
    // Clear and Open empty the list: no walk is left in it.
    QObject::connect(&m_results, &QAbstractItemModel::modelReset, &m_window, [this] { m_walks.clear(); });
}

qsizetype WalkComparing::previousWalk() const
{
    if (m_walks.size() < 2)
        return -1;
    const Walk &last = m_walks.back();
    for (qsizetype i = qsizetype(m_walks.size()) - 2; i >= 0; --i) {
        const Walk &walk = m_walks[size_t(i)];
        if (walk.agent == last.agent && walk.oids == last.oids)
            return i;
    }
    return -1;
}

void WalkComparing::compareWithPreviousWalk()
{
    const qsizetype previous = previousWalk();
    if (previous < 0)
        return;
    const Walk &older = m_walks[size_t(previous)];
    const Walk &newer = m_walks.back();
    const auto seconds = [](const QDateTime &time) { return double(time.toMSecsSinceEpoch()) / 1000.0; };
    m_results.flush();
    const QString format = QStringLiteral("the walk of %1");
    showComparison(compareWalks(ResultWalk(m_results, older.first, older.end),
                                    ResultWalk(m_results, newer.first, newer.end), seconds(older.ended),
                                    seconds(newer.ended)),
                       format.arg(older.ended.toString(QStringLiteral("HH:mm:ss"))),
                       format.arg(newer.ended.toString(QStringLiteral("HH:mm:ss"))));
}

TCompareWindow &WalkComparing::showComparison(WalkComparison comparison, const QString &olderName,
                                              const QString &newerName)
{
    if (!m_compareWindow)
        m_compareWindow = new TCompareWindow(&m_window);
    m_compareWindow->showComparison(std::move(comparison), olderName, newerName);
    m_compareWindow->show();
    m_compareWindow->raise();
    m_compareWindow->activateWindow();
    return *m_compareWindow;
}

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
        outcome.status = showComparison(compareWalks(ResultWalk(recorded), ResultWalk(m_results)),
                                        QFileInfo(path).fileName(), QStringLiteral("the list"))
                             .model()
                             ->summary();
        outcome.failure = skippedLinesMessage(read, path);
        return read.end;
    });
}
