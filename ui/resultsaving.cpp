// SPDX-License-Identifier: MIT
#include "ui/resultsaving.h"

#include "store/resultfile.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"
#include "ui/results/resultrecording.h"
#include "ui/results/resultrows.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScopeGuard>

#include <optional>
#include <utility>

QString withFormatExtension(const QString &chosenPath, SaveFormat format)
{
    if (format == SaveFormat::ResultFile)
        return withTxtExtension(chosenPath);
    const QLatin1String extension(format == SaveFormat::Snmprec ? ".snmprec" : ".snmpwalk");
    return chosenPath.endsWith(extension, Qt::CaseInsensitive) ? chosenPath : chosenPath + extension;
}

StoreError ResultSaving::saveAs(QWidget *owner)
{
    QCoreApplication::processEvents();
    const QString initialName = m_fileName.isEmpty() ? QStringLiteral("*.txt") : m_fileName;
    const std::optional<SaveChoice> chosen = m_dialogs.askSaveChoice(owner, initialName, m_format);
    if (!chosen)
        return {};
    const QString previousName = std::exchange(m_fileName, withFormatExtension(chosen->path, chosen->format));
    const SaveFormat previousFormat = std::exchange(m_format, chosen->format);
    // The dialog asked about the name it returned only; the file actually
    // written may be another one that exists. Declined, nothing changes:
    // keeping the new name would let a later Save replace that file unasked.
    if (needsReplaceQuestion(chosen->path, m_fileName) && !m_dialogs.confirmReplace(owner, m_fileName)) {
        m_fileName = previousName;
        m_format = previousFormat;
        return {};
    }
    return write(m_fileName);
}

StoreError ResultSaving::write(const QString &fileName)
{
    m_results.flush();
    if (m_format != SaveFormat::ResultFile) {
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        return saveRecording(m_results, fileName,
                             m_format == SaveFormat::Snmprec ? RecordingFormat::Snmprec : RecordingFormat::WalkText);
    }
    ResultFile file;
    // A file that cannot be opened leaves the cursor as it was.
    if (StoreError failure = file.open(fileName))
        return failure;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    return file.write(ResultRows(m_results));
}
