// SPDX-License-Identifier: MIT
#pragma once

#include "common/history.h"
#include "common/operation.h"
#include "common/snmpversion.h"
#include "store/registryhive.h"

#include <QRect>

// Keys of the store, as the program names them.
inline constexpr const char *SettingsKey = "\\Software\\Ferrolyn\\Norvane\\";
inline constexpr const char *AgentHistoryKey = "\\Software\\Ferrolyn\\Norvane\\History Lists\\hlAgent\\";
inline constexpr const char *CommunityHistoryKey = "\\Software\\Ferrolyn\\Norvane\\History Lists\\hlCommunity\\";
inline constexpr const char *OidHistoryKey = "\\Software\\Ferrolyn\\Norvane\\History Lists\\hlOid\\";

enum HistoryBox : int { AgentBox = 0, CommunityBox = 1, OidBox = 2 };

// What the settings load and write need of the main window.
//
// Bounds: x() = Left, y() = Top, width() = Right - Left, height() = Bottom - Top
// (so Right and Bottom lie just outside the rectangle, as QRect::right() does
// not). Stored bounds are handed over as they are; the window must check that
// they meet a screen and move the window onto the primary screen when not.
class SettingsHost
{
public:
    virtual ~SettingsHost() = default;

    virtual void setOperation(Operation operation) = 0;
    virtual Operation operation() const = 0;
    virtual void setBounds(const QRect &bounds) = 0;
    virtual QRect normalBounds() const = 0; // the bounds of the normal state, also while maximised
    virtual void setWindowStateValue(int state) = 0; // 0 normal, 1 minimised, 2 maximised
    virtual int windowStateValue() const = 0;
    virtual void setToolBarShown(bool shown) = 0;
    virtual bool toolBarShown() const = 0;
    virtual void setStatusBarShown(bool shown) = 0;
    virtual bool statusBarShown() const = 0;
    virtual void setTimeOut(int milliseconds) = 0;
    virtual int timeOut() const = 0;
    virtual void setRetries(int retries) = 0;
    virtual int retries() const = 0;
    virtual void setSnmpVersion(SnmpVersion version) = 0;
    virtual SnmpVersion snmpVersion() const = 0;
    // The View menu's MIB Values; off where a window has no such view.
    virtual void setMibValues(bool) {}
    virtual bool mibValues() const { return false; }

    // The item lists of the three boxes, the same objects the query run uses.
    // Loading empties a list with removeItem from the last entry to the first
    // (the box's edit text must stay as it is), appends with
    // insertItem(count(), text) and selects with selectItem(0) when the list
    // is not empty.
    virtual HistoryList &history(HistoryBox box) = 0;
};

// The load at window creation: current operation 1, the settings key, then the
// three history lists. Reads the hive's file first when that has not been done.
// Throws AppError with the message of the first value of a wrong kind, leaving
// what was applied before it; at the end throws the hive's message about a
// settings file that was unreadable or kept aside. A stored "Position" shorter
// than 16 bytes is ignored.
void loadSettings(RegistryHive &hive, SettingsHost &host);

// The write at window destruction: the settings key, then the three history
// lists, then the hive's file. The file is written also when a value fails,
// so what was stored before the failure is kept. Throws AppError.
void saveSettings(RegistryHive &hive, SettingsHost &host);
