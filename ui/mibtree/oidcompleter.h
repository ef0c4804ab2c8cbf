// SPDX-License-Identifier: MIT
#pragma once

#include <QCompleter>

class MibNameModel;
class QAction;
class QKeyEvent;
class QComboBox;
class QLineEdit;

// The Oids box's completion: as the user types, the names and MODULE::names
// of the loaded MIBs that start with the OID being typed (the text after the
// last ";"), case-insensitively, in a popup under the box. Tab or Enter
// takes the highlighted suggestion, or the first; while the popup shows it
// has Tab, Enter and Esc, so Enter is not the Details shortcut then; the
// window's other shortcuts run and close it. It sits on the
// box's edit field, so the box's history drop-down stays as it is.
class OidCompleter final : public QCompleter
{
    Q_OBJECT

public:
    explicit OidCompleter(QComboBox *box);
    ~OidCompleter() override;

    QStringList splitPath(const QString &path) const override;
    QString pathFromIndex(const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The names of the loaded set: the MIBs load at the first key typed into
    // the box, not before, and a set changed since is taken anew. While new
    // MIB files are checked the keys go on, without names; once the MIBs
    // have loaded, the text typed meanwhile is completed.
    void refreshNames();
    void mibsLoaded();
    bool takeSuggestion();
    // The window's enabled command whose shortcut the key is.
    QAction *windowCommand(const QKeyEvent *key) const;

    QComboBox *m_box;
    QLineEdit *m_edit;
    MibNameModel *m_names;
    int m_loadListener = 0;
};
