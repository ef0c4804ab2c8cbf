// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The item list of one input combo box, most recent first: what the query
// run's history rule changes and the settings store saves and reloads. Texts
// read from the store carry bytes that are not UTF-8 as common/bytetext.h
// shows them.
class HistoryList
{
public:
    virtual ~HistoryList() = default;
    virtual QString currentText() const = 0; // the box's text as typed
    virtual int count() const = 0;
    virtual QString item(int index) const = 0;
    virtual void moveItem(int from, int to) = 0;
    virtual void insertItem(int index, const QString &text) = 0; // keeps selection and text
    virtual void removeItem(int index) = 0;
    virtual void selectItem(int index) = 0; // the box then shows that entry's text
};
