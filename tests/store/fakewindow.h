// SPDX-License-Identifier: MIT
#pragma once

// The main window's side of the settings load and save, for the store tests.

#include "store/settingsstore.h"
#include "tests/support/fakehistory.h"

#include <QRect>
#include <QStringList>

// The window with the built-in state of a fresh window. m_log tells the order
// in which bounds and window state were set.
class FakeWindow : public SettingsHost
{
public:
    void setOperation(Operation operation) override { m_operation = int(operation); }
    Operation operation() const override { return Operation(m_operation); }
    void setBounds(const QRect &bounds) override
    {
        m_bounds = bounds;
        m_log << "bounds";
    }
    QRect normalBounds() const override { return m_bounds; }
    void setWindowStateValue(int state) override
    {
        m_state = state;
        m_log << "state";
    }
    int windowStateValue() const override { return m_state; }
    void setToolBarShown(bool shown) override { m_toolBar = shown; }
    bool toolBarShown() const override { return m_toolBar; }
    void setStatusBarShown(bool shown) override { m_statusBar = shown; }
    bool statusBarShown() const override { return m_statusBar; }
    void setTimeOut(int milliseconds) override { m_timeOut = milliseconds; }
    int timeOut() const override { return m_timeOut; }
    void setRetries(int retries) override { m_retries = retries; }
    int retries() const override { return m_retries; }
    void setSnmpVersion(SnmpVersion version) override { m_version = version; }
    SnmpVersion snmpVersion() const override { return m_version; }
    // Looked up on each call, so that a copied window hands out its own boxes.
    HistoryList &history(HistoryBox box) override
    {
        FakeHistory *const boxes[] = {&m_agent, &m_community, &m_oids};
        return *boxes[box];
    }

    int m_operation = 0;
    QRect m_bounds{191, 101, 640, 480};
    int m_state = 0;
    bool m_toolBar = true;
    bool m_statusBar = true;
    int m_timeOut = 1000;
    int m_retries = 1;
    SnmpVersion m_version = SnmpVersion::V1;
    QStringList m_log;
    FakeHistory m_agent{{"127.0.0.1"}};
    FakeHistory m_community{{"tarnel"}};
    FakeHistory m_oids{{".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0", "all"}};
};
