// SPDX-License-Identifier: MIT
#include "ui/prometheuslaunch.h"

#include "ui/dialogs/dialogservice.h"
#include "ui/results/resultmodel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

void openPrometheusExport(DialogService &dialogs, QWidget *owner, ExportSource source, const QueryRequest &agent)
{
    PrometheusExport exporter(std::move(source), agent);
    dialogs.editPrometheusExport(owner, exporter);
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
