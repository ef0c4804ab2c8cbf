// SPDX-License-Identifier: MIT
#include "ui/widgets/coolbar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <numeric>

CoolBand::CoolBand(QWidget *control, int minHeight, CoolBar *bar)
    : QWidget(bar), m_bar(bar), m_control(control), m_minHeight(minHeight)
{
    control->setParent(this);
    control->installEventFilter(this);
}

bool CoolBand::shown() const
{
    return !m_control->isHidden();
}

int CoolBand::heightHint() const
{
    return std::max(m_minHeight, m_control->sizeHint().height());
}

int CoolBand::naturalWidth() const
{
    return GripWidth + m_control->sizeHint().width();
}

int CoolBand::minimumWidth() const
{
    return GripWidth + std::max(0, m_control->minimumSizeHint().width());
}

bool CoolBand::event(QEvent *event)
{
    // The control's size hint changed.
    if (event->type() == QEvent::LayoutRequest)
        m_bar->bandsChanged();
    return QWidget::event(event);
}

bool CoolBand::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_control && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        m_bar->bandsChanged();
    return QWidget::eventFilter(watched, event);
}

void CoolBand::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption grip;
    grip.initFrom(this);
    grip.rect = QRect(2, 2, GripWidth - 4, height() - 4);
    grip.state |= QStyle::State_Horizontal;
    style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &grip, &painter, this);
}

void CoolBand::resizeEvent(QResizeEvent *)
{
    m_control->setGeometry(GripWidth, 0, std::max(0, width() - GripWidth), height());
}

void CoolBand::mouseDoubleClickEvent(QMouseEvent *event)
{
    const auto found = std::find(m_bar->m_bands.begin(), m_bar->m_bands.end(), this);
    m_bar->maximizeBand(int(found - m_bar->m_bands.begin()));
    event->accept();
}

CoolBar::CoolBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CoolBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int CoolBar::addBand(QWidget *control, int minHeight, bool breakBefore, bool fixedSize)
{
    auto *band = new CoolBand(control, minHeight, this);
    band->m_break = breakBefore;
    band->m_fixedSize = fixedSize;
    m_bands.push_back(band);
    bandsChanged();
    return bandCount() - 1;
}

void CoolBar::setBandBreak(int index, bool on)
{
    band(index)->m_break = on;
    bandsChanged();
}

std::vector<std::vector<int>> CoolBar::rows() const
{
    std::vector<std::vector<int>> result;
    for (int i = 0; i < bandCount(); ++i) {
        if (!band(i)->shown())
            continue;
        if (result.empty() || band(i)->m_break)
            result.emplace_back();
        result.back().push_back(i);
    }
    return result;
}

bool CoolBar::startsRow(int index) const
{
    for (const auto &row : rows()) {
        if (row.front() == index)
            return true;
    }
    return false;
}

int CoolBar::bandRow(int index) const
{
    const auto all = rows();
    for (size_t r = 0; r < all.size(); ++r) {
        if (std::find(all[r].begin(), all[r].end(), index) != all[r].end())
            return int(r);
    }
    return -1;
}

int CoolBar::layoutHeight() const
{
    const auto all = rows();
    int height = 2 * Margin + RowSpacing * std::max(0, int(all.size()) - 1);
    for (const auto &row : all) {
        int rowHeight = 0;
        for (int i : row)
            rowHeight = std::max(rowHeight, bandHeight(i));
        height += rowHeight;
    }
    return height;
}

std::vector<int> CoolBar::rowWidths(const std::vector<int> &row, int available) const
{
    std::vector<int> widths(row.size());
    int used = 0;
    for (size_t k = 0; k + 1 < row.size(); ++k) {
        const CoolBand *b = band(row[k]);
        widths[k] = b->m_requestedWidth >= 0 ? std::max(b->m_requestedWidth, b->minimumWidth()) : b->naturalWidth();
        used += widths[k];
    }
    // The last band of a row takes what is left.
    widths.back() = std::max(band(row.back())->minimumWidth(), available - used);
    int excess = std::accumulate(widths.begin(), widths.end(), 0) - available;
    for (size_t k = row.size() - 1; k-- > 0 && excess > 0;) {
        const int cut = std::min(excess, widths[k] - band(row[k])->minimumWidth());
        widths[k] -= cut;
        excess -= cut;
    }
    return widths;
}

void CoolBar::maximizeBand(int index)
{
    const int r = bandRow(index);
    if (r < 0)
        return;
    const std::vector<int> row = rows()[size_t(r)];
    int othersMinimum = 0;
    for (int i : row) {
        if (i != index) {
            band(i)->m_requestedWidth = band(i)->minimumWidth();
            othersMinimum += band(i)->m_requestedWidth;
        }
    }
    band(index)->m_requestedWidth = std::max(band(index)->minimumWidth(), width() - 2 * Margin - othersMinimum);
    doLayout();
}

void CoolBar::moveBandsForHeight(int h)
{
    int current = layoutHeight();
    bool changed = false;
    if (h < current) {
        for (int i = bandCount() - 1; i >= 0; --i) {
            if (!band(i)->shown() || !startsRow(i) || rows().front().front() == i)
                continue;
            if (current - bandHeight(i) >= h) {
                band(i)->m_break = false;
                changed = true;
                current = layoutHeight();
            }
        }
    } else {
        for (int i = bandCount() - 1; i >= 0; --i) {
            if (!band(i)->shown() || startsRow(i) || band(i)->m_fixedSize)
                continue;
            if (h >= current + bandHeight(i)) {
                band(i)->m_break = true;
                changed = true;
                current = layoutHeight();
            }
        }
    }
    if (changed)
        bandsChanged();
}

QSize CoolBar::sizeHint() const
{
    int width = 0;
    for (const auto &row : rows()) {
        int rowWidth = 0;
        for (int i : row)
            rowWidth += band(i)->naturalWidth();
        width = std::max(width, rowWidth);
    }
    return QSize(width + 2 * Margin, layoutHeight());
}

QSize CoolBar::minimumSizeHint() const
{
    return QSize(0, layoutHeight());
}

void CoolBar::bandsChanged()
{
    updateGeometry();
    doLayout();
    update();
}

void CoolBar::resizeEvent(QResizeEvent *)
{
    doLayout();
}

void CoolBar::doLayout()
{
    for (CoolBand *b : m_bands)
        b->setVisible(b->shown());
    const int available = std::max(0, width() - 2 * Margin);
    int y = Margin;
    for (const auto &row : rows()) {
        int rowHeight = 0;
        for (int i : row)
            rowHeight = std::max(rowHeight, bandHeight(i));
        const std::vector<int> widths = rowWidths(row, available);
        int x = Margin;
        for (size_t k = 0; k < row.size(); ++k) {
            band(row[k])->setGeometry(x, y, widths[k], rowHeight);
            x += widths[k];
        }
        y += rowHeight + RowSpacing;
    }
}

void CoolBar::paintEvent(QPaintEvent *)
{
    // An etched line between rows and along the bottom edge.
    QPainter painter(this);
    const auto all = rows();
    int y = Margin;
    for (size_t r = 0; r < all.size(); ++r) {
        int rowHeight = 0;
        for (int i : all[r])
            rowHeight = std::max(rowHeight, bandHeight(i));
        y += rowHeight;
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(0, y, width(), y);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, y + 1, width(), y + 1);
        y += RowSpacing;
    }
}
