// SPDX-License-Identifier: MIT
#include "ui/resultopening.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/recording/linereader.h"
#include "store/resultfile.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"
#include "ui/runlifecycle.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace {

std::string shortName(const QString &path)
{
    return QFileInfo(path).fileName().toStdString();
}

// "1 row", "2 rows".
std::string counted(uint64_t n, const char *noun)
{
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

QString statusOf(const RecordingRead &read, const QString &path)
{
    const std::string name = shortName(path);
    const std::string rows = counted(read.rows, "row");
    if (read.end == QueryEnd::Stopped)
        return QString::fromStdString(formatMessage(msg::FileStopped, name.c_str(), rows.c_str()));
    if (read.skipped > 0)
        return QString::fromStdString(
            formatMessage(msg::FileRowsSkipped, name.c_str(), rows.c_str(), counted(read.skipped, "line").c_str()));
    return QString::fromStdString(formatMessage(msg::FileRows, name.c_str(), rows.c_str()));
}

} // namespace

void checkRecordingRead(const RecordingRead &read, const QString &path)
{
    const std::string name = shortName(path);
    if (read.refused)
        throwMessage(msg::NotARecording, name.c_str(), read.issues.empty() ? "" : (read.issues.front() + ".").c_str());
    if (read.fileError != 0 && read.format == RecordingFormat::Unknown) {
        if (read.fileError == LineReader::NotRegularFile)
            throwMessage(msg::NotARegularFile, name.c_str());
        if (read.fileError == LineReader::Damaged)
            throwMessage(msg::DamagedFile, name.c_str());
        throw AppError(fileErrorMessage(read.fileError, path).toStdString());
    }
    if (read.format == RecordingFormat::Unknown)
        throwMessage(msg::NoBindings, name.c_str());
}

std::string skippedLinesMessage(const RecordingRead &read, const QString &path)
{
    std::string message;
    if (read.fileError != 0) {
        const std::string why = read.fileError == LineReader::Damaged
                                    ? std::string("its compressed data breaks off")
                                    : fileErrorMessage(read.fileError, path).toStdString();
        message = formatMessage(msg::ReadBrokeOff, shortName(path).c_str(),
                                (unsigned long long)(read.rows + read.skipped), why.c_str());
    }
    if (read.skipped + read.remarks == 0)
        return message;
    if (!message.empty())
        message += ".\n";
    message += formatMessage(msg::LinesSkipped, counted(read.skipped, "line").c_str(), shortName(path).c_str());
    for (const std::string &issue : read.issues)
        message += "\n" + issue;
    if (const uint64_t more = read.skipped + read.remarks - read.issues.size(); more > 0)
        message += "\n" + formatMessage(msg::MoreLines, (unsigned long long)more);
    return message;
}

ResultOpening::ResultOpening(QWidget &window, DialogService &dialogs, ResultModel &results, RunLifecycle &run)
    : m_window(window), m_dialogs(dialogs), m_results(results), m_run(run)
{
    // Clear empties the list: it shows the file no more.
    QObject::connect(&m_results, &QAbstractItemModel::modelReset, &m_window, [this] {
        if (!m_clearing)
            showFile(QString());
    });
}

void ResultOpening::open()
{
    if (const std::optional<QString> path = m_dialogs.askRecordingFileName(&m_window, QStringLiteral("Open")))
        open(*path);
}

void ResultOpening::open(const QString &path)
{
    m_run.run([this, path](QuerySink &sink, const RunControl &control, RunLifecycle::JobOutcome &outcome) {
        const RecordingRead read = readRecording(QFile::encodeName(path).toStdString(), sink, control,
                                                 [this, &path](RecordingFormat) {
                                                     m_clearing = true;
                                                     m_results.clear();
                                                     m_clearing = false;
                                                     showFile(path);
                                                 });
        if (read.end == QueryEnd::Abandoned)
            return read.end;
        checkRecordingRead(read, path);
        outcome.status = statusOf(read, path);
        if (read.end != QueryEnd::Stopped)
            outcome.failure = skippedLinesMessage(read, path);
        return read.end;
    });
}

void ResultOpening::leaveFile()
{
    if (m_fileName.isEmpty())
        return;
    m_results.clear(); // the reset shows the file no more
}

void ResultOpening::showFile(const QString &path)
{
    m_fileName = path;
    m_window.setWindowTitle(path.isEmpty() ? QStringLiteral("Norvane")
                                           : QFileInfo(path).fileName() + QStringLiteral(" - Norvane"));
}
