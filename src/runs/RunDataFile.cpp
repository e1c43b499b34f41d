#include "runs/RunDataFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/FieldScanner.h"
#include "base/FileHandle.h"
#include "base/LineReader.h"
#include "base/TextFormat.h"
#include "runs/RowParse.h"
#include "runs/RotorTable.h"

namespace corvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr std::string_view kSixColumns = "sampleA, sourceA, absA, sampleB, sourceB, absB";
constexpr std::string_view kSixColumnsRaw = "rawA, refA, absA, rawB, refB, absB";
constexpr std::string_view kSevenColumns = "sampleA, sourceA, absA, sampleB, sourceB, absB, pos(mm)";
constexpr std::string_view kEightColumns =
    "sampleA, sourceA, absA, posA(mm), sampleB, sourceB, absB, posB(mm)";
constexpr std::string_view kExportTitle = "Corvane Export File";
constexpr std::string_view kOlderExportTitle = "Tellmar Export File";
constexpr std::string_view kFluorescenceColumns =
    "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, Fluorescence";

// The six-column header is also the start of the seven-column one, so it only
// counts on a line too short to be the seven-column header.
constexpr std::size_t kSixColumnLineLimit = kSevenColumns.size() - 4;
static_assert(kSixColumnLineLimit == 51);

// The most rows reserved ahead from a file's size (more than a day of recording).
constexpr std::uintmax_t kMaxReservedRows = 2'000'000;

// An export file names at most this many runs.
constexpr std::size_t kMaxExportedSets = 4;

constexpr std::array<double, 8> kAufsSteps = {0.01, 0.02, 0.05, 0.10, 0.20, 0.50, 1.00, 2.00};

bool isTwoChannel(RunFileLayout layout) {
    switch (layout) {
        case RunFileLayout::SixColumn:
        case RunFileLayout::SevenColumn:
        case RunFileLayout::EightColumn:
        case RunFileLayout::TwoChannel:
        case RunFileLayout::Fluorescence:
            return true;
        default:
            return false;
    }
}

RunFileLayout columnHeaderOf(std::string_view line) {
    if (line.size() < kSixColumnLineLimit &&
        (line.starts_with(kSixColumns) || line.starts_with(kSixColumnsRaw))) {
        return RunFileLayout::SixColumn;
    }
    if (line.starts_with(kSevenColumns)) return RunFileLayout::SevenColumn;
    if (line.starts_with(kEightColumns)) return RunFileLayout::EightColumn;
    if (line.starts_with(kEm1EventColumns)) return RunFileLayout::Em1Events;
    if (line.starts_with(kTwoChannelColumns)) return RunFileLayout::TwoChannel;
    if (line.starts_with(kExportTitle)) return RunFileLayout::Export;
    if (line.starts_with(kEm1Columns)) return RunFileLayout::Em1;
    if (line.starts_with(kOlderExportTitle)) return RunFileLayout::OlderExport;
    if (line.starts_with(kFluorescenceColumns)) return RunFileLayout::Fluorescence;
    return RunFileLayout::None;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && FieldScanner::isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && FieldScanner::isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The text after "key:" without the one blank the writer puts there.
std::string_view textAfter(std::string_view line, std::string_view key) {
    auto value = line.substr(key.size());
    if (value.starts_with(' ')) value.remove_prefix(1);
    return value;
}

bool readNumber(std::string_view text, double& out) {
    FieldScanner scan(text);
    return scan.real(out);
}

bool readInteger(std::string_view text, int& out) {
    FieldScanner scan(text);
    std::int32_t v = 0;
    if (!scan.integer(v)) return false;
    out = v;
    return true;
}

// Whether line begins with key; value is the rest of the line.
bool keyed(std::string_view line, std::string_view key, std::string_view& value) {
    if (!line.starts_with(key)) {
        return false;
    }
    value = line.substr(key.size());
    return true;
}

// "Sample Volume:" and "Speed:" keep their text without the unit the writer adds.
std::string withoutUnit(std::string_view value) {
    value = trim(value);
    for (const std::string_view unit : {std::string_view(" ml"), std::string_view("krpm"),
                                        std::string_view(" rpm")}) {
        if (value.ends_with(unit)) {
            value.remove_suffix(unit.size());
            break;
        }
    }
    return std::string(trim(value));
}

int aufsStepOf(double value) {
    int best = 0;
    for (std::size_t i = 1; i < kAufsSteps.size(); ++i) {
        if (std::fabs(kAufsSteps[i] - value) < std::fabs(kAufsSteps[static_cast<std::size_t>(best)] - value)) {
            best = static_cast<int>(i);
        }
    }
    return best;
}

// "%s %.1f%% to %.1f%% %s": the name may hold blanks, so the numbers are found
// from the last "% to " backwards.
void readGradient(std::string_view value, RunInfo& info) {
    const auto to = value.rfind("% to ");
    if (to == std::string_view::npos) {
        info.gradient = std::string(trim(value));
        return;
    }
    auto startOfNumber = value.find_last_of(' ', to);
    startOfNumber = startOfNumber == std::string_view::npos ? 0 : startOfNumber + 1;
    FieldScanner scan(value.substr(startOfNumber));
    double first = 0.0;
    double second = 0.0;
    if (!scan.real(first) || !scan.literal("% to") || !scan.real(second)) {
        info.gradient = std::string(trim(value));
        return;
    }
    info.gradient = std::string(trim(value.substr(0, startOfNumber)));
    info.gradientPercent1 = first;
    info.gradientPercent2 = second;
    (void)scan.literal("%");  // optional: the unit follows with or without it
    const auto unit = trim(scan.rest());
    info.gradientUnits = unit == "w/w"   ? RunInfo::kWeightPerWeight
                         : unit == "v/v" ? RunInfo::kVolumePerVolume
                                         : RunInfo::kWeightPerVolume;
}

}  // namespace

const char* layoutName(RunFileLayout layout) {
    switch (layout) {
        case RunFileLayout::None: return "none";
        case RunFileLayout::SixColumn: return "six_column";
        case RunFileLayout::SevenColumn: return "seven_column";
        case RunFileLayout::EightColumn: return "eight_column";
        case RunFileLayout::Em1Events: return "de1_events";
        case RunFileLayout::TwoChannel: return "two_channel";
        case RunFileLayout::Export: return "export";
        case RunFileLayout::Em1: return "de1";
        case RunFileLayout::OlderExport: return "older_export";
        case RunFileLayout::Fluorescence: return "fluorescence";
        case RunFileLayout::Profile: return "profile";
    }
    return "none";
}

std::optional<CalendarTime> RunFileHeader::recordedAt() const {
    if (hasDate && hasTime) {
        return recorded;
    }
    return std::nullopt;
}

// Feeds the lines of one file into a RunDataFile: header lines until the
// column header, then rows in the layout it names.
class RunDataFile::Parser {
public:
    Parser(RunDataFile& run, bool headerOnly, std::uintmax_t totalBytes)
        : run_(run), headerOnly_(headerOnly), totalBytes_(totalBytes) {}

    // False once the caller may stop reading.
    bool line(std::string_view text) {
        if (run_.layout_ == RunFileLayout::None) {
            const auto layout = columnHeaderOf(text);
            if (layout == RunFileLayout::None) {
                headerLine(text);
                return true;
            }
            run_.layout_ = layout;
            if (!headerOnly_ && isTwoChannel(layout)) {
                // A row takes some 70 bytes: room for all of them up front
                // saves copying them while the vector grows.
                run_.samples_.reserve(std::min<std::uintmax_t>(totalBytes_ / 64, kMaxReservedRows));
            }
            if (layout == RunFileLayout::Export || layout == RunFileLayout::OlderExport) {
                exportNames_ = layout == RunFileLayout::Export ? "Corvane Files Exported: "
                                                                : "Tellmar Files Exported: ";
            }
            return !headerOnly_;
        }
        switch (run_.layout_) {
            case RunFileLayout::Export:
            case RunFileLayout::OlderExport:
                exportLine(text);
                break;
            case RunFileLayout::Em1:
                if (auto row = parseEm1Row(text)) run_.em1Samples_.push_back(*row);
                break;
            case RunFileLayout::Em1Events:
                if (auto row = parseEm1EventRow(text)) run_.em1Samples_.push_back(*row);
                break;
            case RunFileLayout::TwoChannel:
                if (auto row = parseTwoChannelRow(text)) run_.appendSample(*row);
                break;
            default:
                olderTwoChannelRow(text);
                break;
        }
        return true;
    }

    void finish() {
        auto& info = run_.header_.info;
        info.manufacturerIndex = RotorTable::findManufacturer(info.rotorManufacturer);
        info.rotorModelIndex = RotorTable::findModel(info.manufacturerIndex, info.rotorModel);
    }

private:
    // In the header readers below, a value that does not read keeps its
    // default (each "(void)"): the header is informative, the rows still read.
    void headerLine(std::string_view line) {
        auto& h = run_.header_;
        auto& info = h.info;
        const auto key = [&](std::string_view k) { return line.starts_with(k); };
        const auto runInfoLine = [&] { h.hasRunInfo = true; };

        if (key("Corvane Text Data File:")) {
            h.fileTitle = std::string(trim(textAfter(line, "Corvane Text Data File:")));
        } else if (key("Version:")) {
            h.version = std::string(trim(textAfter(line, "Version:")));
        } else if (key("Date:")) {
            FieldScanner scan(textAfter(line, "Date:"));
            CalendarTime& t = h.recorded;
            std::int32_t y, m, d;
            if (scan.integer(y) && scan.literal("-") && scan.integer(m) && scan.literal("-") &&
                scan.integer(d)) {
                t.year = y, t.month = m, t.day = d;
                h.hasDate = true;
            }
        } else if (key("Time:")) {
            // The clock time comes first; the later "Time:" is the spin time.
            FieldScanner scan(textAfter(line, "Time:"));
            std::int32_t hh, mm, ss;
            if (!h.hasTime && scan.integer(hh) && scan.literal(":") && scan.integer(mm) &&
                scan.literal(":") && scan.integer(ss)) {
                h.recorded.hour = hh, h.recorded.minute = mm, h.recorded.second = ss;
                h.hasTime = true;
            } else {
                info.spinTime = std::string(textAfter(line, "Time:"));
                runInfoLine();
            }
        } else if (key("User:")) {
            info.userName = std::string(textAfter(line, "User:"));
            runInfoLine();
        } else if (key("Experiment name:")) {
            info.experimentName = multiLineText(textAfter(line, "Experiment name:"));
            runInfoLine();
        } else if (key("UV Unit:")) {
            const auto value = trim(textAfter(line, "UV Unit:"));
            info.uvUnit = value.starts_with("DE-1")              ? RunInfo::kDe1
                          : value.starts_with("Dual Wavelength") ? RunInfo::kDualWavelength
                                                                 : RunInfo::kSingleWavelength;
            runInfoLine();
        } else if (key("Rotor Manufacturer:")) {
            info.rotorManufacturer = std::string(trim(textAfter(line, "Rotor Manufacturer:")));
            runInfoLine();
        } else if (key("Rotor Model:")) {
            info.rotorModel = std::string(trim(textAfter(line, "Rotor Model:")));
            runInfoLine();
        } else if (key("Speed:")) {
            info.speed = withoutUnit(textAfter(line, "Speed:"));
            runInfoLine();
        } else if (key("Gradient:")) {
            readGradient(textAfter(line, "Gradient:"), info);
            runInfoLine();
        } else if (key("w2t:")) {
            const auto value = textAfter(line, "w2t:");
            const auto times = value.find("x 10^");
            if (times == std::string_view::npos) {
                info.w2tMantissa = std::string(trim(value));
            } else {
                info.w2tMantissa = std::string(trim(value.substr(0, times)));
                (void)readInteger(value.substr(times + 5), info.w2tExponent);
            }
            runInfoLine();
        } else if (key("Sample Volume:")) {
            info.sampleVolume = withoutUnit(textAfter(line, "Sample Volume:"));
            runInfoLine();
        } else if (key("Number of Tubes:")) {
            h.hasNumberOfTubes = readInteger(textAfter(line, "Number of Tubes:"), info.numberOfTubes);
            runInfoLine();
        } else if (key("Volume per mm:")) {
            h.hasVolumePerMm = readNumber(textAfter(line, "Volume per mm:"), info.volumePerMm);
            runInfoLine();
        } else if (key("Temperature:")) {
            h.hasTemperature = readNumber(textAfter(line, "Temperature:"), info.temperature);
            runInfoLine();
        } else if (!deviceLine(line) && !em1Line(line)) {
            // Unknown keys and free text are ignored.
        }
    }

    bool deviceLine(std::string_view line) {
        const auto device = [&]() -> RecordedDeviceSettings& {
            if (!run_.header_.device) run_.header_.device.emplace();
            return *run_.header_.device;
        };
        std::string_view value;
        if (keyed(line, "pC:", value)) {
            (void)readInteger(value, device().pc);
        } else if (keyed(line, "Sample Interval:", value)) {
            (void)readInteger(value, device().sampleIntervalMs);
        } else if (keyed(line, "A:B Duty Cycle:", value)) {
            FieldScanner scan(value);
            std::int32_t a = 0, b = 0;
            if (scan.integer(a) && scan.literal(":") && scan.integer(b)) {
                device().dutyCycleA = a;
                device().dutyCycleB = b;
            }
        } else if (keyed(line, "Samples/mm:", value)) {
            (void)readNumber(value, device().samplesPerMm);
        } else if (keyed(line, "Scan Speed:", value)) {
            (void)readNumber(value, device().scanSpeed);
        } else if (keyed(line, "Scan Distance:", value)) {
            (void)readNumber(value, device().scanDistance);
        } else {
            return false;
        }
        return true;
    }

    bool em1Line(std::string_view line) {
        const auto block = [&]() -> Em1FileBlock& {
            if (!run_.header_.em1) run_.header_.em1.emplace();
            return *run_.header_.em1;
        };
        std::string_view value;
        if (keyed(line, "Absorbance Units Full Scale (AUFS):", value)) {
            auto& b = block();
            if (readNumber(value, b.aufsValue)) {
                b.settings.aufs = aufsStepOf(b.aufsValue);
            }
        } else if (keyed(line, "AUFS changed to ", value)) {
            FieldScanner scan(value);
            AufsChange change;
            if (scan.real(change.aufs) && scan.literal(" at") && scan.real(change.distance)) {
                run_.header_.aufsChanges.push_back(change);
            }
        } else if (line.starts_with("Event Mark-triggered")) {
            block().settings.signalType = Em1Settings::kEventTriggered;
        } else if (line.starts_with("Manual-triggered")) {
            block().settings.signalType = Em1Settings::kManualTriggered;
        } else if (keyed(line, "Delay:", value)) {
            value = trim(value);
            block().settings.delayType =
                value.starts_with("OD Sensing Start")   ? Em1Settings::kOdSensingStart
                : value.starts_with("Event with Delay") ? Em1Settings::kEventWithDelay
                : value.starts_with("Event Mark Delay") ? Em1Settings::kEventWithDelay
                                                        : Em1Settings::kNoDelay;
        } else if (keyed(line, "UV Wavelength:", value)) {
            (void)readNumber(value, block().settings.wavelength);
        } else if (keyed(line, "Samples / sec:", value)) {
            (void)readNumber(value, block().settings.samplesPerSec);
        } else if (keyed(line, "EM1 Speed:", value)) {
            (void)readNumber(value, block().settings.speed);
        } else if (keyed(line, "Distance:", value)) {
            (void)readNumber(value, block().settings.fractionDistance);
        } else if (keyed(line, "Number:", value)) {
            (void)readInteger(value, block().settings.numberOfFractions);
        } else if (keyed(line, "Dead Volume:", value)) {
            auto& b = block();
            FieldScanner scan(value);
            if (scan.real(b.settings.deadVolume) &&
                scan.literal(" ml; Distance due to Dead Volume:")) {
                (void)scan.real(b.deadVolumeDistance);
            }
        } else if (keyed(line, "Length of Tubing:", value)) {
            (void)readNumber(value, block().tubingLength);
        } else if (keyed(line, "Total Distance:", value)) {
            (void)readNumber(value, block().settings.totalDistance);
        } else {
            return false;
        }
        return true;
    }

    void olderTwoChannelRow(std::string_view line) {
        FieldScanner scan(line);
        SampleRecord r;
        std::int32_t c[4] = {};
        bool ok = false;
        switch (run_.layout_) {
            case RunFileLayout::SixColumn:
            case RunFileLayout::SevenColumn:
                ok = scan.integer(c[0]) && scan.comma() && scan.integer(c[1]) && scan.comma() &&
                     scan.real(r.absorbanceA) && scan.comma() && scan.integer(c[2]) &&
                     scan.comma() && scan.integer(c[3]) && scan.comma() &&
                     scan.real(r.absorbanceB);
                if (ok && run_.layout_ == RunFileLayout::SevenColumn) {
                    ok = scan.comma() && scan.real(r.positionA);
                    r.positionB = r.positionA;
                }
                break;
            case RunFileLayout::EightColumn:
                ok = scan.integer(c[0]) && scan.comma() && scan.integer(c[1]) && scan.comma() &&
                     scan.real(r.absorbanceA) && scan.comma() && scan.real(r.positionA) &&
                     scan.comma() && scan.integer(c[2]) && scan.comma() && scan.integer(c[3]) &&
                     scan.comma() && scan.real(r.absorbanceB) && scan.comma() &&
                     scan.real(r.positionB);
                break;
            case RunFileLayout::Fluorescence:
                // The B channel's reading is a fluorescence here; it stands where
                // absorbance B stands in the other layouts.
                ok = scan.integer(c[0]) && scan.comma() && scan.integer(c[1]) && scan.comma() &&
                     scan.integer(c[2]) && scan.comma() && scan.integer(c[3]) && scan.comma() &&
                     scan.real(r.positionA) && scan.comma() && scan.real(r.absorbanceA) &&
                     scan.comma() && scan.real(r.positionB) && scan.comma() &&
                     scan.real(r.absorbanceB);
                break;
            default:
                break;
        }
        if (!ok) return;
        r.sampleA = static_cast<std::uint32_t>(c[0]);
        r.sourceA = static_cast<std::uint32_t>(c[1]);
        r.sampleB = static_cast<std::uint32_t>(c[2]);
        r.sourceB = static_cast<std::uint32_t>(c[3]);
        run_.appendSample(r);
    }

    // An export file: the names, the offsets, then "Data Columns:", the column
    // headings and the data lines (distance, then one absorbance per set).
    void exportLine(std::string_view line) {
        auto& sets = run_.exported_;
        if (inExportData_) {
            if (!exportHeadingSeen_) {
                exportHeadingSeen_ = true;
                return;
            }
            if (run_.layout_ == RunFileLayout::Export) exportDataLine(line);
            return;
        }
        if (line.starts_with(exportNames_)) {
            auto names = line.substr(exportNames_.size());
            while (sets.size() < kMaxExportedSets) {
                const auto comma = names.find(", ");
                sets.push_back({std::string(names.substr(0, comma)), 0, {}});
                if (comma == std::string_view::npos) break;
                names.remove_prefix(comma + 2);
            }
        } else if (line.starts_with("Data Columns:")) {
            inExportData_ = true;
        } else if (line.ends_with(" samples")) {
            // "%s: %d samples"
            const auto colon = line.rfind(": ");
            int offset = 0;
            if (colon != std::string_view::npos && readInteger(line.substr(colon + 2), offset)) {
                const auto name = line.substr(0, colon);
                for (auto& set : sets) {
                    if (set.name == name) {
                        set.offset = offset;
                        break;
                    }
                }
            }
        }
    }

    void exportDataLine(std::string_view line) {
        auto& sets = run_.exported_;
        if (sets.empty()) return;
        std::size_t column = 0;
        double distance = kNaN;
        while (column <= sets.size()) {
            const auto comma = line.find(',');
            const auto cell = trim(line.substr(0, comma));
            double value = kNaN;
            const bool present = !cell.empty() && readNumber(cell, value);
            if (column == 0) {
                distance = present ? value : kNaN;
            } else if (present) {
                SampleRecord r;
                r.positionA = r.positionB = distance;
                r.absorbanceA = value;
                sets[column - 1].samples.push_back(r);
            }
            if (comma == std::string_view::npos) break;
            line.remove_prefix(comma + 1);
            ++column;
        }
    }

    RunDataFile& run_;
    bool headerOnly_;
    std::uintmax_t totalBytes_;
    std::string_view exportNames_;
    bool inExportData_ = false;
    bool exportHeadingSeen_ = false;
};

void RunDataFile::clear() { *this = RunDataFile(); }

RunDataFile::ReadStatus RunDataFile::parse(std::string_view bytes) {
    clear();
    LineReader reader(bytes);
    return parseLines(reader, false, bytes.size());
}

// Every column header holds one of these; they are searched first because
// their first bytes are rare in other programs' files, so a search costs
// little more than a memchr.
constexpr std::array<std::string_view, 3> kColumnHeaderAnchors = {"A, ", "(mm), ", "Export File"};
static_assert(kSixColumns.find("A, ") != std::string_view::npos && kSixColumnsRaw.find("A, ") != std::string_view::npos &&
              kEightColumns.find("A, ") != std::string_view::npos &&
              kTwoChannelColumns.find("A, ") != std::string_view::npos &&
              kFluorescenceColumns.find("A, ") != std::string_view::npos &&
              kEm1EventColumns.find("(mm), ") != std::string_view::npos &&
              kEm1Columns.find("(mm), ") != std::string_view::npos &&
              kExportTitle.find("Export File") != std::string_view::npos &&
              kOlderExportTitle.find("Export File") != std::string_view::npos);

bool RunDataFile::mayHoldColumnHeader(std::string_view bytes) {
    for (const std::string_view anchor : kColumnHeaderAnchors) {
        if (bytes.find(anchor) == std::string_view::npos) continue;
        for (const std::string_view header : {kSixColumns, kSixColumnsRaw, kEightColumns, kEm1EventColumns,
                                              kTwoChannelColumns, kExportTitle, kEm1Columns, kOlderExportTitle,
                                              kFluorescenceColumns}) {
            if (bytes.find(header) != std::string_view::npos) return true;
        }
        return false;
    }
    return false;
}

RunDataFile::ReadStatus RunDataFile::read(const std::filesystem::path& path) {
    return readFile(path, false);
}

RunDataFile::ReadStatus RunDataFile::readHeader(const std::filesystem::path& path) {
    return readFile(path, true);
}

RunDataFile::ReadStatus RunDataFile::readFile(const std::filesystem::path& path, bool headerOnly) {
    clear();
    // Regular files only: a pipe or a device would never end (or never start).
    const auto file = openRegularFile(path);
    if (!file) {
        return ReadStatus::CannotOpen;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    LineReader reader(file.get());
    return parseLines(reader, headerOnly, error ? 0 : size);
}

RunDataFile::ReadStatus RunDataFile::parseLines(LineReader& reader, bool headerOnly,
                                                std::uintmax_t totalBytes) {
    Parser parser(*this, headerOnly, totalBytes);
    std::string_view line;
    while (reader.next(line) && parser.line(line)) {
    }
    parser.finish();
    return hasColumnHeader() ? ReadStatus::Ok : ReadStatus::NoColumnHeader;
}

std::size_t RunDataFile::sampleCount() const {
    if (isExport()) {
        std::size_t n = 0;
        for (const auto& set : exported_) n += set.samples.size();
        return n;
    }
    return isEm1() ? em1Samples_.size() : samples_.size();
}

void RunDataFile::appendSample(const SampleRecord& record) {
    SampleRecord r = record;
    r.ratio = 0.0;
    if (r.absorbanceB == 0.0) {
        r.ratio = kNaN;
    } else if (samples_.empty()) {
        r.ratio = r.absorbanceA / r.absorbanceB;
    } else {
        SampleRecord& previous = samples_.back();
        if (r.positionB < r.positionA) {
            r.ratio = ((r.absorbanceA + previous.absorbanceA) / 2.0) / r.absorbanceB;
        }
        // A previous record without a B reading keeps its undefined ratio.
        if (!(previous.positionB < previous.positionA) && previous.absorbanceB != 0.0) {
            previous.ratio = ((previous.absorbanceA + r.absorbanceA) / 2.0) / previous.absorbanceB;
        }
    }
    samples_.push_back(r);
}

}  // namespace corvane
