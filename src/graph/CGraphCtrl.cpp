#include "graph/CGraphCtrl.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>

namespace corvane {

namespace {

// A data update never holds up its caller (the receive thread) for longer.
constexpr std::int64_t kTraceLockWaitMs = 1;
// hitTestTrace looks this far around the mouse.
constexpr int kHitRadius = 3;

}  // namespace

CGraphCtrl::CGraphCtrl(Clock& clock, QWidget* parent)
    : QWidget(parent), clock_(clock), painter_(GraphPaintStyle::screen(logicalDpiY())) {
    // Every paint covers every pixel: no background erase is needed.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

CGraphCtrl::~CGraphCtrl() = default;

bool CGraphCtrl::setTraceData(const double* x, const double* y, int n, int slot, double gain) {
    if (n < 1) {
        return false;
    }
    if (!clock_.tryLockFor(traceLock_, kTraceLockWaitMs)) {
        return false;
    }
    std::lock_guard held(traceLock_, std::adopt_lock);
    return model_.setTraceData(x, y, n, slot, gain);
}

void CGraphCtrl::setTracePixelOffset(int slot, double offset, double range) {
    const int plotHeight = height();
    edit([&](GraphModel& m) { m.setTracePixelOffset(slot, offset, range, plotHeight); });
}

void CGraphCtrl::setTraceColour(int slot, Rgb colour) {
    edit([&](GraphModel& m) { m.setTraceColour(slot, colour); });
    emit traceColourChanged(slot, QColor(colour.r, colour.g, colour.b));
}

void CGraphCtrl::showMessage(const std::string& text) {
    edit([&](GraphModel& m) { m.showMessage(text); });
    redrawAll();
}

void CGraphCtrl::redraw() { requestRepaint(); }

void CGraphCtrl::redrawAll() {
    rebuildRequested_ = true;
    requestRepaint();
}

void CGraphCtrl::requestRepaint() {
    if (QThread::currentThread() == thread()) {
        update();
        return;
    }
    // From a worker: one queued update at a time is enough, update() on the
    // widget's thread coalesces the rest.
    if (!repaintQueued_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                repaintQueued_ = false;
                update();
            },
            Qt::QueuedConnection);
    }
}

void CGraphCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    std::lock_guard lock(traceLock_);
    if (rebuildRequested_.exchange(false)) {
        model_.redrawAll();
    }
    painter_.paint(painter, model_, size());
    model_.messagePainted();
}

int CGraphCtrl::hitTestTrace(int x, int y) {
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0) {
        return -1;
    }
    // Paint just the box around the mouse: the same picture as on screen,
    // without reading the screen back.
    constexpr int kSide = 2 * kHitRadius + 1;
    QImage box(kSide, kSide, QImage::Format_RGB32);
    std::array<Rgb, kTraceSlots> colours;
    {
        QPainter painter(&box);
        painter.translate(kHitRadius - x, kHitRadius - y);
        std::lock_guard lock(traceLock_);
        painter_.paint(painter, model_, size());
        for (int slot = 0; slot < kTraceSlots; ++slot) {
            colours[static_cast<size_t>(slot)] = model_.getTraceColour(slot);
        }
    }
    for (int col = 0; col < kSide; ++col) {
        const int px = x - kHitRadius + col;
        if (px < 0 || px >= w) {
            continue;
        }
        for (int row = 0; row < kSide; ++row) {
            const int py = y - kHitRadius + row;
            if (py < 0 || py >= h) {
                continue;
            }
            const QRgb pixel = box.pixel(col, row);
            const Rgb rgb{static_cast<std::uint8_t>(qRed(pixel)),
                          static_cast<std::uint8_t>(qGreen(pixel)),
                          static_cast<std::uint8_t>(qBlue(pixel))};
            for (int slot = 0; slot < kTraceSlots; ++slot) {
                if (colours[static_cast<size_t>(slot)] == rgb) {
                    return slot;
                }
            }
        }
    }
    return -1;
}

void CGraphCtrl::render(QPainter& painter, QSize plot, const GraphPaintStyle& style) const {
    GraphPainter target(style);
    std::lock_guard lock(traceLock_);
    target.paint(painter, model_, plot);
}

void CGraphCtrl::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->position().toPoint(), event->button(), event->modifiers());
}

void CGraphCtrl::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->position().toPoint(), event->buttons());
}

void CGraphCtrl::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->position().toPoint(), event->button());
}

void CGraphCtrl::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(event->key(), event->modifiers());
}

}  // namespace corvane
