// SPDX-License-Identifier: MIT
#pragma once

#include <QStatusBar>

class QLabel;

// The window's status line: either one simple text over the whole width, or
// its single panel (no bevel, at least 50 pixels) that shows hints.
class StatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget *parent = nullptr);

    bool simplePanel() const { return m_simplePanel; }
    void setSimplePanel(bool simple);
    QString simpleText() const;
    void setSimpleText(const QString &text);
    QString panelText() const;
    void setPanelText(const QString &text);

private:
    bool m_simplePanel = true;
    QLabel *m_simple = nullptr;
    QLabel *m_panel = nullptr;
};
