#include "graph/CGraphFrame.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPaintEvent>

#include "graph/CGraphCtrl.h"
#include "graph/GraphMapping.h"

namespace corvane {

namespace {

// The margins that hold the labels, in pixels.
constexpr int kLeftMargin = 70;
constexpr int kRightMargin = 70;
constexpr int kRightMarginBare = 12;
constexpr int kTopMargin = 8;
constexpr int kBottomMargin = 38;
constexpr int kTickLength = 4;
// The labels' size; the margins grow and shrink with the font.
constexpr double kLabelPoints = 8.0;
// Labels keep at least this much room between them.
constexpr int kXLabelSpacing = 80;
constexpr int kYLabelSpacing = 36;
// A legend entry: its line sample, the gap to its text, the gap to the next.
constexpr int kLegendLine = 24;
constexpr int kLegendTextGap = 4;
constexpr int kLegendEntryGap = 16;

}  // namespace

CGraphFrame::CGraphFrame(CGraphCtrl& graph, QWidget* parent) : QWidget(parent), graph_(graph) {
    graph_.setParent(this);
    graph_.installEventFilter(this);
    QFont small = font();
    small.setPointSizeF(kLabelPoints);
    setFont(small);
}

void CGraphFrame::setLabelsShown(bool shown) {
    labelsShown_ = shown;
    placeGraph();
    update();
}

void CGraphFrame::setTitles(const QString& x, const QString& y, const QString& yy) {
    xTitle_ = x;
    yTitle_ = y;
    yyTitle_ = yy;
    placeGraph();
    update();
}

void CGraphFrame::setLegend(GraphLegend legend) {
    if (legend == legend_) {
        return;
    }
    legend_ = std::move(legend);
    placeGraph();
    update();
}

void CGraphFrame::setLegendShown(bool shown) {
    legendShown_ = shown;
    placeGraph();
    update();
}

namespace {

QString legendText(const LegendEntry& entry) {
    return entry.file.empty() ? QString::fromStdString(entry.name)
                              : QStringLiteral("%1  %2").arg(QString::fromStdString(entry.name),
                                                             QString::fromStdString(entry.file));
}

}  // namespace

std::vector<QRect> CGraphFrame::legendPlaces() const {
    std::vector<QRect> places;
    if (!legendShown_) {
        return places;
    }
    const QFontMetrics metrics(font());
    const int line = metrics.height() + 2;
    const int left = labelsShown_ ? 8 : 2;
    int x = left;
    int y = 2;
    for (const LegendEntry& entry : legend_) {
        const int w = kLegendLine + kLegendTextGap + metrics.horizontalAdvance(legendText(entry));
        if (x > left && x + w > width() - 2) {
            x = left;
            y += line;
        }
        places.emplace_back(x, y, w, line);
        x += w + kLegendEntryGap;
    }
    return places;
}

void CGraphFrame::drawLegend(QPainter& painter) const {
    const auto places = legendPlaces();
    for (std::size_t i = 0; i < places.size(); ++i) {
        const LegendEntry& entry = legend_[i];
        const QRect& at = places[i];
        const QColor colour(entry.colour.r, entry.colour.g, entry.colour.b);
        const int mid = at.center().y();
        painter.save();
        if (entry.marks) {
            // Marks are ticks on the plot: three of them.
            painter.setPen(QPen(colour, 2));
            for (int k = 0; k < 3; ++k) {
                const int tx = at.left() + 4 + k * 8;
                painter.drawLine(tx, mid - 4, tx, mid + 4);
            }
        } else {
            painter.setPen(QPen(colour, 2, entry.dashed ? Qt::DashLine : Qt::SolidLine));
            painter.drawLine(at.left() + 1, mid, at.left() + kLegendLine - 2, mid);
        }
        painter.restore();
        painter.drawText(QRect(at.left() + kLegendLine + kLegendTextGap, at.top(), at.width(), at.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, legendText(entry));
    }
}

void CGraphFrame::placeGraph() {
    const auto places = legendPlaces();
    const int legendHeight = places.empty() ? 0 : places.back().bottom() + 2;
    if (!labelsShown_) {
        graph_.setGeometry(0, legendHeight, width(), std::max(1, height() - legendHeight));
        return;
    }
    const double s = font().pointSizeF() > 0 ? font().pointSizeF() / kLabelPoints : 1.0;
    const auto margin = [s](int pixels) { return static_cast<int>(pixels * s + 0.5); };
    const int left = margin(kLeftMargin);
    const int top = margin(kTopMargin) + legendHeight;
    const int right = margin(yyTitle_.isEmpty() ? kRightMarginBare : kRightMargin);
    graph_.setGeometry(left, top, std::max(1, width() - left - right),
                       std::max(1, height() - top - margin(kBottomMargin)));
}

void CGraphFrame::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        placeGraph();
    }
}

void CGraphFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeGraph();
}

FrameAxes CGraphFrame::currentAxes() const {
    const auto axes = graph_.read([](const GraphModel& m) {
        return FrameAxes{m.xMin(), m.xMax(), m.yMin(), m.yMax(), m.yyMin(), m.yyMax(), m.logScale()};
    });
    return axes.value_or(drawn_);
}

bool CGraphFrame::eventFilter(QObject* watched, QEvent* event) {
    // The plot repaints on its own; the labels follow when its ranges moved.
    if (watched == &graph_ && event->type() == QEvent::Paint && labelsShown_) {
        if (!(currentAxes() == drawn_)) {
            update();
        }
    }
    return QWidget::eventFilter(watched, event);
}

std::vector<CGraphFrame::PlacedTick> CGraphFrame::xTicks() const {
    const FrameAxes a = currentAxes();
    const QRect plot = graph_.geometry();
    std::vector<PlacedTick> placed;
    const int most = std::max(2, plot.width() / kXLabelSpacing + 1);
    const GraphMapping mapping(a.xMin, a.xMax, plot.width(), plot.height());
    for (auto& tick : linearTicks(a.xMin, a.xMax, most)) {
        const int px = mapping.px(tick.value);
        placed.push_back({std::move(tick), plot.left() + px});
    }
    return placed;
}

std::vector<CGraphFrame::PlacedTick> CGraphFrame::yTicks(bool rightAxis) const {
    const FrameAxes a = currentAxes();
    const QRect plot = graph_.geometry();
    const double lo = rightAxis ? a.yyMin : a.yMin;
    const double hi = rightAxis ? a.yyMax : a.yMax;
    const int most = std::max(2, plot.height() / kYLabelSpacing + 1);
    std::vector<AxisTick> ticks = a.logScale ? logTicks(lo, hi) : linearTicks(lo, hi, most);
    std::vector<PlacedTick> placed;
    if (!(hi > lo)) {
        return placed;
    }
    const YAxisMap axis(lo, hi, plot.height());
    for (auto& tick : ticks) {
        // Where the plot puts the value, without the clamp to its rows.
        const int py = plot.height() - rnd((tick.value - lo) * axis.pixelsPerUnit);
        placed.push_back({std::move(tick), plot.top() + py});
    }
    return placed;
}

void CGraphFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    drawn_ = currentAxes();
    painter.setPen(palette().windowText().color());
    drawLegend(painter);
    if (!labelsShown_) {
        return;
    }
    const QRect plot = graph_.geometry();
    const QFontMetrics metrics(font());
    painter.drawRect(plot.adjusted(-1, -1, 0, 0));

    for (const auto& placed : xTicks()) {
        const int x = placed.pixel;
        painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + kTickLength);
        const QString text = QString::fromStdString(placed.tick.label);
        const int w = metrics.horizontalAdvance(text);
        painter.drawText(x - w / 2, plot.bottom() + kTickLength + metrics.ascent() + 1, text);
    }
    const auto yLabels = [&](bool right) {
        for (const auto& placed : yTicks(right)) {
            const int y = placed.pixel;
            if (y < plot.top() - 1 || y > plot.bottom() + 1) {
                continue;
            }
            const QString text = QString::fromStdString(placed.tick.label);
            const int w = metrics.horizontalAdvance(text);
            const int baseline = y + metrics.ascent() / 2 - 1;
            if (right) {
                painter.drawLine(plot.right() + 1, y, plot.right() + kTickLength, y);
                painter.drawText(plot.right() + kTickLength + 3, baseline, text);
            } else {
                painter.drawLine(plot.left() - kTickLength - 1, y, plot.left() - 2, y);
                painter.drawText(plot.left() - kTickLength - 4 - w, baseline, text);
            }
        }
    };
    yLabels(false);
    if (!yyTitle_.isEmpty()) {
        yLabels(true);
    }

    painter.drawText(QRect(plot.left(), height() - metrics.height() - 1, plot.width(), metrics.height()),
                     Qt::AlignHCenter, xTitle_);
    painter.save();
    painter.translate(metrics.height(), plot.top() + plot.height() / 2);
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2, -metrics.height(), plot.height(), metrics.height()),
                     Qt::AlignHCenter, yTitle_);
    painter.restore();
    if (!yyTitle_.isEmpty()) {
        painter.save();
        painter.translate(width() - metrics.height(), plot.top() + plot.height() / 2);
        painter.rotate(90);
        painter.drawText(QRect(-plot.height() / 2, -metrics.height(), plot.height(), metrics.height()),
                         Qt::AlignHCenter, yyTitle_);
        painter.restore();
    }
}

}  // namespace corvane
