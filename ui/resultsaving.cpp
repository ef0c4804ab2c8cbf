// SPDX-License-Identifier: MIT
#include "ui/resultsaving.h"

#include "store/resultfile.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"
#include "ui/results/resultrows.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScopeGuard>

#include <optional>
#include <utility>

StoreError ResultSaving::saveAs(QWidget *owner)
{
    QCoreApplication::processEvents();
    const QString initialName = m_fileName.isEmpty() ? QStringLiteral("*.txt") : m_fileName;
    const std::optional<QString> chosen = m_dialogs.askSaveFileName(owner, initialName);
    if (!chosen)
        return {};
    const QString previousName = std::exchange(m_fileName, withTxtExtension(*chosen));
    // The dialog asked about the name it returned only; the file actually
    // written may be another one that exists. Declined, nothing changes:
    // keeping the new name would let a later Save replace that file unasked.
    if (needsReplaceQuestion(*chosen, m_fileName) && !m_dialogs.confirmReplace(owner, m_fileName)) {
        m_fileName = previousName;
        return {};
    }
    return write(m_fileName);
}

StoreError ResultSaving::write(const QString &fileName)
{
    m_results.flush();
    ResultFile file;
    // A file that cannot be opened leaves the cursor as it was.
    if (StoreError failure = file.open(fileName))
        return failure;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    return file.write(ResultRows(m_results));
}
