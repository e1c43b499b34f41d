#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisReport.h"
#include "analysis/ProfileAnalysis.h"
#include "display/ChangeNotice.h"
#include "runs/Profile.h"
#include "runs/RunDataFile.h"

namespace corvane {

// One profile the analysis window shows: a run of ours (whose channel the
// window may change) or a profile read from another instrument's file.
struct AnalysisSource {
    std::string name;                // the file's name, as the table shows it
    std::string group;               // replicate group; empty: none
    std::optional<RunDataFile> run;  // our runs only
    Profile profile;                 // the channel analysed
    // Added to the table by the user rather than shown on the graph: it
    // stays when other runs are shown.
    bool added = false;
};

// The analysis of the profiles on show: the settings the window gives, a
// result per profile, and the boundaries between regions the user may drag.
// Every change (channel, smoothing, baseline, a boundary) recomputes at once
// and sends one change notice. Boundaries are sample positions (12.5 lies
// half way between samples 12 and 13): dragged ones stay the profile's
// regions until the automatic ones are asked for again, whatever baseline
// or smoothing follows.
//
// Threads: the window's thread.
class AnalysisState {
public:
    // The group every profile of a comparison is in unless given another.
    static constexpr const char* kAllSets = "all sets";

    [[nodiscard]] ChangeNotice::Token listen(std::function<void()> listener) {
        return notice_.listen(std::move(listener));
    }

    // The profiles on show, the current one first; their dragged boundaries
    // go. Those added stay, after them.
    void setSources(std::vector<AnalysisSource> sources);
    // A profile of a file the user adds to the table (another instrument's
    // too).
    void addSource(AnalysisSource source);
    [[nodiscard]] int size() const { return static_cast<int>(sets_.size()); }
    [[nodiscard]] const AnalysisSource& source(int set) const { return sets_.at(static_cast<std::size_t>(set)).source; }
    [[nodiscard]] const ProfileAnalysis& analysis(int set) const {
        return sets_.at(static_cast<std::size_t>(set)).analysis;
    }

    // --- Settings ---
    // A run's channel; imported profiles keep theirs.
    void setChannel(RunChannel channel);
    [[nodiscard]] RunChannel channel() const { return channel_; }
    void setSmoothing(const Smoothing& smoothing);
    void setBaseline(const BaselineChoice& baseline);
    // A level dragged on the graph: a constant baseline there.
    void setBaselineLevel(double level);
    // A line dragged on the graph: the line through two points (the
    // analysis's x, values).
    void setBaselineLine(double fromX, double fromLevel, double toX, double toLevel);
    // The line through the levels before and after the gradient (their
    // windows on the first profile's x), found afresh for other runs
    // shown, dragged or not.
    void setLineThroughTheEnds();
    [[nodiscard]] const AnalysisSettings& settings() const { return settings_; }
    // Every setting at once, as a command line gives them (render
    // --analysis). bySample: every x the analysis sees (the profiles', the
    // regions', a line's windows) counts samples, as analyze --x index takes
    // it; else each profile's own x.
    void setSettings(const AnalysisSettings& settings, bool bySample);
    [[nodiscard]] bool bySample() const { return bySample_; }
    // A profile as analysed: its source's, or by sample number.
    [[nodiscard]] const Profile& analysedProfile(int set) const {
        return analysedProfile(sets_.at(static_cast<std::size_t>(set)));
    }

    // --- Boundaries ---
    // The edges of a profile's regions, in order (the total's are among them).
    [[nodiscard]] std::vector<double> boundaries(int set) const;
    // Moves boundary k to a position (held between its neighbours): every
    // region ending or starting there follows. False, changing nothing,
    // for no such boundary.
    bool moveBoundary(int set, int k, double position);
    [[nodiscard]] bool userBoundaries(int set) const;
    // Back to the regions the landmarks give.
    void automaticRegions(int set);

    // --- The table ---
    [[nodiscard]] std::vector<FileReport> reports() const;
    // A group per group name given, with two profiles at least.
    [[nodiscard]] std::vector<GroupReport> groups() const;
    // The table as analyze --csv writes it.
    [[nodiscard]] std::string csv() const;

private:
    struct Set {
        AnalysisSource source;
        std::optional<std::vector<Region>> user;  // dragged boundaries
        std::optional<Profile> bySample;          // the source's profile in sample numbers, when so analysed
        ProfileAnalysis analysis;
    };

    [[nodiscard]] static const Profile& analysedProfile(const Set& set) {
        return set.bySample ? *set.bySample : set.source.profile;
    }

    void analyse(Set& set) const;
    void recomputeAll();
    [[nodiscard]] AnalyzeParameters parameters() const;

    RunChannel channel_ = RunChannel::AbsA;
    AnalysisSettings settings_;
    bool bySample_ = false;
    bool lineThroughTheEnds_ = false;
    std::vector<Set> sets_;
    ChangeNotice notice_;
};

// The names of the columns the window's table shows and a row per profile
// and group: a profile's region areas and ratios, its warnings; a group's
// ratios as mean and SD. Numbers to five digits (the CSV has them all).
struct AnalysisTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> warned;  // per row: a clipped region or another warning
};

[[nodiscard]] AnalysisTable analysisTable(const AnalysisState& state);

}  // namespace corvane
