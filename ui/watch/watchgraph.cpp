// SPDX-License-Identifier: MIT
#include "ui/watch/watchgraph.h"

#include "engine/watch/plotcolumns.h"
#include "ui/watch/watchlistmodel.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb Colours[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b, 0xe377c2, 0x17becf};
// Objects drawn at once at most.
constexpr size_t MaxSeries = 16;
// A label every so many pixels at most.
constexpr int TimeLabelPx = 90;
constexpr int ValueLabelPx = 36;

struct Drawn
{
    int row;
    PlotColumns columns;
    double factor;
    bool steps;
};

// A step of 1, 2 or 5 times a power of ten, so that `range` takes about `count` of them.
double niceStep(double range, int count)
{
    const double raw = range / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power)
            return m * power;
    }
    return 10 * power;
}

qint64 timeStep(qint64 spanMs, int count)
{
    static constexpr qint64 steps[] = {1000, 2000, 5000, 10000, 15000, 30000, 60000, 120000, 300000, 600000,
                                       900000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000,
                                       172800000, 604800000};
    for (const qint64 step : steps) {
        if (spanMs / step <= count)
            return step;
    }
    return steps[std::size(steps) - 1];
}

} // namespace

WatchGraph::WatchGraph(const WatchListModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("WatchGraph"));
    setAccessibleName(tr("Graph"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(120);
}

void WatchGraph::setObjects(std::vector<ObjectId> ids)
{
    m_ids = std::move(ids);
    update();
}

void WatchGraph::setSpanMs(qint64 span)
{
    m_spanMs = span;
    update();
}

void WatchGraph::paintEvent(QPaintEvent *)
{
    QElapsedTimer clock;
    clock.start();
    QPainter p(this);
    const QPalette &pal = palette();
    p.fillRect(rect(), pal.base());
    const QFontMetrics fm = fontMetrics();
    const int lineHeight = fm.height();
    const QRect plot = rect().adjusted(fm.horizontalAdvance(QStringLiteral("000.00 M")) + 10, 2 * lineHeight + 6, -12,
                                       -(lineHeight + 8));
    m_axis.clear();
    m_valueLabels.clear();
    if (plot.width() < 10 || plot.height() < 10)
        return;

    const WatchPoller &poller = m_model.poller();
    const qint64 toMs = m_endMs > 0 ? m_endMs : QDateTime::currentMSecsSinceEpoch();
    qint64 fromMs = toMs - m_spanMs;
    std::vector<int> rows;
    for (const ObjectId id : m_ids) {
        if (const int row = poller.rowOf(id); row >= 0)
            rows.push_back(row);
    }
    // A whole list selected: the first of it, a line each one can tell apart.
    const size_t notDrawn = rows.size() > MaxSeries ? rows.size() - MaxSeries : 0;
    rows.resize(rows.size() - notDrawn);
    if (m_spanMs <= 0) {
        fromMs = toMs - 60 * 1000;
        for (const int row : rows) {
            if (!poller.object(row).samples.empty())
                fromMs = std::min<qint64>(fromMs, poller.object(row).samples.firstTimeMs());
        }
    }

    // Each object's columns, and the range of all of them.
    std::vector<Drawn> drawn;
    double low = NAN, high = NAN;
    std::vector<std::pair<QString, bool>> legend; // a name, and whether it is plotted
    QStringList units;
    for (const int row : rows) {
        const WatchedObject &object = poller.object(row);
        const WatchLabels &labels = m_model.labels(row);
        if (valueKind(object.value.asnType) == ValueKind::Text) {
            legend.emplace_back(labels.name + tr(" (not plotted)"), false);
            continue;
        }
        legend.emplace_back(labels.name, true);
        if (const QString unit = m_model.axisUnit(row); !unit.isEmpty() && !units.contains(unit))
            units << unit;
        Drawn d{row, plotColumns(object.samples, fromMs, toMs, plot.width()), m_model.factor(row),
                !labels.enums.empty() && object.value.asnType == asn::Integer32};
        if (!std::isnan(d.columns.low)) {
            low = std::isnan(low) ? d.columns.low * d.factor : std::min(low, d.columns.low * d.factor);
            high = std::isnan(high) ? d.columns.high * d.factor : std::max(high, d.columns.high * d.factor);
        }
        drawn.push_back(std::move(d));
    }
    m_axis = units.join(QLatin1String(", "));

    // Enumerations of one kind label their values; rates start at zero.
    const std::vector<MibNamedNumber> *enums = nullptr;
    if (!drawn.empty() && drawn.front().steps) {
        enums = &m_model.labels(drawn.front().row).enums;
        for (const Drawn &d : drawn) {
            if (!d.steps || m_model.labels(d.row).enums.size() != enums->size())
                enums = nullptr;
        }
    }
    if (std::isnan(low)) {
        low = 0;
        high = 1;
    }
    bool rates = !drawn.empty();
    for (const Drawn &d : drawn)
        rates = rates && valueKind(poller.object(d.row).value.asnType) != ValueKind::Number;
    if (rates && low > 0)
        low = 0;
    if (enums) {
        low -= 0.5;
        high += 0.5;
    } else if (high - low < 1e-9 * std::max(1.0, std::fabs(high))) {
        const double pad = std::max(1.0, std::fabs(high) * 0.1);
        low -= pad;
        high += pad;
    } else {
        const double pad = (high - low) * 0.05;
        high += pad;
        if (!(rates && low == 0))
            low -= pad;
    }
    const auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };
    const double perMs = double(plot.width()) / double(toMs - fromMs);

    // The grid with its labels.
    p.setPen(pal.color(QPalette::Text));
    const QColor gridColour = pal.color(QPalette::Mid);
    if (enums) {
        for (const MibNamedNumber &e : *enums) {
            if (double(e.value) < low || double(e.value) > high)
                continue;
            const double y = yOf(double(e.value));
            p.setPen(gridColour);
            p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            const QString text = QString::fromStdString(e.label);
            m_valueLabels << text;
            p.setPen(pal.color(QPalette::Text));
            p.drawText(QRectF(0, y - lineHeight / 2.0, plot.left() - 6, lineHeight), Qt::AlignRight | Qt::AlignVCenter, text);
        }
    } else {
        const double step = niceStep(high - low, std::max(2, plot.height() / ValueLabelPx));
        for (double v = std::ceil(low / step) * step; v <= high; v += step) {
            const double y = yOf(v);
            p.setPen(gridColour);
            p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            const QString text = WatchListModel::scaled(std::fabs(v) < step * 1e-6 ? 0.0 : v);
            m_valueLabels << text;
            p.setPen(pal.color(QPalette::Text));
            p.drawText(QRectF(0, y - lineHeight / 2.0, plot.left() - 6, lineHeight), Qt::AlignRight | Qt::AlignVCenter, text);
        }
    }
    const qint64 tStep = timeStep(toMs - fromMs, std::max(2, plot.width() / TimeLabelPx));
    const qint64 zone = QDateTime::fromMSecsSinceEpoch(toMs).offsetFromUtc() * 1000LL;
    const QString format = tStep < 60000 ? QStringLiteral("HH:mm:ss") : tStep < 86400000 ? QStringLiteral("HH:mm")
                                                                                         : QStringLiteral("d MMM");
    for (qint64 t = ((fromMs + zone) / tStep + 1) * tStep - zone; t <= toMs; t += tStep) {
        const double x = plot.left() + double(t - fromMs) * perMs;
        p.setPen(gridColour);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRectF(x - TimeLabelPx / 2.0, plot.bottom() + 4, TimeLabelPx, lineHeight), Qt::AlignCenter,
                   QDateTime::fromMSecsSinceEpoch(t).toString(format));
    }
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    p.drawText(QRect(4, lineHeight + 4, plot.left() + 200, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, m_axis);

    // The lines, column by column: the value range in each, joined to the column before.
    p.setClipRect(plot);
    std::vector<QLineF> lines;
    std::vector<QPointF> points;
    for (size_t s = 0; s < drawn.size(); ++s) {
        const Drawn &d = drawn[s];
        lines.clear();
        points.clear();
        double prevX = plot.left() - 1;
        double prevY = std::isnan(d.columns.entry) ? NAN : yOf(d.columns.entry * d.factor);
        for (size_t i = 0; i < d.columns.columns.size(); ++i) {
            const PlotColumn &c = d.columns.columns[i];
            if (std::isnan(c.low))
                continue;
            const double x = plot.left() + double(i) + 0.5;
            const double yFirst = yOf(c.first * d.factor);
            double top = yOf(c.high * d.factor);
            double bottom = yOf(c.low * d.factor);
            if (c.joined && !std::isnan(prevY)) {
                if (x - prevX <= 1.0) {
                    // From the column beside: the join is this column's line, lengthened.
                    top = std::min(top, prevY);
                    bottom = std::max(bottom, prevY);
                } else if (d.steps) {
                    lines.emplace_back(prevX, prevY, x, prevY);
                    lines.emplace_back(x, prevY, x, yFirst);
                } else {
                    lines.emplace_back(prevX, prevY, x, yFirst);
                }
            }
            if (bottom - top >= 1.0)
                lines.emplace_back(x, top, x, bottom);
            else
                points.emplace_back(x, yFirst);
            prevX = x;
            prevY = yOf(c.last * d.factor);
        }
        // One pixel wide: wider pens take the raster engine's slow path.
        p.setPen(QColor(Colours[s % std::size(Colours)]));
        p.drawLines(lines.data(), int(lines.size()));
        p.drawPoints(points.data(), int(points.size()));
    }
    p.setClipping(false);

    // The legend, in the colours of the lines.
    int x = plot.left();
    size_t colour = 0;
    for (const auto &[name, isPlotted] : legend) {
        const QString text = fm.elidedText(name, Qt::ElideMiddle, std::max(40, width() - x - 30));
        if (isPlotted)
            p.fillRect(QRect(x, 6, 12, lineHeight - 4), QColor(Colours[colour++ % std::size(Colours)]));
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPoint(x + 16, 4 + fm.ascent()), text);
        x += 16 + fm.horizontalAdvance(text) + 14;
        if (x > width())
            break;
    }
    if (notDrawn > 0) {
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPoint(x + 4, 4 + fm.ascent()), tr("and %1 more, not drawn").arg(notDrawn));
    }
    if (legend.empty()) {
        p.setPen(pal.color(QPalette::PlaceholderText));
        p.drawText(plot, Qt::AlignCenter, tr("Select objects in the list to graph them."));
    }
    m_paintNs = clock.nsecsElapsed();
}
