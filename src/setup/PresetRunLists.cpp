#include "setup/PresetRunLists.h"

#include <algorithm>

#include "app/ConfigFile.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

std::string fileKey(int index) { return formatText("file%03d", index + 1); }

std::vector<std::string> listOf(const ConfigFile& file) {
    std::vector<std::string> files;
    const int number = std::clamp(file.getInt(kPresetRunsSection, "number"), 0, kMaxPresetRuns);
    for (int i = 0; i < number; ++i) {
        files.push_back(file.getString(kPresetRunsSection, fileKey(i)).value_or(""));
    }
    return files;
}

// Writes the list whole; entries beyond it are removed.
bool storeList(ConfigFile& file, const std::vector<std::string>& files, int current) {
    for (const auto& name : files) {
        // Checked first, so a refused name changes nothing at all.
        if (name.find_first_of(std::string_view("[\r\n\0", 4)) != std::string::npos) {
            return false;
        }
    }
    for (int i = 0; i < kMaxPresetRuns; ++i) {
        if (i < static_cast<int>(files.size())) {
            file.setString(kPresetRunsSection, fileKey(i), files[static_cast<std::size_t>(i)]);
        } else {
            file.removeKey(kPresetRunsSection, fileKey(i));
        }
    }
    file.setInt(kPresetRunsSection, "number", static_cast<int>(files.size()));
    file.setInt(kPresetRunsSection, "current_run", current);
    return true;
}

}  // namespace

UserPresetRuns::UserPresetRuns(ConfigFile& userFile) : file_(userFile) {}

std::vector<std::string> UserPresetRuns::files() const { return listOf(file_); }

int UserPresetRuns::current() const { return file_.getInt(kPresetRunsSection, "current_run"); }

bool UserPresetRuns::setCurrent(int index) { return file_.setInt(kPresetRunsSection, "current_run", index); }

bool UserPresetRuns::add(const std::string& path) {
    auto list = files();
    if (list.size() >= kMaxPresetRuns) {
        return false;
    }
    list.push_back(path);
    return storeList(file_, list, current());
}

bool UserPresetRuns::remove(int index) {
    auto list = files();
    if (index < 0 || index >= static_cast<int>(list.size())) {
        return false;
    }
    list.erase(list.begin() + index);
    const int current = std::clamp(index - 1, 0, std::max(0, static_cast<int>(list.size()) - 1));
    return storeList(file_, list, current);
}

bool recordSavedPreset(ConfigFile& prefs, const std::string& path) {
    std::vector<std::string> list{path};
    for (const auto& earlier : listOf(prefs)) {
        if (earlier != path && list.size() < kMaxPresetRuns) {
            list.push_back(earlier);
        }
    }
    return storeList(prefs, list, 0);
}

std::vector<std::string> savedPresets(const ConfigFile& prefs) { return listOf(prefs); }

}  // namespace corvane
