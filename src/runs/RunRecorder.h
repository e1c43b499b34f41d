#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "runs/SampleRecord.h"
#include "base/CalendarTime.h"
#include "runs/DeviceSettings.h"
#include "runs/PeakCollection.h"
#include "runs/Em1RunWriter.h"
#include "base/FileHandle.h"
#include "runs/RowFormat.h"
#include "runs/RunFileCopy.h"
#include "runs/RunFileCleaner.h"
#include "runs/RunFolders.h"
#include "runs/RunInfo.h"

namespace corvane {

class Prompter;

// What a run file's header is made of.
struct RunDescription {
    std::optional<RunInfo> runInfo;        // the experiment lines (and the unit's settings)
    std::optional<DeviceSettings> device;  // the unit's settings lines, with or without a RunInfo
    std::optional<Em1RunWriter::Setup> em1;  // a DE-1 run
    // The volume per mm a DE-1 run's fractions are measured with, when the
    // recording chose it (the standard run's, without a RunInfo figure);
    // else the RunInfo's.
    std::optional<double> volumePerMm{};
};

// Writes the run file of the run being recorded: the header, one row per
// sample as it arrives, the DE-1 AUFS change lines; and at the end saves it
// under the user's name or keeps it, cleaned, in TEMP.
//
// Every operation takes the recorder's lock, so rows written by the
// acquisition thread never interleave with a save, a discard or an AUFS
// change from the user interface. Each row is handed to the OS as it is
// written: a crash of the program loses at most the row being written.
class RunRecorder {
public:
    RunRecorder(Prompter& prompter, RunFolders folders, CalendarSource calendar = localCalendarTime);
    ~RunRecorder();
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // Creates the run file and writes its header ("Error, unable to open
    // file: %s" on failure). A file still open is closed and kept first.
    // An existing file is never opened: when path is taken the run gets the
    // first free numbered name (numberedName: "NAME-2.csv", ...), which
    // path() then gives. While open, the file is marked as being written
    // (WriterLock), so no clean-up or rescue takes it from under the run.
    [[nodiscard]] bool open(const std::filesystem::path& path, const RunDescription& description);
    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] bool isEm1Run() const;
    [[nodiscard]] std::filesystem::path path() const;

    // Appends a two-channel row; nothing happens without an open file.
    void writeSample(const SampleRecord& record);
    // Appends a DE-1 row (an event row when rawValue carries a mark).
    void writeEm1Sample(double distance, double absorbance, std::uint32_t rawValue);
    // The DE-1 closing event row, unless the last sample was a mark.
    enum class ClosingRow { Written, NotDue, Failed };
    [[nodiscard]] ClosingRow finishEm1Run(double distance, double absorbance);
    // Makes step the run's AUFS and inserts "AUFS changed to %.2f at %.2f mm."
    // under the AUFS header line (above earlier changes). DE-1 runs only.
    [[nodiscard]] bool writeAufsChange(int step, double distance);
    // Collecting by peaks: writes (or writes anew) the "[fractions]" block
    // into the open run file's header. DE-1 runs only.
    [[nodiscard]] bool writeFractionTable(const FractionTable& table);

    // Closes the run, copies it to target with the first line naming target
    // ("Error, unable to create file: %s" on failure: the run file stays),
    // deletes the run file, and cleans the copy: duplicate removal, and for a
    // DE-1 run the event merge first. False when the run was not saved.
    // existing and onlyOver say what happens to a file at target
    // (TitledCopy::place): a name taken by another run meanwhile leaves this
    // run in TEMP ("Error, the file already exists: %s").
    [[nodiscard]] bool saveAs(const std::filesystem::path& target,
                              ExistingTarget existing = ExistingTarget::Replace,
                              const std::optional<FileState>& onlyOver = std::nullopt);
    // Closes the run; deletes its file, or keeps it and removes duplicates.
    // False when no file was open or the clean-up failed.
    bool close(bool deleteFile);
    // Closes the run and leaves its file exactly as it is (no clean-up), for
    // a run whose end could not be written. False when no file was open.
    bool closeAsIs();

    // A rows that failed to reach the file since open (disk full, removed
    // media). The run goes on; the caller decides what to tell the user.
    [[nodiscard]] std::int64_t failedWrites() const;
    // The sample rows that reached the file since open (a DE-1 closing row
    // is no sample).
    [[nodiscard]] std::int64_t rowsWritten() const;

    // "Save Buffered Data": a new file with the run's header and one " , %.6f, , "
    // row per buffered DE-1 value. Shows "Buffered data file: %s saved
    // successfully." or "Error saving buffered data.".
    [[nodiscard]] bool saveBufferedData(const std::filesystem::path& target,
                                        const RunDescription& description,
                                        std::span<const double> absorbances);

    // The whole header for a file of this name, as open() writes it.
    [[nodiscard]] std::string headerText(const std::string& fileName,
                                         const RunDescription& description,
                                         const Em1RunWriter* em1) const;

private:
    struct EndedRun {
        std::filesystem::path path;
        bool em1 = false;
    };

    // Closes the run file for the end of the run; nothing when none was open.
    std::optional<EndedRun> endRun();
    bool appendRow();
    // Rebuilds the open run file through edit (false: nothing to change)
    // and swaps it in whole; the file is open again for the next row.
    bool rewriteLocked(const std::function<bool(std::string&)>& edit);
    void closeFileLocked();

    Prompter& prompter_;
    RunFolders folders_;
    CalendarSource calendar_;
    RunFileCleaner cleaner_;

    mutable std::mutex mutex_;
    FileHandle file_;
    std::filesystem::path path_;
    std::optional<Em1RunWriter> em1_;
    RowText row_;
    std::int64_t failedWrites_ = 0;
    std::int64_t rowsWritten_ = 0;
};

}  // namespace corvane
