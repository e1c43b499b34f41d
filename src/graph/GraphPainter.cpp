#include "graph/GraphPainter.h"

#include <QPaintEngine>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kLabelPoints = 8.0;

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QPoint toQPoint(PixelPoint p) { return QPoint(p.x, p.y); }

QPen solidPen(QColor colour, double width) {
    QPen pen(colour);
    pen.setWidthF(width);
    pen.setCapStyle(Qt::SquareCap);  // both end pixels of a 1 px line are drawn
    return pen;
}

QPen dottedPen(QColor colour, double width) {
    QPen pen = solidPen(colour, width);
    pen.setDashPattern({1.0, 2.0});
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QRect toQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// Lets a fraction plan draw its zones with the painter of the graph.
class PainterZoneCanvas : public ZoneCanvas {
public:
    PainterZoneCanvas(QPainter& painter, double lineWidth)
        : painter_(painter), lineWidth_(lineWidth) {}

    void line(PixelPoint from, PixelPoint to, Rgb colour) override {
        painter_.setPen(solidPen(toQColor(colour), lineWidth_));
        painter_.drawLine(toQPoint(from), toQPoint(to));
    }
    void fillRect(const PixelRect& rect, Rgb colour, int alpha) override {
        QColor c = toQColor(colour);
        c.setAlpha(alpha);
        painter_.fillRect(toQRect(rect), c);
    }
    void text(const PixelRect& rect, std::string_view text, Rgb colour) override {
        painter_.setPen(toQColor(colour));
        painter_.drawText(toQRect(rect), Qt::AlignCenter | Qt::TextSingleLine,
                          QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }

private:
    QPainter& painter_;
    double lineWidth_;
};

}  // namespace

GraphPaintStyle GraphPaintStyle::screen(double logicalDpi) {
    GraphPaintStyle style;
    style.fontPixelSize = kLabelPoints * logicalDpi / kPointsPerInch;
    return style;
}

GraphPaintStyle GraphPaintStyle::page(double s, double dpi) {
    constexpr double kPageLabelPoints = 4.0;
    GraphPaintStyle style;
    style.scale = s;
    style.lineWidth = s;
    style.gridWidth = s / 2;
    style.gridColour = Rgb{128, 128, 128};
    style.fontPixelSize = kPageLabelPoints * s * dpi / kPointsPerInch;
    style.interactive = false;
    return style;
}

GraphPainter::GraphPainter(const GraphPaintStyle& style) { setStyle(style); }

void GraphPainter::setStyle(const GraphPaintStyle& style) {
    style_ = style;
    font_ = QFont(QStringLiteral("Arial"));
    font_.setStyleHint(QFont::SansSerif);
    font_.setPixelSize(std::max(1, rnd(style.fontPixelSize)));
    gridPen_ = dottedPen(toQColor(style.gridColour), style.gridWidth);
    blackPen_ = solidPen(Qt::black, style.lineWidth);
    greenPen_ = solidPen(QColor(0, 255, 0), style.lineWidth);
    redPen_ = solidPen(QColor(255, 0, 0), style.lineWidth);
    greyTextPen_ = QPen(QColor(128, 128, 128));
}

void GraphPainter::drawSegments(QPainter& painter, const std::vector<PixelSegment>& segments) {
    for (const PixelSegment& s : segments) {
        painter.drawLine(toQPoint(s.from), toQPoint(s.to));
    }
}

void GraphPainter::drawLabel(QPainter& painter, const TickLabel& label) {
    if (label.empty()) {
        return;
    }
    const int flags =
        Qt::TextSingleLine | Qt::AlignVCenter | (label.alignLeft ? Qt::AlignLeft : Qt::AlignRight);
    painter.drawText(toQRect(label.rect), flags, QString::fromLatin1(label.text.data()));
}

bool GraphPainter::drawTraceSpans(QPainter& painter, const GraphGeometry& geometry, int slot, QColor colour) {
    const int w = std::max(1, rnd(style_.lineWidth));
    geometry.traceSpans(slot, w, spans_, segments_);
    // A sparse trace (zoomed in, points pixels apart) is a few segments:
    // the polyline draws it as well and joins its corners.
    if (spans_.size() < 4 * segments_.size()) {
        return false;
    }
    // A w pixel pen covers w columns, the extra pixel of an odd width to
    // the right, as Qt draws aliased lines.
    const int before = w / 2;
    for (const ColumnSpan& span : spans_) {
        painter.fillRect(span.x - before, span.top, w, span.bottom - span.top + 1, colour);
    }
    drawSegments(painter, segments_);
    return true;
}

void GraphPainter::drawTrace(QPainter& painter, const GraphGeometry& geometry,
                             const GraphModel& model, int slot, std::size_t from) {
    const TraceSlot& s = model.slot(slot);
    const QColor colour = toQColor(s.colour);
    QPen pen = solidPen(colour, style_.lineWidth);
    if (s.dashed) {
        // Thinner than a solid trace, but on a printer's page half its width:
        // dashes of one device pixel at 600 dpi print as a hairline that
        // reads as solid, against the legend's dashes.
        pen.setWidthF(std::max(1.0, style_.lineWidth / 2));
        pen.setDashPattern({6.0, 4.0});
        pen.setCapStyle(Qt::FlatCap);
    }
    painter.setPen(pen);
    // A dense solid trace on a bitmap: one filled span per pixel column.
    // Stroking its zig-zag with a wide pen is what made a noisy run slow to
    // draw, and more so the larger the page; vector output keeps its path.
    if (from == 0 && style_.reduceDenseColumns && style_.spanDenseColumns && !s.dashed &&
        painter.paintEngine() != nullptr &&
        painter.paintEngine()->type() == QPaintEngine::Raster && drawTraceSpans(painter, geometry, slot, colour)) {
        return;
    }

    // A dash pattern runs along the whole path: only a solid line can lose
    // points without changing its pixels.
    geometry.traceLines(slot, style_.reduceDenseColumns && !s.dashed, points_, runEnds_, from);
    int begin = 0;
    for (const int end : runEnds_) {
        qpoints_.resize(static_cast<size_t>(end - begin));
        for (int i = begin; i < end; ++i) {
            qpoints_[static_cast<size_t>(i - begin)] = toQPoint(points_[static_cast<size_t>(i)]);
        }
        painter.drawPolyline(qpoints_.data(), end - begin);
        begin = end;
    }
}

void GraphPainter::drawMarkTicks(QPainter& painter, const GraphGeometry& geometry,
                                 const GraphModel& model, int slot,
                                 std::optional<int>& lastTickPx) {
    geometry.markTicks(slot, lastTickPx, markTicks_);
    const QPen slotPen = solidPen(toQColor(model.slot(slot).colour), style_.lineWidth);
    for (const MarkTick& tick : markTicks_) {
        if (tick.line) {
            painter.setPen(tick.blackPen ? blackPen_ : slotPen);
            painter.drawLine(toQPoint(tick.line->from), toQPoint(tick.line->to));
        }
        painter.setPen(Qt::black);
        drawLabel(painter, tick.label);
    }
}

void GraphPainter::drawInteractive(QPainter& painter, const GraphGeometry& geometry,
                                   const GraphModel& model) {
    const int width = geometry.mapping().width();
    const int height = geometry.mapping().height();
    if (model.messageVisible()) {
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, width, height), Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(model.messageText()));
    }

    if (model.selectionBox()) {
        GraphGeometry::outline(*model.selectionBox(), segments_);
        painter.setPen(blackPen_);
        drawSegments(painter, segments_);
    }

    geometry.cursorLines(segments_, handleSides_);
    painter.setPen(geometry.cursorsRed() ? redPen_ : blackPen_);
    drawSegments(painter, segments_);
    painter.setPen(gridPen_);
    drawSegments(painter, handleSides_);

    if (model.dragLine()) {
        geometry.dragLine(segments_);
        painter.setPen(blackPen_);
        drawSegments(painter, segments_);
    } else if (model.zoomBox()) {
        GraphGeometry::outline(*model.zoomBox(), segments_);
        painter.setPen(gridPen_);
        drawSegments(painter, segments_);
    }
}

void GraphPainter::drawMarkers(QPainter& painter, const GraphGeometry& geometry,
                               const GraphModel& model, int slot, std::size_t from) {
    geometry.traceMarkers(slot, markers_, from);
    if (markers_.empty()) {
        return;
    }
    const QColor colour = toQColor(model.slot(slot).colour);
    painter.setPen(solidPen(colour, style_.lineWidth));
    painter.setBrush(colour);
    for (const TraceMarker& m : markers_) {
        painter.drawEllipse(toQPoint(m.centre), m.radius, m.radius);
    }
    painter.setBrush(Qt::NoBrush);
}

void GraphPainter::paint(QPainter& painter, const GraphModel& model, QSize plot) {
    std::optional<int> lastTickPx;
    paintData(painter, model, plot, lastTickPx);
    paintOverlay(painter, model, plot, lastTickPx);
}

void GraphPainter::paintData(QPainter& painter, const GraphModel& model, QSize plot,
                             std::optional<int>& lastTickPx) {
    lastTickPx.reset();
    const int width = plot.width();
    const int height = plot.height();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setFont(font_);
    painter.fillRect(QRect(0, 0, width, height), Qt::white);
    if (!model.fullGraphMode() || width <= 0 || height <= 0) {
        painter.restore();
        return;
    }
    const GraphGeometry geometry(model, width, height, style_.scale);

    if (model.showGrid()) {
        geometry.gridLines(segments_);
        painter.setPen(gridPen_);
        drawSegments(painter, segments_);
    }

    for (int slot = 0; slot < kTraceSlots; ++slot) {
        const TraceSlot& s = model.slot(slot);
        if (s.x.empty() || s.y.empty()) {
            continue;
        }
        if (s.markStyle) {
            drawMarkTicks(painter, geometry, model, slot, lastTickPx);
        } else {
            drawTrace(painter, geometry, model, slot);
        }
        drawMarkers(painter, geometry, model, slot);
    }
    painter.restore();
}

std::optional<PixelRect> GraphPainter::paintNewPoints(
    QPainter& painter, const GraphModel& model, QSize plot,
    const std::array<std::size_t, kTraceSlots>& from) {
    const int width = plot.width();
    const int height = plot.height();
    if (!model.fullGraphMode() || width <= 0 || height <= 0) {
        return std::nullopt;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const GraphGeometry geometry(model, width, height, style_.scale);
    std::optional<PixelRect> box;
    const auto cover = [&box](PixelPoint p, int margin) {
        const PixelRect r{p.x - margin, p.y - margin, p.x + margin + 1, p.y + margin + 1};
        if (!box) {
            box = r;
            return;
        }
        box->left = std::min(box->left, r.left);
        box->top = std::min(box->top, r.top);
        box->right = std::max(box->right, r.right);
        box->bottom = std::max(box->bottom, r.bottom);
    };
    // A square cap reaches half a pen width beyond each end pixel.
    const int lineMargin = static_cast<int>(std::ceil(style_.lineWidth));
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        const TraceSlot& s = model.slot(slot);
        const std::size_t first = from[static_cast<std::size_t>(slot)];
        if (s.markStyle || first >= s.x.size() || s.y.size() != s.x.size()) {
            continue;
        }
        // From the last point drawn, so the line goes on without a gap.
        const std::size_t start = first > 0 ? first - 1 : 0;
        drawTrace(painter, geometry, model, slot, start);
        for (const PixelPoint& p : points_) {
            cover(p, lineMargin);
        }
        drawMarkers(painter, geometry, model, slot, first);
        for (const TraceMarker& m : markers_) {
            cover(m.centre, m.radius + lineMargin);
        }
    }
    painter.restore();
    return box;
}

void GraphPainter::paintOverlay(QPainter& painter, const GraphModel& model, QSize plot,
                                std::optional<int> lastTickPx) {
    const int width = plot.width();
    const int height = plot.height();
    if (!model.fullGraphMode() || width <= 0 || height <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setFont(font_);
    const GraphGeometry geometry(model, width, height, style_.scale);
    if (style_.interactive) {
        drawInteractive(painter, geometry, model);
    }

    geometry.boundaryTicks(lastTickPx, positions_, boundaryTicks_);
    for (const BoundaryTick& tick : boundaryTicks_) {
        if (tick.line) {
            painter.setPen(greenPen_);
            painter.drawLine(toQPoint(tick.line->from), toQPoint(tick.line->to));
        }
        painter.setPen(greyTextPen_);
        drawLabel(painter, tick.label);
    }
    if (model.showPlanZones() && model.fractionPlan() != nullptr &&
        model.context().eventMarksShown) {
        PainterZoneCanvas canvas(painter, style_.lineWidth);
        model.fractionPlan()->drawZones(canvas, geometry.mapping());
    }
    drawAnnotations(painter, geometry.mapping(), model);
    painter.restore();
}

void GraphPainter::drawAnnotations(QPainter& painter, const GraphMapping& mapping, const GraphModel& model) {
    const GraphAnnotations& marks = model.annotations();
    if (marks.empty()) {
        return;
    }
    // Soft enough that the trace stays readable through them.
    static constexpr Rgb kPalette[] = {{90, 160, 230}, {240, 170, 60}, {110, 200, 120}, {220, 110, 160},
                                       {160, 130, 220}, {120, 200, 200}};
    constexpr int kShadeAlpha = 48;
    const int height = mapping.height();
    const int clampLeft = -1;
    const int clampRight = mapping.width() + 1;
    const auto column = [&](double x) { return std::clamp(mapping.px(x), clampLeft, clampRight); };
    const int textHeight = static_cast<int>(std::ceil(style_.fontPixelSize * 1.4));
    for (const ShadedRegion& r : marks.regions) {
        const int left = column(std::min(r.from, r.to));
        const int right = column(std::max(r.from, r.to));
        if (right <= left) {
            continue;
        }
        const Rgb c = kPalette[static_cast<std::size_t>(r.colour) % std::size(kPalette)];
        QColor fill = toQColor(c);
        fill.setAlpha(kShadeAlpha);
        const QRect area(left, 0, right - left, height);
        painter.fillRect(area, fill);
        if (r.warning) {
            QColor hatch = toQColor(Rgb{200, 40, 40});
            hatch.setAlpha(kShadeAlpha);
            painter.fillRect(area, QBrush(hatch, Qt::BDiagPattern));
        }
        painter.setPen(toQColor(Rgb{static_cast<std::uint8_t>(c.r / 2), static_cast<std::uint8_t>(c.g / 2),
                                    static_cast<std::uint8_t>(c.b / 2)}));
        painter.drawText(QRect(left, static_cast<int>(2 * style_.scale), right - left, textHeight),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdString(r.name));
    }
    const double width = style_.lineWidth;
    for (std::size_t k = 0; k < marks.boundaries.size(); ++k) {
        const int x = mapping.px(marks.boundaries[k]);
        if (!mapping.inPlot(x)) {
            continue;
        }
        const bool active = static_cast<int>(k) == marks.activeBoundary;
        QPen pen = solidPen(active ? QColor(200, 30, 30) : QColor(70, 70, 70), active ? 2 * width : width);
        pen.setStyle(Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(x, 0, x, height - 1);
    }
    if (!marks.baseline.empty() && !model.logScale()) {
        const YAxisMap y = mapping.yAxis(model.yMin(), model.yMax());
        QPolygonF line;
        for (const auto& [px, py] : marks.baseline) {
            const int row = y.py(py, 0);
            if (row != kNoPixel) {
                line << QPointF(mapping.xPixels(px), row);
            }
        }
        painter.setPen(solidPen(marks.baselineActive ? QColor(200, 30, 30) : QColor(150, 60, 0),
                                marks.baselineActive ? 2 * width : width));
        painter.drawPolyline(line);
    }
}

}  // namespace corvane
