// SPDX-License-Identifier: MIT
#include "ui/mibtree/mibtreewindow.h"

#include "engine/mib/mibdefinition.h"
#include "engine/mib/mibload.h"
#include "ui/mibtree/mibtreemodel.h"
#include "ui/widgets/clearbutton.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

QTreeView *makeView(const char *name, const QString &accessibleName, QAbstractItemModel *model)
{
    auto *view = new QTreeView;
    view->setObjectName(QString::fromLatin1(name));
    view->setAccessibleName(accessibleName);
    view->setModel(model);
    view->setUniformRowHeights(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    return view;
}

} // namespace

TMibTreeWindow::TMibTreeWindow(QWidget *parent) : FrameWindow(parent)
{
    setObjectName(QStringLiteral("MibTreeWindow"));
    setWindowTitle(QStringLiteral("MIB Tree"));
    m_tree = new MibTreeModel(this);
    m_found = new MibSearchModel(this);
    m_errors = new MibErrorModel(this);
    createControls();
    resize(760, 520);
    refresh();
}

void TMibTreeWindow::createControls()
{
    lblSearch = new QLabel(QStringLiteral("&Search "));
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    edtSearch = new QLineEdit;
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(QStringLiteral("Name, OID or words of a description"));
    addClearButton(edtSearch);
    edtSearch->setAccessibleName(QStringLiteral("Search"));
    lblSearch->setBuddy(edtSearch);
    lblFound = new QLabel;
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setMinimumWidth(90);
    btnExportPrometheus = new QPushButton(QStringLiteral("Export for &Prometheus..."));
    btnExportPrometheus->setObjectName(QStringLiteral("btnExportPrometheus"));
    btnExportPrometheus->setToolTip(QStringLiteral("Exports the selected node's objects for Prometheus's SNMP exporter."));

    m_treeView = makeView("MibTreeView", QStringLiteral("MIB tree"), m_tree);
    m_treeView->setHeaderHidden(true);
    m_resultView = makeView("SearchResults", QStringLiteral("Search results"), m_found);
    m_resultView->setRootIsDecorated(false);
    m_resultView->setColumnWidth(MibSearchModel::NameColumn, 160);
    m_resultView->setColumnWidth(MibSearchModel::OidColumn, 150);
    m_stack = new QStackedWidget;
    m_stack->addWidget(m_treeView);
    m_stack->addWidget(m_resultView);

    edtDefinition = new QPlainTextEdit;
    edtDefinition->setObjectName(QStringLiteral("edtDefinition"));
    edtDefinition->setAccessibleName(QStringLiteral("Definition"));
    edtDefinition->setReadOnly(true);
    // Read by the keyboard too, with a caret; Tab goes on to the next control.
    edtDefinition->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    edtDefinition->setTabChangesFocus(true);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_stack);
    splitter->addWidget(edtDefinition);
    splitter->setSizes({420, 340});
    splitter->setChildrenCollapsible(false);

    m_errorView = makeView("LoadErrors", QStringLiteral("Load errors"), m_errors);
    m_errorView->setColumnWidth(MibErrorModel::PlaceColumn, 250);
    m_errorView->setColumnWidth(MibErrorModel::ErrorColumn, 360);

    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("MibTreePages"));
    m_pages->setAccessibleName(QStringLiteral("MIB Tree pages"));
    m_pages->addTab(splitter, QStringLiteral("&Objects"));
    m_pages->addTab(m_errorView, QStringLiteral("Load &errors"));

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(lblSearch);
    searchRow->addWidget(edtSearch, 1);
    searchRow->addWidget(lblFound);
    searchRow->addWidget(btnExportPrometheus);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_pages, 1);

    setTabOrder(edtSearch, m_treeView);
    setTabOrder(m_treeView, m_resultView);
    setTabOrder(m_resultView, edtDefinition);
    setTabOrder(edtDefinition, m_pages);
    setTabOrder(m_pages, m_errorView);

    connect(edtSearch, &QLineEdit::textChanged, this, &TMibTreeWindow::searchChanged);
    connect(btnExportPrometheus, &QPushButton::clicked, this, &TMibTreeWindow::exportCurrent);
    for (QTreeView *view : {m_treeView, m_resultView}) {
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, [this, view] {
            choose(view, QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
        });
    }
    edtSearch->installEventFilter(this);
    connect(m_treeView->selectionModel(), &QItemSelectionModel::currentChanged, this, &TMibTreeWindow::showDefinition);
    connect(m_resultView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMibTreeWindow::showDefinition);
}

void TMibTreeWindow::refresh()
{
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    if (m_tree->tree() != tree.get()) {
        m_tree->setTree(tree);
        m_found->setTree(tree);
        searchChanged(edtSearch->text());
    }
    const std::vector<MibModuleErrors> errors = mibLoadErrors();
    m_errors->setErrors(errors);
    m_errorView->expandAll();
    // Few rows, long texts: each shown whole, the page scrolling sideways if it must.
    for (const int column : {MibErrorModel::ErrorColumn, MibErrorModel::MissingImportColumn})
        m_errorView->resizeColumnToContents(column);
    m_pages->setTabText(1, errors.empty() ? QStringLiteral("Load &errors")
                                          : QStringLiteral("Load &errors (%1)").arg(errors.size()));
}

void TMibTreeWindow::showLoadErrors(const QString &module)
{
    refresh();
    m_pages->setCurrentWidget(m_errorView);
    const QModelIndex row = m_errors->moduleRow(module);
    if (row.isValid()) {
        m_errorView->setCurrentIndex(row);
        m_errorView->scrollTo(row, QAbstractItemView::PositionAtTop);
    }
    m_errorView->setFocus();
}

void TMibTreeWindow::showModule(const QString &module)
{
    refresh();
    edtSearch->clear();
    m_pages->setCurrentIndex(0);
    const QModelIndex row = m_tree->moduleIndex(m_tree->tree()->moduleIndex(module.toStdString()));
    if (row.isValid()) {
        m_treeView->setCurrentIndex(row);
        m_treeView->expand(row);
        m_treeView->scrollTo(row, QAbstractItemView::PositionAtTop);
    }
    m_treeView->setFocus();
}

void TMibTreeWindow::focusSearch()
{
    edtSearch->setFocus(Qt::ShortcutFocusReason);
    edtSearch->selectAll();
}

void TMibTreeWindow::showEvent(QShowEvent *event)
{
    FrameWindow::showEvent(event);
    focusSearch();
}

void TMibTreeWindow::searchChanged(const QString &query)
{
    if (query.trimmed().isEmpty()) {
        m_found->search(QString());
        m_stack->setCurrentWidget(m_treeView);
        lblFound->clear();
        return;
    }
    m_pages->setCurrentIndex(0);
    m_found->search(query);
    m_stack->setCurrentWidget(m_resultView);
    lblFound->setText(QStringLiteral("%1 found").arg(m_found->rowCount()));
    if (m_found->rowCount() > 0)
        m_resultView->setCurrentIndex(m_found->index(0, 0));
    else
        edtDefinition->clear();
}

void TMibTreeWindow::showDefinition(const QModelIndex &index)
{
    const MibTree *tree = m_tree->tree();
    const MibTree::NodeId node = index.model() == m_found ? m_found->nodeAt(index) : m_tree->nodeAt(index);
    if (!tree || !index.isValid()) {
        edtDefinition->clear();
    } else if (node == MibTree::None) {
        edtDefinition->setPlainText(QStringLiteral("Module: ") + index.data().toString());
    } else {
        const std::optional<MibTreeDefinition> definition = mibTreeDefinition(tree->oid(node));
        edtDefinition->setPlainText(definition ? definitionText(*definition) : QString());
    }
}

void TMibTreeWindow::choose(QAbstractItemView *view, bool append)
{
    const QModelIndex current = view->currentIndex();
    const QString oid = current.sibling(current.row(), 0).data(OidRole).toString();
    if (!oid.isEmpty())
        emit oidChosen(oid, append);
}

void TMibTreeWindow::exportCurrent()
{
    QAbstractItemView *view = m_stack->currentWidget() == m_resultView ? m_resultView : m_treeView;
    const QModelIndex current = view->currentIndex();
    const QString oid = current.sibling(current.row(), 0).data(OidRole).toString();
    if (!oid.isEmpty())
        emit exportRequested(current.sibling(current.row(), 0).data().toString(), {oid});
}

bool TMibTreeWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == edtSearch) {
        // Down or Enter goes on to what was found.
        if ((key->key() == Qt::Key_Down || isEnter(key)) && m_found->rowCount() > 0) {
            m_resultView->setFocus();
            if (!m_resultView->currentIndex().isValid())
                m_resultView->setCurrentIndex(m_found->index(0, 0));
            return true;
        }
    } else if (isEnter(key)) {
        choose(static_cast<QAbstractItemView *>(watched), key->modifiers() & Qt::ControlModifier);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
