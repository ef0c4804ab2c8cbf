// SPDX-License-Identifier: MIT
#pragma once

// An input box's item list without a window, for the tests and benchmarks
// that run the history rule or the settings load on their own. It keeps what
// the window's box keeps: inserting and removing leave the text alone and the
// selection on the entry it was on; removing the selected entry leaves none
// selected; selecting shows the entry's text. A move is a removal and an
// insertion, as the window does it.

#include "common/history.h"

#include <QStringList>

class FakeHistory final : public HistoryList
{
public:
    FakeHistory() = default;
    explicit FakeHistory(QStringList entries, QString shown = {}) : items(std::move(entries)), text(std::move(shown))
    {
    }

    QStringList items;
    QString text; // what the box shows
    int selected = -1;

    QString currentText() const override { return text; }
    int count() const override { return int(items.size()); }
    QString item(int index) const override { return items.at(index); }
    void moveItem(int from, int to) override
    {
        if (from == to)
            return;
        const QString entry = items.at(from);
        removeItem(from);
        insertItem(to, entry);
    }
    void insertItem(int index, const QString &entry) override
    {
        items.insert(index, entry);
        if (selected >= index)
            ++selected;
    }
    void removeItem(int index) override
    {
        items.removeAt(index);
        if (selected == index)
            selected = -1;
        else if (selected > index)
            --selected;
    }
    void selectItem(int index) override
    {
        selected = index;
        text = items.at(index);
    }
};
