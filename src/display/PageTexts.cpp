#include "display/PageTexts.h"

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

PageTable overlayLegend(const std::array<Rgb, 6>& colours, bool fluorescence) {
    PageTable table;
    table.columns = {{"", ""}, {"", "CURRENT"}, {"", "OVERLAY"}};
    const char* names[3] = {"(Abs A)", fluorescence ? "(Fluorescence)" : "(Abs B)", "(AbsA/AbsB)"};
    for (std::size_t i = 0; i < 3; ++i) {
        table.rows.push_back({{names[i], {}}, {"", colours[i]}, {"", colours[i + 3]}});
    }
    return table;
}

PageLines runReadout(const char* which, const std::string& folder, const std::string& name,
                     const std::optional<SampleRecord>& sample, int scan, bool fluorescence) {
    PageLines lines;
    lines.push_back(formatText("%s %s", which, folder.empty() ? name.c_str()
                                                               : formatText("%s\\%s", folder.c_str(), name.c_str()).c_str()));
    if (!sample) {
        return lines;
    }
    lines.push_back(formatText("Scan: %d", scan));
    lines.push_back("Abs A: " + g3(sample->absorbanceA));
    lines.push_back((fluorescence ? "Fluorescence: " : "Abs B: ") + g3(sample->absorbanceB));
    lines.push_back("AbsA/AbsB: " + g3(sample->ratio));
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
    if (fractionation == PageFractionation::Standard) {
        lines.emplace_back("Fractionation: Standard");
    } else if (fractionation == PageFractionation::AutoAndManual) {
        lines.emplace_back("Fractionation: Auto + Manual");
    }
    return lines;
}

}  // namespace corvane
