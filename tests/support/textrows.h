// SPDX-License-Identifier: MIT
#pragma once

// A result list of fixed texts, as the file writer reads one, the file it
// must make of them, and the writer driven as the window drives it. For the
// tests that link the store library.

#include "store/resultfile.h"

#include <QByteArray>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

class TextRows final : public ResultSource
{
public:
    using Row = std::array<std::string, 4>;

    TextRows() = default;
    TextRows(std::initializer_list<Row> list) : rows(list) {}
    TextRows(size_t count, const Row &row) : rows(count, row) {}

    int rowCount() const override { return int(rows.size()); }
    ResultTexts rowTexts(int row) const override
    {
        const Row &r = rows[size_t(row)];
        return {r[0], r[1], r[2], r[3]};
    }

    // "oid | name | type | value" and CR LF a row.
    QByteArray text() const
    {
        QByteArray out;
        for (const Row &r : rows)
            out += QByteArray::fromStdString(r[0] + " | " + r[1] + " | " + r[2] + " | " + r[3] + "\r\n");
        return out;
    }

    std::vector<Row> rows;
};

// Which steps a write took, as the window takes them: the busy cursor goes up
// once open() succeeded and comes down when write() returned. A file that
// cannot be opened must fail at open(), before the cursor changes.
struct WriteSteps
{
    int opened = 0;
    int finished = 0;
    bool writing = false;
};

// The message of the failure, empty without one; with row, also the row
// write() reported it at.
inline QString writeResult(const QString &fileName, const ResultSource &rows, WriteSteps &steps,
                           const WriteFunction &write = {}, int *row = nullptr)
{
    ResultFile file(write);
    if (const StoreError failure = file.open(fileName))
        return failure.message();
    ++steps.opened;
    steps.writing = true;
    const StoreError failure = file.write(rows);
    steps.writing = false;
    ++steps.finished;
    if (row)
        *row = file.failedRow();
    return failure.message();
}
