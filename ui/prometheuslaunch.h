// SPDX-License-Identifier: MIT
#pragma once

#include "ui/prometheus/prometheusexport.h"

class DialogService;
class QAbstractItemView;
class ResultModel;
class QWidget;

// Export for Prometheus over what was chosen: the dialog edits the export
// the loaded MIBs propose, with what the agent's requests go with; over the
// active window, else over window.
void openPrometheusExport(DialogService &dialogs, QWidget *window, ExportSource source, const QueryRequest &agent);

// The list's selected rows, by their OIDs.
ExportSource selectedRows(const QAbstractItemView &list, const ResultModel &rows);
