// SPDX-License-Identifier: MIT
#pragma once

#include "engine/watch/pollplan.h"

#include <QWidget>

#include <vector>

class WatchListModel;

// The graph of the Watch window: the chosen objects' rates and values over
// the time span, drawn with QPainter column by column (the lowest and highest
// value of each pixel column, plotColumns), so a day of samples costs what
// its width costs. Gaps break the lines; enumerations step, their labels on
// the axis; the MIB's units name it. Strings are not plotted.
class WatchGraph final : public QWidget
{
    Q_OBJECT

public:
    explicit WatchGraph(const WatchListModel &model, QWidget *parent = nullptr);

    // The objects drawn, in the order of their colours.
    void setObjects(std::vector<ObjectId> ids);
    const std::vector<ObjectId> &objects() const { return m_ids; }
    // The time span up to now, in milliseconds; 0 for all the samples.
    void setSpanMs(qint64 span);
    qint64 spanMs() const { return m_spanMs; }
    // The moment the graph ends at; by default (0) the time of each paint.
    void setEndMs(qint64 endMs) { m_endMs = endMs; }

    // What the last paint drew: its cost and the lines of each object (for tests).
    qint64 lastPaintNs() const { return m_paintNs; }
    QString axisText() const { return m_axis; }
    QStringList valueLabels() const { return m_valueLabels; }

    QSize sizeHint() const override { return {640, 260}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const WatchListModel &m_model;
    std::vector<ObjectId> m_ids;
    qint64 m_spanMs = 5 * 60 * 1000;
    qint64 m_endMs = 0;
    qint64 m_paintNs = 0;
    QString m_axis;
    QStringList m_valueLabels;
};
