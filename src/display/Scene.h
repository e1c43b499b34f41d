#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "compare/AlignPeaks.h"
#include "compare/CompareOffsets.h"
#include "display/AxisState.h"
#include "display/RunTraces.h"
#include "runs/SampleRecord.h"

namespace corvane {

class GraphModel;
class RunDataFile;

// What a live scene's new samples asked of the picture.
enum class SceneRepaint { None, NewPoints, Whole };

// A way of looking at runs on the graph, one class each: the live run
// (LiveScene), a saved run (RunFileScene), the compare window's sets
// (CompareScene). A scene puts its traces into the graph model on the axes
// it is given and answers what the cursors, the mouse, AUTO-ALIGN, the
// read-outs and the page ask of it, by data set: the sets shown together
// are numbered (the current run 0 and an overlay 1; compare sets 0 to 3),
// and placed by the gains and offsets the view keeps for them.
//
// What is laid over a scene's own run is an item that knows itself (see
// RunItems): the overlay run and the standard run's profile today; a
// profile read from another instrument's file, or analysis regions,
// baselines and valleys, join the same way, each drawing its own slots,
// adding its own values to the auto-scale and answering for itself at a
// position. A way of looking that is none of the three (a profile of
// another instrument alone on its own x) is a new Scene.
//
// Threads: the window's thread.
class Scene {
public:
    // offsets: the gains and offsets of the sets shown, which the view keeps.
    explicit Scene(const CompareOffsets& offsets) : offsets_(offsets) {}
    virtual ~Scene() = default;

    // Builds the model whole from the data on show: slots, marks, context;
    // the axes take the auto-scales of what is inside their x range.
    virtual void build(GraphModel& model, AxisState& axes) = 0;
    // A live run only: the samples that arrived since added to the model.
    virtual SceneRepaint sync(GraphModel& /*model*/, AxisState& /*axes*/) { return SceneRepaint::None; }
    // The model could not be had (another thread held it): the next sync
    // starts over.
    virtual void invalidate() {}
    [[nodiscard]] virtual bool live() const { return false; }

    // DE-1 data: the window's captions, ranges and summary follow.
    [[nodiscard]] virtual bool de1() const = 0;
    // The sets shown are compared as equals (a compare legend on the page,
    // one line per set in the read-outs), not a run and its overlay.
    [[nodiscard]] virtual bool comparesSets() const { return false; }
    [[nodiscard]] virtual int setCount() const = 0;
    // The run file of a set; null for the live run or a set not shown.
    [[nodiscard]] virtual const RunDataFile* setFile(int set) const = 0;
    [[nodiscard]] virtual std::filesystem::path setPath(int set) const = 0;
    // The set a trace slot belongs to.
    [[nodiscard]] virtual int setOfSlot(int slot) const = 0;
    // The trace drag may take the set of this slot.
    [[nodiscard]] virtual bool draggable(int slot) const = 0;
    // The sample of a set drawn at x (its shift taken off); nothing where
    // the set has none.
    [[nodiscard]] virtual std::optional<SampleRecord> sampleAt(int set, double x, XAxisType axis) const = 0;
    // The sample number of that sample (a live run counts from its start);
    // nothing where the set has none.
    [[nodiscard]] virtual std::optional<long long> sampleNumberAt(int /*set*/, double /*x*/,
                                                                  XAxisType /*axis*/) const {
        return std::nullopt;
    }
    // The x range after an axis switch or X auto-scale: what shows the data
    // whole, or nothing for a live run, whose window starts at 0.
    [[nodiscard]] virtual std::optional<AxisRange> fitX(XAxisType axis, bool xAutoScale) const = 0;
    // RESET beside the window size: everything there is on x.
    [[nodiscard]] virtual std::optional<AxisRange> fullX(XAxisType axis) const = 0;
    // The Abs A traces AUTO-ALIGN searches, set by set.
    [[nodiscard]] virtual std::vector<AlignTrace> alignTraces() const = 0;
    // On an axis by sample count, the first and last sample the arrow keys
    // stop at; on one by position, where the next sample beyond x (right)
    // or before it lies. In the axis's units.
    [[nodiscard]] virtual std::optional<AxisRange> sampleSpan(XAxisType axis) const = 0;
    [[nodiscard]] virtual std::optional<double> nextPosition(double x, bool right, XAxisType axis) const = 0;
    // Where the current run's sample at x on one axis lies on another
    // (cursors keep their sample across the switch); nothing where sets
    // are equals.
    [[nodiscard]] virtual std::optional<double> xOnAxis(double /*x*/, XAxisType /*from*/, XAxisType /*to*/) const {
        return std::nullopt;
    }
    // How a set's own x is shown on an axis: by its file's volume per mm
    // and time per sample.
    [[nodiscard]] virtual XUnits unitsOf(int set, XAxisType axis) const;
    // How far (mm) the current run's event marks are drawn earlier.
    [[nodiscard]] virtual double runStartOffset() const { return 0.0; }

    [[nodiscard]] const CompareOffsets& offsets() const { return offsets_; }
    // A set's x shift on an axis: its x offset in samples, on an axis by
    // position that offset over the set's own samples per mm, in the
    // axis's units.
    [[nodiscard]] double xShiftOf(int set, XAxisType axis) const;
    // The samples a set moves per x unit of the axis (1 by sample number):
    // a trace drag of dx moves it dx times this many samples.
    [[nodiscard]] double samplesPerX(int set, XAxisType axis) const;

protected:
    const CompareOffsets& offsets_;
};

// A scene with nothing in it: a view's scene before it is given one.
[[nodiscard]] std::unique_ptr<Scene> emptyScene(const CompareOffsets& offsets);

// The axes into the model once the auto-scales have run: the Y and YY
// ranges, the x range, the grid.
void putAxes(GraphModel& model, const AxisState& axes);

// A DE-1 mark channel's tick height, as a share of the plot height.
inline constexpr double kMarkTickHeight = 0.1;

}  // namespace corvane
