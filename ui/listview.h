// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeView>

// The result list: a read-only report view, one selected row at most, whose
// selection stays visible while another control has the focus.
class ListView : public QTreeView
{
    Q_OBJECT

public:
    explicit ListView(QWidget *parent = nullptr);

signals:
    // Return or Enter, whatever the modifiers.
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
