#pragma once

#include <array>
#include <filesystem>
#include <optional>

#include "display/AxisState.h"
#include "graph/AxisScaling.h"
#include "runs/RunDataFile.h"

namespace corvane {

class GraphModel;
class Scene;

// The overlay's slots: the current run's Abs A, Abs B and ratio go to 0..2,
// the overlay's to 3..5.
inline constexpr int kOverlaySlotBase = 3;

// The overlay: a saved run drawn over the current run (data set 1), its
// absorbances and ratio dashed in slots 3 to 5.
class OverlayRun {
public:
    OverlayRun(RunDataFile file, std::filesystem::path path) : file_(std::move(file)), path_(std::move(path)) {}

    [[nodiscard]] const RunDataFile& file() const { return file_; }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // Its slots for the channels switched on; its values inside the x range
    // widen the scans (marks aside).
    void draw(GraphModel& model, const AxisState& axes, const Scene& scene, AutoScaleRange& yScan,
              AutoScaleRange& yyScan) const;

private:
    RunDataFile file_;
    std::filesystem::path path_;
};

// The standard run as the current run's scene sees it: its Abs A profile,
// which widens the Y auto-scale while "Show Standard Run Profile" is on
// (the profile and the plan's zones are drawn by the StandardRun itself,
// the graph's fraction plan).
class StandardProfile {
public:
    void set(const RunDataFile* file) { file_ = file; }
    void setShown(bool shown) { shown_ = shown; }
    [[nodiscard]] const RunDataFile* file() const { return file_; }
    [[nodiscard]] bool shown() const { return shown_; }
    void scan(const AxisState& axes, AutoScaleRange& yScan) const;

private:
    const RunDataFile* file_ = nullptr;
    bool shown_ = false;
};

// What is laid over the current run, live or saved; kept by the view, so
// it stays when the live run gives way to a saved one and back (a saved run
// opened ends the overlay, as the view decides).
class RunItems {
public:
    void setOverlay(RunDataFile file, std::filesystem::path path) { overlay_.emplace(std::move(file), std::move(path)); }
    void removeOverlay() { overlay_.reset(); }
    [[nodiscard]] const OverlayRun* overlay() const { return overlay_ ? &*overlay_ : nullptr; }
    [[nodiscard]] StandardProfile& standard() { return standard_; }
    [[nodiscard]] const StandardProfile& standard() const { return standard_; }
    // Without DE-1 data of its own, the view is in DE-1 mode when the first
    // of the overlay and the standard run that exists holds DE-1 data.
    [[nodiscard]] bool de1() const;
    // The slot each channel of the current run goes to (-1: none): beside
    // an overlay its absorbances and ratio take 0 to 2.
    [[nodiscard]] std::array<int, kChannelCount> slotMap() const;
    // Draws the overlay (if any) and widens the scans by it and by the
    // standard profile.
    void draw(GraphModel& model, const AxisState& axes, const Scene& scene, AutoScaleRange& yScan,
              AutoScaleRange& yyScan) const;

private:
    std::optional<OverlayRun> overlay_;
    StandardProfile standard_;
};

}  // namespace corvane
