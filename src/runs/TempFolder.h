#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/CalendarTime.h"
#include "runs/RunFileCleaner.h"
#include "runs/RunFileCopy.h"
#include "runs/RunFolders.h"

namespace corvane {

class Prompter;

// The TEMP folder, where every run is written first and where runs that were
// not saved, or were cut short by a crash, wait to be rescued. It keeps the
// folder to its limit, and saves copies of its files under the user's names.
class TempFolder {
public:
    // From this many temporary runs on, starting a run asks to discard the
    // oldest down to kKeptWhenFull.
    static constexpr int kLimit = 20;
    static constexpr int kKeptWhenFull = 19;

    TempFolder(RunFolders folders, Prompter& prompter);

    [[nodiscard]] const std::filesystem::path& path() const { return folders_.temp; }
    [[nodiscard]] RunFileCleaner& cleaner() { return cleaner_; }

    // Makes sure TEMP exists, then moves into it every "*.csv" of the start-up
    // folder whose name holds "tempfile" in any case (older versions left
    // their temporary runs there). A name already taken in TEMP gets a
    // number. False when a file could not be moved; it then stays put.
    [[nodiscard]] bool prepare();

    // The temporary run files: "*.csv" entries of TEMP that are not folders.
    [[nodiscard]] std::vector<std::filesystem::path> runFiles() const;
    [[nodiscard]] bool hasLostData() const { return !runFiles().empty(); }
    [[nodiscard]] int countRuns() const { return static_cast<int>(runFiles().size()); }

    // Deletes the oldest runs until keep remain. Age is the header's date and
    // time, not the file system's; a file without them counts as oldest. A
    // run being recorded (by another copy of the program) is skipped.
    // Returns how many were deleted.
    int discardOldest(int keep);

    // The header time of a run file; nothing when it has no "Date:" and "Time:".
    [[nodiscard]] static std::optional<CalendarTime> headerTime(const std::filesystem::path& file);

    // "allow_unlimited_tempfiles" of the start-up folder's preferences.
    [[nodiscard]] bool unlimitedAllowed() const;
    bool setUnlimited(bool allowed);

    // Before a run starts, unless unlimited: with kLimit runs or more in TEMP
    // asks whether to discard the oldest; Yes discards down to
    // kKeptWhenFull, No turns the limit off for good (unlimited and the
    // stored key).
    void makeRoomForNewRun(bool& unlimited);

    // "temp_%s_%d_%02d_%02d_%02d_%02d_%02d.csv" in TEMP. The run name must
    // already be a safe file name part (runNameProblem). When that name is
    // taken (two runs started in one second by two programs), the run file
    // gets the next numbered name, "...-2.csv" up to "...-999.csv"
    // (RunRecorder::open), which TEMP counts, ages and rescues like any other.
    [[nodiscard]] std::filesystem::path runFilePath(std::string_view runName,
                                                    const CalendarTime& now) const;
    // The message to show when a run name cannot be used (empty when it can,
    // and for no name at all): the checks of folderNameProblem, and the whole
    // TEMP file name it becomes, numbered suffix included, must fit the file
    // system, so a run never fails after the piston has moved.
    [[nodiscard]] std::string runNameProblem(std::string_view runName) const;

    // Copies source to a file the user chooses (a save dialog with title),
    // with its first line naming the new file, then deletes source. With
    // rescue the new file is cleaned as a rescued run. Returns the new file,
    // or nothing when cancelled or failed (each failure shows its message).
    // Check first, copy second, delete last: the source must be a regular
    // file of at most kMaxRunFileBytes that no process is writing, and for a
    // rescue a run file of a layout the rescue cleans; the copy is cleaned
    // and read back beside the target before it takes the target's name;
    // only then is source deleted. On any failure source stays and nothing
    // is left at the target. existing says what happens to a file already
    // there (the desktop's save dialog has asked; a script must opt in).
    std::optional<std::filesystem::path> saveCopy(const std::filesystem::path& source,
                                                  const std::string& title, bool rescue,
                                                  const std::string& saveFolder = {},
                                                  ExistingTarget existing = ExistingTarget::Replace);

    // "Rescue Lost Data": choose a file in TEMP, then saveCopy as a rescue.
    std::optional<std::filesystem::path> rescueLostData(const std::string& saveFolder = {});

private:
    RunFolders folders_;
    Prompter& prompter_;
    RunFileCleaner cleaner_;
};

}  // namespace corvane
