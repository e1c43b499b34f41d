#include "compare/ExportFile.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <system_error>

#include "app/FileReplace.h"
#include "base/TextFormat.h"
#include "base/WriterLock.h"
#include "compare/AlignPeaks.h"
#include "runs/Profile.h"
#include "runs/RunDataFile.h"

namespace corvane {

namespace {

constexpr std::string_view kExportFirstLine = "Corvane Export File\n";
// The partial names createSiblingFile gives, ".part" to ".part99".
constexpr int kExportPartNames = 100;

const char* startTypeText(int type) {
    switch (type) {
        case 0: return "No delay";
        case 1: return "Event with delay";
        case 2: return "OD-sensing start";
        default: return "";
    }
}

long long rowOffset(const ExportSet& set) { return static_cast<long long>(wholeSampleOffset(set.offset)); }

// A table line: the label, then ", " and one cell per set.
template <class Cell>
void tableLine(std::FILE* out, const char* label, const std::vector<ExportSet>& sets, std::size_t n, Cell cell) {
    std::fputs(label, out);
    for (std::size_t k = 0; k < n; ++k) {
        std::fputs(", ", out);
        cell(sets[k].parameters);
    }
    std::fputc('\n', out);
}

// A value that is not a number (a DE-1 row without absorbance, a buffered
// row without distance) is left as an empty cell rather than written "nan".
void numberCell(std::FILE* out, const char* format, double value) {
    if (std::isfinite(value)) std::fprintf(out, format, value);
}

// The first column's heading and number format, by the reference's x unit:
// a profile of another instrument counts minutes or ml, not mm.
struct XColumn {
    std::string heading;
    const char* format;
};

XColumn xColumnOf(const std::string& unit) {
    if (unit == "mm") return {"Distance(mm)", "%.2f"};
    if (unit == "ml") return {"Volume(ml)", "%.3f"};
    if (unit == "min") return {"Time(min)", "%.4f"};
    if (unit.empty()) return {"X", "%g"};
    return {"X(" + unit + ")", "%g"};
}

}  // namespace

ExportSet exportSetOf(const RunDataFile& run, const std::filesystem::path& file, const SetPlacement& placement) {
    ExportSet set;
    set.name = file.filename().string();
    set.offset = placement.xOffset;
    const auto& header = run.header();
    auto& p = set.parameters;
    if (header.em1) {
        const auto& e = header.em1->settings;
        p.pistonSpeed = e.speed;
        p.fractionDistance = e.fractionDistance;
        p.numberOfFractions = e.numberOfFractions;
        p.startType = e.delayType;
        p.samplesPerSecond = e.samplesPerSec;
        p.totalDistance = e.totalDistance;
    } else if (header.device) {
        // A two-channel run has no fraction plan in its file; its scan is the travel.
        const auto& d = *header.device;
        p.pistonSpeed = d.scanSpeed;
        p.samplesPerSecond = d.sampleIntervalMs > 0 ? 1000.0 / d.sampleIntervalMs : 0.0;
        p.totalDistance = d.scanDistance;
    }
    p.totalSamples = static_cast<long long>(run.sampleCount());
    if (header.hasDate) {
        p.runDate = formatText("%d-%02d-%02d", header.recorded.year, header.recorded.month, header.recorded.day);
    }
    p.yOffset = placement.yOffset;
    p.xGain = placement.xGain;
    p.yGain = placement.yGain;
    auto trace = alignTraceOf(run);
    set.position = std::move(trace.position);
    set.absorbance = std::move(trace.value);
    return set;
}

ExportSet exportSetOf(const Profile& profile, const std::filesystem::path& file, const SetPlacement& placement) {
    ExportSet set;
    set.name = file.filename().string();
    set.xUnit = profile.xUnit;
    set.offset = placement.xOffset;
    auto& p = set.parameters;
    p.hasCollection = false;
    p.totalSamples = static_cast<long long>(profile.size());
    if (profile.recorded) {
        p.runDate = formatText("%d-%02d-%02d", profile.recorded->year, profile.recorded->month, profile.recorded->day);
    }
    p.yOffset = placement.yOffset;
    p.xGain = placement.xGain;
    p.yGain = placement.yGain;
    set.position = profile.x;
    set.absorbance = profile.y;
    return set;
}

std::string exportedFileMessage(const RunDataFile& run, const std::string& shownPath) {
    switch (run.layout()) {
        case RunFileLayout::OlderExport:
            return formatText("Error, %s is an exported Tellmar file. It cannot be compared with other files.",
                              shownPath.c_str());
        case RunFileLayout::Export:
            return formatText("Error, %s is an exported Corvane file. It cannot be compared with other files.",
                              shownPath.c_str());
        default: return {};
    }
}

bool writeExport(std::FILE* out, const std::vector<ExportSet>& sets) {
    const std::size_t n = std::min(sets.size(), kMaxExportSets);
    const auto names = [&] {
        for (std::size_t k = 0; k < n; ++k) {
            if (k > 0) std::fputs(", ", out);
            std::fputs(sets[k].name.c_str(), out);
        }
    };
    std::fputs(kExportFirstLine.data(), out);
    std::fputs("Corvane Files Exported: ", out);
    names();
    std::fputs("\nSample Offsets:\n", out);
    for (std::size_t k = 0; k < n; ++k) {
        std::fprintf(out, "%s: %lld samples\n", sets[k].name.c_str(), k == 0 ? 0LL : rowOffset(sets[k]));
    }
    std::fputs("\nData collection parameters for each of the exported files follows:\n\n, ", out);
    names();
    std::fputc('\n', out);
    // A set whose file tells no collection keeps those cells empty.
    const auto collection = [&](const char* label, auto cell) {
        tableLine(out, label, sets, n, [&](const auto& p) {
            if (p.hasCollection) cell(p);
        });
    };
    collection("Piston Speed (mm/sec)", [&](const auto& p) { std::fprintf(out, "%.2f", p.pistonSpeed); });
    collection("Distance per Fraction (mm)", [&](const auto& p) { std::fprintf(out, "%.2f", p.fractionDistance); });
    collection("Number of Fractions", [&](const auto& p) { std::fprintf(out, "%d", p.numberOfFractions); });
    collection("Type of Start", [&](const auto& p) { std::fputs(startTypeText(p.startType), out); });
    collection("Samples per Second", [&](const auto& p) { std::fprintf(out, "%.0f", p.samplesPerSecond); });
    collection("Total Distance", [&](const auto& p) { std::fprintf(out, "%.2f", p.totalDistance); });
    tableLine(out, "Total Number Samples", sets, n, [&](const auto& p) { std::fprintf(out, "%lld", p.totalSamples); });
    tableLine(out, "Run Date", sets, n, [&](const auto& p) { std::fputs(p.runDate.c_str(), out); });
    tableLine(out, "Y-axis Offset (OD)", sets, n, [&](const auto& p) { std::fprintf(out, "%.2E", p.yOffset); });
    tableLine(out, "X-axis Gain", sets, n, [&](const auto& p) { std::fprintf(out, "%.3f", p.xGain); });
    tableLine(out, "Y-axis Gain", sets, n, [&](const auto& p) { std::fprintf(out, "%.2f", p.yGain); });
    const XColumn x = xColumnOf(n > 0 ? sets[0].xUnit : std::string("mm"));
    std::fprintf(out, "\nData Columns:\n%s", x.heading.c_str());
    for (std::size_t k = 0; k < n; ++k) {
        std::fprintf(out, ", %s_Absorbance", sets[k].name.c_str());
    }
    std::fputc('\n', out);

    // Row r holds each set's sample r - offset: a set with a positive offset
    // starts later, one with a negative offset before the reference.
    std::vector<long long> offset(n, 0);
    std::vector<std::size_t> cursor(n, 0);
    long long row = 0;
    for (std::size_t k = 1; k < n; ++k) {
        offset[k] = rowOffset(sets[k]);
        row = std::min(row, offset[k]);
    }
    const auto left = [&](std::size_t k) { return cursor[k] < sets[k].absorbance.size(); };
    for (;; ++row) {
        bool any = false;
        for (std::size_t k = 0; k < n && !any; ++k) any = left(k);
        if (!any) break;
        if (n > 0 && row >= 0 && left(0) && cursor[0] < sets[0].position.size()) {
            numberCell(out, x.format, sets[0].position[cursor[0]]);
        }
        for (std::size_t k = 0; k < n; ++k) {
            std::fputs(", ", out);
            if (row >= offset[k] && left(k)) {
                numberCell(out, "%.6f", sets[k].absorbance[cursor[k]++]);
            }
        }
        if (std::fputc('\n', out) == EOF) return false;
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

ExportResult exportToFile(const std::filesystem::path& path, const std::vector<ExportSet>& sets,
                          ExistingTarget existing) {
    if (sets.empty()) return ExportResult::NothingToExport;
    for (const auto& set : sets) {
        if (!(std::fabs(set.offset) <= kMaxExportOffset)) return ExportResult::OffsetTooLarge;
    }
    std::error_code error;
    if (existing == ExistingTarget::Keep && std::filesystem::symlink_status(path, error).type() !=
                                                std::filesystem::file_type::not_found) {
        return ExportResult::TargetExists;
    }
    if (existing == ExistingTarget::Replace && !replaceProblem(path).empty()) {
        return ExportResult::CannotCreate;
    }
    // Partial files of an export that was killed: they begin as every export does.
    for (int i = 0; i < kExportPartNames; ++i) {
        auto leftover = path;
        leftover += i == 0 ? std::string(".part") : formatText(".part%d", i);
        (void)removeIfAbandoned(leftover, kExportFirstLine);
    }
    auto created = createSiblingFile(path);
    if (created.path.empty()) return ExportResult::CannotCreate;
    const bool written = writeExport(created.file.get(), sets) && syncToDisk(created.file.get());
    const bool closed = std::fclose(created.file.release()) == 0;
    if (!written || !closed) {
        std::filesystem::remove(created.path, error);
        return ExportResult::WriteFailed;
    }
    bool placed = false;
    if (existing == ExistingTarget::Keep) {
        placed = placeNewFile(created.path, path, error);
    } else if (const EditLock lock(path); lock.refused()) {
        std::filesystem::remove(created.path, error);
        return ExportResult::TargetBusy;
    } else {
        placed = replaceFileWith(path, created.path, error);
    }
    if (!placed) {
        std::filesystem::remove(created.path, error);
        return error == std::errc::file_exists ? ExportResult::TargetExists : ExportResult::CannotCreate;
    }
    return ExportResult::Ok;
}

std::string exportResultMessage(ExportResult result, const std::string& shownPath) {
    switch (result) {
        case ExportResult::Ok: return formatText("Data exported successfully to: %s", shownPath.c_str());
        case ExportResult::NothingToExport: return "Error, no data files available for export.";
        case ExportResult::OffsetTooLarge:
            return formatText("Error exporting data to: %s (an offset is beyond %.0f samples)", shownPath.c_str(),
                              kMaxExportOffset);
        case ExportResult::TargetExists:
            return formatText("Error, unable to write to file: %s (it already exists)", shownPath.c_str());
        case ExportResult::CannotCreate: return formatText("Error, unable to write to file: %s", shownPath.c_str());
        case ExportResult::TargetBusy: return heldFileProblem(shownPath);
        case ExportResult::WriteFailed: return formatText("Error exporting data to: %s", shownPath.c_str());
    }
    return {};
}

}  // namespace corvane
