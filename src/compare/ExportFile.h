#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "compare/CompareOffsets.h"
#include "runs/RunFileCopy.h"

namespace corvane {

class RunDataFile;
struct Profile;

// At most this many data sets go into one export file.
inline constexpr std::size_t kMaxExportSets = 4;
// An offset moves a set by this many rows at most: far beyond any run, and
// an empty row per sample of a mistyped offset would fill the disk.
inline constexpr double kMaxExportOffset = 10'000'000.0;

// The collection parameters a set's column carries in the table.
struct ExportParameters {
    double pistonSpeed = 0.0;       // mm/s
    double fractionDistance = 0.0;  // mm
    int numberOfFractions = 0;
    int startType = 0;              // 0 no delay, 1 event with delay, 2 OD-sensing start
    double samplesPerSecond = 0.0;
    double totalDistance = 0.0;     // mm
    long long totalSamples = 0;
    std::string runDate;
    double yOffset = 0.0;  // the set's placement on the graph
    double xGain = 1.0;
    double yGain = 1.0;
    // False for a profile of another instrument: its file tells none of the
    // collection rows (speed to total distance), whose cells stay empty.
    bool hasCollection = true;
};

// One data set as it is exported: position A and absorbance A per sample
// (a profile's x and y).
struct ExportSet {
    std::string name;
    std::string xUnit = "mm";  // the reference's names the first column
    double offset = 0.0;  // samples, wholeSampleOffset when written; the reference's counts as 0
    ExportParameters parameters;
    std::vector<double> position;
    std::vector<double> absorbance;
};

// The set a run file gives, under its file name without the folder, with
// its placement (offsets and gains) on the graph.
[[nodiscard]] ExportSet exportSetOf(const RunDataFile& run, const std::filesystem::path& file,
                                     const SetPlacement& placement);

// The set a profile of another instrument gives: its x and y, and of the
// parameters only what its file tells (the number of samples, the date).
[[nodiscard]] ExportSet exportSetOf(const Profile& profile, const std::filesystem::path& file,
                                     const SetPlacement& placement);

// The message for a file that is an export file where a run is expected
// (both layouts); empty for a run. shownPath names it in the message.
[[nodiscard]] std::string exportedFileMessage(const RunDataFile& run, const std::string& shownPath);

// Writes the export file's lines for the first kMaxExportSets sets. False
// when a write fails.
[[nodiscard]] bool writeExport(std::FILE* out, const std::vector<ExportSet>& sets);

enum class ExportResult {
    Ok,
    NothingToExport,  // no set
    OffsetTooLarge,   // an offset beyond kMaxExportOffset
    CannotCreate,     // no file could be created beside the target, or refused
    WriteFailed,
    TargetExists,     // ExistingTarget::Keep and the name is taken
    TargetBusy,       // the file there is locked by a recording or another rewrite
};

// Writes the file beside path and moves it in only when it is whole: a
// failure leaves nothing new under path (and an old file untouched).
[[nodiscard]] ExportResult exportToFile(const std::filesystem::path& path, const std::vector<ExportSet>& sets,
                                        ExistingTarget existing);

// The message to show for a result of exportToFile ("Data exported
// successfully to: %s" and the error texts) naming shownPath.
[[nodiscard]] std::string exportResultMessage(ExportResult result, const std::string& shownPath);

}  // namespace corvane
