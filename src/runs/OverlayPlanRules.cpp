#include "runs/OverlayPlanRules.h"

#include <algorithm>

#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/RotorTable.h"

namespace corvane {

std::string fractionCountProblem(std::string_view text) {
    const auto number = scanInt(text);
    if (!number) {
        return "Invalid number of fractions.";
    }
    if (*number > kMaxZoneFractions) {
        return formatText("Number of fractions must be %d or less.", kMaxZoneFractions);
    }
    if (*number < kMinZoneFractions) {
        return formatText("Number of fractions must be %d or more.", kMinZoneFractions);
    }
    return {};
}

std::string zoneRowsProblem(const std::vector<ZoneRow>& rows) {
    double start = 0.0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int zone = static_cast<int>(i) + 1;
        const auto end = scanDouble(rows[i].end);
        if (!end) {
            return formatText("Invalid end position for zone #%d.", zone);
        }
        // The first zone starts at the meniscus (0 mm) too: an end below it
        // would cut the run into fractions of a negative distance.
        if (*end < start) {
            return formatText("End position is less than start position for zone #%d.", zone);
        }
        if (!scanInt(rows[i].number)) {
            return formatText("Invalid number of fractions for zone #%d.", zone);
        }
        start = *end;
    }
    return {};
}

std::string zonesProblem(const OverlayPlan& plan) {
    std::vector<ZoneRow> rows;
    for (const auto& zone : plan.zones) {
        // "%.17g" keeps every bit, so the text check sees the same number.
        rows.push_back({formatText("%.17g", zone.end), formatText("%d", zone.fractions)});
    }
    if (auto problem = zoneRowsProblem(rows); !problem.empty()) {
        return problem;
    }
    for (const auto& zone : plan.zones) {
        if (auto problem = fractionCountProblem(formatText("%d", zone.fractions)); !problem.empty()) {
            return problem;
        }
    }
    return {};
}

double volumePerMmForRun(double described, double standardRun) {
    if (described > 0.0) {
        return described;
    }
    return standardRun > 0.0 ? standardRun : RotorTable::kDefaultVolumePerMm;
}

double fractionDistance(const OverlayZone& zone) {
    return zone.fractions > 0 ? (zone.end - zone.start) / zone.fractions : 0.0;
}

double fractionVolume(const OverlayZone& zone, double volumePerMm) {
    return fractionDistance(zone) * volumePerMm;
}

std::string collectionLimitProblem(const OverlayPlan* plan, double volumePerMm, double limitMl) {
    if (plan == nullptr || plan->autofrac == 1) {
        return {};
    }
    if (!(volumePerMm > 0.0)) {
        return "Invalid volume per mm.";
    }
    std::string lines;
    int number = 1;
    for (const auto& zone : plan->zones) {
        const double volume = fractionVolume(zone, volumePerMm);
        if (volume > limitMl) {
            lines += formatText("Zone %d requires %.2f ml per fraction.\n", number, volume);
        }
        ++number;
    }
    if (lines.empty()) {
        return {};
    }
    return formatText("The collection limit of %.2f ml was exceeded in the following zones:\n", limitMl) + lines;
}

RunPlanChoice chooseRunPlan(const std::optional<OverlayPlan>& standardRunPlan,
                            const std::optional<OverlayPlan>& setupPlan, double volumePerMm, double limitMl) {
    RunPlanChoice choice;
    choice.plan = standardRunPlan ? standardRunPlan : setupPlan;
    if (standardRunPlan && standardRunPlan->zones.empty()) {
        choice.plan.reset();
        choice.problem = kNoOverlayPlan;
        return choice;
    }
    if (!choice.plan || choice.plan->zones.empty()) {
        choice.plan.reset();
        return choice;
    }
    choice.problem = zonesProblem(*choice.plan);
    if (choice.problem.empty()) {
        choice.problem = collectionLimitProblem(&*choice.plan, volumePerMm, limitMl);
    }
    return choice;
}

PlanHeaderLines planHeaderLines(const OverlayPlan& plan) {
    PlanHeaderLines lines;
    for (const auto& zone : plan.zones) {
        lines.fractions += zone.fractions;
        lines.fractionDistance = std::max(lines.fractionDistance, fractionDistance(zone));
    }
    if (!plan.zones.empty()) {
        lines.totalDistance = plan.zones.back().end;
    }
    return lines;
}

double planCollectionVolume(const OverlayPlan& plan, double volumePerMm) {
    return volumePerMm > 0.0 ? planHeaderLines(plan).fractionDistance * volumePerMm : 0.0;
}

}  // namespace corvane
