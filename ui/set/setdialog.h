// SPDX-License-Identifier: MIT
#pragma once

#include "ui/set/setedit.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// Set Value: the bindings of one SetRequest, each edited in turn. The type
// and the checks are the MIB's (the engine's checkSetBinding): the rule a
// value breaks is said under it, and Set... stays disabled until every
// binding passes. Nothing is sent from here: the caller confirms and sends.
class TSetDialog : public QDialog
{
    Q_OBJECT

public:
    TSetDialog(QWidget *owner, const SetEdit &edit);
    ~TSetDialog() override;

    std::vector<SetBinding> bindings() const { return m_bindings; }
    Secret community() const;

    // The whole open sequence: on Set... writes the edit's bindings (and
    // the community asked for) and returns true.
    static bool edit(QWidget *owner, SetEdit &edit);

private:
    void createControls(const SetEdit &edit);
    void showBinding(int row);   // the fields from the binding
    void bindingEdited();        // the binding from the fields
    void objectEdited();         // another OID for the binding
    void formatChosen(int index);
    void refresh();              // list texts, checks, Set... enabled
    SetBinding &current() { return m_bindings[size_t(m_current)]; }

    std::vector<SetBinding> m_bindings;
    int m_current = 0;
    bool m_showing = false; // fields being filled from the binding: no edit

    QLabel *lblAgent = nullptr;
    QListWidget *lstBindings = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnRemove = nullptr;
    QLineEdit *edtObject = nullptr;
    QLabel *lblObject = nullptr;
    QLabel *lblCurrent = nullptr;
    QComboBox *cboType = nullptr;
    QCheckBox *chkOverride = nullptr;
    QComboBox *cboFormat = nullptr;
    QLineEdit *edtValue = nullptr;
    QComboBox *cboEnum = nullptr;
    QGroupBox *grpBits = nullptr;
    QList<QCheckBox *> m_bitBoxes;
    QLabel *lblProblem = nullptr;
    QLabel *lblWarning = nullptr;
    QLineEdit *edtCommunity = nullptr;
    QPushButton *btnSet = nullptr;
};
