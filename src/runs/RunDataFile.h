#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/SampleRecord.h"
#include "base/CalendarTime.h"
#include "runs/Em1Settings.h"
#include "runs/Profile.h"
#include "runs/RunInfo.h"

namespace corvane {

class LineReader;

// The column-header lines a run file may carry, newest program first where it
// matters. The reader tells them apart by the line's first characters.
enum class RunFileLayout {
    None,          // no column header: not a run file
    SixColumn,     // "sampleA, sourceA, absA, sampleB, sourceB, absB" (or "rawA, refA, ...")
    SevenColumn,   // the six columns and one "pos(mm)"
    EightColumn,   // "sampleA, sourceA, absA, posA(mm), sampleB, sourceB, absB, posB(mm)"
    Em1Events,     // "Distance(mm), Absorbance, Event"
    TwoChannel,    // the layout written today
    Export,        // an export file of several runs
    Em1,           // "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)"
    OlderExport,   // an export file of the older program
    Fluorescence,  // "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, Fluorescence"
    Profile,       // not a file of ours: another instrument's profile (RunDataFile::fromProfile)
};

// The stable lower-case name of a layout ("two_channel", "de1", ...).
[[nodiscard]] const char* layoutName(RunFileLayout layout);

// The column-header line each written layout carries.
inline constexpr std::string_view kTwoChannelColumns =
    "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B";
inline constexpr std::string_view kEm1Columns =
    "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)";
inline constexpr std::string_view kEm1EventColumns = "Distance(mm), Absorbance, Event";

// One row of a DE-1 run.
struct Em1Sample {
    static constexpr int kNoFraction = -1;
    static constexpr int kRestart = -2;    // "R": the first mark after a start delay
    static constexpr int kAutomatic = -3;  // "A": an automatic fraction, no absorbance

    double distance = 0.0;    // mm; not a number on buffered rows, which carry none
    double absorbance = 0.0;  // not a number on "A" rows
    int fraction = kNoFraction;
    double volume = 0.0;      // ml, with a fraction
    bool eventMark = false;   // a fraction code, or the older layout's event column

    bool operator==(const Em1Sample&) const = default;
};

// "AUFS changed to %.2f at %.2f mm." lines, newest first as the file holds them.
struct AufsChange {
    double aufs = 0.0;
    double distance = 0.0;
};

// The unit's settings as the header lines show them.
struct RecordedDeviceSettings {
    int pc = 0;
    int sampleIntervalMs = 0;
    int dutyCycleA = 0;
    int dutyCycleB = 0;
    double samplesPerMm = 0.0;
    double scanSpeed = 0.0;     // mm/s
    double scanDistance = 0.0;  // mm
};

// The DE-1 block of a header.
struct Em1FileBlock {
    Em1Settings settings;               // aufs, wavelength, rates, distances, signal and delay type
    double aufsValue = 0.0;             // as written on the AUFS line
    double tubingLength = 0.0;          // mm
    double deadVolumeDistance = 0.0;    // mm, as written
};

struct RunFileHeader {
    std::string fileTitle;  // the name on the first line
    std::string version;
    bool hasDate = false;
    bool hasTime = false;
    CalendarTime recorded;  // "Date:" and the first "Time: h:m:s" line
    bool hasRunInfo = false;
    RunInfo info;           // the experiment lines; volume per mm also in DE-1 files
    bool hasVolumePerMm = false;
    // The lines were there: without them the description's defaults (25 deg
    // C, 2 tubes) are no reading of this run.
    bool hasTemperature = false;
    bool hasNumberOfTubes = false;
    std::optional<RecordedDeviceSettings> device;
    std::optional<Em1FileBlock> em1;
    std::vector<AufsChange> aufsChanges;

    // Date and time when both lines are present.
    [[nodiscard]] std::optional<CalendarTime> recordedAt() const;
};

// One data set of an export file.
struct ExportedSet {
    std::string name;
    int offset = 0;                     // samples
    std::vector<SampleRecord> samples;  // position A/B = the distance column, absorbance A
};

// A run read back from its file. Any bytes are read without harm: lines that
// do not parse are skipped, memory per line is bounded.
class RunDataFile {
public:
    enum class ReadStatus { Ok, CannotOpen, NoColumnHeader };

    // Reads the whole file. NoColumnHeader means it is not a run file; the
    // caller shows its message ("Invalid data header found in file: %s" or
    // "Error, unable to find header in file: %s").
    [[nodiscard]] ReadStatus read(const std::filesystem::path& path);
    // Reads only the lines above the column header (the layout is still found).
    [[nodiscard]] ReadStatus readHeader(const std::filesystem::path& path);
    // The same from bytes in memory.
    ReadStatus parse(std::string_view bytes);
    // Whether bytes hold any text a column header line begins with: false
    // means parse would find none (the bytes are some other program's), at
    // the cost of a search instead of a parse.
    [[nodiscard]] static bool mayHoldColumnHeader(std::string_view bytes);

    [[nodiscard]] RunFileLayout layout() const { return layout_; }
    [[nodiscard]] bool hasColumnHeader() const { return layout_ != RunFileLayout::None; }
    [[nodiscard]] bool isExport() const {
        return layout_ == RunFileLayout::Export || layout_ == RunFileLayout::OlderExport;
    }
    [[nodiscard]] bool isEm1() const {
        return layout_ == RunFileLayout::Em1 || layout_ == RunFileLayout::Em1Events;
    }
    [[nodiscard]] const RunFileHeader& header() const { return header_; }
    // Two-channel layouts.
    [[nodiscard]] const std::vector<SampleRecord>& samples() const { return samples_; }
    // DE-1 layouts.
    [[nodiscard]] const std::vector<Em1Sample>& em1Samples() const { return em1Samples_; }
    // Export files.
    [[nodiscard]] const std::vector<ExportedSet>& exportedSets() const { return exported_; }
    // Rows of whichever kind the layout holds (the sets' rows for an export file).
    [[nodiscard]] std::size_t sampleCount() const;

    // Another instrument's profile as a run, so that every view of a run
    // shows it: one row per point, its value as absorbance A, its own x
    // (minutes, ml, ...) as both positions, absorbance B and the ratio not a
    // number; the header has its name and date where the file gives one.
    // Nothing may write it back: profile() tells it apart.
    [[nodiscard]] static RunDataFile fromProfile(Profile profile);
    [[nodiscard]] bool isProfile() const { return layout_ == RunFileLayout::Profile; }
    // The profile a run was made from (its units, channel, marks); null for
    // a file of ours.
    [[nodiscard]] const Profile* profile() const { return profile_ ? &*profile_ : nullptr; }

    // Appends a two-channel record with its ratio A/B recomputed, whatever it
    // held: a B reading lies between two A readings, so A is averaged over
    // the readings on either side. The previous record's ratio is completed
    // here too.
    void appendSample(const SampleRecord& record);

private:
    class Parser;

    void clear();
    ReadStatus readFile(const std::filesystem::path& path, bool headerOnly);
    ReadStatus parseLines(LineReader& reader, bool headerOnly, std::uintmax_t totalBytes);

    RunFileLayout layout_ = RunFileLayout::None;
    RunFileHeader header_;
    std::vector<SampleRecord> samples_;
    std::vector<Em1Sample> em1Samples_;
    std::vector<ExportedSet> exported_;
    std::optional<Profile> profile_;
};

}  // namespace corvane
