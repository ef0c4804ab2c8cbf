// SPDX-License-Identifier: MIT
#include "ui/results/rowcopy.h"

#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/results/resultrows.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QShortcut>

RowCopy::RowCopy(ListView *list, const ResultModel &rows)
    : QObject(list), m_list(list), m_rows(rows), m_menu(new QMenu(list))
{
    m_menu->setObjectName(QStringLiteral("miRowCopy"));
    const std::pair<const char *, Part> items[] = {
        {"Copy Row", Part::Row}, {"Copy OID", Part::Oid}, {"Copy Name", Part::Name}, {"Copy Value", Part::Value}};
    for (const auto &[caption, part] : items) {
        QAction *action = m_menu->addAction(tr(caption));
        action->setObjectName(QStringLiteral("act") + QString::fromLatin1(caption).remove(u' '));
        connect(action, &QAction::triggered, this, [this, part = part] { copy(part); });
    }
    // The list's own Ctrl+C would copy the current cell alone.
    auto *copyRow = new QShortcut(QKeySequence::Copy, list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copyRow, &QShortcut::activated, this, [this] { copy(Part::Row); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &RowCopy::showMenu);
}

QString RowCopy::text(const ResultModel &rows, qsizetype row, Part part)
{
    const auto field = [&](int column) {
        const QByteArrayView bytes = rows.field(row, column);
        return QString::fromLatin1(bytes.data(), bytes.size()); // as the list shows it
    };
    switch (part) {
    case Part::Row: {
        const std::string line = resultLine(ResultRows(rows).rowTexts(int(row)));
        return QString::fromLatin1(line.data(), qsizetype(line.size()));
    }
    case Part::Oid:
        return field(ResultModel::OidColumn);
    case Part::Name:
        return field(ResultModel::NameColumn);
    case Part::Value:
        break;
    }
    return field(ResultModel::ValueColumn);
}

void RowCopy::copy(Part part) const
{
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        QApplication::clipboard()->setText(text(m_rows, selected.front().row(), part));
}

void RowCopy::showMenu(const QPoint &position)
{
    // The click selected the row under the pointer; the menu copies from
    // the selected row, and without one there is nothing to copy.
    if (!m_list->selectionModel()->hasSelection())
        return;
    m_menu->popup(m_list->viewport()->mapToGlobal(position));
}
