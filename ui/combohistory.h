// SPDX-License-Identifier: MIT
#pragma once

#include "common/history.h"

class QComboBox;

// One input box's item list as the query run's history rule sees it.
class ComboHistory final : public HistoryList
{
public:
    explicit ComboHistory(QComboBox *box) : m_box(box) {}

    QString currentText() const override;
    int count() const override;
    QString item(int index) const override;
    void moveItem(int from, int to) override;
    void insertItem(int index, const QString &text) override;
    void removeItem(int index) override;
    void selectItem(int index) override;

private:
    QComboBox *m_box;
};
