// The .asc reader (declared in ProfileReaders.h).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/TextFormat.h"
#include "runs/ProfileReaders.h"
#include "runs/ProfileText.h"

namespace corvane {

namespace {

constexpr std::string_view kFractionsUnit = "(Fractions)";

// The cells of a tab-separated line, blanks around each trimmed.
void splitAtTabs(std::string_view line, std::vector<std::string_view>& cells) {
    cells.clear();
    while (true) {
        const auto tab = line.find('\t');
        cells.push_back(trimBlanks(line.substr(0, tab)));
        if (tab == std::string_view::npos) return;
        line.remove_prefix(tab + 1);
    }
}

std::string_view cellAt(const std::vector<std::string_view>& cells, std::size_t k) {
    return k < cells.size() ? cells[k] : std::string_view();
}

// The first column of the pair whose unit is "(Fractions)", after the
// volume and absorbance; 0 when there is none.
std::size_t fractionColumn(const std::vector<std::string_view>& units) {
    for (std::size_t k = 2; k + 1 < units.size(); ++k) {
        if (units[k + 1] == kFractionsUnit) return k;
    }
    return 0;
}

ProfileFileResult refused(std::string text) { return {std::nullopt, std::move(text)}; }

}  // namespace

bool looksLikeAsc(std::string_view text) {
    ProfileLines lines(text);
    std::string_view line;
    std::vector<std::string_view> cells;
    for (int k = 0; k < 3; ++k) {
        if (!lines.next(line)) return false;
    }
    splitAtTabs(line, cells);
    return fractionColumn(cells) != 0;
}

ProfileFileResult readAscProfile(std::string_view bytes) {
    const ProfileText decoded(bytes);
    if (!decoded.error().empty()) return refused(decoded.error());
    ProfileLines lines(decoded.text());
    std::string_view line;
    std::vector<std::string_view> names;
    std::vector<std::string_view> units;
    std::vector<std::string_view> cells;
    // The first line ("10<TAB><TAB>10" and the like) is no count of anything.
    for (int k = 0; k < 3; ++k) {
        if (!lines.next(line)) {
            if (lines.overlong()) return refused(overlongLineMessage(lines.number()));
            return refused(formatText("an .asc file begins with three lines (a first line, the trace names, the "
                                      "units); this one ends after %zu", lines.number()));
        }
        if (k == 1) splitAtTabs(line, names);
        if (k == 2) splitAtTabs(line, units);
    }
    if (units.size() < 2) {
        return refused("line 3 holds no tab-separated units for the volume and the absorbance");
    }
    const std::size_t fractions = fractionColumn(units);
    const ProfileYUnit yUnit = profileYUnit(cellAt(units, 1));

    Profile p;
    p.format = ProfileFormat::Asc;
    p.channel = std::string(cellAt(names, 0).empty() ? cellAt(names, 1) : cellAt(names, 0));
    p.xName = "volume";
    p.xUnit = profileXUnit(units[0]);
    p.yUnit = yUnit.unit;

    unsigned marks = 0;
    bool blankRowSeen = false;
    bool fractionListEnded = fractions == 0;
    while (lines.next(line)) {
        splitAtTabs(line, cells);
        const std::size_t n = lines.number();
        bool blank = true;
        for (const auto cell : cells) blank = blank && cell.empty();
        if (blank) {
            blankRowSeen = true;  // the row of blank cells some files end with
            continue;
        }
        if (blankRowSeen) {
            return refused(formatText("line %zu: rows go on after a row of blank cells", n));
        }
        const auto number = [&](std::string_view cell, double& value) {
            return parseProfileNumber(cell, value, marks);
        };
        const auto volumeCell = cellAt(cells, 0);
        const auto valueCell = cellAt(cells, 1);
        if (volumeCell.empty() != valueCell.empty()) {
            return refused(formatText("line %zu: a volume without an absorbance, or an absorbance without a volume",
                                      n));
        }
        if (!volumeCell.empty()) {
            double x = 0.0;
            double y = 0.0;
            if (!number(volumeCell, x) || !number(valueCell, y)) {
                return refused(formatText("line %zu: %s is not a number", n,
                                          quotedForMessage(number(volumeCell, x) ? valueCell : volumeCell).c_str()));
            }
            p.x.push_back(x);
            p.y.push_back(y * yUnit.scale);
        }
        if (fractions != 0) {
            const auto start = cellAt(cells, fractions);
            const auto label = unquoted(cellAt(cells, fractions + 1));
            if (start.empty() && label.empty()) {
                fractionListEnded = true;
            } else if (fractionListEnded) {
                return refused(formatText("line %zu: a fraction after the end of the fraction list", n));
            } else {
                double x = 0.0;
                if (!number(start, x)) {
                    return refused(formatText("line %zu: the fraction volume %s is not a number", n,
                                              quotedForMessage(start).c_str()));
                }
                if (label.empty()) {
                    return refused(formatText("line %zu: a fraction volume without its label", n));
                }
                p.marks.push_back({x, std::string(label)});
            }
        }
        if (marks == (kDecimalPoint | kDecimalComma)) {
            return refused(formatText("line %zu: decimal points and decimal commas both, so a number's meaning is "
                                      "ambiguous", n));
        }
    }
    if (lines.overlong()) return refused(overlongLineMessage(lines.number()));
    if (p.y.empty()) return refused("no rows of volume and absorbance under the three .asc lines");
    return {std::move(p), {}};
}

}  // namespace corvane
