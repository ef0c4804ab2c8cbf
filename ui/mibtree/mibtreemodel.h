// SPDX-License-Identifier: MIT
#pragma once

// The models of the MIB Tree window and of the Oids box's completion, all
// over one snapshot of the loaded MIBs (engine/mibtree).

#include "engine/mib/miberrors.h"
#include "engine/mib/mibtree.h"

#include <QAbstractItemModel>
#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QHash>
#include <QStandardItemModel>

#include <memory>
#include <vector>

struct MibTreeDefinition;

// The roles every model here answers besides the display.
enum MibRole { OidRole = Qt::UserRole + 1 }; // a node's OID, dotted with a leading dot

// The loaded modules, each with the OID tree of the nodes it defines: the
// tops of its subtrees first, then their children that it defines.
class MibTreeModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit MibTreeModel(QObject *parent = nullptr);

    void setTree(std::shared_ptr<const MibTree> tree);
    const MibTree *tree() const { return m_tree.get(); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The node, None for a module's row.
    MibTree::NodeId nodeAt(const QModelIndex &index) const;
    QModelIndex moduleIndex(int module) const;

private:
    static quintptr idOf(int module, MibTree::NodeId node) { return (quintptr(module + 1) << 32) | quintptr(node + 1); }
    static int moduleOf(quintptr id) { return int(id >> 32) - 1; }
    static MibTree::NodeId nodeOf(quintptr id) { return MibTree::NodeId(id & 0xFFFFFFFFu) - 1; }
    // The rows under (module, node); node None: the module's own row.
    const std::vector<MibTree::NodeId> &rowsUnder(int module, MibTree::NodeId node) const;
    int rowOf(int module, MibTree::NodeId node) const;

    std::shared_ptr<const MibTree> m_tree;
    mutable QHash<quintptr, std::vector<MibTree::NodeId>> m_children;
};

// What a search found: name, OID and module per row.
class MibSearchModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, OidColumn, ModuleColumn, ColumnCount };

    explicit MibSearchModel(QObject *parent = nullptr);

    void setTree(std::shared_ptr<const MibTree> tree);
    void search(const QString &query);
    MibTree::NodeId nodeAt(const QModelIndex &index) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const MibTree> m_tree;
    std::vector<MibTree::NodeId> m_found;
};

// The modules that failed, each with its errors: place, words and the import missing.
class MibErrorModel final : public QStandardItemModel
{
    Q_OBJECT

public:
    enum Column { PlaceColumn, ErrorColumn, MissingImportColumn, ColumnCount };

    explicit MibErrorModel(QObject *parent = nullptr);
    void setErrors(const std::vector<MibModuleErrors> &modules);
    // The module's row; invalid when it has no errors.
    QModelIndex moduleRow(const QString &module) const;
};

// Every name and MODULE::name of the loaded set, sorted case-insensitively,
// for the Oids box's completer.
class MibNameModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit MibNameModel(QObject *parent = nullptr);

    void setTree(std::shared_ptr<const MibTree> tree);
    const MibTree *tree() const { return m_tree.get(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const MibTree> m_tree;
};

// The definition pane's text: one "Label: value" line per clause that has a
// value, then the DESCRIPTION.
QString definitionText(const MibTreeDefinition &definition);
