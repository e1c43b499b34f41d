// corvane-cli info [--json] [--rows] [--x-column C --y-column C] FILE...: what
// run files (preset run files, profiles of other instruments) hold, for people (text) and for analysis scripts (one JSON object
// per line, one line per file). Many files in one process: a script
// summarising a day's runs pays for one start-up, not hundreds. Both outputs
// are documented in the README; keep them stable.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/FractionJson.h"
#include "cli/PresetInfo.h"
#include "cli/ProfileArgs.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/OverlayPlanRules.h"
#include "runs/PeakCollection.h"
#include "runs/RunFileCopy.h"
#include "app/FileReplace.h"
#include "runs/Profile.h"
#include "runs/RunDataFile.h"
#include "base/TextFormat.h"

namespace corvane::cli {
namespace {

const char* uvUnitName(int unit) {
    switch (unit) {
        case RunInfo::kDualWavelength: return "dual_wavelength";
        case RunInfo::kSingleWavelength: return "single_wavelength";
        default: return "de1";
    }
}

const char* delayName(int delay) {
    switch (delay) {
        case Em1Settings::kNoDelay: return "none";
        case Em1Settings::kEventWithDelay: return "event_with_delay";
        default: return "od_sensing_start";
    }
}

std::string fractionText(const Em1Sample& s) {
    switch (s.fraction) {
        case Em1Sample::kNoFraction: return "";
        case Em1Sample::kRestart: return "R";
        case Em1Sample::kAutomatic: return "A";
        default: return std::to_string(s.fraction);
    }
}

std::string dateText(const RunFileHeader& h) {
    return formatText("%d-%02d-%02d", h.recorded.year, h.recorded.month, h.recorded.day);
}

std::string timeText(const RunFileHeader& h) {
    return formatText("%02d:%02d:%02d", h.recorded.hour, h.recorded.minute, h.recorded.second);
}

// The run's volume per mm, when its header gives one: a fraction's volume
// needs it.
std::optional<double> volumePerMmOf(const RunDataFile& run) {
    if (!run.header().hasVolumePerMm) {
        return std::nullopt;
    }
    return run.header().info.volumePerMm;
}

// "overlay_plan": the standard run's zones, null when the file has no plan.
void writeJsonPlan(Json& j, const std::string& path, const RunDataFile& run) {
    j.key("overlay_plan");
    const auto read = readOverlayPlanFile(path);
    if (!read || !read->found) {
        j.null();
        return;
    }
    const auto vpm = volumePerMmOf(run);
    j.open('{');
    j.key("zones");
    j.open('[');
    for (const auto& zone : read->plan.zones) {
        j.item();
        j.open('{');
        j.field("start", zone.start);
        j.field("end", zone.end);
        j.integerField("fractions", zone.fractions);
        j.field("fraction_distance", fractionDistance(zone));
        j.key("fraction_volume");
        vpm ? j.number(fractionVolume(zone, *vpm)) : j.null();
        j.close('}');
    }
    j.close(']');
    j.integerField("autofrac", read->plan.autofrac);
    j.close('}');
}

// "collected_fractions": the fractions a run collected by peaks was cut
// into, null for a run cut any other way.
void writeJsonFractions(Json& j, const std::string& path) {
    j.key("collected_fractions");
    const auto text = readWholeFile(path, kMaxRunFileBytes);
    const auto table = text ? readFractionTable(*text) : std::nullopt;
    if (!table) {
        j.null();
        return;
    }
    writeFractionsJson(j, table->fractions);
}

void writeTextFractions(const std::string& path) {
    const auto text = readWholeFile(path, kMaxRunFileBytes);
    const auto table = text ? readFractionTable(*text) : std::nullopt;
    if (!table) {
        return;
    }
    std::printf("collected_fractions: %zu\n", table->fractions.size());
    for (const auto& f : table->fractions) {
        std::printf("  %d: %.2f - %.2f mm, %s%s\n", f.number, f.from, f.to,
                    f.peak > 0 ? formatText("peak %d", f.peak).c_str() : "between", f.manual ? ", by hand" : "");
    }
}

void writeTextPlan(const std::string& path, const RunDataFile& run) {
    const auto read = readOverlayPlanFile(path);
    if (!read || !read->found) {
        return;
    }
    const auto vpm = volumePerMmOf(run);
    std::printf("overlay_plan: %zu zones, autofrac %d\n", read->plan.zones.size(), read->plan.autofrac);
    int number = 1;
    for (const auto& zone : read->plan.zones) {
        std::printf("zone %d: %.2f to %.2f mm, %d fractions of %.2f mm", number++, zone.start, zone.end,
                    zone.fractions, fractionDistance(zone));
        if (vpm) {
            std::printf(", %.2f ml", fractionVolume(zone, *vpm));
        }
        std::printf("\n");
    }
}

// A run as a profile, for its units and marks (an export file has none).
Profile profileOf(const std::string& path, const RunDataFile& run) {
    Profile fallback;
    fallback.xUnit = "mm";
    fallback.yUnit = "AU";
    return profileFromRun(run, std::filesystem::path(path).filename().string()).value_or(fallback);
}

void writeJsonUnitsAndMarks(Json& j, const Profile& p) {
    j.field("x_unit", p.xUnit);
    j.field("y_unit", p.yUnit);
    j.key("marks");
    j.open('[');
    for (const auto& mark : p.marks) {
        j.item();
        j.open('{');
        j.field("x", mark.x);
        j.field("label", mark.label);
        j.close('}');
    }
    j.close(']');
}

// A profile of another instrument: what its file tells, one JSON line.
void writeJsonProfile(const std::string& path, const Profile& p, bool rows) {
    Json j(stdout);
    j.open('{');
    j.field("file", path);
    j.field("format", profileFormatName(p.format));
    j.key("layout");
    j.null();
    j.field("channel", p.channel);
    j.field("x_name", p.xName);
    writeJsonUnitsAndMarks(j, p);
    j.integerField("samples", static_cast<long long>(p.size()));
    if (rows) {
        j.key("rows");
        j.open('[');
        for (std::size_t i = 0; i < p.size(); ++i) {
            j.item();
            j.open('{');
            j.field("x", p.x[i]);
            j.field("y", p.y[i]);
            j.close('}');
        }
        j.close(']');
    }
    j.close('}');
    std::fputc('\n', stdout);
}

void writeTextProfile(const std::string& path, const Profile& p, bool rows) {
    std::printf("file: %s\n", visibleText(path).c_str());
    std::printf("format: %s\n", profileFormatName(p.format));
    std::printf("channel: %s\n", visibleText(p.channel).c_str());
    std::printf("x_name: %s\n", visibleText(p.xName).c_str());
    std::printf("x_unit: %s\n", visibleText(p.xUnit).c_str());
    std::printf("y_unit: %s\n", visibleText(p.yUnit).c_str());
    std::printf("samples: %zu\n", p.size());
    std::printf("marks: %zu\n", p.marks.size());
    for (const auto& mark : p.marks) {
        std::printf("mark: %s at %s\n", visibleText(mark.label).c_str(), xText(mark.x, p.xUnit).c_str());
    }
    if (!rows) {
        return;
    }
    std::printf("\nx, y\n");
    for (std::size_t i = 0; i < p.size(); ++i) {
        std::printf("%.6f, %.6f\n", p.x[i], p.y[i]);
    }
}

// The rest of the header's description and the unit's settings: a value
// the file does not hold is null.
void writeJsonDescription(Json& j, const RunFileHeader& h) {
    const RunInfo& info = h.info;
    const auto text = [&](const char* name, const std::string& value) {
        j.key(name);
        value.empty() ? j.null() : j.string(value);
    };
    text("rotor_speed_krpm", info.speed);
    text("spin_time", info.spinTime);
    j.key("w2t");
    if (info.w2tMantissa.empty()) {
        j.null();
    } else {
        j.open('{');
        j.field("mantissa", info.w2tMantissa);
        j.integerField("exponent", info.w2tExponent);
        j.close('}');
    }
    text("sample_volume_ml", info.sampleVolume);
    j.key("number_of_tubes");
    h.hasNumberOfTubes ? j.integer(info.numberOfTubes) : j.null();
    j.key("temperature");
    h.hasTemperature ? j.number(info.temperature) : j.null();
    j.key("unit_settings");
    if (!h.device) {
        j.null();
        return;
    }
    const RecordedDeviceSettings& d = *h.device;
    j.open('{');
    j.integerField("pc", d.pc);
    j.integerField("sample_interval_ms", d.sampleIntervalMs);
    j.key("samples_per_sec");
    d.sampleIntervalMs > 0 ? j.number(1000.0 / d.sampleIntervalMs) : j.null();
    j.integerField("duty_cycle_a", d.dutyCycleA);
    j.integerField("duty_cycle_b", d.dutyCycleB);
    j.field("samples_per_mm", d.samplesPerMm);
    j.field("scan_speed", d.scanSpeed);
    j.field("scan_distance", d.scanDistance);
    j.close('}');
}

void writeJson(const std::string& path, const RunDataFile& run, bool rows) {
    const auto& h = run.header();
    const auto& info = h.info;
    Json j(stdout);
    j.open('{');
    j.field("file", path);
    j.field("layout", layoutName(run.layout()));
    j.field("format", profileFormatName(ProfileFormat::Corvane));
    j.field("title", h.fileTitle);
    j.field("version", h.version);
    j.key("date");
    h.hasDate ? j.string(dateText(h)) : j.null();
    j.key("time");
    h.hasTime ? j.string(timeText(h)) : j.null();
    j.field("experiment", info.experimentName);
    j.field("user", info.userName);
    j.field("uv_unit", h.hasRunInfo ? uvUnitName(info.uvUnit) : "");
    j.field("rotor_manufacturer", info.rotorManufacturer);
    j.field("rotor_model", info.rotorModel);
    j.key("gradient");
    if (info.gradient.empty()) {
        j.null();
    } else {
        j.open('{');
        j.field("name", info.gradient);
        j.field("start_percent", info.gradientPercent1);
        j.field("end_percent", info.gradientPercent2);
        j.field("units", gradientUnitText(info.gradientUnits));
        j.close('}');
    }
    j.key("volume_per_mm");
    h.hasVolumePerMm ? j.number(info.volumePerMm) : j.null();
    writeJsonDescription(j, h);
    j.key("de1");
    if (!h.em1) {
        j.null();
    } else {
        const auto& e = *h.em1;
        j.open('{');
        j.field("aufs", e.aufsValue);
        j.field("trigger", e.settings.signalType == Em1Settings::kManualTriggered ? "manual" : "event");
        j.field("delay", delayName(e.settings.delayType));
        j.field("wavelength_nm", e.settings.wavelength);
        j.field("samples_per_sec", e.settings.samplesPerSec);
        j.field("speed", e.settings.speed);
        j.field("fraction_distance", e.settings.fractionDistance);
        j.integerField("number_of_fractions", e.settings.numberOfFractions);
        j.field("dead_volume", e.settings.deadVolume);
        j.field("dead_volume_distance", e.deadVolumeDistance);
        j.field("tubing_length", e.tubingLength);
        j.field("total_distance", e.settings.totalDistance);
        j.key("aufs_changes");
        j.open('[');
        for (const auto& change : h.aufsChanges) {
            j.item();
            j.open('{');
            j.field("aufs", change.aufs);
            j.field("distance", change.distance);
            j.close('}');
        }
        j.close(']');
        j.close('}');
    }
    writeJsonPlan(j, path, run);
    writeJsonFractions(j, path);
    writeJsonUnitsAndMarks(j, profileOf(path, run));
    j.integerField("samples", static_cast<long long>(run.sampleCount()));
    if (run.isExport()) {
        j.key("sets");
        j.open('[');
        for (const auto& set : run.exportedSets()) {
            j.item();
            j.open('{');
            j.field("name", set.name);
            j.integerField("offset", set.offset);
            j.integerField("samples", static_cast<long long>(set.samples.size()));
            j.close('}');
        }
        j.close(']');
    }
    if (rows) {
        j.key("rows");
        j.open('[');
        if (run.isExport()) {
            for (const auto& set : run.exportedSets()) {
                for (const auto& s : set.samples) {
                    j.item();
                    j.open('{');
                    j.field("set", set.name);
                    j.field("distance", s.positionA);
                    j.field("absorbance", s.absorbanceA);
                    j.close('}');
                }
            }
        } else if (run.isEm1()) {
            for (const auto& s : run.em1Samples()) {
                j.item();
                j.open('{');
                j.field("distance", s.distance);
                j.field("absorbance", s.absorbance);
                j.key("fraction");
                if (s.fraction >= 0) j.integer(s.fraction);
                else if (s.fraction == Em1Sample::kNoFraction) j.null();
                else j.string(fractionText(s));
                j.field("volume", s.volume);
                j.key("event");
                j.boolean(s.eventMark);
                j.close('}');
            }
        } else {
            for (const auto& s : run.samples()) {
                j.item();
                j.open('{');
                j.integerField("sample_a", s.sampleA);
                j.integerField("source_a", s.sourceA);
                j.integerField("sample_b", s.sampleB);
                j.integerField("source_b", s.sourceB);
                j.field("absorbance_a", s.absorbanceA);
                j.field("absorbance_b", s.absorbanceB);
                j.field("ratio", s.ratio);
                j.field("position_a", s.positionA);
                j.field("position_b", s.positionB);
                j.close('}');
            }
        }
        j.close(']');
    }
    j.close('}');
    std::fputc('\n', stdout);
}

// Text for a terminal line: no escape sequence from a file reaches the
// terminal, no line break splits a "key: value" line, a NUL hides nothing.
std::string shown(std::string_view text) { return visibleText(text); }

void writeText(const std::string& path, const RunDataFile& run, bool rows) {
    const auto& h = run.header();
    const auto& info = h.info;
    std::printf("file: %s\n", shown(path).c_str());
    std::printf("layout: %s\n", layoutName(run.layout()));
    std::printf("title: %s\n", shown(h.fileTitle).c_str());
    std::printf("version: %s\n", shown(h.version).c_str());
    std::printf("date: %s\n", h.hasDate ? dateText(h).c_str() : "");
    std::printf("time: %s\n", h.hasTime ? timeText(h).c_str() : "");
    std::printf("experiment: %s\n", shown(info.experimentName).c_str());
    std::printf("user: %s\n", shown(info.userName).c_str());
    std::printf("rotor: %s%s", shown(info.rotorManufacturer).c_str(),
                info.rotorManufacturer.empty() || info.rotorModel.empty() ? "" : " ");
    std::printf("%s\n", shown(info.rotorModel).c_str());
    if (info.gradient.empty()) {
        std::printf("gradient: \n");
    } else {
        std::printf("gradient: %s %.1f%% to %.1f%% %s\n", shown(info.gradient).c_str(),
                    info.gradientPercent1, info.gradientPercent2,
                    gradientUnitText(info.gradientUnits));
    }
    if (h.em1) {
        const auto& e = *h.em1;
        std::printf("de1_aufs: %.2f\n", e.aufsValue);
        std::printf("de1_trigger: %s\n",
                    e.settings.signalType == Em1Settings::kManualTriggered ? "manual" : "event");
        std::printf("de1_delay: %s\n", delayName(e.settings.delayType));
        std::printf("de1_wavelength_nm: %.0f\n", e.settings.wavelength);
        std::printf("de1_samples_per_sec: %.0f\n", e.settings.samplesPerSec);
        std::printf("de1_speed: %.2f\n", e.settings.speed);
        std::printf("de1_fraction_distance: %.2f\n", e.settings.fractionDistance);
        std::printf("de1_number_of_fractions: %d\n", e.settings.numberOfFractions);
        std::printf("de1_dead_volume: %.6f\n", e.settings.deadVolume);
        std::printf("de1_dead_volume_distance: %.2f\n", e.deadVolumeDistance);
        std::printf("de1_tubing_length: %.0f\n", e.tubingLength);
        std::printf("de1_total_distance: %.2f\n", e.settings.totalDistance);
        for (const auto& change : h.aufsChanges) {
            std::printf("de1_aufs_change: %.2f at %.2f mm\n", change.aufs, change.distance);
        }
    }
    writeTextPlan(path, run);
    writeTextFractions(path);
    for (const auto& set : run.exportedSets()) {
        std::printf("set: %s, offset %d, %zu samples\n", shown(set.name).c_str(), set.offset,
                    set.samples.size());
    }
    std::printf("samples: %zu\n", run.sampleCount());
    const Profile profile = profileOf(path, run);
    std::printf("format: %s\nx_unit: %s\ny_unit: %s\nmarks: %zu\n", profileFormatName(profile.format),
                profile.xUnit.c_str(), profile.yUnit.c_str(), profile.marks.size());
    if (!rows) {
        return;
    }
    std::printf("\n");
    if (run.isExport()) {
        std::printf("set, distance, absorbance\n");
        for (const auto& set : run.exportedSets()) {
            for (const auto& s : set.samples) {
                std::printf("%s, %.2f, %.6f\n", shown(set.name).c_str(), s.positionA, s.absorbanceA);
            }
        }
    } else if (run.isEm1()) {
        std::printf("distance, absorbance, fraction, volume, event\n");
        for (const auto& s : run.em1Samples()) {
            std::printf("%.2f, %.6f, %s, %.3f, %d\n", s.distance, s.absorbance, fractionText(s).c_str(),
                        s.volume, s.eventMark ? 1 : 0);
        }
    } else {
        std::printf("sample_a, source_a, sample_b, source_b, absorbance_a, absorbance_b, ratio, "
                    "position_a, position_b\n");
        for (const auto& s : run.samples()) {
            std::printf("%u, %u, %u, %u, %.6f, %.6f, %.6f, %.2f, %.2f\n", s.sampleA, s.sourceA,
                        s.sampleB, s.sourceB, s.absorbanceA, s.absorbanceB, s.ratio, s.positionA,
                        s.positionB);
        }
    }
}

int usage() {
    std::fprintf(stderr, "usage: corvane-cli info [--json] [--rows] [--x-column C] [--y-column C] FILE...\n%s",
                 kColumnUsage);
    return 2;
}

// A file that cannot be read, in the JSON stream: its line says why.
void writeJsonProblem(const std::string& path, const std::string& problem) {
    Json j(stdout);
    j.open('{');
    j.field("file", path);
    j.field("error", problem);
    j.close('}');
    std::fputc('\n', stdout);
}

}  // namespace

int runInfo(int argc, char** argv) {
    bool json = false;
    bool rows = false;
    std::vector<std::string> files;
    ProfileFileOptions columns;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (takeColumnOption(argc, argv, i, columns)) {
            continue;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--rows") {
            rows = true;
        } else if (arg.starts_with("-")) {
            return usage();
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty()) {
        return usage();
    }
    if (const auto problem = columnsProblem("info", columns, files); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    bool allRead = true;
    RunOrProfileFile read;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto& file = files[k];
        const auto problem = readRunOrProfile("info", file, columns, read);
        // Not a run: a preset run file is shown as one before anything else
        // is tried (only a regular file that was read is tried again).
        if (!read.isRun && (read.profile || problem.starts_with("Error, unable to find header"))) {
            if (const auto preset = readPresetRun(file)) {
                if (k > 0 && !json) std::printf("\n");
                allRead = printPresetRun(file, *preset, json) == 0 && allRead;
                continue;
            }
        }
        if (!problem.empty()) {
            allRead = false;
            if (json) {
                writeJsonProblem(file, problem);
            } else {
                std::fflush(stdout);  // the message among the blocks, where the file's block would be
                std::fprintf(stderr, "%s\n", problem.c_str());
            }
            continue;
        }
        if (!json && k > 0) std::printf("\n");
        if (read.profile) {
            json ? writeJsonProfile(file, *read.profile, rows) : writeTextProfile(file, *read.profile, rows);
        } else {
            json ? writeJson(file, read.run, rows) : writeText(file, read.run, rows);
        }
    }
    return std::fflush(stdout) == 0 && allRead ? 0 : 1;
}

}  // namespace corvane::cli
