// SPDX-License-Identifier: MIT
#pragma once

#include "store/settings.h"
#include "ui/combohistory.h"

#include <QWidget>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QToolButton;

// The tool bar: the Agent, Community and Oids boxes with their history lists
// and the completion of MIB names in the Oids box, then the Run, Stop and
// Clear buttons. The boxes start with the built-in entries, none selected.
class InputBar final : public QWidget
{
    Q_OBJECT

public:
    // Characters an input box takes, like the platform's edit boxes.
    static constexpr int InputMaxLength = 32767;

    InputBar(QAction *run, QAction *stop, QAction *clear, QWidget *parent = nullptr);
    ~InputBar() override;

    QComboBox *agentBox() const { return cboAgent; }
    QComboBox *communityBox() const { return cboCommunity; }
    QComboBox *oidBox() const { return cboOids; }

    // The stored lists replace the entries; the edit texts stay as they are.
    void applyHistory(const Settings &settings);
    void storeHistory(Settings &settings) const;
    // The history rule, for a run's inputs: the community only when it was sent.
    void recordInputs(bool community);
    // A node's OID chosen in the MIB Tree: into the Oids box, or after its last ";".
    void takeOid(const QString &oid, bool append);

private:
    QLabel *lblAgent = nullptr;
    QLabel *lblCommunity = nullptr;
    QLabel *lblOids = nullptr;
    QComboBox *cboAgent = nullptr;
    QComboBox *cboCommunity = nullptr;
    QComboBox *cboOids = nullptr;
    QToolButton *btnRun = nullptr;
    QToolButton *btnStop = nullptr;
    QToolButton *btnClear = nullptr;
    std::unique_ptr<ComboHistory> m_agentHistory;
    std::unique_ptr<ComboHistory> m_communityHistory;
    std::unique_ptr<ComboHistory> m_oidHistory;
};
