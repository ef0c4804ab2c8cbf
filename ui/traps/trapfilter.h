// SPDX-License-Identifier: MIT
#pragma once

#include <QSortFilterProxyModel>

#include <string>

class TrapListModel;

// The notifications whose source, version, community or user, name or
// bindings hold the filter text (any letter case); all of them without one.
// In the order they came.
class TrapFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TrapFilter(TrapListModel &notifications, QObject *parent = nullptr);
    void setText(const QString &text);
    const QString &text() const { return m_text; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    TrapListModel &m_notifications;
    QString m_text;
    bool m_ascii = true;
    std::string m_asciiNeedle; // the text in lower case, when it is ASCII
};
