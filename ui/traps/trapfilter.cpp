// SPDX-License-Identifier: MIT
#include "ui/traps/trapfilter.h"

#include "ui/traps/traplistmodel.h"

#include <algorithm>
#include <cctype>

namespace {

// ASCII letters without their case; every other byte (UTF-8's too) as it is.
bool containsIgnoringAsciiCase(const std::string &text, const std::string &lowerNeedle)
{
    const auto same = [](char a, char b) { return std::tolower(uint8_t(a)) == uint8_t(b); };
    return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(), same) != text.end();
}

} // namespace

TrapFilter::TrapFilter(TrapListModel &notifications, QObject *parent)
    : QSortFilterProxyModel(parent), m_notifications(notifications)
{
    setSourceModel(&notifications);
}

void TrapFilter::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    // Mostly ASCII: compared byte by byte, without a QString a row.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    m_asciiNeedle = ascii ? text.toLower().toStdString() : std::string();
    m_ascii = ascii;
    invalidateRowsFilter();
}

bool TrapFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_text.isEmpty())
        return true;
    for (const int column : {TrapListModel::SourceColumn, TrapListModel::VersionColumn, TrapListModel::IdentityColumn,
                             TrapListModel::NameColumn, TrapListModel::SummaryColumn}) {
        const std::string text = m_notifications.text(sourceRow, column);
        if (m_ascii ? containsIgnoringAsciiCase(text, m_asciiNeedle)
                    : QString::fromUtf8(text.data(), qsizetype(text.size())).contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
