// SPDX-License-Identifier: MIT
#include "ui/combohistory.h"

#include <QComboBox>

QString ComboHistory::currentText() const
{
    return m_box->currentText();
}

int ComboHistory::count() const
{
    return m_box->count();
}

QString ComboHistory::item(int index) const
{
    return m_box->itemText(index);
}

void ComboHistory::moveItem(int from, int to)
{
    if (from == to)
        return;
    // Removing or inserting the current entry makes the box show another
    // entry's text; the typed text stays until an entry is selected.
    const QString edit = m_box->currentText();
    const QString text = m_box->itemText(from);
    m_box->removeItem(from);
    m_box->insertItem(to, text);
    m_box->setEditText(edit);
}

void ComboHistory::insertItem(int index, const QString &text)
{
    // QComboBox selects the first entry put into an empty list; the rule wants
    // the selection and the text left as they are.
    const QString edit = m_box->currentText();
    const bool wasEmpty = m_box->count() == 0;
    m_box->insertItem(index, text);
    if (wasEmpty)
        m_box->setCurrentIndex(-1);
    m_box->setEditText(edit);
}

void ComboHistory::removeItem(int index)
{
    const QString edit = m_box->currentText();
    m_box->removeItem(index);
    m_box->setEditText(edit);
}

void ComboHistory::selectItem(int index)
{
    m_box->setCurrentIndex(index);
    // setCurrentIndex leaves typed text alone when the index does not change.
    m_box->setEditText(m_box->itemText(index));
}
