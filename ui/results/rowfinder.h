// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class FindBar;
class ListView;
class ResultModel;
class RowSearch;

// Find in the result list: the find bar's text searched from the current row
// on, forwards or backwards, the row found selected and shown. What the
// status line says of it comes as found().
class RowFinder final : public QObject
{
    Q_OBJECT

public:
    RowFinder(FindBar &bar, ListView &list, ResultModel &results, QObject *parent = nullptr);

    // The next (or previous) row with the bar's text; an empty text opens the bar instead.
    void find(bool backwards);

signals:
    // "Row n of m", or "Not found".
    void found(const QString &status);

private:
    void show(qsizetype row);
    void close();

    FindBar &m_bar;
    ListView &m_list;
    ResultModel &m_results;
    RowSearch *m_search;
};
