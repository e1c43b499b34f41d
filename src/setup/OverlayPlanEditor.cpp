#include "setup/OverlayPlanEditor.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/FileReplace.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/OverlayPlanRules.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"

namespace corvane {

namespace {

// The file title begins with the letters "s" "r", in either case.
bool srName(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    return name.size() >= 2 && std::tolower(static_cast<unsigned char>(name[0])) == 's' &&
           std::tolower(static_cast<unsigned char>(name[1])) == 'r';
}

}  // namespace

OverlayPlanEditor::OverlayPlanEditor(Env env, std::filesystem::path source, const RunDataFile& run,
                                     OverlayPlan plan)
    : env_(std::move(env)), source_(std::move(source)), plan_(std::move(plan)) {
    if (run.isEm1()) {
        for (const auto& s : run.em1Samples()) {
            if (std::isfinite(s.distance) && std::isfinite(s.absorbance)) {
                distances_.push_back(s.distance);
                absorbances_.push_back(s.absorbance);
            }
        }
    } else {
        for (const auto& s : run.samples()) {
            distances_.push_back(s.positionA);
            absorbances_.push_back(s.absorbanceA);
        }
    }
    for (const double x : distances_) {
        xMax_ = std::max(xMax_, x);
    }
    keepZonesReachable();
}

void OverlayPlanEditor::keepZonesReachable() {
    // A plan reaching past the data keeps its zones on the plot to be
    // dragged.
    if (!plan_.zones.empty()) {
        xMax_ = std::max(xMax_, plan_.zones.back().end);
    }
}

void OverlayPlanEditor::replacePlan(OverlayPlan plan) {
    plan_ = std::move(plan);
    keepZonesReachable();
}

std::string OverlayPlanEditor::endMarkerText() const { return formatText("Xmax\n%.2f mm", xMax_); }

std::string OverlayPlanEditor::createZone() {
    const double start = plan_.zones.empty() ? 0.0 : plan_.zones.back().end;
    plan_.zones.push_back({start, std::max(start, xMax_), 1});
    const int n = static_cast<int>(plan_.zones.size());
    return formatText("Grab the cursor-line at the right end of Zone %d and drag it to the desired end position "
                      "for\nZone %d.",
                      n, n);
}

void OverlayPlanEditor::moveBoundary(std::size_t zone, double mm) {
    if (zone >= plan_.zones.size() || !std::isfinite(mm)) {
        return;
    }
    const double low = plan_.zones[zone].start;
    const double high = zone + 1 < plan_.zones.size() ? plan_.zones[zone + 1].end : std::max(xMax_, low);
    const double at = std::clamp(mm, low, high);
    plan_.zones[zone].end = at;
    if (zone + 1 < plan_.zones.size()) {
        plan_.zones[zone + 1].start = at;
    }
}

std::string OverlayPlanEditor::fractionsPrompt(std::size_t zone) {
    return formatText("Enter number of fractions in Zone %d:", static_cast<int>(zone) + 1);
}

std::string OverlayPlanEditor::setFractions(std::size_t zone, const std::string& text) {
    std::string problem = fractionCountProblem(text);
    if (problem.empty() && zone < plan_.zones.size()) {
        plan_.zones[zone].fractions = *scanInt(text);
    }
    return problem;
}

std::optional<std::pair<double, double>> OverlayPlanEditor::fractionAt(double mm) const {
    for (const auto& zone : plan_.zones) {
        if (mm >= zone.start && mm <= zone.end && zone.fractions > 0) {
            return std::pair{fractionDistance(zone), fractionVolume(zone, env_.volumePerMm)};
        }
    }
    return std::nullopt;
}

OverlayPlanEditor::Done OverlayPlanEditor::done() {
    if (plan_.zones.empty()) {
        return env_.prompter.askYesNo(kNoZonesQuestion) ? resavePlain() : Done::Stay;
    }
    if (const auto problem = zonesProblem(plan_); !problem.empty()) {
        env_.prompter.message(problem);
        return Done::Stay;
    }
    if (const auto problem = collectionLimitProblem(&plan_, env_.volumePerMm, env_.collectionLimit);
        !problem.empty()) {
        env_.prompter.message(problem);
        return Done::Stay;
    }
    FileDialogRequest request;
    request.title = kSaveTitle;
    request.filter = kStandardRunFilter;
    request.defaultExtension = "*.csv";
    request.defaultName = "SR-.csv";
    request.initialFolder = UserStore(env_.startupFolder).madeStandardRunsFolder().string();
    const auto chosen = env_.prompter.saveFile(request);
    if (!chosen) {
        return Done::Stay;
    }
    const std::filesystem::path target = *chosen;
    if (!srName(target) && !env_.prompter.askYesNo(kSrNameWarning)) {
        return Done::Stay;
    }
    if (const auto problem = savedNameProblem(target); !problem.empty()) {
        env_.prompter.message(problem);
        return Done::Stay;
    }
    int error = 0;
    const auto result = writeStandardRun(source_, target, plan_, planHeaderLines(plan_), error);
    if (result != PlanWriteResult::Ok) {
        env_.prompter.message(planWriteMessage(result, source_, target, error));
        return Done::Stay;
    }
    saved_ = target;
    return Done::Saved;
}

OverlayPlanEditor::Done OverlayPlanEditor::resavePlain() {
    FileDialogRequest request;
    request.title = "Save As";
    request.filter = kRunFilter;
    request.defaultExtension = "*.csv";
    request.defaultName = source_.filename().string();
    request.initialFolder = source_.parent_path().string();
    const auto chosen = env_.prompter.saveFile(request);
    if (!chosen) {
        return Done::Stay;
    }
    // The run as it is, under the name chosen; the copy goes beside the
    // target first, so the source itself may be chosen.
    if (const auto copied = copyWithTitle(source_, *chosen); copied != CopyResult::Ok) {
        // A run being recorded there is said so: it is not to be replaced.
        env_.prompter.message(copied == CopyResult::TargetBusy ? heldFileProblem(*chosen)
                                                               : "Error, unable to open temporary file for writing.");
        return Done::Stay;
    }
    saved_ = *chosen;
    return Done::Resaved;
}

}  // namespace corvane
