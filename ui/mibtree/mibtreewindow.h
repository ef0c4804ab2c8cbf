// SPDX-License-Identifier: MIT
#pragma once

#include "ui/widgets/framewindow.h"

class MibErrorModel;
class MibSearchModel;
class MibTreeModel;
class QAbstractItemView;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeView;

// The MIB Tree window, beside the main window and not modal: every loaded
// module with the OID tree it defines, a search by name, OID or words of the
// DESCRIPTION, the selected node's definition, and the modules that failed
// to load. Enter or a double click on a node hands its OID to the Oids box
// (replacing its text); with Ctrl it is appended after ";".
class TMibTreeWindow final : public FrameWindow
{
    Q_OBJECT

public:
    explicit TMibTreeWindow(QWidget *parent = nullptr);

    // Takes the loaded set anew when it changed since.
    void refresh();
    // The Load errors page, at the module's errors when it has any.
    void showLoadErrors(const QString &module);
    // The module's row in the tree, selected.
    void showModule(const QString &module);
    // The keyboard in the search box, its text selected, so typing searches.
    void focusSearch();

    QLineEdit *searchBox() const { return edtSearch; }
    QTreeView *treeView() const { return m_treeView; }
    QTreeView *resultView() const { return m_resultView; }
    QPlainTextEdit *definitionPane() const { return edtDefinition; }
    QTreeView *loadErrorView() const { return m_errorView; }
    QTabWidget *pages() const { return m_pages; }

signals:
    // The OID of the node chosen, dotted with a leading dot.
    void oidChosen(const QString &oid, bool append);
    // Export for Prometheus...: the current node, by its dotted OID.
    void exportRequested(const QString &description, const QStringList &oids);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void searchChanged(const QString &query);
    void showDefinition(const QModelIndex &index);
    void choose(QAbstractItemView *view, bool append);
    void exportCurrent();

    QLabel *lblSearch = nullptr;
    QLineEdit *edtSearch = nullptr;
    QLabel *lblFound = nullptr;
    QPushButton *btnExportPrometheus = nullptr;
    QTabWidget *m_pages = nullptr;
    QStackedWidget *m_stack = nullptr;
    QTreeView *m_treeView = nullptr;
    QTreeView *m_resultView = nullptr;
    QPlainTextEdit *edtDefinition = nullptr;
    QTreeView *m_errorView = nullptr;

    MibTreeModel *m_tree = nullptr;
    MibSearchModel *m_found = nullptr;
    MibErrorModel *m_errors = nullptr;
};
