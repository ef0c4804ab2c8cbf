// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <array>

class ResultModel;

// Find in the result list: the next row (or the one before) whose OID, name,
// type or value holds a text, going round the list once. The rows' own bytes
// are searched, so a million rows take a fraction of a second; the search
// runs in slices of at most SliceMs on the GUI thread, the window's events
// handled between them.
class RowSearch : public QObject
{
    Q_OBJECT

public:
    static constexpr int SliceMs = 8;

    struct Options
    {
        bool matchCase = false;
        bool wholeValue = false; // a whole text (OID, name, type or value), not a part of one
    };

    explicit RowSearch(const ResultModel &rows, QObject *parent = nullptr);

    // Starts after row from (before it backwards); from -1 starts at the
    // first row (the last backwards). A search still running is given up.
    void start(const QString &text, Options options, qsizetype from, bool backwards);
    void cancel();
    bool isRunning() const { return m_left > 0; }

signals:
    // The row found, or -1.
    void finished(qsizetype row);

private:
    void runSlice();
    bool matches(qsizetype row) const;
    bool fieldMatches(QByteArrayView field) const;

    const ResultModel &m_rows;
    QByteArray m_needle; // Latin-1 as the rows, folded unless the case must match
    Options m_options;
    std::array<unsigned char, 256> m_fold{};
    qsizetype m_next = 0;
    qsizetype m_left = 0; // rows still to look at
    int m_step = 1;
    QTimer m_slice;
};
