// SPDX-License-Identifier: MIT
#include "engine/query/historyrule.h"

#include <QCollator>
#include <QLocale>

namespace {

constexpr int MaxHistory = 10;

} // namespace

void recordHistory(HistoryList &list)
{
    const QString text = list.currentText();
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (int i = 0; i < list.count(); ++i) {
        if (collator.compare(list.item(i), text) == 0) {
            list.moveItem(i, 0);
            list.selectItem(0);
            return;
        }
    }
    list.insertItem(0, text);
    // One entry only: a list loaded with more than 10 keeps its length.
    if (list.count() > MaxHistory)
        list.removeItem(list.count() - 1);
}
