#include "cli/PresetInfo.h"

#include <cstdio>

#include "cli/JsonWriter.h"

namespace corvane::cli {
namespace {

void experimentJson(Json& j, const RunInfo& r) {
    j.open('{');
    j.field("rotor_manufacturer", r.rotorManufacturer);
    j.field("rotor_model", r.rotorModel);
    j.integerField("manufacturer_index", r.manufacturerIndex);
    j.integerField("rotor_model_index", r.rotorModelIndex);
    j.key("gradient");
    j.open('{');
    j.field("name", r.gradient);
    j.field("start_percent", r.gradientPercent1);
    j.field("end_percent", r.gradientPercent2);
    j.field("units", gradientUnitText(r.gradientUnits));
    j.close('}');
    j.field("collection_volume", r.collectionVolume);
    j.field("volume_per_mm", r.volumePerMm);
    j.integerField("aufs_step", r.aufs);
    j.integerField("number_of_tubes", r.numberOfTubes);
    j.integerField("uv_unit", r.uvUnit);
    j.field("sample_volume", r.sampleVolume);
    j.field("speed", r.speed);
    j.field("spin_time", r.spinTime);
    j.field("w2t", r.w2tMantissa);
    j.integerField("w2t_exponent", r.w2tExponent);
    j.field("temperature", r.temperature);
    j.close('}');
}

void em1Json(Json& j, const Em1Settings& s) {
    j.open('{');
    j.integerField("aufs_step", s.aufs);
    j.field("wavelength_nm", s.wavelength);
    j.field("samples_per_sec", s.samplesPerSec);
    j.field("speed", s.speed);
    j.field("fraction_distance", s.fractionDistance);
    j.integerField("number_of_fractions", s.numberOfFractions);
    j.field("total_distance", s.totalDistance);
    j.field("dead_volume", s.deadVolume);
    j.integerField("delay_type", s.delayType);
    j.integerField("signal_type", s.signalType);
    j.integerField("graph_y_axis", s.graphYAxisType);
    j.integerField("graph_x_axis", s.graphXAxisType);
    j.close('}');
}

void writeJson(const std::string& path, const PresetRun& p) {
    Json j(stdout);
    j.open('{');
    j.field("file", path);
    j.field("layout", "preset_run");
    j.key("experiment");
    p.runInfo ? experimentJson(j, *p.runInfo) : j.null();
    j.key("de1");
    p.em1 ? em1Json(j, *p.em1) : j.null();
    j.key("scan");
    j.open('{');
    j.field("scan_distance", p.scan.scanDistance);
    j.key("autosend_event_marks");
    j.boolean(p.scan.autosendEventMarks);
    for (const auto& [key, value] : p.scan.extras) {
        j.field(key.c_str(), value);
    }
    j.close('}');
    j.key("overlay_plan");
    if (!p.plan) {
        j.null();
    } else {
        j.open('{');
        j.integerField("autofrac", p.plan->autofrac);
        j.field("standard_run", p.planFile);
        j.key("zones");
        j.open('[');
        for (const auto& zone : p.plan->zones) {
            j.item();
            j.open('{');
            j.field("start", zone.start);
            j.field("end", zone.end);
            j.integerField("fractions", zone.fractions);
            j.close('}');
        }
        j.close(']');
        j.close('}');
    }
    j.close('}');
    std::fputc('\n', stdout);
}

void line(const char* key, const std::string& value) {
    std::printf("%s: %s\n", key, visibleText(value).c_str());
}

void writeText(const std::string& path, const PresetRun& p) {
    line("file", path);
    line("layout", "preset_run");
    if (const auto& r = p.runInfo) {
        line("rotor_manufacturer", r->rotorManufacturer);
        line("rotor_model", r->rotorModel);
        std::printf("gradient: %s %.1f%% to %.1f%% %s\n", visibleText(r->gradient).c_str(), r->gradientPercent1,
                    r->gradientPercent2, gradientUnitText(r->gradientUnits));
        std::printf("collection_volume: %.2f\nvolume_per_mm: %.3f\nnumber_of_tubes: %d\n", r->collectionVolume,
                    r->volumePerMm, r->numberOfTubes);
        line("sample_volume", r->sampleVolume);
        line("speed", r->speed);
        line("spin_time", r->spinTime);
        std::printf("w2t: %s x 10^%d\ntemperature: %.1f\n", visibleText(r->w2tMantissa).c_str(), r->w2tExponent,
                    r->temperature);
    }
    if (const auto& s = p.em1) {
        std::printf("de1_aufs_step: %d\nde1_wavelength: %.0f\nde1_samples_per_sec: %.0f\nde1_speed: %.2f\n"
                    "de1_fraction_distance: %.2f\nde1_number_of_fractions: %d\nde1_total_distance: %.2f\n"
                    "de1_dead_volume: %.6f\nde1_delay_type: %d\nde1_signal_type: %d\n",
                    s->aufs, s->wavelength, s->samplesPerSec, s->speed, s->fractionDistance, s->numberOfFractions,
                    s->totalDistance, s->deadVolume, s->delayType, s->signalType);
    }
    std::printf("scan_distance: %.2f\nautosend_event_marks: %d\n", p.scan.scanDistance,
                p.scan.autosendEventMarks ? 1 : 0);
    for (const auto& [key, value] : p.scan.extras) {
        std::printf("%s: %g\n", key.c_str(), value);
    }
    if (const auto& plan = p.plan) {
        std::printf("zones: %zu\nautofrac: %d\n", plan->zones.size(), plan->autofrac);
        for (const auto& zone : plan->zones) {
            std::printf("zone: %.2f to %.2f mm, %d fractions\n", zone.start, zone.end, zone.fractions);
        }
        line("standard_run", p.planFile);
    }
}

}  // namespace

int printPresetRun(const std::string& path, const PresetRun& preset, bool json) {
    json ? writeJson(path, preset) : writeText(path, preset);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace corvane::cli
