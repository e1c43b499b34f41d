// The .pks reader (declared in ProfileReaders.h).
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/TextFormat.h"
#include "runs/ProfileReaders.h"
#include "runs/ProfileText.h"

namespace corvane {

namespace {

// The header is looked for this far down; lines above it are the recorder's.
constexpr std::size_t kHeaderSearchLines = 20;

// The fields of a row by position (after a statistics program's row name).
enum PksField : std::size_t { kRowNumber, kTime, kValue, kRack, kTube, kPeak, kWaste, kAddedNa };
constexpr std::size_t kLeastFields = kValue + 1;
constexpr std::size_t kMostFields = kWaste + 1;

constexpr std::array<const char*, kAddedNa + 1> kFieldNames = {"the row number", "El Tm", "Val",  "Rack",
                                                               "Tube",           "Peak",  "Waste", "NA"};

// A header written back by a statistics program: quoted names, "El Tm" split
// into two or joined by a dot.
enum class PksHeader { None, Recorder, Quoted };

PksHeader headerKind(std::string_view line) {
    const auto t = trimBlanks(line);
    const auto has = [&](std::string_view s) { return t.find(s) != std::string_view::npos; };
    if (t.starts_with('#') && has("El Tm") && has("Val")) {
        return PksHeader::Recorder;
    }
    if (t.starts_with('"') && (has("\"El\" \"Tm\"") || has("\"El.Tm\"")) && has("\"Val\"")) {
        return PksHeader::Quoted;
    }
    return PksHeader::None;
}

// Splits a row at runs of blanks; fields beyond the array are counted only.
struct RowFields {
    std::array<std::string_view, kAddedNa + 2> at{};
    std::size_t count = 0;
};

void splitAtBlanks(std::string_view line, RowFields& fields) {
    fields.count = 0;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == n) return;
        const std::size_t from = i;
        while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
        if (fields.count < fields.at.size()) fields.at[fields.count] = line.substr(from, i - from);
        ++fields.count;
    }
}

bool wholeNumber(std::string_view text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

ProfileFileResult refused(std::string text) { return {std::nullopt, std::move(text)}; }

}  // namespace

bool looksLikePks(std::string_view text) {
    ProfileLines lines(text);
    std::string_view line;
    while (lines.number() < kHeaderSearchLines && lines.next(line)) {
        if (headerKind(line) != PksHeader::None) return true;
    }
    return false;
}

ProfileFileResult readPksProfile(std::string_view bytes) {
    const ProfileText decoded(bytes);
    if (!decoded.error().empty()) return refused(decoded.error());
    ProfileLines lines(decoded.text());
    std::string_view line;

    PksHeader header = PksHeader::None;
    while (lines.number() < kHeaderSearchLines && lines.next(line)) {
        header = headerKind(line);
        if (header != PksHeader::None) break;
    }
    if (lines.overlong()) return refused(overlongLineMessage(lines.number()));
    if (header == PksHeader::None) {
        return refused("no .pks header line (\"# El Tm Val Rack Tube Peak Waste\") in its first lines");
    }

    Profile p;
    p.format = ProfileFormat::Pks;
    p.channel = "Val";
    p.xName = "El Tm";
    p.xUnit = "min";
    p.yUnit = std::string(kDetectorUnits);
    if (const std::size_t guess = decoded.text().size() / 40; guess > 0) {
        p.x.reserve(guess);
        p.y.reserve(guess);
    }

    RowFields f;
    std::size_t expected = 0;  // fields per row, from the first row
    bool rowNames = false;     // a statistics program's quoted first column
    unsigned marks = 0;
    int lastRack = 0;
    int lastTube = 0;
    int rack = 0;
    int tube = 0;
    bool lastRowMarked = false;
    while (lines.next(line)) {
        splitAtBlanks(line, f);
        if (f.count == 0) continue;
        const std::size_t n = lines.number();
        if (expected == 0) {
            rowNames = header == PksHeader::Quoted && f.at[0].starts_with('"');
            expected = f.count - (rowNames ? 1 : 0);
            const std::size_t most = header == PksHeader::Quoted ? kAddedNa + 1 : kMostFields;
            if (expected < kLeastFields || expected > most) {
                return refused(formatText("line %zu has %zu fields; a .pks row has %zu to %zu (row number, El Tm, "
                                          "Val, Rack, Tube, Peak, Waste)",
                                          n, expected, kLeastFields, most));
            }
        }
        if (f.count != expected + (rowNames ? 1 : 0)) {
            return refused(formatText("line %zu has %zu fields where the rows above have %zu", n,
                                      f.count - (rowNames ? 1 : 0), expected));
        }
        const auto field = [&](PksField k) { return f.at[k + (rowNames ? 1 : 0)]; };
        const auto notA = [&](PksField k, const char* what) {
            return refused(formatText("line %zu: %s %s is not %s", n, kFieldNames[k],
                                      quotedForMessage(field(k)).c_str(), what));
        };
        int rowNumber = 0;
        if (!wholeNumber(field(kRowNumber), rowNumber)) return notA(kRowNumber, "a whole number");
        double x = 0.0;
        double y = 0.0;
        if (!parseProfileNumber(field(kTime), x, marks)) return notA(kTime, "a number");
        if (!parseProfileNumber(field(kValue), y, marks)) return notA(kValue, "a number");
        if (marks == (kDecimalPoint | kDecimalComma)) {
            return refused(formatText("line %zu: decimal points and decimal commas both, so a number's meaning is "
                                      "ambiguous", n));
        }
        if (expected > kTube) {
            if (!wholeNumber(field(kRack), rack)) return notA(kRack, "a whole number");
            if (!wholeNumber(field(kTube), tube)) return notA(kTube, "a whole number");
        }
        if (expected > kAddedNa && field(kAddedNa) != "NA") {
            return refused(formatText("line %zu: a column after Waste holds %s; only NA is expected there", n,
                                      quotedForMessage(field(kAddedNa)).c_str()));
        }
        // The collector moving on: a new tube or rack, or back to none.
        const bool changed = p.y.empty() ? (rack != 0 || tube != 0) : (rack != lastRack || tube != lastTube);
        if (changed) p.marks.push_back({x, formatText("%d/%d", rack, tube)});
        lastRowMarked = changed;
        lastRack = rack;
        lastTube = tube;
        p.x.push_back(x);
        p.y.push_back(y);
    }
    if (lines.overlong()) return refused(overlongLineMessage(lines.number()));
    // Only the very last row can be the recorder's end marker: rows of rack
    // and tube 0 before it carry real values.
    if (expected > kTube && !p.y.empty() && p.y.back() == 0.0 && lastRack == 0 && lastTube == 0) {
        p.x.pop_back();
        p.y.pop_back();
        if (lastRowMarked) p.marks.pop_back();
    }
    if (p.y.empty()) return refused("no data rows under the .pks header");
    return {std::move(p), {}};
}

}  // namespace corvane
