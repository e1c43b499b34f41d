#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/ConfigFile.h"
#include "app/UserStore.h"

namespace corvane {

class Prompter;

// The four folders the file dialogs start in.
enum class DialogFolder {
    Data,             // "lastdatafolder"
    PresetRun,        // "lastpresetrunfolder"
    OverlayPlan,      // "lastoverlayplanfolder"
    OverlayPlanFile,  // "lastoverlayplanfile" (a file, with no folder fallback)
};

// The zero calibration's source factor of each channel, "[data]".
struct SourceFactors {
    double a = 0.0;
    double b = 0.0;
};

// The automatic scaling switches of the three axes.
struct AutoScaleSwitches {
    bool x = false;
    bool y = false;
    bool yy = false;
};

// The one owner of the settings the program keeps in "prefs.cfg" (the
// start-up folder's program preferences) and in each user's "settings.txt":
// every key name, its default, the missing-file message and which folder
// wins. Every other part of the program asks it; records of higher rooms
// (the DE-1 run settings, run descriptions, plans) are encoded in their own
// room on top of store() and userStore().
//
// Construct one on the stack for a few reads or one edit, like the
// ConfigFile it holds: "prefs.cfg" is loaded here and kept locked until
// save() or destruction, so two threads editing it never lose each other's
// keys. A missing file gives the defaults and is never created.
class Preferences {
public:
    static constexpr const char* kMissingMessage =
        "Error, prefs.cfg file could not be found or opened.";
    static constexpr const char* kPrefsSection = "[prefs]";
    static constexpr int kDefaultBaudRate = 57600;
    static constexpr double kDefaultSampleWindow = 500.0;
    static constexpr int kTraceCount = 7;
    static constexpr int kBufferSize = 25000;

    explicit Preferences(const std::filesystem::path& startupFolder);
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // "prefs.cfg" of a start-up folder: the one place that names the file.
    [[nodiscard]] static std::filesystem::path pathIn(const std::filesystem::path& startupFolder);
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] const UserStore& users() const { return users_; }

    // The file was there and not empty. Callers that must not run on
    // defaults check it; presentOrReport() also shows kMissingMessage.
    [[nodiscard]] bool present() const { return present_; }
    [[nodiscard]] bool presentOrReport(Prompter& prompter) const;

    // --- "[prefs]": the link and the port ---
    // 0 or missing: 57600 (writeBaudRateDefault() keeps that in the file).
    [[nodiscard]] int baudRate() const;
    void writeBaudRateDefault();
    [[nodiscard]] int comPort() const;
    void setComPort(int number);
    // "[ports]": COM numbers mapped to serial devices ("com5 /dev/ttyUSB0").
    [[nodiscard]] std::map<int, std::string> portDevices() const;

    // --- "[prefs]": start-up ---
    [[nodiscard]] bool screenResWarningOff() const;
    void setScreenResWarningOff(bool off);
    [[nodiscard]] std::string lastUser() const;
    [[nodiscard]] bool setLastUser(std::string_view name);
    // The USER page's Skip: no user is current any more.
    void forgetLastUser();
    [[nodiscard]] bool unlimitedTempFiles() const;
    void setUnlimitedTempFiles(bool unlimited);
    [[nodiscard]] bool showPresetRuns() const;
    void setShowPresetRuns(bool shown);

    // --- "[prefs]": the main window's graph ---
    // Trace slots 0..6: "showRawA", "showRefA", "showAbsA", "showRawB",
    // "showRefB", "showAbsB", "showADivB"; a value below 1 hides.
    [[nodiscard]] static const char* traceKey(int slot);
    [[nodiscard]] bool traceShown(int slot) const;
    void setTraceShown(int slot, bool shown);
    // "xaxissamplerange": 0 or missing reads as 500. Written as the window
    // box's text.
    [[nodiscard]] double windowSamples() const;
    void setWindowSamplesText(std::string_view text);
    // "xaxisposrange": nullopt when missing or not above 0.
    [[nodiscard]] std::optional<double> windowMm() const;
    void setWindowMmText(std::string_view text);
    void setXRange(double min, double max);  // "xmin", "xmax": written, never read
    [[nodiscard]] std::array<double, 2> yRange() const;   // "ymin", "ymax"
    [[nodiscard]] std::array<double, 2> yyRange() const;  // "yy_min", "yy_max"
    void setYRange(double min, double max);
    void setYYRange(double min, double max);
    // "xautoscale", "yautoscale", "yy_autoscale"; files where "yautoscale"
    // is missing or negative have the older single switch "autoscale".
    [[nodiscard]] AutoScaleSwitches autoScale() const;
    void setAutoScale(const AutoScaleSwitches& on);
    void setShowGrid(bool on);   // "showgrid"
    // "axislabels": the tick labels and titles around the graph; on when missing.
    [[nodiscard]] bool axisLabels() const;
    void setAxisLabels(bool on);
    // "stopatscanend": a recording ends when the piston stops at the end of
    // the scan distance; on when missing.
    [[nodiscard]] bool stopAtScanEnd() const;
    void setStopAtScanEnd(bool on);
    // "legend": the names and colours of the drawn traces over the graph; on when missing.
    [[nodiscard]] bool legend() const;
    void setLegend(bool on);
    void setLogScale(bool on);   // "logscale"
    void writeBufferSize();      // "bufsize", always 25000
    [[nodiscard]] std::array<int, 4> multiColours() const;  // "multicolor1".."multicolor4"
    void setMultiColours(const std::array<int, 4>& colours);
    [[nodiscard]] int multiDataType() const;
    void setMultiDataType(int type);

    // --- "[data]": the zero calibration ---
    // 0 or missing: nullopt for that channel's factor.
    [[nodiscard]] std::array<std::optional<double>, 2> sourceFactors() const;
    [[nodiscard]] bool setSourceFactors(const SourceFactors& factors);

    // --- "[scan]": what the link's settings sequences changed ---
    void setDutyCycles(double percentA, double percentB);  // "a_dutycycle", "b_dutycycle"
    void setPcPotValue(int value);                         // "pcpotval"
    // --- "[scan]" and "[wavelengths]": the LED and scan setup pages ---
    // The rate, gain and duty the LED page keeps, also in the current user's
    // "[scan]" (false when there is a user whose file refused them).
    struct ScanKeys {
        double sampleRate = 0.0;  // "samplerate", samples/s
        int pcPotValue = 0;       // "pcpotval", 7 - the pot value
        double dutyA = 0.0;       // "a_dutycycle"
        double dutyB = 0.0;       // "b_dutycycle"
    };
    [[nodiscard]] bool setScanKeys(const ScanKeys& keys);
    [[nodiscard]] ScanKeys scanKeys() const;
    // "speed": kept 0.3 mm/s below the speed, which readers add back.
    static constexpr double kStoredSpeedOffset = 0.3;
    void setScanSpeed(double mmPerS);
    [[nodiscard]] double scanSpeed() const;
    void setScanDistance(double mm);  // "distance"
    [[nodiscard]] double scanDistance() const;
    // "wavelengthA", "wavelengthB": nm / 10.
    void setWavelengthCodes(int codeA, int codeB);
    [[nodiscard]] std::array<int, 2> wavelengthCodes() const;

    // --- The folders of the file dialogs ---
    // The current user's ("lastuser") own key, else the key of "[prefs]",
    // else the user's folder (nothing for the overlay plan file).
    [[nodiscard]] std::string folder(DialogFolder which) const;
    // Keeps a dialog's folder in "[prefs]" and in the current user's
    // settings. False, with nothing stored, when the settings files cannot
    // hold the text (see ConfigFile::setString).
    [[nodiscard]] bool rememberFolder(DialogFolder which, std::string_view folder);

    // "lastscanname" of the current user's "[user_settings]": the last run
    // name given. Empty without a user. False when there is no user or the
    // store refuses the name (a "[" in it).
    [[nodiscard]] std::string lastScanName();
    [[nodiscard]] bool setLastScanName(std::string_view name);

    // The store itself, for the sections that higher rooms encode.
    [[nodiscard]] ConfigFile& store() { return file_; }
    [[nodiscard]] const ConfigFile& store() const { return file_; }
    // The current user's "settings.txt", opened on first use; null without
    // a user (or one whose name cannot be a folder).
    [[nodiscard]] ConfigFile* userStore();

    // Writes what changed (also done on destruction). False when a changed
    // file could not be written.
    bool save();

private:
    std::filesystem::path path_;
    UserStore users_;
    ConfigFile file_;
    bool present_ = false;
    std::unique_ptr<ConfigFile> user_;
    bool userOpened_ = false;
};

}  // namespace corvane
