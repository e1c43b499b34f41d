#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/CalendarTime.h"
#include "runs/PresetRunFile.h"
#include "runs/RunInfo.h"
#include "setup/PageDispatcher.h"

namespace corvane {

class ConfigFile;
class Prompter;
class SetupHost;

// What the USER page's controls hold. Lists are chosen by entry (-1: none);
// the texts are as typed.
struct UserPageFields {
    std::string name;          // the "Name:" drop-down's text
    CalendarTime when;         // "Date:" and "Time:"
    std::string experiment;
    int uvUnit = RunInfo::kDe1;
    int manufacturer = -1;
    int rotorEntry = -1;       // the rotor list's selection
    std::string rotorText;     // the rotor drop-down's text
    std::string sampleVolume;
    std::string gradient;
    std::string percent1;
    std::string percent2;
    int gradientUnits = 0;     // "w/v", "w/w", "v/v"
    int tubesEntry = 0;        // "2", "3", "4", "6"
    std::string speed;         // kRPM
    std::string spinTime;
    std::string w2t;
    std::string exponent;      // "x10^"
    std::string temperature;   // deg C

    bool operator==(const UserPageFields&) const = default;
};

// The tubes list: "2", "3", "4", "6". Any other count shows entry 0.
[[nodiscard]] int tubesEntryOf(int tubes);
[[nodiscard]] int tubesOfEntry(int entry);

// The per-rotor keys of one user for one rotor, as the page shows them
// ("speed_%02d-%02d", ...: manufacturer index, rotor index). Texts not stored
// read as empty, the temperature as "25.0".
void loadRotorFields(const ConfigFile& user, int manufacturer, int rotor, UserPageFields& fields);
// A user as choosing the user on the USER page loads it: the stored rotor
// and its per-rotor values over empty fields. Reads only.
[[nodiscard]] UserPageFields loadUserFields(const ConfigFile& user);
// The run description the fields give (the start time from the pickers,
// the rotor's names from RotorTable), over base (its other fields).
// Numbers that do not scan keep base's value, as Skip copies them.
[[nodiscard]] RunInfo runInfoFrom(const UserPageFields& fields, int rotor, RunInfo base);

// The USER page (CSummaryInfoDlg): who runs, what and with which rotor. It
// fills the window's RunInfo (through the SetupHost) and remembers each
// user's choices per rotor in the user's "settings.txt". Every operation
// runs its checks in the page's order and shows the first failure's text;
// a button that leaves the page returns where it leads.
class UserPage {
public:
    static constexpr const char* kNoRotor = "You must enter a rotor before leaving this page.";
    static constexpr const char* kLoadPresetTitle = "LOAD PRESET RUN FILE...";
    static constexpr const char* kTextFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        SetupHost& host;
        CalendarSource calendar = localCalendarTime;
        // The name typed on the INTRO page, chosen when the page opens.
        std::string introName;
    };

    explicit UserPage(Env env);

    // Fills the lists and the fields from "prefs.cfg", the users and the
    // window's RunInfo.
    void initialise();

    // --- Lists ---
    [[nodiscard]] const std::vector<std::string>& names() const { return names_; }
    [[nodiscard]] std::vector<std::string> rotors() const;  // of the chosen manufacturer
    [[nodiscard]] static std::vector<std::string> manufacturers();
    [[nodiscard]] static std::vector<std::string> uvUnits();
    [[nodiscard]] static std::vector<std::string> gradientUnits();
    [[nodiscard]] static std::vector<std::string> tubes();

    [[nodiscard]] UserPageFields& fields() { return fields_; }
    [[nodiscard]] const UserPageFields& fields() const { return fields_; }
    // OK, Skip, GO TO GRAPH and COMPARE DATA SETS may be pressed: a user is
    // loaded or a name typed.
    [[nodiscard]] bool buttonsEnabled() const { return buttonsEnabled_; }
    // The rotor was missing at Skip: the rotor field is drawn highlighted
    // until a rotor is there.
    [[nodiscard]] bool rotorMarked() const { return rotorMarked_ && rotor() < 0; }
    // The rotor the fields name: the selection when the text is empty, else
    // the first entry of that text; -1 for none.
    [[nodiscard]] int rotor() const;

    // --- The name, the manufacturer and the rotor ---
    void chooseUser(int index);
    // A typed name; one equal to a list entry chooses that user.
    void nameTyped(const std::string& text);
    void chooseManufacturer(int index);
    void chooseRotor(int index);
    void rotorTyped(const std::string& text);

    // --- Buttons: where they lead, or nothing (the page stays) ---
    [[nodiscard]] std::optional<PageStep> ok();
    [[nodiscard]] std::optional<PageStep> skip();
    [[nodiscard]] std::optional<PageStep> goToGraph();
    [[nodiscard]] std::optional<PageStep> compareDataSets();

    // --- Preset runs ---
    // The user's preset files, one per radio button in use.
    [[nodiscard]] const std::vector<std::string>& presets() const { return presets_; }
    [[nodiscard]] int presetChosen() const { return presetChosen_; }
    void addPresetRun();
    // Chooses radio button index: "current_run" and the preset's experiment
    // settings into the fields.
    void choosePreset(int index);
    void deletePreset(int index);
    // The UV unit list is fixed: "DE-1", or the connected Kelvo unit's two
    // channels. Asked again when the page is used, as the unit may answer
    // only after the page has come up (the first connection's warm-up).
    [[nodiscard]] int unitShown() const;

private:
    void loadNames();
    void loadUser(bool clearFirst);
    void loadPresets();
    void applyPreset(const RunInfo& preset);
    void fillFromRunInfo(const RunInfo& info);
    [[nodiscard]] bool storeFields(ConfigFile& user);
    [[nodiscard]] RunInfo filledRunInfo() const;
    [[nodiscard]] PageStep nextAfterConfirm() const;
    [[nodiscard]] std::filesystem::path userSettingsPath() const;
    void confirmPreset();

    Env env_;
    std::vector<std::string> names_;
    UserPageFields fields_;
    bool buttonsEnabled_ = false;
    bool rotorMarked_ = false;
    std::vector<std::string> presets_;
    int presetChosen_ = -1;
    std::optional<RunInfo> presetInfo_;
};

}  // namespace corvane
