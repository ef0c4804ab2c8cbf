// SPDX-License-Identifier: MIT
#include "ui/mibtree/mibtreemodel.h"

#include "engine/mib/mibdefinition.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

QString dotted(const MibTree &tree, MibTree::NodeId node)
{
    return QLatin1Char('.') + text(tree.dottedOid(node));
}

} // namespace

MibTreeModel::MibTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

void MibTreeModel::setTree(std::shared_ptr<const MibTree> tree)
{
    beginResetModel();
    m_tree = std::move(tree);
    m_children.clear();
    endResetModel();
}

const std::vector<MibTree::NodeId> &MibTreeModel::rowsUnder(int module, MibTree::NodeId node) const
{
    if (node == MibTree::None)
        return m_tree->moduleRoots(module);
    // Asked again and again while the view lays out and paints: kept once worked out.
    const quintptr id = idOf(module, node);
    auto found = m_children.find(id);
    if (found == m_children.end())
        found = m_children.insert(id, m_tree->children(node, module));
    return *found;
}

int MibTreeModel::rowOf(int module, MibTree::NodeId node) const
{
    const MibTree::NodeId up = m_tree->parent(node);
    const bool topOfModule = up == MibTree::None || !m_tree->definedIn(up, module);
    const std::vector<MibTree::NodeId> &siblings = rowsUnder(module, topOfModule ? MibTree::None : up);
    // Both lists are in OID order, which is the order of the node numbers.
    const auto at = std::lower_bound(siblings.begin(), siblings.end(), node);
    return at != siblings.end() && *at == node ? int(at - siblings.begin()) : -1;
}

QModelIndex MibTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!m_tree || row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row < m_tree->moduleCount() ? createIndex(row, 0, idOf(row, MibTree::None)) : QModelIndex();
    const int module = moduleOf(parent.internalId());
    const std::vector<MibTree::NodeId> &rows = rowsUnder(module, nodeOf(parent.internalId()));
    return size_t(row) < rows.size() ? createIndex(row, 0, idOf(module, rows[size_t(row)])) : QModelIndex();
}

QModelIndex MibTreeModel::parent(const QModelIndex &child) const
{
    if (!m_tree || !child.isValid())
        return {};
    const int module = moduleOf(child.internalId());
    const MibTree::NodeId node = nodeOf(child.internalId());
    if (node == MibTree::None)
        return {};
    const MibTree::NodeId up = m_tree->parent(node);
    if (up == MibTree::None || !m_tree->definedIn(up, module))
        return createIndex(module, 0, idOf(module, MibTree::None));
    return createIndex(rowOf(module, up), 0, idOf(module, up));
}

int MibTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!m_tree || parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return m_tree->moduleCount();
    return int(rowsUnder(moduleOf(parent.internalId()), nodeOf(parent.internalId())).size());
}

int MibTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant MibTreeModel::data(const QModelIndex &index, int role) const
{
    if (!m_tree || !index.isValid())
        return {};
    const MibTree::NodeId node = nodeOf(index.internalId());
    if (node == MibTree::None)
        return role == Qt::DisplayRole ? QString::fromStdString(m_tree->moduleName(moduleOf(index.internalId())))
                                       : QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return text(m_tree->name(node));
    case Qt::ToolTipRole:
    case OidRole:
        return dotted(*m_tree, node);
    default:
        return {};
    }
}

QVariant MibTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return tr("Module and object");
    return {};
}

MibTree::NodeId MibTreeModel::nodeAt(const QModelIndex &index) const
{
    return index.isValid() ? nodeOf(index.internalId()) : MibTree::None;
}

QModelIndex MibTreeModel::moduleIndex(int module) const
{
    return m_tree && module >= 0 && module < m_tree->moduleCount() ? createIndex(module, 0, idOf(module, MibTree::None))
                                                                   : QModelIndex();
}

MibSearchModel::MibSearchModel(QObject *parent) : QAbstractTableModel(parent) {}

void MibSearchModel::setTree(std::shared_ptr<const MibTree> tree)
{
    beginResetModel();
    m_tree = std::move(tree);
    m_found.clear();
    endResetModel();
}

void MibSearchModel::search(const QString &query)
{
    beginResetModel();
    m_found = m_tree ? m_tree->search(query.toStdString()) : std::vector<MibTree::NodeId>();
    endResetModel();
}

MibTree::NodeId MibSearchModel::nodeAt(const QModelIndex &index) const
{
    return index.isValid() && size_t(index.row()) < m_found.size() ? m_found[size_t(index.row())] : MibTree::None;
}

int MibSearchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_found.size());
}

int MibSearchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MibSearchModel::data(const QModelIndex &index, int role) const
{
    const MibTree::NodeId node = nodeAt(index);
    if (node == MibTree::None)
        return {};
    if (role == OidRole)
        return dotted(*m_tree, node);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return text(m_tree->name(node));
    case OidColumn:
        return dotted(*m_tree, node);
    case ModuleColumn: {
        const int module = m_tree->primaryModule(node);
        return module < 0 ? QString() : QString::fromStdString(m_tree->moduleName(module));
    }
    default:
        return {};
    }
}

QVariant MibSearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("Name");
    case OidColumn:
        return tr("OID");
    case ModuleColumn:
        return tr("Module");
    default:
        return {};
    }
}

MibErrorModel::MibErrorModel(QObject *parent) : QStandardItemModel(0, ColumnCount, parent)
{
    setHorizontalHeaderLabels({tr("Module and place"), tr("Error"), tr("Missing import")});
}

void MibErrorModel::setErrors(const std::vector<MibModuleErrors> &modules)
{
    removeRows(0, rowCount());
    for (const MibModuleErrors &module : modules) {
        auto *name = new QStandardItem(QString::fromStdString(module.module));
        name->setToolTip(QString::fromStdString(module.file));
        const QString count = module.errors.size() == 1 ? QStringLiteral("1 error")
                                                        : QStringLiteral("%1 errors").arg(module.errors.size());
        auto *summary = new QStandardItem(count + QStringLiteral(" in ") + QString::fromStdString(module.file));
        summary->setToolTip(summary->text());
        QStringList missing;
        for (const MibError &error : module.errors) {
            // The place as file:line by the file's name; the whole path in the tooltip.
            QString place = QFileInfo(QString::fromStdString(error.file)).fileName();
            if (error.line > 0)
                place += QLatin1Char(':') + QString::number(error.line);
            auto *where = new QStandardItem(place);
            where->setToolTip(QString::fromStdString(placeOf(error)));
            auto *words = new QStandardItem(QString::fromStdString(error.message));
            words->setToolTip(words->text());
            const QString import = QString::fromStdString(error.missingImport);
            if (!import.isEmpty() && !missing.contains(import))
                missing << import;
            name->appendRow({where, words, new QStandardItem(import)});
        }
        appendRow({name, summary, new QStandardItem(missing.join(QStringLiteral(", ")))});
    }
}

QModelIndex MibErrorModel::moduleRow(const QString &module) const
{
    const QList<QStandardItem *> found = findItems(module, Qt::MatchExactly, PlaceColumn);
    return found.isEmpty() ? QModelIndex() : found.constFirst()->index();
}

MibNameModel::MibNameModel(QObject *parent) : QAbstractListModel(parent) {}

void MibNameModel::setTree(std::shared_ptr<const MibTree> tree)
{
    beginResetModel();
    m_tree = std::move(tree);
    endResetModel();
}

int MibNameModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_tree ? 0 : int(m_tree->completionNames().size());
}

QVariant MibNameModel::data(const QModelIndex &index, int role) const
{
    if (!m_tree || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return QString::fromStdString(m_tree->completionNames()[size_t(index.row())]);
}

QString definitionText(const MibTreeDefinition &definition)
{
    const std::pair<const char *, const std::string &> clauses[] = {
        {"Module", definition.module},       {"Name", definition.name},
        {"OID", definition.oid},             {"Syntax", definition.syntax},
        {"Units", definition.units},         {"Display hint", definition.displayHint},
        {"Access", definition.access},       {"Status", definition.status},
        {"Index", definition.index},
    };
    QString out;
    for (const auto &[label, value] : clauses)
        if (!value.empty())
            out += QString::fromLatin1(label) + QStringLiteral(": ") + QString::fromStdString(value) + QLatin1Char('\n');
    if (definition.description.empty())
        return out;
    // The module's line breaks and indents fit its own page; the pane
    // wraps the paragraphs to its width instead.
    out += QStringLiteral("\nDescription:");
    static const QRegularExpression blankLine(QStringLiteral("\n[ \t]*\n"));
    for (const QString &paragraph : QString::fromStdString(definition.description).split(blankLine))
        out += QLatin1Char('\n') + paragraph.simplified();
    return out;
}
