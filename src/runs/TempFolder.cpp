#include "runs/TempFolder.h"

#include <algorithm>
#include <cctype>

#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/FileHandle.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

constexpr const char* kCsvOnlyFilter = "CSV Text Files (*.csv)|*.csv|All Files (*.*)|*.*||";

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
      cleaner_(prompter, {folders_.startup, folders_.temp}) {}

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
        if (std::filesystem::remove(aged[static_cast<std::size_t>(i)].file, error)) {
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
        (void)setUnlimited(true);
    }
}

std::filesystem::path TempFolder::runFilePath(std::string_view runName, const CalendarTime& now) const {
    const std::string name(runName);
    return folders_.temp / formatText("temp_%s_%d_%02d_%02d_%02d_%02d_%02d.csv", name.c_str(),
                                      now.year, now.month, now.day, now.hour, now.minute,
                                      now.second);
}

std::optional<std::filesystem::path> TempFolder::saveCopy(const std::filesystem::path& source,
                                                          const std::string& title, bool rescue,
                                                          const std::string& saveFolder) {
    if (!openFile(source, "rb")) {
        prompter_.message(
            formatText("Error, unable to open temporary file: %s", source.string().c_str()));
        return std::nullopt;
    }
    const auto chosen = prompter_.saveFile({title, kCsvOnlyFilter, saveFolder, {}, "csv"});
    if (!chosen) {
        return std::nullopt;
    }
    const std::filesystem::path target(*chosen);
    switch (copyWithTitle(source, target)) {
        case CopyResult::Ok: break;
        case CopyResult::CannotOpenSource:
            prompter_.message(
                formatText("Error, unable to open temporary file: %s", source.string().c_str()));
            return std::nullopt;
        case CopyResult::CannotCreateTarget:
        case CopyResult::WriteFailed:
            prompter_.message(formatText("Error, unable to create file: %s", target.string().c_str()));
            return std::nullopt;
    }
    std::error_code error;
    if (!std::filesystem::equivalent(source, target, error)) {
        std::filesystem::remove(source, error);
    }
    if (rescue) {
        if (!cleaner_.cleanRescued(target)) {
            return std::nullopt;
        }
        prompter_.message(formatText("%s successfully rescued and saved to: %s",
                                     source.string().c_str(), target.string().c_str()));
    } else {
        prompter_.message(formatText("File: %s saved successfully.", target.string().c_str()));
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
