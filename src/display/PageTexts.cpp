#include "display/PageTexts.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/TextFormat.h"
#include "runs/Em1Settings.h"
#include "runs/RunInfo.h"

namespace corvane {

namespace {

std::string dateText(const std::optional<CalendarTime>& t) {
    return t ? formatText("%d-%02d-%02d", t->year, t->month, t->day) : std::string();
}

std::string timeText(const std::optional<CalendarTime>& t) {
    return t ? formatText("%02d:%02d:%02d", t->hour, t->minute, t->second) : std::string();
}

std::string xOffsetText(double samples) {
    return samples == 0.0 ? std::string("0 samples") : formatText("%.0f samples", samples);
}

const std::vector<PageTable::Column> kPlacementColumns = {
    {"X-axis", "Offset"}, {"Y-axis", "Offset (OD)"}, {"X-axis", "Gain"}, {"Y-axis", "Gain"}};

void addPlacement(std::vector<PageCell>& row, const SetPlacement& p) {
    row.push_back({xOffsetText(p.xOffset), {}});
    row.push_back({formatText("%.2E", p.yOffset), {}});
    row.push_back({formatText("%.2f", p.xGain), {}});
    row.push_back({formatText("%.2f", p.yGain), {}});
}

PageTable setTable(const std::vector<PageSet>& sets, bool compare) {
    PageTable table;
    table.columns.push_back({"", compare ? "Filenames" : "Filename"});
    if (compare) {
        table.columns.push_back({"", "Color"});
    }
    table.columns.push_back({"", "Date"});
    table.columns.push_back({"", "Time"});
    for (PageTable::Column column : kPlacementColumns) {
        if (compare) {
            // The compare legend spells its axes with a capital A.
            column.top[2] = 'A';
        }
        table.columns.push_back(column);
    }
    for (const PageSet& set : sets) {
        std::vector<PageCell> row;
        row.push_back({set.fileName, {}});
        if (compare) {
            row.push_back({"", set.colour});
        }
        row.push_back({dateText(set.recorded), {}});
        row.push_back({timeText(set.recorded), {}});
        addPlacement(row, set.placement);
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::string g3(double v) { return formatText("%.3G", v); }

}  // namespace

PageTable headerTable(const std::vector<PageSet>& sets) { return setTable(sets, false); }

PageTable compareLegend(const std::vector<PageSet>& sets, const std::string& axisNote) {
    PageTable table = setTable(sets, true);
    table.columns.front().top = axisNote;
    return table;
}

PageTable overlayLegend(const GraphLegend& drawn) {
    PageTable table;
    table.columns = {{"", ""}, {"", "CURRENT"}, {"", "OVERLAY"}};
    for (const LegendEntry& entry : drawn) {
        if (entry.set != 0 && entry.set != 1) {
            continue;
        }
        const std::string name = "(" + entry.name + ")";
        const std::size_t column = entry.set == 0 ? 1 : 2;
        auto row = std::find_if(table.rows.begin(), table.rows.end(), [&](const std::vector<PageCell>& r) {
            return r[0].text == name && !r[column].swatch;
        });
        if (row == table.rows.end()) {
            table.rows.push_back({{name, {}}, {"", {}}, {"", {}}});
            row = table.rows.end() - 1;
        }
        (*row)[column].swatch = entry.colour;
    }
    return table;
}

PageTable legendTable(const GraphLegend& drawn) {
    PageTable table;
    table.columns = {{"", "Trace"}, {"", "File"}};
    for (const LegendEntry& entry : drawn) {
        PageCell trace{entry.name, entry.colour, !entry.marks, entry.dashed};
        table.rows.push_back({trace, {entry.file, {}}});
    }
    return table;
}

PageLines runReadout(const char* which, const std::string& folder, const std::string& name,
                     const std::optional<SampleRecord>& sample, long long scan, bool fluorescence) {
    PageLines lines;
    const std::string shown = folder.empty() ? name : (std::filesystem::path(folder) / name).string();
    lines.push_back(formatText("%s %s", which, shown.c_str()));
    if (!sample) {
        return lines;
    }
    lines.push_back(formatText("Scan: %lld", scan));
    const auto value = [&](const char* label, double v) {
        if (std::isfinite(v)) {
            lines.push_back(label + g3(v));
        }
    };
    value("Abs A: ", sample->absorbanceA);
    value(fluorescence ? "Fluorescence: " : "Abs B: ", sample->absorbanceB);
    value("AbsA/AbsB: ", sample->ratio);
    return lines;
}

PageLines cursorReadout(double position, XAxisType axis, const std::optional<SampleRecord>& sample,
                        bool fluorescence) {
    PageLines lines;
    lines.push_back("Cursor: " + xValueText(position, axis));
    if (!sample) {
        return lines;
    }
    const SampleRecord& r = *sample;
    lines.push_back(formatText("Sample A: %d", static_cast<int>(r.sampleA)));
    lines.push_back(formatText("Source A: %d", static_cast<int>(r.sourceA)));
    lines.push_back(formatText("Abs A: %.3G", r.absorbanceA));
    lines.push_back(formatText("Sample B: %d", static_cast<int>(r.sampleB)));
    lines.push_back(formatText("Source B: %d", static_cast<int>(r.sourceB)));
    lines.push_back(fluorescence ? formatText("Fluorescence: %.3G", r.absorbanceB)
                                 : formatText("Abs B: %.3G", r.absorbanceB));
    lines.push_back(formatText("AbsA/AbsB: %.3G", r.ratio));
    return lines;
}

PageLines de1SettingsBox(const Em1Settings& settings, const RunInfo& info, double aufsValue,
                         PageFractionation fractionation) {
    PageLines lines{"Current Settings"};
    const bool manual =
        settings.signalType == Em1Settings::kManualTriggered || settings.delayType == Em1Settings::kManualTriggeredStart;
    if (manual) {
        lines.emplace_back("START MODE: Manual Triggered");
    } else if (settings.delayType == Em1Settings::kEventWithDelay) {
        lines.emplace_back("START MODE: Event with Delay");
    } else if (settings.delayType == Em1Settings::kOdSensingStart) {
        lines.emplace_back("START MODE: OD Sensing");
    } else {
        lines.emplace_back("START MODE: No Delay");
    }
    auto whenSet = [&](const char* format, const std::string& value) {
        if (!value.empty()) {
            lines.push_back(formatText(format, value.c_str()));
        }
    };
    whenSet("User Name: %s", info.userName);
    whenSet("Rotor: %s", info.rotorModel);
    whenSet("Solute: %s", info.gradient);
    lines.push_back(formatText("End Points: %.0f-%.0f%% %s", info.gradientPercent1, info.gradientPercent2,
                               gradientUnitText(info.gradientUnits)));
    whenSet("Sample Vol: %s", info.sampleVolume);
    whenSet("Rotor Speed: %s kRPM", info.speed);
    whenSet("Run Time: %s", info.spinTime);
    lines.push_back(formatText("Temperature: %.0f ", info.temperature) + (info.temperature > 0.0 ? "C" : ""));
    lines.push_back(formatText("UV Wavelength: %.0f nm", settings.wavelength));
    lines.push_back(formatText("Samples/sec: %.0f Hz", settings.samplesPerSec));
    lines.push_back(settings.speed < 1.0 ? formatText("Speed: %.2f mm/sec", settings.speed)
                                         : formatText("Speed: %.1f mm/sec", settings.speed));
    lines.push_back(formatText("Distance: %.2f mm", settings.fractionDistance));
    lines.push_back(formatText("Number: %d", settings.numberOfFractions));
    lines.push_back(formatText("Total Distance: %.2f mm", settings.totalDistance));
    // The three smallest full scales need two decimals to be told apart.
    lines.push_back(settings.aufs <= 2 ? formatText("AUFS: %.2f", aufsValue) : formatText("AUFS: %.1f", aufsValue));
    if (settings.peaks.enabled) {
        lines.emplace_back("Fractionation: Peaks");
    } else if (fractionation == PageFractionation::Standard) {
        lines.emplace_back("Fractionation: Standard");
    } else if (fractionation == PageFractionation::AutoAndManual) {
        lines.emplace_back("Fractionation: Auto + Manual");
    }
    return lines;
}

}  // namespace corvane
