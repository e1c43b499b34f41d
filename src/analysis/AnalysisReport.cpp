#include "analysis/AnalysisReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "analysis/Regions.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

const char* const kLandmarkColumns[] = {"top", "40S", "60S", "80S"};
const char* const kAutomaticRegions[] = {"top", "40S", "60S", "80S", "polysomes", "total"};

PointReport pointOf(const Profile& profile, const ProfileAnalysis& a, std::size_t index, double prominence) {
    return {index, profile.x[index], a.height(profile, index), prominence};
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

void csvRow(std::string& out, const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
        if (k > 0) {
            out += ',';
        }
        out += csvCell(cells[k]);
    }
    out += '\n';
}

std::string joined(const std::vector<std::string>& list, const char* separator) {
    std::string text;
    for (const auto& s : list) {
        text += (text.empty() ? "" : separator) + s;
    }
    return text;
}

}  // namespace

// Numbers in their shortest exact form, which never depends on the locale;
// nothing for a value that is not a number.
std::string reportNumber(double value) {
    if (!std::isfinite(value)) {
        return {};
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return {text, end};
}

std::string reportNumber(const std::optional<double>& value) {
    return value ? reportNumber(*value) : std::string();
}

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

void summariseGroup(GroupReport& g, const std::vector<GroupMember>& members) {
    std::vector<Ratios> ratios;
    std::vector<const Profile*> profiles;
    std::vector<std::string> names;
    for (const auto& m : members) {
        if (m.ratios == nullptr || m.profile == nullptr) {
            g.warnings.push_back(visibleText(m.name) + " could not be analysed");
            continue;
        }
        ratios.push_back(*m.ratios);
        profiles.push_back(m.profile);
        names.push_back(m.name);
    }
    g.analysed = ratios.size();
    g.ratios = groupRatios(ratios);
    for (const auto& [a, b] : sameProfiles(profiles)) {
        g.warnings.push_back(visibleText(names[a]) + " and " + visibleText(names[b]) +
                             " hold the same profile: they are no replicates");
    }
    const std::pair<const char*, const Spread*> spreads[] = {
        {"pm", &g.ratios.pm}, {"p_total", &g.ratios.pTotal}, {"s60_s40", &g.ratios.s60s40}};
    for (const auto& [name, spread] : spreads) {
        if (spread->n < g.analysed) {
            g.warnings.push_back(formatText("%s: %zu of %zu files have it", name, spread->n, g.analysed));
        }
    }
}

std::string csvTable(const std::vector<FileReport>& reports, const std::vector<GroupReport>& groups,
                     const AnalyzeParameters& parameters) {
    std::string out;
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
                               baselineKindName(r.baselineKind), reportNumber(r.baselineValue), reportNumber(r.prominence),
                               clipped, reportNumber(r.patternConfidence)});
        std::size_t polysomes = 0;
        for (const char* name : kLandmarkColumns) {
            std::string x;
            for (const auto& l : r.landmarks) {
                if (l.name == name) {
                    x = reportNumber(l.point.x);
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
                    area = reportNumber(region.area);
                }
            }
            row.push_back(area);
        }
        row.insert(row.end(), {reportNumber(r.ratios.pm.value), reportNumber(r.ratios.pTotal.value),
                               reportNumber(r.ratios.s60s40.value)});
        if (parameters.deconvolution) {
            row.push_back(r.deconvolution ? reportNumber(r.deconvolution->residual) : std::string());
            for (std::size_t k = 0; k < components; ++k) {
                const bool has = r.deconvolution && k < r.deconvolution->components.size();
                row.push_back(has ? reportNumber(r.deconvolution->components[k].x) : std::string());
                row.push_back(has ? reportNumber(r.deconvolution->components[k].area) : std::string());
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
        at("pm") = reportNumber(g.ratios.pm.mean);
        at("p_total") = reportNumber(g.ratios.pTotal.mean);
        at("s60_s40") = reportNumber(g.ratios.s60s40.mean);
        at("n") = std::to_string(g.analysed);
        at("pm_sd") = reportNumber(g.ratios.pm.sd);
        at("p_total_sd") = reportNumber(g.ratios.pTotal.sd);
        at("s60_s40_sd") = reportNumber(g.ratios.s60s40.sd);
        at("warnings") = joined(g.warnings, "; ");
        csvRow(out, row);
    }
    return out;
}

}  // namespace corvane
