// SPDX-License-Identifier: MIT
#include "store/csvfile.h"

#include "store/filesafety.h"
#include "store/resultfile.h"

#include <cerrno>
#include <fcntl.h>

namespace {

// The text goes out in writes of about this size.
constexpr size_t ChunkBytes = 64 * 1024;

StoreError failed(int err, const QString &fileName)
{
    return StoreError(err, fileErrorMessage(err, fileName));
}

} // namespace

std::string csvRecord(const QStringList &fields)
{
    std::string record;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += ',';
        const QByteArray field = fields[i].toUtf8();
        if (field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n')) {
            record += '"';
            record += QByteArray(field).replace('"', "\"\"").toStdString();
            record += '"';
        } else {
            record += field.toStdString();
        }
    }
    record += "\r\n";
    return record;
}

StoreError writeCsvFile(const QString &fileName, const CsvSource &source)
{
    UniqueFd fd(::open(nativePath(fileName).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.isOpen())
        return failed(errno, fileName);
    std::string text = csvRecord(source.header());
    const auto flush = [&] {
        const StoreError failure = writeAll(fd.get(), text.data(), text.size(), {});
        text.clear();
        return failure;
    };
    const int rows = source.rowCount();
    for (int row = 0; row < rows; ++row) {
        text += csvRecord(source.row(row));
        if (text.size() >= ChunkBytes) {
            if (const StoreError failure = flush())
                return failed(failure.reason(), fileName);
        }
    }
    if (const StoreError failure = flush())
        return failed(failure.reason(), fileName);
    if (const StoreError failure = fd.close(); failure && failure.reason() != EINTR)
        return failed(failure.reason(), fileName);
    return {};
}
