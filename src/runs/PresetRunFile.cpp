#include "runs/PresetRunFile.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "base/TextFormat.h"
#include "runs/OverlayPlanBlock.h"

namespace corvane {
namespace {

constexpr const char* kExperiment = "[experiment_settings]";
constexpr const char* kEm1 = "[em1_settings]";
constexpr const char* kScan = "[scan_settings]";

// "[scan_settings]" keys of older files, read when present.
constexpr std::array<const char*, 13> kScanExtras = {
    "scan_speed", "upperlimit_to_zero_dist", "samples_per_mm", "auto_y_axis", "auto_yy_axis",
    "sample_interval", "ymax", "ymin", "yy_max", "yy_min", "ab_ratio", "atod_gain", "overlay"};

void textLine(std::string& out, const char* key, const std::string& value) {
    if (!value.empty()) {
        out += key;
        out += ' ';
        out += value;
        out += '\n';
    }
}

std::string experimentLines(const RunInfo& r) {
    std::string out = std::string(kExperiment) + "\n";
    textLine(out, "manufacturer", r.rotorManufacturer);
    textLine(out, "model", r.rotorModel);
    out += formatText("collectionvolume %.6f\n", r.collectionVolume);
    out += formatText("grad_pct1 %.6f\n", r.gradientPercent1);
    out += formatText("grad_pct2 %.6f\n", r.gradientPercent2);
    out += formatText("volume_per_mm %.6f\n", r.volumePerMm);
    textLine(out, "gradient", r.gradient);
    out += formatText("aufs %d\n", r.aufs);
    out += formatText("grad_units %d\n", r.gradientUnits);
    out += formatText("manufacturer_index %d\n", r.manufacturerIndex);
    out += formatText("numtubes %d\n", r.numberOfTubes);
    out += formatText("rotormodel_index %d\n", r.rotorModelIndex);
    out += formatText("time_exponent %d\n", r.w2tExponent);
    out += formatText("uv_unit %d\n", r.uvUnit);
    textLine(out, "samplevolume", r.sampleVolume);
    textLine(out, "speed", r.speed);
    textLine(out, "time_w2t", r.spinTime);
    textLine(out, "W2T", r.w2tMantissa);
    out += formatText("temperature %.6f\n", r.temperature);
    return out;
}

std::string text(const ConfigFile& file, const char* section, const char* key) {
    return file.getString(section, key).value_or("");
}

bool hasAny(const ConfigFile& file, const char* section, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        if (file.getString(section, key)) {
            return true;
        }
    }
    return false;
}

RunInfo readExperiment(const ConfigFile& f) {
    RunInfo r;
    r.collectionVolume = f.getDouble(kExperiment, "collectionvolume");
    r.gradientPercent1 = f.getDouble(kExperiment, "grad_pct1");
    r.gradientPercent2 = f.getDouble(kExperiment, "grad_pct2");
    r.volumePerMm = f.getDouble(kExperiment, "volume_per_mm");
    r.temperature = f.getDouble(kExperiment, "temperature");
    r.gradient = text(f, kExperiment, "gradient");
    r.aufs = f.getInt(kExperiment, "aufs");
    r.gradientUnits = f.getInt(kExperiment, "grad_units");
    r.manufacturerIndex = f.getInt(kExperiment, "manufacturer_index");
    r.numberOfTubes = f.getInt(kExperiment, "numtubes");
    r.rotorModelIndex = f.getInt(kExperiment, "rotormodel_index");
    r.w2tExponent = f.getInt(kExperiment, "time_exponent");
    r.uvUnit = f.getInt(kExperiment, "uv_unit");
    r.rotorManufacturer = text(f, kExperiment, "manufacturer");
    r.rotorModel = text(f, kExperiment, "model");
    r.sampleVolume = text(f, kExperiment, "samplevolume");
    r.speed = text(f, kExperiment, "speed");
    r.spinTime = text(f, kExperiment, "time_w2t");
    // Written beside the spin time; read too, so a preset read and saved
    // again keeps the w2t it had.
    r.w2tMantissa = text(f, kExperiment, "W2T");
    return r;
}

Em1Settings readEm1(const ConfigFile& f) {
    Em1Settings s;
    s.deadVolume = f.getDouble(kEm1, "deadvolume");
    s.fractionDistance = f.getDouble(kEm1, "fraction_distance");
    s.samplesPerSec = f.getDouble(kEm1, "samples_per_sec");
    s.speed = f.getDouble(kEm1, "speed");
    s.totalDistance = f.getDouble(kEm1, "total_distance");
    s.wavelength = f.getDouble(kEm1, "wavelength");
    s.aufs = f.getInt(kEm1, "aufs");
    s.delayType = f.getInt(kEm1, "delaytype");
    s.graphYAxisType = f.getInt(kEm1, "gry_axis");
    s.graphXAxisType = f.getInt(kEm1, "gyx_axis");
    s.numberOfFractions = f.getInt(kEm1, "num_fractions");
    s.signalType = f.getInt(kEm1, "signal_type");
    if (f.getString(kEm1, "peaks")) {
        auto& p = s.peaks;
        p.enabled = f.getInt(kEm1, "peaks") != 0;
        p.startLevel = f.getDouble(kEm1, "peak_start_level");
        p.endLevel = f.getDouble(kEm1, "peak_end_level");
        p.startSlope = f.getDouble(kEm1, "peak_start_slope");
        p.endSlope = f.getDouble(kEm1, "peak_end_slope");
        p.minWidthMm = f.getDouble(kEm1, "peak_min_width");
        p.perPeak = std::max(1, f.getInt(kEm1, "peak_fractions"));
        p.betweenEveryMm = f.getDouble(kEm1, "peak_between");
        p.delayVolumeMl = f.getDouble(kEm1, "peak_delay_volume");
    }
    return s;
}

bool unstorable(const std::string& value) {
    return value.find_first_of(std::string_view("[\r\n\0", 4)) != std::string::npos;
}

}  // namespace

std::string presetEm1Lines(const Em1Settings& s) {
    std::string out = std::string(kEm1) + "\n";
    out += formatText("deadvolume %.6f\n", s.deadVolume);
    out += formatText("fraction_distance %.6f\n", s.fractionDistance);
    out += formatText("samples_per_sec %.6f\n", s.samplesPerSec);
    out += formatText("speed %.6f\n", s.speed);
    out += formatText("total_distance %.6f\n", s.totalDistance);
    out += formatText("wavelength %.6f\n", s.wavelength);
    out += formatText("aufs %d\n", s.aufs);
    out += formatText("delaytype %d\n", s.delayType);
    out += formatText("gry_axis %d\n", s.graphYAxisType);
    out += formatText("gyx_axis %d\n", s.graphXAxisType);
    out += formatText("num_fractions %d\n", s.numberOfFractions);
    out += formatText("signal_type %d\n", s.signalType);
    if (const auto& p = s.peaks; p.enabled) {
        // Collecting by peaks; a preset of any other way has none of these keys.
        out += formatText("peaks 1\npeak_start_level %.6f\npeak_end_level %.6f\n", p.startLevel, p.endLevel);
        out += formatText("peak_start_slope %.6f\npeak_end_slope %.6f\n", p.startSlope, p.endSlope);
        out += formatText("peak_min_width %.6f\npeak_fractions %d\n", p.minWidthMm, p.perPeak);
        out += formatText("peak_between %.6f\npeak_delay_volume %.6f\n", p.betweenEveryMm, p.delayVolumeMl);
    }
    return out;
}

std::string presetRunText(const PresetRun& preset) {
    std::string out;
    if (preset.runInfo) {
        out += experimentLines(*preset.runInfo);
    }
    out += "\n";
    if (preset.em1) {
        out += "\n";
        out += presetEm1Lines(*preset.em1);
    }
    out += "\n";
    out += std::string(kScan) + "\n";
    out += formatText("scan_distance %.2f\n", preset.scan.scanDistance);
    out += formatText("autosend_eventmarks %d\n", preset.scan.autosendEventMarks ? 1 : 0);
    if (!preset.plan) {
        out += "numzones 0\n";
        return out;
    }
    out += "\n";
    out += overlayPlanBlock(*preset.plan, preset.planFile);
    return out;
}

std::string presetTextProblem(const PresetRun& preset) {
    std::vector<std::pair<const char*, const std::string*>> fields;
    if (const auto& r = preset.runInfo) {
        fields = {{"rotor manufacturer", &r->rotorManufacturer}, {"rotor model", &r->rotorModel},
                  {"gradient", &r->gradient},       {"sample volume", &r->sampleVolume},
                  {"speed", &r->speed},             {"spin time", &r->spinTime},
                  {"w2t", &r->w2tMantissa}};
    }
    fields.push_back({"standard run file name", &preset.planFile});
    for (const auto& [name, value] : fields) {
        if (unstorable(*value)) {
            return formatText("Error, the %s \"%s\" cannot be kept in a preset run file: it holds a "
                              "\"[\" or a line break. Change it and save again.",
                              name, visibleText(*value).c_str());
        }
    }
    return {};
}

std::optional<PresetRun> readPresetRun(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) ||
        std::filesystem::file_size(path, error) > kMaxPresetFileBytes || error) {
        return std::nullopt;
    }
    const ConfigFile file(path);
    if (!file.isOpen()) {
        return std::nullopt;
    }
    PresetRun preset;
    if (hasAny(file, kExperiment,
               {"collectionvolume", "grad_pct1", "grad_pct2", "volume_per_mm", "temperature", "gradient",
                "aufs", "grad_units", "manufacturer_index", "numtubes", "rotormodel_index", "time_exponent",
                "uv_unit", "manufacturer", "model", "samplevolume", "speed", "time_w2t", "W2T"})) {
        preset.runInfo = readExperiment(file);
    }
    if (hasAny(file, kEm1,
               {"deadvolume", "fraction_distance", "samples_per_sec", "speed", "total_distance", "wavelength",
                "aufs", "delaytype", "gry_axis", "gyx_axis", "num_fractions", "signal_type"})) {
        preset.em1 = readEm1(file);
    }
    const bool scan = hasAny(file, kScan, {"scan_distance", "autosend_eventmarks"});
    preset.scan.scanDistance = file.getDouble(kScan, "scan_distance");
    preset.scan.autosendEventMarks = file.getInt(kScan, "autosend_eventmarks") != 0;
    for (const char* key : kScanExtras) {
        if (file.getString(kScan, key)) {
            preset.scan.extras.emplace_back(key, file.getDouble(kScan, key));
        }
    }
    // The plan block is read by the one reader every file with a plan uses.
    if (const auto text = readWholeFile(path, kMaxPresetFileBytes)) {
        if (auto read = readOverlayPlan(*text); read.found) {
            preset.plan = std::move(read.plan);
            preset.planFile = std::move(read.filename);
        }
    }
    if (!preset.runInfo && !preset.em1 && !scan && !preset.plan) {
        return std::nullopt;
    }
    return preset;
}

bool writePresetRun(const std::filesystem::path& path, const PresetRun& preset) {
    return presetTextProblem(preset).empty() && replaceFile(path, presetRunText(preset));
}

}  // namespace corvane
