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
    // On a clipped plateau: its place is its middle, its height unknown.
    j.key("saturated");
    j.boolean(!p.height.has_value());
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

}  // namespace

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
    const std::string table = csvTable(reports, groups, parameters);
    std::fwrite(table.data(), 1, table.size(), out);
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
            line += formatText("%s%s at %s%s", line.empty() ? "" : ", ", l.name.c_str(),
                               xText(l.point.x, r.xUnit).c_str(), l.point.height ? "" : " (clipped)");
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
