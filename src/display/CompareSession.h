#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compare/CompareSets.h"
#include "display/AxisState.h"

namespace corvane {

class GraphView;
class Prompter;

// The compare window's work without its widgets: two to four saved runs
// shown together (CompareSets, in a CompareScene on the view), the plot
// type and the sets' colours, and the commands of its panels: Add File(s),
// Remove File(s), the X-Axis Offset "+", "-" and RESET, the EVENT MARKS
// switches and "&Export Data Sets". corvane-cli render shows a compare
// page through the same show().
//
// Threads: the window's thread.
class CompareSession {
public:
    static constexpr int kMaxSets = 4;
    // One "+" or "-" press moves a set this many samples.
    static constexpr double kOffsetStep = 1.0;

    // sets: runs read already (the compare window's); load() reads others.
    CompareSession(GraphView& view, Prompter& prompter, std::filesystem::path startupFolder, CompareSets sets = {});

    // Reads the runs (nothing changes on the view yet): the message to
    // show, or empty when every one was read.
    [[nodiscard]] std::string load(const std::vector<std::filesystem::path>& files,
                                   const std::vector<ProfileFileOptions>& readings = {});
    // Shows the sets read: one channel, the plot type, every set in its
    // colour (r | g << 8 | b << 16), placed by `placements`, on the axes of
    // `settings` (the main window's) with x of `axis`; x is `keepX`, else
    // what the compare x rules give.
    void show(int plotType, const std::array<int, 4>& colours, const CompareOffsets& placements,
              ViewSettings settings, XAxisType axis, std::optional<AxisRange> keepX = std::nullopt);

    [[nodiscard]] const CompareSets& sets() const { return sets_; }
    [[nodiscard]] int plotType() const { return plotType_; }
    [[nodiscard]] const std::array<int, 4>& colours() const { return colours_; }
    // The file list's lines and the label of the channel plotted.
    [[nodiscard]] std::vector<std::string> listLines() const { return sets_.listLines(); }
    [[nodiscard]] std::string channelLabel() const;

    // Add File(s) with the dialog's choice: a plain table new to the sets
    // is asked its columns; the sets shown stay when a file cannot be read
    // (its message shown) or a question is cancelled; a set shown before
    // keeps its placement and its columns, and the x range shown stays.
    // False after a message or a cancel.
    bool takeFiles(const std::vector<std::filesystem::path>& files, int plotType, const std::array<int, 4>& colours);
    // Remove File(s): the selected sets (list rows) go; refused with
    // "Error, cannot have fewer than 2 files..." when fewer than 2 would be left.
    bool removeFiles(const std::vector<std::size_t>& selected);
    void stepOffset(int set, bool up);
    void resetOffset(int set);
    void setEventMarks(int set, bool on);
    // "&Export Data Sets": the save dialog in the user's Export folder (made
    // when missing), the file written with the sets' placements, the result
    // said.
    void exportSets();

private:
    GraphView& view_;
    Prompter& prompter_;
    std::filesystem::path startupFolder_;
    CompareSets sets_;
    int plotType_ = kPlotAbsA;
    std::array<int, 4> colours_{};
};

}  // namespace corvane
