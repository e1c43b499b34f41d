#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compare/CompareOffsets.h"
#include "compare/ExportFile.h"
#include "graph/AxisScaling.h"
#include "runs/ProfileFile.h"
#include "runs/RunDataFile.h"

namespace corvane {

// The plot types of the multiple data sets dialog, in its list's order; a
// type's index is the channel (and trace slot) it shows.
inline constexpr int kPlotTypeCount = 7;
inline constexpr std::array<const char*, kPlotTypeCount> kPlotTypeNames = {
    "Sample A", "Source A", "Absorbance A", "Sample B", "Source B", "Absorbance B",
    "(Absorbance A)/(Absorbance B)"};
inline constexpr int kPlotAbsA = 2;

// The file dialogs of the runs to compare and of the export file.
inline constexpr const char* kCompareFileFilter =
    "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

// The file dialogs that open runs to show (File > Open, the overlay, the
// compare sets): our runs, and beside them profiles of other instruments.
// The first filter is the one a dialog starts with: it lists both, so a
// .pks or .asc file is seen without changing the filter.
inline constexpr const char* kRunOrProfileFilter =
    "Runs and Profiles (*.csv;*.txt;*.pks;*.asc;*.tsv)|*.csv;*.txt;*.pks;*.asc;*.tsv|"
    "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|"
    "Profiles from other instruments (*.pks;*.asc;*.tsv;*.txt;*.csv)|*.pks;*.asc;*.tsv;*.txt;*.csv|"
    "All Files (*.*)|*.*||";

// The multiple data sets dialog's messages.
inline constexpr const char* kTooManyChosen = "Can only choose up to 4 files.";
inline constexpr const char* kTooFewLeft = "Error, cannot have fewer than 2 files in an Exported Data Set.";

// The dialog's OK checks, in order: the message that keeps it open, or
// empty when the choice may be taken.
[[nodiscard]] std::string multiDataSetsProblem(int plotType, std::size_t fileCount);

// The plotted channel's label: the first switch that is on in the order
// Abs A (DE-1: "Abs"), ratio, Abs B, Sample A, Sample B, Source A, Source B;
// shown is indexed like the plot types. Empty when none is on.
[[nodiscard]] std::string compareChannelLabel(const std::array<bool, kPlotTypeCount>& shown, bool de1);

// One data set of the compare window.
struct CompareSet {
    std::filesystem::path path;
    RunDataFile file;
    bool eventMarks = false;  // its DE-1 marks (a profile's marks) shown
    ProfileFileOptions reading;  // how it was read: a plain table's columns

    [[nodiscard]] std::string name() const { return path.filename().string(); }
};

// The two to four runs the compare window shows, in the order chosen; set 0
// is the reference of AUTO-ALIGN and of the axis rules.
class CompareSets {
public:
    // Reads the files in order (a profile of another instrument as a run,
    // its marks shown), each with its reading (a plain table's columns;
    // none given: the first two). At the first that is not a run, or is an
    // export file, the message to show ("Error, unable to open data file
    // %s" or the export messages) and nothing is kept; empty when all were
    // read. The sets held before stay until the new ones are all read.
    [[nodiscard]] std::string load(const std::vector<std::filesystem::path>& files,
                                   const std::vector<ProfileFileOptions>& readings = {});
    // The same for Add File(s): the failing file is named by its place in
    // the list, counted from 1.
    [[nodiscard]] std::string loadNumbered(const std::vector<std::filesystem::path>& files,
                                           const std::vector<ProfileFileOptions>& readings = {});
    // The set read from path, if one is held.
    [[nodiscard]] const CompareSet* setOf(const std::filesystem::path& path) const;

    [[nodiscard]] std::size_t size() const { return sets_.size(); }
    [[nodiscard]] bool empty() const { return sets_.empty(); }
    [[nodiscard]] const CompareSet& operator[](std::size_t k) const { return sets_[k]; }
    [[nodiscard]] std::vector<std::filesystem::path> paths() const;
    void setEventMarks(std::size_t k, bool on);
    // Any set is a DE-1 run: the window is in the DE-1 signal mode.
    [[nodiscard]] bool de1() const;

    // The file list's lines: "%s, %d samples".
    [[nodiscard]] std::vector<std::string> listLines() const;

    // Remove File(s): the selected sets go, the rest move up with their
    // offsets and gains. Refused with kTooFewLeft, changing nothing, when
    // fewer than 2 would be left.
    [[nodiscard]] std::string remove(std::vector<std::size_t> selected, CompareOffsets& offsets);
    // After a new list: each set that was shown before gets its offsets and
    // gains back (found by its path), a new one starts clean.
    void carryPlacements(const std::vector<std::filesystem::path>& before, const CompareOffsets& old,
                         CompareOffsets& offsets) const;

    // The x axis: with auto-scale off 0 to the longest set's samples (in mm
    // 0 to the farthest position); on, in mm the positions of all sets, in
    // samples the smallest offset to the largest offset plus samples.
    [[nodiscard]] AxisRange xRange(bool autoScale, bool inMm, const CompareOffsets& offsets) const;
    // The plotted channel's extremes over every set; nothing when no value.
    [[nodiscard]] std::optional<AxisRange> valueRange(int channel) const;
    // DE-1: the largest AUFS step of the sets (its value is the y maximum).
    [[nodiscard]] int largestAufsStep() const;

    // The sets as the export file takes them, with their placements.
    [[nodiscard]] std::vector<ExportSet> exportSets(const CompareOffsets& offsets) const;

private:
    std::vector<CompareSet> sets_;
};

// The value a channel (plot type) shows for sample i of a run: a DE-1 run
// shows its signal in the Abs A channel only.
[[nodiscard]] double compareValue(const RunDataFile& file, std::size_t i, int channel);

}  // namespace corvane
