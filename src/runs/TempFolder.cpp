#include "runs/TempFolder.h"

#include <algorithm>
#include <cctype>


#include "app/FileReplace.h"
#include "app/NameCheck.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/FileHandle.h"
#include "base/WriterLock.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

// What file systems allow for one name and for a whole path.
constexpr std::size_t kMaxFileNameBytes = 255;
constexpr std::size_t kMaxPathBytes = 4095;

constexpr const char* kCsvOnlyFilter = "CSV Text Files (*.csv)|*.csv|All Files (*.*)|*.*||";
constexpr const char* kStillRecordedText =
    "Error, the file is still being written (a run being recorded?); it was left as it is: %s";

std::string tooLargeText(const std::filesystem::path& file) {
    return formatText("Error, the file is larger than %ju MB, too large for a run file: %s",
                      kMaxRunFileBytes >> 20, visibleText(file.string()).c_str());
}

// The layouts a rescue knows how to clean.
bool isRescuable(const std::filesystem::path& file) {
    RunDataFile run;
    if (run.readHeader(file) != RunDataFile::ReadStatus::Ok) {
        return false;
    }
    switch (run.layout()) {
        case RunFileLayout::TwoChannel:
        case RunFileLayout::Em1:
        case RunFileLayout::Em1Events: return true;
        default: return false;
    }
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isCsvFile(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    return !entry.is_directory(error) && lowerCase(entry.path().extension().string()) == ".csv";
}

// target, or target with "_2", "_3", ... before its extension: a name not yet taken.
std::filesystem::path freeName(const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::exists(target, error)) {
        return target;
    }
    for (int n = 2;; ++n) {
        auto candidate = target.parent_path() /
                         (target.stem().string() + formatText("_%d", n) + target.extension().string());
        if (!std::filesystem::exists(candidate, error)) {
            return candidate;
        }
    }
}

}  // namespace

TempFolder::TempFolder(RunFolders folders, Prompter& prompter)
    : folders_(std::move(folders)),
      prompter_(prompter),
      cleaner_(prompter) {}

bool TempFolder::prepare() {
    std::error_code error;
    std::filesystem::create_directories(folders_.temp, error);
    if (!std::filesystem::is_directory(folders_.temp, error)) {
        return false;
    }
    bool allMoved = true;
    std::vector<std::filesystem::path> olderRuns;
    for (const auto& entry : std::filesystem::directory_iterator(folders_.startup, error)) {
        if (isCsvFile(entry) &&
            lowerCase(entry.path().filename().string()).find("tempfile") != std::string::npos) {
            olderRuns.push_back(entry.path());
        }
    }
    for (const auto& file : olderRuns) {
        // Copied first, deleted only once the copy is whole.
        const auto target = freeName(folders_.temp / file.filename());
        if (!std::filesystem::copy_file(file, target, error)) {
            std::filesystem::remove(target, error);
            allMoved = false;
            continue;
        }
        std::filesystem::remove(file, error);
    }
    return allMoved;
}

std::vector<std::filesystem::path> TempFolder::runFiles() const {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folders_.temp, error)) {
        if (isCsvFile(entry)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<CalendarTime> TempFolder::headerTime(const std::filesystem::path& file) {
    RunDataFile run;
    if (run.readHeader(file) == RunDataFile::ReadStatus::CannotOpen) {
        return std::nullopt;
    }
    return run.header().recordedAt();
}

int TempFolder::discardOldest(int keep) {
    const auto files = runFiles();
    const auto excess = static_cast<int>(files.size()) - keep;
    if (excess <= 0) {
        return 0;
    }
    struct Aged {
        CalendarTime age;  // all zero without a header time: the oldest possible
        std::filesystem::path file;
    };
    std::vector<Aged> aged;
    aged.reserve(files.size());
    for (const auto& file : files) {
        aged.push_back({headerTime(file).value_or(CalendarTime{}), file});
    }
    std::stable_sort(aged.begin(), aged.end(),
                     [](const Aged& a, const Aged& b) { return a.age < b.age; });
    int deleted = 0;
    std::error_code error;
    for (int i = 0; i < excess; ++i) {
        // A run another copy of the program is recording right now stays.
        const auto& file = aged[static_cast<std::size_t>(i)].file;
        if (!isBeingWritten(file) && std::filesystem::remove(file, error)) {
            ++deleted;
        }
    }
    return deleted;
}

bool TempFolder::unlimitedAllowed() const { return Preferences(folders_.startup).unlimitedTempFiles(); }

bool TempFolder::setUnlimited(bool allowed) {
    Preferences prefs(folders_.startup);
    if (!prefs.present()) {
        return false;
    }
    prefs.setUnlimitedTempFiles(allowed);
    return prefs.save();
}

void TempFolder::makeRoomForNewRun(bool& unlimited) {
    if (unlimited || countRuns() < kLimit) {
        return;
    }
    if (prompter_.askYesNo("The TEMP folder is full. Do you want to discard the oldest runs to "
                           "make room for the temporary files from this session?")) {
        discardOldest(kKeptWhenFull);
    } else {
        unlimited = true;
        // Not stored, the limit is off for this session and asked about again next time.
        (void)setUnlimited(true);
    }
}

std::string TempFolder::runNameProblem(std::string_view runName) const {
    if (runName.empty()) {
        return {};
    }
    if (auto problem = folderNameProblem(runName); !problem.empty()) {
        return problem;
    }
    // The longest name the run's file can get: a four-digit year and the
    // highest number a clash adds.
    const auto longest = numberedName(runFilePath(runName, {2000, 1, 1, 0, 0, 0}), kMaxNumberedName);
    if (longest.filename().string().size() > kMaxFileNameBytes ||
        longest.string().size() > kMaxPathBytes) {
        const auto spare = longest.filename().string().size() - runName.size();
        return formatText("Error, the name is too long. Please use at most %zu characters.",
                          kMaxFileNameBytes > spare ? kMaxFileNameBytes - spare : 0);
    }
    return {};
}

std::filesystem::path TempFolder::runFilePath(std::string_view runName, const CalendarTime& now) const {
    const std::string name(runName);
    return folders_.temp / formatText("temp_%s_%d_%02d_%02d_%02d_%02d_%02d.csv", name.c_str(),
                                      now.year, now.month, now.day, now.hour, now.minute,
                                      now.second);
}

std::optional<std::filesystem::path> TempFolder::saveCopy(const std::filesystem::path& source,
                                                          const std::string& title, bool rescue,
                                                          const std::string& saveFolder,
                                                          ExistingTarget existing) {
    // Names as messages show them: a line break or an escape sequence in a
    // file name is shown as its code, never acted on by a terminal.
    const auto name = visibleText(source.string());
    // Everything about the source is checked before anything is written.
    {
        const auto in = openRegularFile(source);
        const auto stamp = in ? stampOf(in.get()) : std::nullopt;
        if (!stamp) {
            prompter_.message(formatText("Error, unable to open temporary file: %s", name.c_str()));
            return std::nullopt;
        }
        if (stamp->size > kMaxRunFileBytes) {
            prompter_.message(tooLargeText(source));
            return std::nullopt;
        }
    }
    if (isBeingWritten(source)) {
        prompter_.message(formatText(kStillRecordedText, name.c_str()));
        return std::nullopt;
    }
    if (rescue && !isRescuable(source)) {
        prompter_.message(formatText("Invalid data header found in file: %s", name.c_str()));
        return std::nullopt;
    }
    const auto chosen = prompter_.saveFile({title, kCsvOnlyFilter, saveFolder, {}, "csv"});
    if (!chosen) {
        return std::nullopt;
    }
    const std::filesystem::path target(*chosen);
    const auto targetName = visibleText(target.string());
    TitledCopy copy(source, target);
    bool incomplete = false;  // rows of the source are not in the copy
    if (copy.result() == CopyResult::Ok && rescue) {
        // Cleaned before it takes the new name: a copy that cannot be
        // cleaned or read back never appears there, and the source stays.
        copy.release();
        // Its messages name the source, whose lines the copy's are.
        cleaner_.showFileAs(source);
        const auto leftOutBefore = cleaner_.rowsLeftOut();
        const bool cleaned = cleaner_.cleanRescued(copy.partial());
        cleaner_.showFileAs({});
        copy.claimAgain();
        incomplete = cleaner_.rowsLeftOut() != leftOutBefore;
        if (!cleaned) {
            return std::nullopt;
        }
        if (RunDataFile check; check.read(copy.partial()) != RunDataFile::ReadStatus::Ok) {
            prompter_.message(formatText("Error, unable to create file: %s", targetName.c_str()));
            return std::nullopt;
        }
    }
    switch (copy.place(existing)) {
        case CopyResult::Ok: break;
        case CopyResult::CannotOpenSource:
            prompter_.message(formatText("Error, unable to open temporary file: %s", name.c_str()));
            return std::nullopt;
        case CopyResult::TooLarge:
            prompter_.message(tooLargeText(source));
            return std::nullopt;
        case CopyResult::SourceChanged:
            prompter_.message(formatText(kStillRecordedText, name.c_str()));
            return std::nullopt;
        case CopyResult::TargetExists:
            prompter_.message(formatText("Error, the file already exists: %s", targetName.c_str()));
            return std::nullopt;
        case CopyResult::TargetBusy:
            prompter_.message(visibleText(heldFileProblem(target)));
            return std::nullopt;
        case CopyResult::CannotCreateTarget:
        case CopyResult::WriteFailed:
            prompter_.message(formatText("Error, unable to create file: %s", targetName.c_str()));
            return std::nullopt;
    }
    // The copy is whole, on the disk and in place: only now may the source
    // go, and only when the copy holds all of it, as it was read.
    std::error_code error;
    std::string kept;
    if (std::filesystem::equivalent(source, target, error)) {
        // Saved over itself: nothing to remove.
    } else if (incomplete) {
        kept = "rows of it could not be read";
    } else if (!removeIfUnchanged(source, copy.sourceState())) {
        kept = "it changed while it was copied, or is being written";
    }
    prompter_.message(rescue ? formatText("%s successfully rescued and saved to: %s", name.c_str(),
                                          targetName.c_str())
                             : formatText("File: %s saved successfully.", targetName.c_str()));
    if (!kept.empty()) {
        prompter_.message(formatText("The temporary file was kept (%s): %s", kept.c_str(), name.c_str()));
    }
    return target;
}

std::optional<std::filesystem::path> TempFolder::rescueLostData(const std::string& saveFolder) {
    const auto lost = prompter_.openFile(
        {"Select lost data file to rescue", kCsvOnlyFilter, folders_.temp.string(), {}, "csv"});
    if (!lost) {
        return std::nullopt;
    }
    return saveCopy(*lost, "Choose new filename for lost data", true, saveFolder);
}

}  // namespace corvane
