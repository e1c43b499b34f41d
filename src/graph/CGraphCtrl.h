#pragma once

#include <QWidget>
#include <atomic>
#include <mutex>
#include <string>

#include "app/Clock.h"
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

namespace corvane {

// The plot area of the main window. It owns the GraphModel and guards it
// with the trace lock: a data update waits at most 1 ms for it and is dropped
// when a paint holds it, a paint waits as long as it must. Every paint draws
// the whole picture (the widget is double-buffered, so nothing flickers).
//
// Threads: setTraceData, redraw and redrawAll may be called from any thread
// (the receive thread feeds the live run); the widget itself is repainted
// only by a queued update() on its own thread. edit() and read() may also be
// called from any thread but wait for a paint to end.
class CGraphCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CGraphCtrl(Clock& clock, QWidget* parent = nullptr);
    ~CGraphCtrl() override;

    CGraphCtrl(const CGraphCtrl&) = delete;
    CGraphCtrl& operator=(const CGraphCtrl&) = delete;

    // Copies the points into the slot (see GraphModel::setTraceData). Returns
    // false when n < 1 or when the trace lock stayed busy for 1 ms: the
    // update is dropped and the next refresh brings the data.
    bool setTraceData(const double* x, const double* y, int n, int slot, double gain = 1.0);

    // Runs f(GraphModel&) under the trace lock and returns its result. Does
    // not repaint: call redraw() or redrawAll() when done.
    template <class F>
    decltype(auto) edit(F&& f) {
        std::lock_guard lock(traceLock_);
        return f(model_);
    }
    // Runs f(const GraphModel&) under the trace lock (getters: ranges,
    // colours, lastX, the axis rule).
    template <class F>
    decltype(auto) read(F&& f) const {
        std::lock_guard lock(traceLock_);
        return f(static_cast<const GraphModel&>(model_));
    }

    // The y offset of a data set, in axis units on the y range `range`,
    // becomes a pixel shift of the slot for the current plot height.
    void setTracePixelOffset(int slot, double offset, double range);
    // Also tells the owner (traceColourChanged), whose main cursor label
    // shows the slot colours.
    void setTraceColour(int slot, Rgb colour);
    // One line centred on the plot, shown by the next paint.
    void showMessage(const std::string& text);

    // Repaint.
    void redraw();
    // Repaint a picture rebuilt from scratch (drops a message kept on a live
    // run's picture).
    void redrawAll();

    // The slot whose colour is on screen in the 7 x 7 pixel box centred on
    // (x, y), searched column by column from x - 3; -1 when none is.
    [[nodiscard]] int hitTestTrace(int x, int y);

    // Draws the current picture onto another device (a printer page, a
    // bitmap) with the plot's top-left corner at the painter's origin.
    void render(QPainter& painter, QSize plot, const GraphPaintStyle& style) const;

signals:
    // Mouse and key input on the plot, for the main window to route.
    void mousePressed(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMoved(QPoint pos, Qt::MouseButtons buttons);
    void mouseReleased(QPoint pos, Qt::MouseButton button);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void traceColourChanged(int slot, QColor colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void requestRepaint();

    Clock& clock_;
    mutable std::timed_mutex traceLock_;
    GraphModel model_;
    GraphPainter painter_;
    std::atomic<bool> repaintQueued_{false};
    std::atomic<bool> rebuildRequested_{false};
};

}  // namespace corvane
