#pragma once

// The two lists of preset run files. A user's own list ("[preset_runs]" of
// the user's "settings.txt") is what the USER page's five radio buttons
// show; Add Preset Run fills it and its context menu deletes from it. Saving
// a preset on the DE-1 SETUP page records the file in the other list, the
// "[preset_runs]" of "prefs.cfg" (newest first): the two are kept apart as
// the program always kept them, so a preset just saved is found on the USER
// page through Add Preset Run, whose dialog opens in "PRESET RUNS".

#include <string>
#include <vector>

namespace corvane {

class ConfigFile;

inline constexpr const char* kPresetRunsSection = "[preset_runs]";
inline constexpr int kMaxPresetRuns = 5;

// A user's list: "number" entries "file001" ... and "current_run", the index
// of the one last chosen. Works on the user's open settings file.
class UserPresetRuns {
public:
    static constexpr const char* kFullMessage = "Already have 5 preset runs.";

    explicit UserPresetRuns(ConfigFile& userFile);

    // The first "number" files (at most five).
    [[nodiscard]] std::vector<std::string> files() const;
    [[nodiscard]] int current() const;
    // False when the store refuses the value (the file name holds a "[").
    [[nodiscard]] bool setCurrent(int index);
    [[nodiscard]] bool full() const { return files().size() >= kMaxPresetRuns; }
    // Appends the file as the next "file%03d" and raises "number". False
    // when the list is full or the store refuses the name.
    [[nodiscard]] bool add(const std::string& path);
    // Removes entry index: later entries move down one, "number" drops by
    // one, "current_run" is stored (the same entry, or the one before).
    bool remove(int index);

private:
    ConfigFile& file_;
};

// "prefs.cfg"'s list: the file saved becomes "file001", the earlier ones
// follow in their old order without it, at most five stay; "number" is the
// count and "current_run" 0. False when the store refuses the name.
[[nodiscard]] bool recordSavedPreset(ConfigFile& prefs, const std::string& path);
[[nodiscard]] std::vector<std::string> savedPresets(const ConfigFile& prefs);

}  // namespace corvane
