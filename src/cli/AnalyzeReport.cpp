#include "cli/AnalyzeReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "analysis/Regions.h"
#include "base/TextFormat.h"
#include "cli/JsonWriter.h"
#include "cli/ProfileArgs.h"

namespace corvane::cli {

namespace {

const char* const kLandmarkColumns[] = {"top", "40S", "60S", "80S"};
const char* const kAutomaticRegions[] = {"top", "40S", "60S", "80S", "polysomes", "total"};

PointReport pointOf(const Profile& profile, const ProfileAnalysis& a, std::size_t index, double prominence) {
    return {index, profile.x[index], a.height(profile, index), prominence};
}

// Numbers in their shortest exact form, which never depends on the locale;
// nothing for a value that is not a number.
std::string numberText(double value) {
    if (!std::isfinite(value)) {
        return {};
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return {text, end};
}

std::string numberText(const std::optional<double>& value) {
    return value ? numberText(*value) : std::string();
}

void optionalNumber(Json& j, const char* key, const std::optional<double>& value) {
    j.key(key);
    if (value) {
        j.number(*value);
    } else {
        j.null();
    }
}

void point(Json& j, const PointReport& p) {
    j.integerField("index", static_cast<long long>(p.index));
    j.field("x", p.x);
    optionalNumber(j, "height", p.height);
}

void ratios(Json& j, const Ratios& r) {
    j.open('{');
    optionalNumber(j, "pm", r.pm.value);
    optionalNumber(j, "p_total", r.pTotal.value);
    optionalNumber(j, "s60_s40", r.s60s40.value);
    j.close('}');
}

void spreads(Json& j, const GroupRatios& r, double Spread::*field) {
    j.open('{');
    j.field("pm", r.pm.*field);
    j.field("p_total", r.pTotal.*field);
    j.field("s60_s40", r.s60s40.*field);
    j.close('}');
}

void strings(Json& j, const char* key, const std::vector<std::string>& list) {
    j.key(key);
    j.open('[');
    for (const auto& s : list) {
        j.string(s);
    }
    j.close(']');
}

void parameters(Json& j, const FileReport& r, const AnalyzeParameters& p) {
    j.key("parameters");
    j.open('{');
    j.field("channel", p.channel);
    j.field("x_column", p.xColumn);
    j.field("y_column", p.yColumn);
    j.field("x", p.indexX ? "index" : "native");
    j.field("smooth", r.smoothing);
    j.field("baseline", p.baseline);
    j.field("prominence", r.prominence);
    optionalNumber(j, "full_scale", p.fullScale);
    j.key("regions");
    if (p.regions.empty()) {
        j.string("auto");
    } else {
        j.open('[');
        for (const auto& region : p.regions) {
            j.item();
            j.open('{');
            j.field("name", region.name);
            j.field("from", region.fromX);
            j.field("to", region.toX);
            j.close('}');
        }
        j.close(']');
    }
    j.key("deconvolve");
    if (!p.deconvolution) {
        j.null();
    } else {
        j.open('{');
        j.field("from", p.deconvolution->fromX);
        j.field("to", p.deconvolution->toX);
        j.field("shape", peakShapeName(p.deconvolution->shape));
        j.integerField("components", p.deconvolution->components);
        j.field("widths", peakWidthsName(p.widths));
        j.close('}');
    }
    j.close('}');
}

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

void csvRow(std::FILE* out, const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
        if (k > 0) {
            std::fputc(',', out);
        }
        const std::string cell = csvCell(cells[k]);
        std::fwrite(cell.data(), 1, cell.size(), out);
    }
    std::fputc('\n', out);
}

std::string joined(const std::vector<std::string>& list, const char* separator) {
    std::string text;
    for (const auto& s : list) {
        text += (text.empty() ? "" : separator) + s;
    }
    return text;
}

}  // namespace

FileReport reportOf(const std::string& file, const Profile& profile, const ProfileAnalysis& a) {
    FileReport r;
    r.file = file;
    r.format = profileFormatName(profile.format);
    r.channel = profile.channel;
    r.xUnit = profile.xUnit;
    r.yUnit = profile.yUnit;
    r.samples = profile.size();
    r.smoothing = smoothingText(a.smoothing);
    r.prominence = a.prominence;
    r.noise = a.noise;
    r.baselineKind = a.baseline.kind;
    r.baselineValue = a.baseline.at(0, profile.x.front());
    if (a.baseline.kind == BaselineKind::Line) {
        r.baselineLine = std::array<double, 4>{a.baseline.fromX, a.baseline.level, a.baseline.toX, a.baseline.toLevel};
    }
    if (a.baseline.kind == BaselineKind::Blank) {
        r.blankShift = a.baseline.blankShift;
    }
    r.saturated = a.saturated;
    for (const auto& p : a.peaks) {
        r.peaks.push_back(pointOf(profile, a, p.index, p.prominence));
    }
    for (const auto& v : a.valleys) {
        r.valleys.push_back(pointOf(profile, a, v.index, v.prominence));
    }
    for (const auto& l : a.landmarks.found) {
        r.landmarks.push_back({l.name, pointOf(profile, a, l.index, 0.0), l.confidence});
    }
    r.patternConfidence = a.landmarks.confidence;
    r.reversed = a.landmarks.reversed;
    for (const auto& region : a.regions) {
        r.regions.push_back({region.region.name, xAtPosition(profile.x, region.region.from),
                             xAtPosition(profile.x, region.region.to), region.area, region.saturated});
    }
    r.ratios = a.ratios;
    r.deconvolution = a.deconvolution;
    r.warnings = a.warnings;
    return r;
}

void writeJson(std::FILE* out, const FileReport& r, const AnalyzeParameters& p) {
    Json j(out);
    j.open('{');
    j.field("file", r.file);
    if (!r.error.empty()) {
        j.field("error", r.error);
        j.close('}');
        std::fputc('\n', out);
        return;
    }
    j.field("format", r.format);
    j.field("channel", r.channel);
    j.integerField("samples", static_cast<long long>(r.samples));
    j.field("x_unit", r.xUnit);
    j.field("y_unit", r.yUnit);
    parameters(j, r, p);
    j.field("noise", r.noise);
    j.key("saturated");
    j.open('[');
    for (const auto& range : r.saturated) {
        j.item();
        j.open('[');
        j.integer(static_cast<long long>(range.from));
        j.integer(static_cast<long long>(range.to));
        j.close(']');
    }
    j.close(']');
    for (const auto* list : {&r.peaks, &r.valleys}) {
        j.key(list == &r.peaks ? "peaks" : "valleys");
        j.open('[');
        for (const auto& one : *list) {
            j.item();
            j.open('{');
            point(j, one);
            j.field("prominence", one.prominence);
            j.close('}');
        }
        j.close(']');
    }
    j.key("landmarks");
    j.open('{');
    for (const auto& l : r.landmarks) {
        j.key(l.name.c_str());
        j.open('{');
        point(j, l.point);
        j.field("confidence", l.confidence);
        j.close('}');
    }
    j.close('}');
    j.key("pattern");
    j.open('{');
    j.field("confidence", r.patternConfidence);
    j.key("reversed");
    j.boolean(r.reversed);
    j.close('}');
    j.key("baseline");
    j.open('{');
    j.field("kind", baselineKindName(r.baselineKind));
    j.field("value", r.baselineValue);
    if (r.baselineLine) {
        const auto& l = *r.baselineLine;
        j.key("points");
        j.open('[');
        for (std::size_t k = 0; k < 4; k += 2) {
            j.item();
            j.open('[');
            j.number(l[k]);
            j.number(l[k + 1]);
            j.close(']');
        }
        j.close(']');
    }
    if (r.blankShift) {
        j.field("shift", *r.blankShift);
    }
    j.close('}');
    j.key("regions");
    j.open('[');
    for (const auto& region : r.regions) {
        j.item();
        j.open('{');
        j.field("name", region.name);
        j.field("from", region.from);
        j.field("to", region.to);
        j.field("area", region.area);
        j.key("saturated");
        j.boolean(region.saturated);
        j.close('}');
    }
    j.close(']');
    j.key("ratios");
    ratios(j, r.ratios);
    if (r.deconvolution) {
        const auto& d = *r.deconvolution;
        j.key("deconvolution");
        j.open('{');
        j.key("components");
        j.open('[');
        for (const auto& c : d.components) {
            j.item();
            j.open('{');
            j.field("x", c.x);
            j.field("width", c.width);
            j.field("height", c.height);
            j.field("area", c.area);
            j.field("skew", c.skew);
            j.close('}');
        }
        j.close(']');
        j.field("residual", d.residual);
        j.field("widths", peakWidthsName(d.widths));
        j.key("converged");
        j.boolean(d.converged);
        j.close('}');
    }
    strings(j, "warnings", r.warnings);
    j.close('}');
    std::fputc('\n', out);
}

void writeJson(std::FILE* out, const GroupReport& g) {
    Json j(out);
    j.open('{');
    j.field("group", g.name);
    j.integerField("n", static_cast<long long>(g.analysed));
    strings(j, "files", g.files);
    j.key("mean");
    spreads(j, g.ratios, &Spread::mean);
    j.key("sd");
    spreads(j, g.ratios, &Spread::sd);
    strings(j, "warnings", g.warnings);
    j.close('}');
    std::fputc('\n', out);
}

void writeCsv(std::FILE* out, const std::vector<FileReport>& reports, const std::vector<GroupReport>& groups,
              const AnalyzeParameters& parameters) {
    std::vector<std::string> regionNames;
    if (parameters.regions.empty()) {
        regionNames.assign(std::begin(kAutomaticRegions), std::end(kAutomaticRegions));
    } else {
        for (const auto& r : parameters.regions) {
            regionNames.push_back(r.name);
        }
    }
    std::size_t components = 0;
    for (const auto& r : reports) {
        if (r.deconvolution) {
            components = std::max(components, r.deconvolution->components.size());
        }
    }
    std::vector<std::string> header{"file", "group", "format", "channel", "samples", "x_unit", "smooth", "baseline",
                                    "baseline_value", "prominence", "saturated", "landmark_confidence"};
    for (const char* name : kLandmarkColumns) {
        header.push_back(std::string(name) + "_x");
    }
    header.push_back("polysome_peaks");
    for (const auto& name : regionNames) {
        header.push_back("area_" + name);
    }
    header.insert(header.end(), {"pm", "p_total", "s60_s40"});
    if (parameters.deconvolution) {
        header.push_back("deconvolution_residual");
        for (std::size_t k = 1; k <= components; ++k) {
            header.push_back(formatText("peak%zu_x", k));
            header.push_back(formatText("peak%zu_area", k));
        }
    }
    header.insert(header.end(), {"n", "pm_sd", "p_total_sd", "s60_s40_sd", "warnings", "error"});
    csvRow(out, header);

    for (const auto& r : reports) {
        std::vector<std::string> inGroups;
        for (const auto& g : groups) {
            if (std::find(g.files.begin(), g.files.end(), r.file) != g.files.end()) {
                inGroups.push_back(g.name);
            }
        }
        std::vector<std::string> row{r.file, joined(inGroups, ";")};
        if (!r.error.empty()) {
            row.resize(header.size());
            row.back() = r.error;
            csvRow(out, row);
            continue;
        }
        std::string clipped;
        for (const auto& range : r.saturated) {
            clipped += formatText("%s%zu-%zu", clipped.empty() ? "" : ";", range.from, range.to);
        }
        row.insert(row.end(), {r.format, r.channel, std::to_string(r.samples), r.xUnit, r.smoothing,
                               baselineKindName(r.baselineKind), numberText(r.baselineValue), numberText(r.prominence),
                               clipped, numberText(r.patternConfidence)});
        std::size_t polysomes = 0;
        for (const char* name : kLandmarkColumns) {
            std::string x;
            for (const auto& l : r.landmarks) {
                if (l.name == name) {
                    x = numberText(l.point.x);
                }
            }
            row.push_back(x);
        }
        for (const auto& l : r.landmarks) {
            polysomes += !l.name.empty() && l.name[0] >= '2' && l.name[0] <= '9' ? 1 : 0;
        }
        row.push_back(std::to_string(polysomes));
        for (const auto& name : regionNames) {
            std::string area;
            for (const auto& region : r.regions) {
                if (region.name == name) {
                    area = numberText(region.area);
                }
            }
            row.push_back(area);
        }
        row.insert(row.end(), {numberText(r.ratios.pm.value), numberText(r.ratios.pTotal.value),
                               numberText(r.ratios.s60s40.value)});
        if (parameters.deconvolution) {
            row.push_back(r.deconvolution ? numberText(r.deconvolution->residual) : std::string());
            for (std::size_t k = 0; k < components; ++k) {
                const bool has = r.deconvolution && k < r.deconvolution->components.size();
                row.push_back(has ? numberText(r.deconvolution->components[k].x) : std::string());
                row.push_back(has ? numberText(r.deconvolution->components[k].area) : std::string());
            }
        }
        row.insert(row.end(), {"", "", "", "", joined(r.warnings, "; "), ""});
        csvRow(out, row);
    }
    for (const auto& g : groups) {
        std::vector<std::string> row(header.size());
        row[1] = g.name;
        const auto at = [&](const char* column) -> std::string& {
            return row[static_cast<std::size_t>(std::find(header.begin(), header.end(), column) - header.begin())];
        };
        at("pm") = numberText(g.ratios.pm.mean);
        at("p_total") = numberText(g.ratios.pTotal.mean);
        at("s60_s40") = numberText(g.ratios.s60s40.mean);
        at("n") = std::to_string(g.analysed);
        at("pm_sd") = numberText(g.ratios.pm.sd);
        at("p_total_sd") = numberText(g.ratios.pTotal.sd);
        at("s60_s40_sd") = numberText(g.ratios.s60s40.sd);
        at("warnings") = joined(g.warnings, "; ");
        csvRow(out, row);
    }
}

void writeText(std::FILE* out, const FileReport& r) {
    const std::string name = visibleText(r.file);
    if (!r.error.empty()) {
        return;  // said on standard error
    }
    std::fprintf(out, "%s: %zu samples of %s against %s, smoothing %s, baseline %s at %.6g\n", name.c_str(),
                 r.samples, visibleText(r.channel).c_str(), visibleText(r.xUnit).c_str(), r.smoothing.c_str(),
                 baselineKindName(r.baselineKind), r.baselineValue);
    if (!r.landmarks.empty()) {
        std::string line;
        for (const auto& l : r.landmarks) {
            line += formatText("%s%s at %s", line.empty() ? "" : ", ", l.name.c_str(),
                               xText(l.point.x, r.xUnit).c_str());
        }
        std::fprintf(out, "  landmarks (confidence %.2f): %s\n", r.patternConfidence, line.c_str());
    }
    for (const auto& region : r.regions) {
        std::fprintf(out, "  %s: %s to %s, area %.6g%s\n", visibleText(region.name).c_str(),
                     xText(region.from, r.xUnit).c_str(), xText(region.to, r.xUnit).c_str(), region.area,
                     region.saturated ? " (clipped)" : "");
    }
    const auto ratio = [](const Ratio& value) {
        return value.value ? formatText("%.4g", *value.value) : std::string("-");
    };
    std::fprintf(out, "  ratios: P/M %s, polysomes/total %s, 60S/40S %s\n", ratio(r.ratios.pm).c_str(),
                 ratio(r.ratios.pTotal).c_str(), ratio(r.ratios.s60s40).c_str());
    if (r.deconvolution) {
        for (const auto& c : r.deconvolution->components) {
            std::fprintf(out, "  peak at %s: width %.4g, height %.4g, area %.6g\n", xText(c.x, r.xUnit).c_str(),
                         c.width, c.height, c.area);
        }
        std::fprintf(out, "  fit residual %.4g (%s widths)\n", r.deconvolution->residual,
                     peakWidthsName(r.deconvolution->widths));
    }
    for (const auto& w : r.warnings) {
        std::fprintf(out, "  warning: %s\n", visibleText(w).c_str());
    }
}

void writeText(std::FILE* out, const GroupReport& g) {
    const auto spread = [](const Spread& s) {
        return s.n == 0 ? std::string("-") : formatText("%.4g +- %.4g (%zu)", s.mean, s.sd, s.n);
    };
    std::fprintf(out, "group %s: %zu of %zu files; P/M %s, polysomes/total %s, 60S/40S %s\n",
                 visibleText(g.name).c_str(), g.analysed, g.files.size(), spread(g.ratios.pm).c_str(),
                 spread(g.ratios.pTotal).c_str(), spread(g.ratios.s60s40).c_str());
    for (const auto& w : g.warnings) {
        std::fprintf(out, "  warning: %s\n", visibleText(w).c_str());
    }
}

}  // namespace corvane::cli
