#include "setup/UserPage.h"

#include <array>
#include <system_error>

#include "app/ConfigFile.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/RotorTable.h"
#include "setup/PresetRunLists.h"
#include "setup/SetupHost.h"
#include "setup/UserFile.h"
#include "setup/UserNames.h"

namespace corvane {
namespace {

constexpr const char* kUser = UserStore::kUserSettings;
constexpr std::array<int, 4> kTubes = {2, 3, 4, 6};
constexpr double kRoomTemperature = 25.0;

std::string rotorKey(const char* name, int manufacturer, int rotor) {
    return formatText("%s_%02d-%02d", name, manufacturer, rotor);
}

std::string stored(const ConfigFile& user, const std::string& key) {
    return user.getString(kUser, key).value_or("");
}

// The rotor fields a new manufacturer or user starts from.
void clearRotorTexts(UserPageFields& f) {
    f.speed.clear();
    f.gradient.clear();
    f.spinTime.clear();
    f.sampleVolume.clear();
}

}  // namespace

int tubesEntryOf(int tubes) {
    for (std::size_t i = 0; i < kTubes.size(); ++i) {
        if (kTubes[i] == tubes) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

int tubesOfEntry(int entry) {
    return entry >= 0 && entry < static_cast<int>(kTubes.size()) ? kTubes[static_cast<std::size_t>(entry)]
                                                                  : kTubes[0];
}

void loadRotorFields(const ConfigFile& user, int m, int r, UserPageFields& f) {
    if (m < 0 || r < 0) {
        return;
    }
    f.speed = stored(user, rotorKey("speed", m, r));
    f.gradient = stored(user, rotorKey("gradient", m, r));
    f.percent1 = stored(user, rotorKey("gradientPct1", m, r));
    f.percent2 = stored(user, rotorKey("gradientPct2", m, r));
    f.gradientUnits = std::clamp(user.getInt(kUser, rotorKey("gradientUnits", m, r)), 0, 2);
    // Kept as the difference from room temperature: a rotor never stored
    // shows 25.0.
    f.temperature = formatText("%.1f", user.getDouble(kUser, rotorKey("temperature", m, r)) + kRoomTemperature);
    f.w2t = stored(user, rotorKey("time", m, r));
    f.spinTime = stored(user, rotorKey("tspin", m, r));
    f.exponent = formatText("%d", user.getInt(kUser, rotorKey("timeExponent", m, r)));
    f.sampleVolume = stored(user, rotorKey("volume", m, r));
    f.tubesEntry = tubesEntryOf(user.getInt(kUser, rotorKey("numtubes", m, r)));
}

UserPageFields loadUserFields(const ConfigFile& user) {
    UserPageFields f;
    if (user.getString(kUser, "manufacturer")) {
        if (const int m = user.getInt(kUser, "manufacturer"); m >= 0 && m < RotorTable::manufacturerCount()) {
            f.manufacturer = m;
        }
    }
    if (f.manufacturer >= 0 && user.getString(kUser, "rotor_type")) {
        const int r = user.getInt(kUser, "rotor_type");
        if (r >= 0 && r < static_cast<int>(RotorTable::models(f.manufacturer).size())) {
            f.rotorEntry = r;
            f.rotorText = std::string(RotorTable::modelName(f.manufacturer, r));
        }
    }
    f.experiment = multiLineText(stored(user, "experiment_name"));
    f.uvUnit = RunInfo::kDe1;
    loadRotorFields(user, f.manufacturer, f.rotorEntry, f);
    return f;
}

RunInfo runInfoFrom(const UserPageFields& f, int rotor, RunInfo base) {
    base.startTime = f.when;
    base.experimentName = f.experiment;
    base.gradient = f.gradient;
    base.rotorManufacturer = std::string(RotorTable::manufacturerName(f.manufacturer));
    base.rotorModel = std::string(RotorTable::modelName(f.manufacturer, rotor));
    base.sampleVolume = f.sampleVolume;
    base.speed = f.speed;
    base.spinTime = f.spinTime;
    base.w2tMantissa = f.w2t;
    base.userName = f.name;
    base.gradientPercent1 = scanDouble(f.percent1).value_or(0.0);
    base.gradientPercent2 = scanDouble(f.percent2).value_or(0.0);
    base.gradientUnits = std::max(f.gradientUnits, 0);
    base.uvUnit = f.uvUnit;
    base.numberOfTubes = tubesOfEntry(f.tubesEntry);
    base.w2tExponent = scanInt(f.exponent).value_or(0);
    base.rotorModelIndex = rotor;
    base.manufacturerIndex = f.manufacturer;
    base.temperature = f.temperature.empty() ? kRoomTemperature
                                             : scanDouble(f.temperature).value_or(kRoomTemperature);
    return base;
}

UserPage::UserPage(Env env) : env_(std::move(env)) {}

std::vector<std::string> UserPage::manufacturers() {
    std::vector<std::string> list;
    for (int m = 0; m < RotorTable::manufacturerCount(); ++m) {
        list.emplace_back(RotorTable::manufacturerName(m));
    }
    return list;
}

int UserPage::unitShown() const {
    // A Kelvo unit's run is never a DE-1 run: its file header says so and
    // the page leads on to LED SETUP.
    return env_.host.kelvoUnit() ? RunInfo::kDualWavelength : RunInfo::kDe1;
}

std::vector<std::string> UserPage::uvUnits() { return {"Dual Wavelength", "Single Wavelength", "DE-1"}; }
std::vector<std::string> UserPage::gradientUnits() { return {"w/v", "w/w", "v/v"}; }
std::vector<std::string> UserPage::tubes() { return {"2", "3", "4", "6"}; }

std::vector<std::string> UserPage::rotors() const {
    std::vector<std::string> list;
    for (const auto& model : RotorTable::models(fields_.manufacturer)) {
        list.emplace_back(model);
    }
    return list;
}

int UserPage::rotor() const {
    const auto list = RotorTable::models(fields_.manufacturer);
    if (fields_.rotorText.empty()) {
        return fields_.rotorEntry >= 0 && fields_.rotorEntry < static_cast<int>(list.size()) ? fields_.rotorEntry
                                                                                              : -1;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == fields_.rotorText) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::filesystem::path UserPage::userSettingsPath() const {
    return fields_.name.empty() ? std::filesystem::path{} : UserStore(env_.startupFolder).settingsPath(fields_.name);
}

// --- Opening ---

void UserPage::loadNames() {
    const auto users = UserStore(env_.startupFolder).usersFolder();
    std::error_code error;
    std::filesystem::create_directories(users, error);
    names_ = userNamesIn(users);
}

void UserPage::initialise() {
    const std::string lastUser = Preferences(env_.startupFolder).lastUser();
    loadNames();
    const auto& record = env_.host.runInfo();
    fields_.when = record && record->startTime ? *record->startTime : env_.calendar();
    if (record) {
        fields_.manufacturer = RotorTable::findManufacturer(record->rotorManufacturer);
    }
    if (!lastUser.empty() && record) {
        fields_.name = lastUser;
        loadUser(false);
    } else if (record) {
        fields_.manufacturer = record->manufacturerIndex;
        fields_.rotorEntry = record->rotorModelIndex;
    } else {
        fields_.manufacturer = 0;
    }
    fields_.uvUnit = unitShown();
    if (record) {
        fillFromRunInfo(*record);
        fields_.experiment = record->experimentName;
        fields_.name = record->userName.empty() ? fields_.name : record->userName;
        buttonsEnabled_ = true;
    }
    if (!env_.introName.empty()) {
        nameTyped(env_.introName);
    } else {
        loadPresets();
    }
}

void UserPage::fillFromRunInfo(const RunInfo& info) {
    fields_.manufacturer = info.manufacturerIndex >= 0 ? info.manufacturerIndex
                                                       : RotorTable::findManufacturer(info.rotorManufacturer);
    fields_.rotorEntry = info.rotorModelIndex;
    fields_.rotorText = std::string(RotorTable::modelName(fields_.manufacturer, info.rotorModelIndex));
    fields_.sampleVolume = info.sampleVolume;
    fields_.gradient = info.gradient;
    fields_.speed = info.speed;
    fields_.spinTime = info.spinTime;
    fields_.w2t = info.w2tMantissa;
    fields_.percent1 = formatText("%.0f", info.gradientPercent1);
    fields_.percent2 = formatText("%.0f", info.gradientPercent2);
    fields_.gradientUnits = std::clamp(info.gradientUnits, 0, 2);
    fields_.tubesEntry = tubesEntryOf(info.numberOfTubes);
    fields_.exponent = formatText("%d", info.w2tExponent);
    fields_.temperature = formatText("%.1f", info.temperature);
}

void UserPage::loadUser(bool clearFirst) {
    if (!std::filesystem::is_directory(UserStore(env_.startupFolder).usersFolder())) {
        env_.prompter.message("Error, can not find users folder.");
        return;
    }
    UserPageFields loaded;
    if (const auto path = userSettingsPath(); !path.empty()) {
        loaded = loadUserFields(ConfigFile(path));
    }
    if (clearFirst) {
        const auto name = fields_.name;
        const auto when = fields_.when;
        fields_ = UserPageFields{};
        fields_.name = name;
        fields_.when = when;
    }
    if (loaded.manufacturer >= 0) {
        fields_.manufacturer = loaded.manufacturer;
    }
    if (loaded.rotorEntry >= 0) {
        // The stored rotor and, with it, its per-rotor values.
        const auto keep = fields_;
        fields_ = loaded;
        fields_.name = keep.name;
        fields_.when = keep.when;
        fields_.experiment = keep.experiment;
    }
    if (clearFirst) {
        fields_.experiment = loaded.experiment;
    }
    fields_.uvUnit = unitShown();
    buttonsEnabled_ = true;
    loadPresets();
}

// --- Name, manufacturer, rotor ---

void UserPage::chooseUser(int index) {
    if (index < 0 || index >= static_cast<int>(names_.size())) {
        return;
    }
    fields_.name = names_[static_cast<std::size_t>(index)];
    loadUser(true);
}

void UserPage::nameTyped(const std::string& text) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == text) {
            chooseUser(static_cast<int>(i));
            return;
        }
    }
    fields_.name = text;
    // A new user has no settings to load; a typed name lets the page be
    // confirmed (OK then makes the user's folder), or a new user could
    // never be created.
    buttonsEnabled_ = buttonsEnabled_ || !text.empty();
    loadPresets();
}

void UserPage::chooseManufacturer(int index) {
    if (index < 0 || index >= RotorTable::manufacturerCount()) {
        return;
    }
    fields_.manufacturer = index;
    // The list is filled anew: no rotor of the last manufacturer stays in
    // the box, where it would look chosen and be refused.
    fields_.rotorEntry = -1;
    fields_.rotorText.clear();
    clearRotorTexts(fields_);
    if (const auto path = userSettingsPath(); !path.empty() && rotor() >= 0) {
        loadRotorFields(ConfigFile(path), fields_.manufacturer, rotor(), fields_);
    }
}

void UserPage::chooseRotor(int index) {
    const auto list = RotorTable::models(fields_.manufacturer);
    if (index < 0 || index >= static_cast<int>(list.size())) {
        return;
    }
    fields_.rotorEntry = index;
    fields_.rotorText = std::string(list[static_cast<std::size_t>(index)]);
    if (const auto path = userSettingsPath(); !path.empty()) {
        loadRotorFields(ConfigFile(path), fields_.manufacturer, index, fields_);
    }
    buttonsEnabled_ = true;
}

void UserPage::rotorTyped(const std::string& text) {
    fields_.rotorText = text;
    if (const int r = rotor(); r >= 0) {
        chooseRotor(r);
    }
}

// --- Confirming ---

bool UserPage::storeFields(ConfigFile& user) {
    auto& f = fields_;
    auto& prompter = env_.prompter;
    if (f.manufacturer < 0) {
        prompter.message("Please choose a rotor manufacturer.");
        return false;
    }
    user.setInt(kUser, "manufacturer", f.manufacturer);
    const int r = rotor();
    if (r < 0) {
        prompter.message(kNoRotor);
        return false;
    }
    user.setInt(kUser, "rotor_type", r);
    const int m = f.manufacturer;
    const auto text = [&](const char* key, const std::string& value, const char* field) {
        if (!value.empty() && !user.setString(kUser, rotorKey(key, m, r), value)) {
            prompter.message(refusedTextMessage(field, value));
            return false;
        }
        return true;
    };
    if (!text("speed", f.speed, "speed") || !text("gradient", f.gradient, "gradient")) {
        return false;
    }
    for (const auto& [key, value] : {std::pair{"gradientPct1", &f.percent1}, std::pair{"gradientPct2", &f.percent2}}) {
        if (!value->empty() && !scanDouble(*value)) {
            prompter.message("Invalid gradient percentage.");
            return false;
        }
        if (!text(key, *value, "gradient percentage")) {
            return false;
        }
    }
    if (f.gradientUnits >= 0) {
        user.setInt(kUser, rotorKey("gradientUnits", m, r), f.gradientUnits);
    }
    if (!text("tspin", f.spinTime, "spin time") || !text("time", f.w2t, "w2t") ||
        !text("volume", f.sampleVolume, "sample volume")) {
        return false;
    }
    if (!f.exponent.empty()) {
        user.setInt(kUser, rotorKey("timeExponent", m, r), scanInt(f.exponent).value_or(0));
    }
    user.setInt(kUser, rotorKey("numtubes", m, r), tubesOfEntry(f.tubesEntry));
    if (f.uvUnit < 0) {
        prompter.message("Error, invalid UV unit.");
        return false;
    }
    const auto temperature = f.temperature.empty() ? std::optional(kRoomTemperature) : scanDouble(f.temperature);
    if (!temperature) {
        prompter.message("Error, invalid temperature.");
        return false;
    }
    user.setDouble(kUser, rotorKey("temperature", m, r), *temperature - kRoomTemperature);
    user.setInt(kUser, "uv_unit", f.uvUnit);
    return true;
}

RunInfo UserPage::filledRunInfo() const {
    RunInfo info = runInfoFrom(fields_, rotor(), env_.host.runInfo().value_or(RunInfo{}));
    // What SCANNING SETUP's ROTOR OK would take from "rotors.txt": the DE-1
    // chain never passes there, and its fraction volumes need the figure.
    if (const auto geometry = RotorTable::lookupGeometry(env_.startupFolder / "rotors.txt",
                                                         info.rotorManufacturer, info.rotorModel)) {
        info.volumePerMm = geometry->volumePerMm;
    }
    if (presetChosen_ >= 0 && presetInfo_) {
        if (presetInfo_->volumePerMm > 0.0) {
            info.volumePerMm = presetInfo_->volumePerMm;
        }
        info.collectionVolume = presetInfo_->collectionVolume;
        info.aufs = presetInfo_->aufs;
    }
    return info;
}

PageStep UserPage::nextAfterConfirm() const {
    const bool de1 = fields_.uvUnit == RunInfo::kDe1 || env_.host.de1Mode();
    return PageStep{de1 ? SetupPage::De1Setup : SetupPage::LedSetup};
}

void UserPage::confirmPreset() {
    env_.host.setCurrentPreset(presetChosen_ >= 0 ? std::filesystem::path(presets_[static_cast<std::size_t>(presetChosen_)])
                                                  : std::filesystem::path{});
}

std::optional<PageStep> UserPage::ok() {
    const auto path = confirmUser(env_.startupFolder, fields_.name, fields_.when, fields_.experiment, env_.prompter);
    if (!path) {
        return std::nullopt;
    }
    ConfigFile user(*path);
    const bool stored = storeFields(user);
    // Keys written before a failing check stay written.
    if (user.save() < 0) {
        env_.prompter.message(formatText("Error, could not create file: %s in Users folder.", path->string().c_str()));
        return std::nullopt;
    }
    if (!stored) {
        return std::nullopt;
    }
    env_.host.setRunInfo(filledRunInfo());
    confirmPreset();
    return nextAfterConfirm();
}

std::optional<PageStep> UserPage::skip() {
    {
        Preferences prefs(env_.startupFolder);
        prefs.forgetLastUser();
    }
    if (rotor() < 0) {
        rotorMarked_ = true;
        env_.prompter.message(kNoRotor);
        return std::nullopt;
    }
    if (fields_.uvUnit < 0) {
        env_.prompter.message("Error, invalid UV unit.");
        return std::nullopt;
    }
    env_.host.setRunInfo(filledRunInfo());
    confirmPreset();
    return nextAfterConfirm();
}

std::optional<PageStep> UserPage::goToGraph() {
    if (presetChosen_ >= 0) {
        if (!ok()) {
            return std::nullopt;
        }
        return PageStep{SetupPage::De1Setup, true};
    }
    if (rotor() < 0) {
        rotorMarked_ = true;
        env_.prompter.message(kNoRotor);
        return std::nullopt;
    }
    env_.host.setRunInfo(filledRunInfo());
    confirmPreset();
    return PageStep{SetupPage::Graph};
}

std::optional<PageStep> UserPage::compareDataSets() {
    auto step = goToGraph();
    if (step) {
        step->compare = true;
    }
    return step;
}

// --- Preset runs ---

void UserPage::loadPresets() {
    presets_.clear();
    presetChosen_ = -1;
    presetInfo_.reset();
    const auto path = userSettingsPath();
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) {
        return;
    }
    ConfigFile user(path);
    presets_ = UserPresetRuns(user).files();
    for (const auto& file : presets_) {
        if (!std::filesystem::is_regular_file(file, error)) {
            env_.prompter.message(formatText("Error, could not find or open file: %s", file.c_str()));
        }
    }
}

void UserPage::addPresetRun() {
    if (presets_.size() >= static_cast<std::size_t>(kMaxPresetRuns)) {
        env_.prompter.message(UserPresetRuns::kFullMessage);
        return;
    }
    if (fields_.name.empty()) {
        return;
    }
    const auto path = ensureUserSettingsFile(env_.startupFolder, fields_.name, fields_.when, env_.prompter);
    if (!path) {
        return;
    }
    const auto folder = UserStore(env_.startupFolder).presetRunsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const auto chosen = env_.prompter.openFile({kLoadPresetTitle, kTextFilter, folder.string(), {}, "*.txt"});
    if (!chosen) {
        return;
    }
    {
        ConfigFile user(*path);
        if (!UserPresetRuns(user).add(*chosen)) {
            env_.prompter.message(refusedTextMessage("preset run file name", *chosen));
            return;
        }
    }
    loadPresets();
}

void UserPage::choosePreset(int index) {
    if (index < 0 || index >= static_cast<int>(presets_.size())) {
        return;
    }
    const std::string file = presets_[static_cast<std::size_t>(index)];
    {
        ConfigFile user(userSettingsPath());
        (void)UserPresetRuns(user).setCurrent(index);  // an int always fits the store
    }
    const auto preset = readPresetRun(file);
    if (!preset) {
        env_.prompter.message(formatText("Error, could not find or open file: %s", file.c_str()));
        return;
    }
    presetChosen_ = index;
    presetInfo_ = preset->runInfo;
    if (preset->runInfo) {
        applyPreset(*preset->runInfo);
    }
}

void UserPage::applyPreset(const RunInfo& preset) {
    fillFromRunInfo(preset);
    fields_.uvUnit = unitShown();
}

void UserPage::deletePreset(int index) {
    if (index < 0 || index >= static_cast<int>(presets_.size())) {
        return;
    }
    {
        ConfigFile user(userSettingsPath());
        UserPresetRuns(user).remove(index);
    }
    loadPresets();
}

}  // namespace corvane
