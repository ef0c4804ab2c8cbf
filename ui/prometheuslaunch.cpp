// SPDX-License-Identifier: MIT
#include "ui/prometheuslaunch.h"

#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>

void openPrometheusExport(DialogService &dialogs, QWidget *window, ExportSource source, const QueryRequest &agent)
{
    PrometheusExport exporter(std::move(source), agent);
    // Over the window the export was asked from: the MIB Tree, the Table View or the main window.
    dialogs.editPrometheusExport(QApplication::activeWindow() ? QApplication::activeWindow() : window, exporter);
}

ExportSource selectedRows(const QAbstractItemView &list, const ResultModel &rows)
{
    ExportSource source;
    for (const QModelIndex &index : list.selectionModel()->selectedRows()) {
        const QByteArrayView oid = rows.field(index.row(), ResultModel::OidColumn);
        source.oids << QString::fromLatin1(oid.data(), oid.size());
    }
    source.description = QObject::tr("%n selected row(s)", nullptr, int(source.oids.size()));
    return source;
}
