#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "display/AxisState.h"
#include "graph/GraphModel.h"

namespace corvane {

class Clock;
class Prompter;

// One cursor line of the graph (a data marker in some messages).
struct CursorRecord {
    bool isMain = false;
    bool isMoving = false;  // its handle shows and it can be dragged
    double position = 0.0;  // x-axis units
    int handleY = 0;        // the handle's centre row
};

// The graph's cursors: at most four vertical lines, one of them the main
// cursor whose position the POSITION box shows and whose samples feed the
// readouts; place mode (the click that places a new cursor); the handle and
// line hit tests of the mouse routing; and the arrow keys, whose step grows
// while a key is held (1, then 4 from the 10th repeat, 10 from the 20th) and
// starts again at 1 after a pause of more than 500 ms.
//
// Threads: the window's thread.
class GraphCursors {
public:
    static constexpr int kMaxCursors = 4;
    static constexpr std::int64_t kArrowPauseMs = 500;
    static constexpr int kHandleHalf = 7;  // the handle box runs from -7 to +8
    static constexpr int kLineReach = 6;   // a click within 5 px opens a line's popup

    GraphCursors(Prompter& prompter, const Clock& clock) : prompter_(prompter), clock_(clock) {}

    [[nodiscard]] const std::vector<CursorRecord>& records() const { return records_; }
    [[nodiscard]] bool empty() const { return records_.empty(); }
    [[nodiscard]] int count() const { return static_cast<int>(records_.size()); }
    // -1 when there is no cursor.
    [[nodiscard]] int mainIndex() const;
    [[nodiscard]] std::optional<double> mainPosition() const;
    // What the graph draws.
    [[nodiscard]] std::vector<GraphCursor> graphCursors() const;

    // A new main cursor at position; with four already, "No more than %d
    // data markers are permitted." and nothing is added.
    bool add(double position);
    // Deleting the main cursor makes the first remaining one main.
    void remove(int index);
    // "Remove Marker(s)": refuses to remove every cursor ("Must leave at
    // least one marker in the graph. Please de-select at least one
    // marker."); false then, and nothing is removed.
    bool removeSelected(std::vector<int> indices);
    void makeMain(int index);
    // MOVE THIS CURSOR: its handle shows halfway down the plot, it becomes main.
    void startMove(int index, int plotHeight);
    // The main cursor moves (a click on the graph, the arrow keys).
    void moveMain(double position);
    // Every cursor to where `to` maps it; one it maps nowhere stays.
    template <class To>
    void relocate(To to) {
        for (auto& r : records_) {
            r.position = to(r.position).value_or(r.position);
        }
    }
    void clear() { records_.clear(); }

    // "Add / Remove Cursor(s)": the add-or-remove choice only with more than
    // one cursor; otherwise place mode starts at once.
    [[nodiscard]] bool addRemoveAsks() const { return records_.size() > 1; }
    void setPlaceMode(bool on) { placeMode_ = on; }
    [[nodiscard]] bool placeMode() const { return placeMode_; }

    // The first moving cursor whose handle box holds (x, y) (x from px - 7
    // to px + 8, y from handleY - 7 down to the plot's bottom); px maps a
    // position to its column.
    template <class Px>
    [[nodiscard]] std::optional<int> handleAt(int x, int y, int plotHeight, Px px) const {
        for (int i = 0; i < count(); ++i) {
            const CursorRecord& r = records_[static_cast<std::size_t>(i)];
            if (!r.isMoving) {
                continue;
            }
            const int col = px(r.position);
            if (col - kHandleHalf <= x && x <= col + kHandleHalf + 1 && r.handleY - kHandleHalf <= y &&
                y < plotHeight) {
                return i;
            }
        }
        return std::nullopt;
    }
    // The nearest cursor line within 5 px of column x, the first of equals.
    template <class Px>
    [[nodiscard]] std::optional<int> lineAt(int x, Px px) const {
        std::optional<int> best;
        int bestDistance = kLineReach;
        for (int i = 0; i < count(); ++i) {
            const int d = std::abs(px(records_[static_cast<std::size_t>(i)].position) - x);
            if (d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        return best;
    }
    // Dragging the handle of the first moving cursor.
    void dragTo(double position, int handleY);

    // The step of an arrow key pressed now (right: +, left: -).
    [[nodiscard]] int arrowStep(bool right);

    // The POSITION box: "%.2f" in mm, "%.0f" by sample number (the axis's
    // own format on the others); empty without cursors.
    [[nodiscard]] std::string positionText(XAxisType axis) const;
    // "Cursor: %.2f mm" or "Cursor: %.0f".
    [[nodiscard]] static std::string labelText(double position, XAxisType axis);
    // A line of "Remove Marker(s)": "Marker at X = %.2f mm" or "Marker at sample #%.0f".
    [[nodiscard]] std::string removeListLine(int index, XAxisType axis) const;

private:
    void ensureMain();

    Prompter& prompter_;
    const Clock& clock_;
    std::vector<CursorRecord> records_;
    bool placeMode_ = false;
    std::int64_t lastArrowMs_ = 0;
    bool anyArrow_ = false;
    int rightRepeats_ = 0;
    int leftRepeats_ = 0;
};

}  // namespace corvane
