#include "runs/PeakCollection.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/FieldScanner.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr std::string_view kDataColumns = "Data Column";

bool inRange(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

// A threshold: 0 (not used) or within (0, high].
bool thresholdOk(double value, double high) {
    return value == 0.0 || (std::isfinite(value) && value > 0.0 && value <= high);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// Calls f(line, whole line with its end, its end) for each line of text.
template <class F>
void eachLine(std::string_view text, F&& f) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find_first_of("\r\n", pos);
        std::size_t next = text.size();
        if (eol == std::string_view::npos) {
            eol = next;
        } else {
            next = eol + (text.compare(eol, 2, "\r\n") == 0 ? 2 : 1);
        }
        if (!f(trimmed(text.substr(pos, eol - pos)), text.substr(pos, next - pos), text.substr(eol, next - eol))) {
            return;
        }
        pos = next;
    }
}

bool readNumber(std::string_view value, double& out) {
    FieldScanner scan(value);
    double v = 0.0;
    if (!scan.real(v) || !std::isfinite(v)) {
        return false;
    }
    out = v;
    return true;
}

}  // namespace

double PeakCollection::endLevelUsed() const {
    return endLevel > 0.0 || endSlope > 0.0 ? endLevel : startLevel;
}

double PeakCollection::endSlopeUsed() const {
    return endLevel > 0.0 || endSlope > 0.0 ? endSlope : (startLevel > 0.0 ? 0.0 : startSlope);
}

std::string peakCollectionProblem(const PeakCollection& p) {
    if (!thresholdOk(p.startLevel, PeakCollection::kMaxLevel) ||
        !thresholdOk(p.endLevel, PeakCollection::kMaxLevel)) {
        return formatText("Invalid peak level. A level must be above 0 and at most %.2f AU above the baseline.",
                          PeakCollection::kMaxLevel);
    }
    if (!thresholdOk(p.startSlope, PeakCollection::kMaxSlope) ||
        !thresholdOk(p.endSlope, PeakCollection::kMaxSlope)) {
        return formatText("Invalid peak slope. A slope must be above 0 and at most %.2f AU/mm.",
                          PeakCollection::kMaxSlope);
    }
    if (p.startLevel == 0.0 && p.startSlope == 0.0) {
        return "A peak needs a start level or a start slope.";
    }
    if (p.startLevel > 0.0 && p.endLevel > p.startLevel) {
        return "The end level must not be above the start level.";
    }
    if (!inRange(p.minWidthMm, 0.0, PeakCollection::kMaxWidth)) {
        return formatText("Invalid minimum peak width. It must be between 0.00 and %.2f mm.",
                          PeakCollection::kMaxWidth);
    }
    if (p.perPeak < 1 || p.perPeak > PeakCollection::kMaxPerPeak) {
        return formatText("Invalid number of fractions per peak. It must be between 1 and %d.",
                          PeakCollection::kMaxPerPeak);
    }
    if (!(p.betweenEveryMm == 0.0 || inRange(p.betweenEveryMm, 0.1, PeakCollection::kMaxBetween))) {
        return formatText("Invalid distance between peaks. A fraction every 0.10 to %.2f mm, or one fraction.",
                          PeakCollection::kMaxBetween);
    }
    if (!inRange(p.delayVolumeMl, 0.0, PeakCollection::kMaxDelayVolume)) {
        return formatText("Invalid delay volume. It must be between 0.00 and %.2f ml (0: the tubing's dead volume).",
                          PeakCollection::kMaxDelayVolume);
    }
    return {};
}

bool parseBetween(std::string_view text, double& everyMm) {
    if (text == "one") {
        everyMm = 0.0;
        return true;
    }
    constexpr std::string_view kEvery = "every:";
    if (!text.starts_with(kEvery)) {
        return false;
    }
    text.remove_prefix(kEvery.size());
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !(value > 0.0) || !std::isfinite(value)) {
        return false;
    }
    everyMm = value;
    return true;
}

std::string fractionTableBlock(const FractionTable& table) {
    const auto& s = table.settings;
    std::string out(kFractionsSection);
    out += '\n';
    out += formatText("start_level %.6f\nend_level %.6f\nstart_slope %.6f\nend_slope %.6f\n", s.startLevel,
                      s.endLevel, s.startSlope, s.endSlope);
    out += formatText("min_width %.2f\nper_peak %d\nbetween %.2f\ndelay_volume %.6f\ndelay %.6f\n", s.minWidthMm,
                      s.perPeak, s.betweenEveryMm, s.delayVolumeMl, table.delayMm);
    const auto count = std::min<std::size_t>(table.fractions.size(), kMaxCollectedFractions);
    out += formatText("numfractions %d\n", static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const auto& f = table.fractions[i];
        out += formatText("fraction%03d %.2f %.2f %d%s\n", static_cast<int>(i + 1), f.from, f.to, f.peak,
                          f.manual ? " manual" : "");
    }
    return out;
}

std::optional<FractionTable> readFractionTable(std::string_view text) {
    FractionTable table;
    bool found = false;
    bool listEnded = false;
    eachLine(text, [&](std::string_view line, std::string_view, std::string_view) {
        if (line.starts_with(kDataColumns)) {
            return false;
        }
        if (!found) {
            found = line == kFractionsSection;
            return true;
        }
        if (line.empty() || line.starts_with("[")) {
            return false;
        }
        const auto blank = line.find(' ');
        if (blank == std::string_view::npos) {
            return true;
        }
        const auto key = line.substr(0, blank);
        const auto value = line.substr(blank + 1);
        auto& s = table.settings;
        double number = 0.0;
        if (key.starts_with("fraction") && key.size() == 11) {
            FieldScanner scan(value);
            double from = 0.0;
            double to = 0.0;
            std::int32_t peak = 0;
            if (listEnded || !scan.real(from) || !scan.real(to) || !scan.integer(peak) ||
                table.fractions.size() >= kMaxCollectedFractions) {
                listEnded = true;
                return true;
            }
            const int index = static_cast<int>(table.fractions.size()) + 1;
            scan.skipBlanks();
            const bool manual = scan.rest().starts_with("manual");
            table.fractions.push_back({index, from, to, std::max<std::int32_t>(peak, 0), manual});
            return true;
        }
        if (!readNumber(value, number)) {
            return true;
        }
        if (key == "start_level") s.startLevel = number;
        else if (key == "end_level") s.endLevel = number;
        else if (key == "start_slope") s.startSlope = number;
        else if (key == "end_slope") s.endSlope = number;
        else if (key == "min_width") s.minWidthMm = number;
        else if (key == "per_peak") s.perPeak = static_cast<int>(std::clamp(number, 0.0, 1000.0));
        else if (key == "between") s.betweenEveryMm = number;
        else if (key == "delay_volume") s.delayVolumeMl = number;
        else if (key == "delay") table.delayMm = number;
        return true;
    });
    if (!found) {
        return std::nullopt;
    }
    table.settings.enabled = true;
    return table;
}

std::optional<std::string> withFractionTable(std::string_view fileText, const FractionTable& table) {
    std::string out;
    out.reserve(fileText.size() + 64 + 24 * table.fractions.size());
    bool placed = false;
    bool inOldBlock = false;
    eachLine(fileText, [&](std::string_view line, std::string_view whole, std::string_view ending) {
        if (placed) {
            out += whole;
            return true;
        }
        if (inOldBlock) {
            if (line.empty()) {
                inOldBlock = false;
                return true;  // the old block's empty line goes with it
            }
            if (!line.starts_with("[") && !line.starts_with(kDataColumns)) {
                return true;
            }
            inOldBlock = false;
        }
        if (line == kFractionsSection) {
            inOldBlock = true;
            return true;
        }
        if (line.starts_with(kDataColumns)) {
            const std::string eol = ending.empty() ? std::string("\n") : std::string(ending);
            std::string block = fractionTableBlock(table) + "\n";
            for (const char c : block) {
                if (c == '\n') out += eol;
                else out += c;
            }
            placed = true;
        }
        out += whole;
        return true;
    });
    if (!placed) {
        return std::nullopt;
    }
    return out;
}

}  // namespace corvane
