#pragma once

#include <QWidget>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

#include "app/Clock.h"
#include "graph/GraphCanvas.h"
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

namespace corvane {

// The plot area of the main window. It owns the GraphModel and guards it
// with the trace lock. The picture is kept between paints (GraphCanvas): a
// redraw draws only the points added since the last one, onto the kept
// picture, and repaints the part of the widget they touch; anything else
// that changed redraws the picture whole.
//
// Threads: every call may come from any thread; the widget itself is
// repainted only on its own thread (redraw and redrawAll from elsewhere
// queue one call there). No wait for the trace lock is without limit: a data
// update waits 1 ms and is dropped, edit() and read() wait up to
// kEditLockMs and then give up (false / nothing), and a paint that cannot
// have the lock within kPaintLockMs shows the kept picture and tries again
// a moment later. (The traditional control lets the paint wait as long as
// it must; a window that cannot paint for as long as another thread holds
// the lock looks hung, so ours never does.)
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

    static constexpr std::int64_t kEditLockMs = 1000;
    static constexpr std::int64_t kPaintLockMs = 50;

    // Runs f(GraphModel&) under the trace lock; false when the lock stayed
    // busy for kEditLockMs (f did not run). Does not repaint: call redraw()
    // or redrawAll() when done.
    template <class F>
    bool edit(F&& f) {
        if (!clock_.tryLockFor(traceLock_, kEditLockMs)) {
            return false;
        }
        std::lock_guard held(traceLock_, std::adopt_lock);
        f(model_);
        return true;
    }
    // Runs f(const GraphModel&) under the trace lock (getters: ranges,
    // colours, lastX, the axis rule) and gives its result; nothing when the
    // lock stayed busy for kEditLockMs. For an f without a result: whether
    // it ran.
    template <class F>
    auto read(F&& f) const {
        using Result = std::invoke_result_t<F, const GraphModel&>;
        const bool locked = clock_.tryLockFor(traceLock_, kEditLockMs);
        std::unique_lock held(traceLock_, std::adopt_lock);
        if constexpr (std::is_void_v<Result>) {
            if (!locked) {
                held.release();
                return false;
            }
            f(static_cast<const GraphModel&>(model_));
            return true;
        } else {
            if (!locked) {
                held.release();
                return std::optional<Result>();
            }
            return std::optional<Result>(f(static_cast<const GraphModel&>(model_)));
        }
    }

    // The y offset of a data set, in axis units on the y range `range`,
    // becomes a pixel shift of the slot for the current plot height.
    void setTracePixelOffset(int slot, double offset, double range);
    // Also tells the owner (traceColourChanged), whose main cursor label
    // shows the slot colours.
    void setTraceColour(int slot, Rgb colour);
    // One line centred on the plot, shown by the next paint.
    void showMessage(const std::string& text);

    // Repaint what changed: on a live run, the new points.
    void redraw();
    // Repaint a picture rebuilt from scratch (drops a message kept on a live
    // run's picture).
    void redrawAll();
    // The kept picture (for tests): how often it was drawn whole, how often
    // new points were added to it.
    [[nodiscard]] const GraphCanvas& canvas() const { return canvas_; }

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
    // The wheel: steps of one notch, positive away from the user.
    void wheelTurned(QPoint pos, int steps, Qt::KeyboardModifiers modifiers);
    void traceColourChanged(int slot, QColor colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // On the widget's thread: the kept picture brought up to date, and the
    // part of the widget that changed repainted.
    void refreshPicture();
    void queueRefresh();

    Clock& clock_;
    mutable std::timed_mutex traceLock_;
    GraphModel model_;
    // hitTestTrace's and render's own drawing; the widget's is the canvas.
    GraphPainter painter_;
    GraphCanvas canvas_;
    std::atomic<bool> refreshQueued_{false};
    std::atomic<bool> rebuildRequested_{false};
    int wheelRemainder_ = 0;
};

}  // namespace corvane
