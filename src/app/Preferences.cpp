#include "app/Preferences.h"

#include <system_error>

#include "app/Prompter.h"

namespace corvane {

namespace {

constexpr const char* kPrefs = Preferences::kPrefsSection;
constexpr const char* kData = "[data]";
constexpr const char* kScan = "[scan]";
constexpr const char* kPorts = "[ports]";
constexpr int kMaxPortNumber = 256;

constexpr std::array<const char*, Preferences::kTraceCount> kTraceKeys = {
    "showRawA", "showRefA", "showAbsA", "showRawB", "showRefB", "showAbsB", "showADivB"};
constexpr std::array<const char*, 4> kMultiColourKeys = {"multicolor1", "multicolor2",
                                                         "multicolor3", "multicolor4"};

[[nodiscard]] const char* folderKey(DialogFolder which) {
    switch (which) {
        case DialogFolder::Data: return "lastdatafolder";
        case DialogFolder::PresetRun: return "lastpresetrunfolder";
        case DialogFolder::OverlayPlan: return "lastoverlayplanfolder";
        case DialogFolder::OverlayPlanFile: return "lastoverlayplanfile";
    }
    return "lastdatafolder";
}

[[nodiscard]] bool hasContent(const std::filesystem::path& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

}  // namespace

Preferences::Preferences(const std::filesystem::path& startupFolder)
    : path_(pathIn(startupFolder)),
      users_(startupFolder),
      file_(path_),
      present_(file_.isOpen() && hasContent(path_)) {}

std::filesystem::path Preferences::pathIn(const std::filesystem::path& startupFolder) {
    return std::filesystem::absolute(startupFolder).lexically_normal() / "prefs.cfg";
}

bool Preferences::presentOrReport(Prompter& prompter) const {
    if (!present_) {
        prompter.message(kMissingMessage);
    }
    return present_;
}

// --- The link and the port ---

int Preferences::baudRate() const {
    const int stored = file_.getInt(kPrefs, "baudrate");
    return stored == 0 ? kDefaultBaudRate : stored;
}

void Preferences::writeBaudRateDefault() {
    if (file_.getInt(kPrefs, "baudrate") == 0) {
        file_.setInt(kPrefs, "baudrate", kDefaultBaudRate);
    }
}

int Preferences::comPort() const { return file_.getInt(kPrefs, "comport"); }
void Preferences::setComPort(int number) { file_.setInt(kPrefs, "comport", number); }

std::map<int, std::string> Preferences::portDevices() const {
    std::map<int, std::string> devices;
    for (int number = 1; number <= kMaxPortNumber; ++number) {
        const auto device = file_.getString(kPorts, "com" + std::to_string(number));
        if (device && !device->empty()) {
            devices.emplace(number, *device);
        }
    }
    return devices;
}

// --- Start-up ---

bool Preferences::screenResWarningOff() const {
    return file_.getInt(kPrefs, "dontshowscreenreswarning") >= 1;
}

void Preferences::setScreenResWarningOff(bool off) {
    file_.setInt(kPrefs, "dontshowscreenreswarning", off ? 1 : 0);
}

std::string Preferences::lastUser() const { return file_.getString(kPrefs, "lastuser").value_or(""); }

bool Preferences::setLastUser(std::string_view name) {
    user_.reset();
    userOpened_ = false;
    return file_.setString(kPrefs, "lastuser", name);
}

void Preferences::forgetLastUser() {
    user_.reset();
    userOpened_ = false;
    file_.removeKey(kPrefs, "lastuser");
}

bool Preferences::unlimitedTempFiles() const {
    return file_.getInt(kPrefs, "allow_unlimited_tempfiles") != 0;
}

void Preferences::setUnlimitedTempFiles(bool unlimited) {
    file_.setInt(kPrefs, "allow_unlimited_tempfiles", unlimited ? 1 : 0);
}

bool Preferences::showPresetRuns() const { return file_.getInt(kPrefs, "showpresetruns") != 0; }
void Preferences::setShowPresetRuns(bool shown) { file_.setInt(kPrefs, "showpresetruns", shown ? 1 : 0); }

// --- The main window's graph ---

bool Preferences::axisLabels() const {
    return !file_.getString(kPrefs, "axislabels").has_value() || file_.getInt(kPrefs, "axislabels") != 0;
}

void Preferences::setAxisLabels(bool on) { file_.setInt(kPrefs, "axislabels", on ? 1 : 0); }

bool Preferences::stopAtScanEnd() const {
    return !file_.getString(kPrefs, "stopatscanend").has_value() || file_.getInt(kPrefs, "stopatscanend") != 0;
}

void Preferences::setStopAtScanEnd(bool on) { file_.setInt(kPrefs, "stopatscanend", on ? 1 : 0); }

bool Preferences::legend() const {
    return !file_.getString(kPrefs, "legend").has_value() || file_.getInt(kPrefs, "legend") != 0;
}

void Preferences::setLegend(bool on) { file_.setInt(kPrefs, "legend", on ? 1 : 0); }

const char* Preferences::traceKey(int slot) {
    return slot >= 0 && slot < kTraceCount ? kTraceKeys[static_cast<std::size_t>(slot)] : "";
}

bool Preferences::traceShown(int slot) const {
    return slot >= 0 && slot < kTraceCount && file_.getInt(kPrefs, traceKey(slot)) >= 1;
}

void Preferences::setTraceShown(int slot, bool shown) {
    if (slot >= 0 && slot < kTraceCount) {
        file_.setInt(kPrefs, traceKey(slot), shown ? 1 : 0);
    }
}

double Preferences::windowSamples() const {
    const double stored = file_.getDouble(kPrefs, "xaxissamplerange");
    return stored == 0.0 ? kDefaultSampleWindow : stored;
}

void Preferences::setWindowSamplesText(std::string_view text) {
    file_.setString(kPrefs, "xaxissamplerange", text);
}

std::optional<double> Preferences::windowMm() const {
    const double stored = file_.getDouble(kPrefs, "xaxisposrange");
    return stored > 0.0 ? std::optional<double>(stored) : std::nullopt;
}

void Preferences::setWindowMmText(std::string_view text) {
    file_.setString(kPrefs, "xaxisposrange", text);
}

void Preferences::setXRange(double min, double max) {
    file_.setDouble(kPrefs, "xmin", min);
    file_.setDouble(kPrefs, "xmax", max);
}

std::array<double, 2> Preferences::yRange() const {
    return {file_.getDouble(kPrefs, "ymin"), file_.getDouble(kPrefs, "ymax")};
}

std::array<double, 2> Preferences::yyRange() const {
    return {file_.getDouble(kPrefs, "yy_min"), file_.getDouble(kPrefs, "yy_max")};
}

void Preferences::setYRange(double min, double max) {
    file_.setDouble(kPrefs, "ymin", min);
    file_.setDouble(kPrefs, "ymax", max);
}

void Preferences::setYYRange(double min, double max) {
    file_.setDouble(kPrefs, "yy_min", min);
    file_.setDouble(kPrefs, "yy_max", max);
}

AutoScaleSwitches Preferences::autoScale() const {
    AutoScaleSwitches on;
    if (file_.getString(kPrefs, "yautoscale") && file_.getInt(kPrefs, "yautoscale") >= 0) {
        on.x = file_.getInt(kPrefs, "xautoscale") > 0;
        on.y = file_.getInt(kPrefs, "yautoscale") > 0;
        on.yy = file_.getInt(kPrefs, "yy_autoscale") > 0;
    } else {
        const bool all = file_.getInt(kPrefs, "autoscale") > 0;
        on = {all, all, all};
    }
    return on;
}

void Preferences::setAutoScale(const AutoScaleSwitches& on) {
    file_.setInt(kPrefs, "xautoscale", on.x ? 1 : 0);
    file_.setInt(kPrefs, "yautoscale", on.y ? 1 : 0);
    file_.setInt(kPrefs, "yy_autoscale", on.yy ? 1 : 0);
}

void Preferences::setShowGrid(bool on) { file_.setInt(kPrefs, "showgrid", on ? 1 : 0); }
void Preferences::setLogScale(bool on) { file_.setInt(kPrefs, "logscale", on ? 1 : 0); }
void Preferences::writeBufferSize() { file_.setInt(kPrefs, "bufsize", kBufferSize); }

std::array<int, 4> Preferences::multiColours() const {
    std::array<int, 4> colours{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        colours[i] = file_.getInt(kPrefs, kMultiColourKeys[i]);
    }
    return colours;
}

void Preferences::setMultiColours(const std::array<int, 4>& colours) {
    for (std::size_t i = 0; i < colours.size(); ++i) {
        file_.setInt(kPrefs, kMultiColourKeys[i], colours[i]);
    }
}

int Preferences::multiDataType() const { return file_.getInt(kPrefs, "multi_data_type"); }
void Preferences::setMultiDataType(int type) { file_.setInt(kPrefs, "multi_data_type", type); }

// --- The zero calibration and the link's settings ---

std::array<std::optional<double>, 2> Preferences::sourceFactors() const {
    std::array<std::optional<double>, 2> factors;
    const std::array<const char*, 2> keys = {"factor_a", "factor_b"};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (const double stored = file_.getDouble(kData, keys[i]); stored != 0.0) {
            factors[i] = stored;
        }
    }
    return factors;
}

bool Preferences::setSourceFactors(const SourceFactors& factors) {
    return file_.setDouble(kData, "factor_a", factors.a) && file_.setDouble(kData, "factor_b", factors.b);
}

void Preferences::setDutyCycles(double percentA, double percentB) {
    file_.setDouble(kScan, "a_dutycycle", percentA);
    file_.setDouble(kScan, "b_dutycycle", percentB);
}

void Preferences::setPcPotValue(int value) { file_.setInt(kScan, "pcpotval", value); }

bool Preferences::setScanKeys(const ScanKeys& keys) {
    const auto write = [&](ConfigFile& file) {
        return file.setDouble(kScan, "samplerate", keys.sampleRate) &&
               file.setInt(kScan, "pcpotval", keys.pcPotValue) &&
               file.setDouble(kScan, "a_dutycycle", keys.dutyA) &&
               file.setDouble(kScan, "b_dutycycle", keys.dutyB);
    };
    const bool own = write(file_);
    ConfigFile* user = userStore();
    return own && (user == nullptr || write(*user));
}

Preferences::ScanKeys Preferences::scanKeys() const {
    return {file_.getDouble(kScan, "samplerate"), file_.getInt(kScan, "pcpotval"),
            file_.getDouble(kScan, "a_dutycycle"), file_.getDouble(kScan, "b_dutycycle")};
}

void Preferences::setScanSpeed(double mmPerS) {
    file_.setDouble(kScan, "speed", mmPerS - kStoredSpeedOffset);
}

double Preferences::scanSpeed() const { return file_.getDouble(kScan, "speed") + kStoredSpeedOffset; }

void Preferences::setScanDistance(double mm) { file_.setDouble(kScan, "distance", mm); }

double Preferences::scanDistance() const { return file_.getDouble(kScan, "distance"); }

std::array<int, 2> Preferences::wavelengthCodes() const {
    return {file_.getInt("[wavelengths]", "wavelengthA"), file_.getInt("[wavelengths]", "wavelengthB")};
}

void Preferences::setWavelengthCodes(int codeA, int codeB) {
    file_.setInt("[wavelengths]", "wavelengthA", codeA);
    file_.setInt("[wavelengths]", "wavelengthB", codeB);
}

// --- Folders ---

ConfigFile* Preferences::userStore() {
    if (!userOpened_) {
        userOpened_ = true;
        const auto name = lastUser();
        const auto settings = name.empty() ? std::filesystem::path{} : users_.settingsPath(name);
        if (!settings.empty()) {
            user_ = std::make_unique<ConfigFile>(settings);
        }
    }
    return user_.get();
}

std::string Preferences::folder(DialogFolder which) const {
    const char* key = folderKey(which);
    const auto name = lastUser();
    if (!name.empty()) {
        // The user's file as this object edits it, when it is open already.
        auto own = user_ ? user_->getString(UserStore::kUserSettings, key).value_or("")
                         : users_.ownFolderSetting(name, key);
        if (!own.empty()) {
            return own;
        }
    }
    if (auto shared = file_.getString(kPrefs, key).value_or(""); !shared.empty()) {
        return shared;
    }
    if (which == DialogFolder::OverlayPlanFile || name.empty()) {
        return {};
    }
    return users_.userFolder(name).string();
}

bool Preferences::rememberFolder(DialogFolder which, std::string_view folder) {
    const char* key = folderKey(which);
    if (!file_.setString(kPrefs, key, folder)) {
        return false;
    }
    if (ConfigFile* user = userStore()) {
        // The check above already refused what a settings file cannot hold.
        user->setString(UserStore::kUserSettings, key, folder);
    }
    return true;
}

std::string Preferences::lastScanName() {
    ConfigFile* user = userStore();
    return user != nullptr ? user->getString(UserStore::kUserSettings, "lastscanname").value_or("") : "";
}

bool Preferences::setLastScanName(std::string_view name) {
    ConfigFile* user = userStore();
    return user != nullptr && user->setString(UserStore::kUserSettings, "lastscanname", name);
}

bool Preferences::save() {
    bool written = true;
    if (user_) {
        written = user_->save() >= 0;
    }
    return file_.save() >= 0 && written;
}

}  // namespace corvane
