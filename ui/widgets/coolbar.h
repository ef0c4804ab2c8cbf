// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <vector>

class CoolBar;

// One band of the cool bar: a grip and the band's control. The band is shown
// while its control is, so hiding the control takes the band away.
class CoolBand : public QWidget
{
    Q_OBJECT

public:
    static constexpr int GripWidth = 10;

    CoolBand(QWidget *control, int minHeight, CoolBar *bar);

    QWidget *control() const { return m_control; }
    bool shown() const;
    int heightHint() const;
    int naturalWidth() const;
    int minimumWidth() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    friend class CoolBar;

    CoolBar *m_bar;
    QWidget *m_control;
    int m_minHeight;
    bool m_break = false;      // starts a new row
    bool m_fixedSize = false;  // never given a row of its own by the splitter
    int m_requestedWidth = -1; // -1: as wide as its control wants
};

// The band container under the window's top edge. It lays its bands out in
// rows (a band with the break flag starts a new row) and takes exactly the
// height those rows need.
class CoolBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Margin = 1;
    static constexpr int RowSpacing = 2;

    explicit CoolBar(QWidget *parent = nullptr);

    int addBand(QWidget *control, int minHeight, bool breakBefore, bool fixedSize = false);
    int bandCount() const { return int(m_bands.size()); }
    CoolBand *band(int index) const { return m_bands[size_t(index)]; }
    bool bandBreak(int index) const { return band(index)->m_break; }
    void setBandBreak(int index, bool on);
    int bandHeight(int index) const { return band(index)->heightHint(); }
    // The row a shown band sits in, from 0; -1 for a hidden band.
    int bandRow(int index) const;
    int rowCount() const { return int(rows().size()); }
    // The height the bands need, whatever the widget's current geometry.
    int layoutHeight() const;

    // Gives the band all the width of its row that the others can spare.
    void maximizeBand(int index);
    // The splitter under the cool bar proposes a new height h for it: moves
    // bands between rows so that the cool bar comes closer to h.
    void moveBandsForHeight(int h);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class CoolBand;

    std::vector<std::vector<int>> rows() const;
    std::vector<int> rowWidths(const std::vector<int> &row, int available) const;
    bool startsRow(int index) const;
    void bandsChanged();
    void doLayout();

    std::vector<CoolBand *> m_bands;
};
