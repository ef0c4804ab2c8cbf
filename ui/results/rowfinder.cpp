// SPDX-License-Identifier: MIT
#include "ui/results/rowfinder.h"

#include "common/messages.h"
#include "ui/results/findbar.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/results/rowsearch.h"

RowFinder::RowFinder(FindBar &bar, ListView &list, ResultModel &results, QObject *parent)
    : QObject(parent), m_bar(bar), m_list(list), m_results(results), m_search(new RowSearch(results, this))
{
    connect(m_search, &RowSearch::finished, this, &RowFinder::show);
    connect(&m_results, &QAbstractItemModel::modelReset, m_search, &RowSearch::cancel);
    connect(&m_bar, &FindBar::closed, this, &RowFinder::close);
}

void RowFinder::find(bool backwards)
{
    if (m_bar.text().isEmpty()) {
        m_bar.open();
        return;
    }
    const QModelIndex current = m_list.currentIndex();
    m_search->start(m_bar.text(), m_bar.options(), current.isValid() ? current.row() : -1, backwards);
}

void RowFinder::show(qsizetype row)
{
    if (row < 0) {
        emit found(QString::fromLatin1(msg::NotFound));
        return;
    }
    m_results.flush();
    const QModelIndex at = m_results.index(int(row), 0);
    m_list.selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list.scrollTo(at);
    emit found(QString::asprintf(msg::RowOfRows, static_cast<long long>(row + 1),
                                 static_cast<long long>(m_results.storedRowCount())));
}

void RowFinder::close()
{
    m_search->cancel();
    m_bar.hide();
    m_list.setFocus();
}
