#include "graph/GraphCanvas.h"

#include <QPainter>

namespace corvane {

GraphCanvas::GraphCanvas(const GraphPaintStyle& style) : painter_(style) {}

bool GraphCanvas::needsWholeRedraw(const GraphModel& model, QSize plot, qreal ratio) const {
    if (!valid_ || model.revision() != revision_ || ratio != ratio_ || plot != plot_) {
        return true;
    }
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        const TraceSlot& s = model.slot(slot);
        const auto i = static_cast<std::size_t>(slot);
        const std::uint64_t end = s.firstIndex + s.x.size();
        // Points were taken away at the end: only a slot replaced does that,
        // and that moves the revision; be safe anyway.
        if (end < drawnEnd_[i] || s.firstIndex < wholeFirst_[i]) {
            return true;
        }
        if (s.firstIndex - wholeFirst_[i] > kStalePointLimit) {
            return true;
        }
        // Mark ticks depend on the points before them and hide boundaries:
        // they are drawn whole.
        if (s.markStyle && end != drawnEnd_[i]) {
            return true;
        }
    }
    return false;
}

void GraphCanvas::redrawWhole(const GraphModel& model, QSize plot, qreal ratio) {
    if (picture_.size() != plot * ratio) {
        picture_ = QImage(plot * ratio, QImage::Format_RGB32);
    }
    picture_.setDevicePixelRatio(ratio);
    QPainter painter(&picture_);
    painter_.paintData(painter, model, plot, lastTickPx_);
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        const TraceSlot& s = model.slot(slot);
        const auto i = static_cast<std::size_t>(slot);
        drawnEnd_[i] = s.firstIndex + s.x.size();
        wholeFirst_[i] = s.firstIndex;
    }
    revision_ = model.revision();
    ratio_ = ratio;
    plot_ = plot;
    valid_ = true;
}

QRect GraphCanvas::update(const GraphModel& model, QSize plot, qreal devicePixelRatio) {
    const QRect whole(QPoint(0, 0), plot);
    if (plot.isEmpty()) {
        valid_ = false;
        return {};
    }
    const bool overlayChanged = model.overlayRevision() != overlayRevision_;
    overlayRevision_ = model.overlayRevision();
    if (needsWholeRedraw(model, plot, devicePixelRatio)) {
        redrawWhole(model, plot, devicePixelRatio);
        ++wholeRedraws_;
        return whole;
    }
    std::array<std::size_t, kTraceSlots> from{};
    bool added = false;
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        const TraceSlot& s = model.slot(slot);
        const auto i = static_cast<std::size_t>(slot);
        from[i] = static_cast<std::size_t>(drawnEnd_[i] - s.firstIndex);
        added = added || from[i] < s.x.size();
        drawnEnd_[i] = s.firstIndex + s.x.size();
    }
    QRect changed;
    if (added) {
        QPainter painter(&picture_);
        if (const auto box = painter_.paintNewPoints(painter, model, plot, from)) {
            changed = QRect(QPoint(box->left, box->top), QPoint(box->right - 1, box->bottom - 1))
                          .intersected(whole);
        }
        ++pointRedraws_;
    }
    return overlayChanged ? whole : changed;
}

void GraphCanvas::draw(QPainter& painter, const QRect& region, const GraphModel* model) {
    if (!valid_) {
        painter.fillRect(region, Qt::white);
        return;
    }
    const QRectF source(region.topLeft() * ratio_, region.size() * ratio_);
    painter.drawImage(QRectF(region), picture_, source);
    if (model != nullptr) {
        painter_.paintOverlay(painter, *model, plot_, lastTickPx_);
    }
}

}  // namespace corvane
