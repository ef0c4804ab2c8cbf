// SPDX-License-Identifier: MIT
#pragma once

#include "ui/prometheus/prometheusexport.h"

class DialogService;
class QAbstractItemView;
class ResultModel;
class QWidget;

// Export for Prometheus over what was chosen: the dialog edits the export
// the loaded MIBs propose, with what the agent's requests go with.
void openPrometheusExport(DialogService &dialogs, QWidget *owner, ExportSource source, const QueryRequest &agent);

// The list's selected rows, by their OIDs.
ExportSource selectedRows(const QAbstractItemView &list, const ResultModel &rows);
