// SPDX-License-Identifier: MIT
#include "ui/results/rowsearch.h"

#include "ui/results/resultmodel.h"

#include <QElapsedTimer>

#include <string_view>

namespace {

// Looking at the clock costs about as much as a row.
constexpr qsizetype RowsBetweenClockReadings = 512;

} // namespace

RowSearch::RowSearch(const ResultModel &rows, QObject *parent) : QObject(parent), m_rows(rows)
{
    m_slice.setSingleShot(true);
    connect(&m_slice, &QTimer::timeout, this, &RowSearch::runSlice);
}

void RowSearch::start(const QString &text, Options options, qsizetype from, bool backwards)
{
    cancel();
    m_options = options;
    // Rows hold Latin-1 (ASCII in practice): folding that is folding Unicode.
    for (int c = 0; c < 256; ++c)
        m_fold[size_t(c)] = options.matchCase ? uchar(c) : uchar(QChar::toLower(char32_t(c)));
    m_needle.clear();
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            // No row holds such a character.
            m_left = 1;
            m_next = -1;
            m_slice.start(0);
            return;
        }
        m_needle.append(char(m_fold[c.unicode()]));
    }
    const qsizetype count = m_rows.storedRowCount();
    m_step = backwards ? -1 : 1;
    if (from < 0 || from >= count)
        m_next = backwards ? count - 1 : 0;
    else
        m_next = ((from + m_step) % count + count) % count;
    m_left = count;
    if (count == 0) {
        m_left = 1;
        m_next = -1;
    }
    // The first slice at once: a short list answers before the next event.
    runSlice();
}

void RowSearch::cancel()
{
    m_slice.stop();
    m_left = 0;
}

void RowSearch::runSlice()
{
    if (m_next < 0) { // nothing to look at
        m_left = 0;
        emit finished(-1);
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const qsizetype count = m_rows.storedRowCount();
    while (m_left > 0) {
        for (qsizetype n = 0; n < RowsBetweenClockReadings && m_left > 0; ++n) {
            const qsizetype row = m_next;
            --m_left;
            m_next = row + m_step;
            if (m_next == count)
                m_next = 0;
            else if (m_next < 0)
                m_next = count - 1;
            if (matches(row)) {
                m_left = 0;
                emit finished(row);
                return;
            }
        }
        if (m_left > 0 && clock.elapsed() >= SliceMs) {
            m_slice.start(0);
            return;
        }
    }
    emit finished(-1);
}

bool RowSearch::matches(qsizetype row) const
{
    for (int column = 0; column < ResultModel::ColumnCount; ++column) {
        if (fieldMatches(m_rows.field(row, column)))
            return true;
    }
    return false;
}

bool RowSearch::fieldMatches(QByteArrayView field) const
{
    const qsizetype n = m_needle.size();
    if (m_options.wholeValue && field.size() != n)
        return false;
    if (n > field.size())
        return false;
    if (m_options.matchCase && !m_options.wholeValue)
        return std::string_view(field.data(), size_t(field.size())).find(std::string_view(m_needle)) != std::string_view::npos;
    const auto *hay = reinterpret_cast<const uchar *>(field.data());
    const auto *needle = reinterpret_cast<const uchar *>(m_needle.constData());
    const qsizetype last = m_options.wholeValue ? 0 : field.size() - n;
    for (qsizetype i = 0; i <= last; ++i) {
        qsizetype j = 0;
        while (j < n && m_fold[hay[i + j]] == needle[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}
