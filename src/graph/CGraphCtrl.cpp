#include "graph/CGraphCtrl.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>

namespace corvane {

namespace {

// A data update never holds up its caller (the receive thread) for longer.
constexpr std::int64_t kTraceLockWaitMs = 1;
// hitTestTrace looks this far around the mouse.
constexpr int kHitRadius = 3;

}  // namespace

CGraphCtrl::CGraphCtrl(Clock& clock, QWidget* parent)
    : QWidget(parent),
      clock_(clock),
      painter_(GraphPaintStyle::screen(logicalDpiY())),
      canvas_(GraphPaintStyle::screen(logicalDpiY())) {
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
    (void)edit([&](GraphModel& m) { m.setTracePixelOffset(slot, offset, range, plotHeight); });
}

void CGraphCtrl::setTraceColour(int slot, Rgb colour) {
    (void)edit([&](GraphModel& m) { m.setTraceColour(slot, colour); });
    emit traceColourChanged(slot, QColor(colour.r, colour.g, colour.b));
}

void CGraphCtrl::showMessage(const std::string& text) {
    (void)edit([&](GraphModel& m) { m.showMessage(text); });
    redrawAll();
}

void CGraphCtrl::redraw() { queueRefresh(); }

void CGraphCtrl::redrawAll() {
    rebuildRequested_ = true;
    queueRefresh();
}

void CGraphCtrl::queueRefresh() {
    if (QThread::currentThread() == thread()) {
        refreshPicture();
        return;
    }
    // From a worker: one queued refresh at a time is enough, it brings in
    // whatever changed meanwhile.
    if (!refreshQueued_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshQueued_ = false;
                refreshPicture();
            },
            Qt::QueuedConnection);
    }
}

void CGraphCtrl::refreshPicture() {
    if (!clock_.tryLockFor(traceLock_, kPaintLockMs)) {
        // Whoever holds the lock will be done soon: try again then.
        QTimer::singleShot(kPaintLockMs, this, [this] { queueRefresh(); });
        return;
    }
    QRect changed;
    {
        std::lock_guard held(traceLock_, std::adopt_lock);
        if (rebuildRequested_.exchange(false)) {
            model_.redrawAll();
            canvas_.invalidate();
        }
        changed = canvas_.update(model_, size(), devicePixelRatioF());
    }
    if (!changed.isEmpty()) {
        update(changed);
    }
}

void CGraphCtrl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!clock_.tryLockFor(traceLock_, kPaintLockMs)) {
        // The kept picture without its overlay for now, the whole soon after.
        canvas_.draw(painter, event->rect(), nullptr);
        QTimer::singleShot(kPaintLockMs, this, [this] { update(); });
        return;
    }
    std::lock_guard held(traceLock_, std::adopt_lock);
    if (rebuildRequested_.exchange(false)) {
        model_.redrawAll();
        canvas_.invalidate();
    }
    const QRect changed = canvas_.update(model_, size(), devicePixelRatioF());
    canvas_.draw(painter, event->rect(), &model_);
    model_.messagePainted();
    if (!event->rect().contains(changed)) {
        // Something else changed too (an expose came first): the rest next.
        update(changed);
    }
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
        if (!clock_.tryLockFor(traceLock_, kEditLockMs)) {
            return -1;
        }
        std::lock_guard held(traceLock_, std::adopt_lock);
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
    if (!clock_.tryLockFor(traceLock_, kEditLockMs)) {
        return;
    }
    std::lock_guard held(traceLock_, std::adopt_lock);
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

void CGraphCtrl::wheelEvent(QWheelEvent* event) {
    // One notch is 120; a touchpad sends less at a time and adds up.
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    wheelRemainder_ -= steps * 120;
    if (steps != 0) {
        emit wheelTurned(event->position().toPoint(), steps, event->modifiers());
    }
    event->accept();
}

}  // namespace corvane
