#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runs/OverlayPlan.h"

namespace corvane {

class Prompter;
class RunDataFile;

// The STANDARD RUN window's logic: a recorded run, the zones the operator
// divides its distance into (CREATE ZONE, dragging a zone's right boundary,
// the number of fractions of each), and DONE, which checks the plan and
// saves the run as a standard run under "STANDARD RUNS".
//
// Threads: the window's thread.
class OverlayPlanEditor {
public:
    static constexpr const char* kSaveTitle = "Please select a new filename for the STANDARD RUN";
    static constexpr const char* kStandardRunFilter = "SR CSV Text Files (sr*.csv)|sr*.csv|All Files (*.*)|*.*||";
    static constexpr const char* kRunFilter =
        "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    static constexpr const char* kSrNameWarning =
        "WARNING: The standard run filename should begin with the two letters \"SR\" in order to distinguish it "
        "from other data. Are you sure you wish to use this filename?";
    static constexpr const char* kNoZonesQuestion =
        "Warning: Are you sure you wish to save this run? This run cannot be saved as a standard run because it "
        "does not contain any fractionation zones. Click \"Yes\" to re-save the file anyways, or \"No\" to add "
        "zones.";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        // The run description's volume per mm, else the run's own (ml/mm).
        double volumePerMm = 0.0;
        // What one collection vessel holds (ml).
        double collectionLimit = 0.0;
    };

    // source: the run file the standard run is made from; its plan, if it
    // has one, is where editing starts.
    OverlayPlanEditor(Env env, std::filesystem::path source, const RunDataFile& run, OverlayPlan plan);

    // The trace: Abs A (a DE-1 run's absorbance) against the distance from
    // the meniscus, in mm.
    [[nodiscard]] const std::vector<double>& distances() const { return distances_; }
    [[nodiscard]] const std::vector<double>& absorbances() const { return absorbances_; }
    // The far end of the run: no zone ends beyond it.
    [[nodiscard]] double xMax() const { return xMax_; }
    [[nodiscard]] std::string endMarkerText() const;

    [[nodiscard]] const OverlayPlan& plan() const { return plan_; }
    [[nodiscard]] const std::filesystem::path& source() const { return source_; }
    [[nodiscard]] double volumePerMm() const { return env_.volumePerMm; }
    [[nodiscard]] double collectionLimit() const { return env_.collectionLimit; }
    // The zones as reviewed elsewhere (the DE-1 SETUP page's zone table),
    // and the collection vessel chosen there.
    void replacePlan(OverlayPlan plan);
    void setCollectionLimit(double ml) { env_.collectionLimit = ml; }

    // CREATE ZONE: a zone after the last one, from its end to the run's end,
    // one fraction; the instruction to show.
    [[nodiscard]] std::string createZone();
    // Zone k's right boundary dragged to mm: its end and the next zone's
    // start, kept between the zone's start and the next zone's end (or the
    // run's end), so zones never overlap.
    void moveBoundary(std::size_t zone, double mm);
    // "Enter number of fractions in Zone %d:"
    [[nodiscard]] static std::string fractionsPrompt(std::size_t zone);
    // The number typed for zone k: stored when it passes (empty result),
    // else the message to show, and the zone keeps its number.
    [[nodiscard]] std::string setFractions(std::size_t zone, const std::string& text);
    // The fraction under mm: its distance and volume, for the hover read-out.
    [[nodiscard]] std::optional<std::pair<double, double>> fractionAt(double mm) const;

    enum class Done { Stay, Saved, Resaved };
    // DONE: the zone checks, the collection limit, the save dialog and the
    // "SR" name question, then the write. Stay keeps the window open.
    [[nodiscard]] Done done();
    // Where DONE saved the run.
    [[nodiscard]] const std::filesystem::path& saved() const { return saved_; }

private:
    [[nodiscard]] Done resavePlain();
    void keepZonesReachable();

    Env env_;
    std::filesystem::path source_;
    std::vector<double> distances_;
    std::vector<double> absorbances_;
    double xMax_ = 0.0;
    OverlayPlan plan_;
    std::filesystem::path saved_;
};

}  // namespace corvane
