// SPDX-License-Identifier: MIT
#pragma once

#include "store/storeerror.h"

#include <QString>
#include <QStringList>

#include <string>

// A grid as the CSV writer reads it: a header, then rows of cells.
class CsvSource
{
public:
    virtual ~CsvSource() = default;
    virtual QStringList header() const = 0;
    virtual int rowCount() const = 0;
    virtual QStringList row(int row) const = 0;
};

// One record of RFC 4180 CSV in UTF-8, with its CR LF: a field holding a
// comma, a double quote, CR or LF goes in double quotes, its quotes doubled.
std::string csvRecord(const QStringList &fields);

// Writes the header and every row as CSV records, UTF-8 without a byte-order
// mark. Replaces an existing file; a new one gets mode 0666 less the umask.
// A failed open, write or close comes back with the result file's message
// ("File access denied", "I/O error 112" ...).
StoreError writeCsvFile(const QString &fileName, const CsvSource &source);
