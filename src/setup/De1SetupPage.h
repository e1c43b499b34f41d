#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "runs/Em1Settings.h"
#include "runs/PresetRunFile.h"
#include "setup/FractionFields.h"
#include "setup/PageDispatcher.h"
#include "setup/PeakFields.h"
#include "setup/SpinStepper.h"

namespace corvane {

class Clock;
class Prompter;
class SetupHost;

// The fields validate-and-store checks, for the highlight of the one that
// failed.
enum class De1Field { None, SamplesPerSec, Wavelength, Speed, Distance, Number, StartType, Tubing, MaxVolume, UserFile, Peaks };

// The DE-1 SETUP page (CEM1SetupDlg): the DE-1 run's parameters, remembered
// in "prefs.cfg" and per user and rotor, checked in order before a run, and
// saved as a preset run file on request. Leaving it for the graph hands the
// settings to the window (SetupHost::setDe1Setup), so every DE-1 run file
// written afterwards carries them.
class De1SetupPage {
public:
    static constexpr double kMinSpeed = 0.10;
    static constexpr double kMaxSpeed = 1.5;
    static constexpr double kMaxDistance = 99.0;
    static constexpr int kMaxNumber = 99;
    static constexpr const char* kSaveTitle = "SAVE RUN PARAMETERS as...";
    static constexpr const char* kTextFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    static constexpr const char* kMarksTooltip =
        "Select the number of event markers being output during the scan (note: does not include "
        "the initial starting marker).";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        SetupHost& host;
        Clock& clock;
    };

    explicit De1SetupPage(Env env);

    [[nodiscard]] static std::vector<std::string> wavelengths();  // "254 nm", "280 nm"
    [[nodiscard]] static std::vector<std::string> sampleRates();  // "1" ... "30"

    // Fills the fields: the defaults, "prefs.cfg", the user's values for the
    // rotor, then the current preset run's, if any.
    void open();

    int aufs = 0;
    int wavelengthEntry = 0;
    int samplesEntry = 9;
    std::string speed = "0.30";
    std::string maxVolume = "5.00";
    std::string tubing = "0";
    int startType = 0;  // "1st Event Mark", "Event with Delay"; -1 none
    bool autozero = false;
    bool autosend = false;
    // "Peaks": collecting by peaks instead of the distances and zones.
    PeakFields peaks;

    [[nodiscard]] FractionFields& fractions() { return fractions_; }
    [[nodiscard]] ZoneTable& zones() { return zones_; }
    // A row's "Number of Fractions" typed: refused at the field, with its
    // message, outside 1..99 (ZoneTable::numberTyped).
    bool zoneNumberTyped(std::size_t row, const std::string& text) {
        return zones_.numberTyped(row, text, env_.prompter);
    }
    // A plan to review in the zone table (the STANDARD RUN window's), with
    // the volume per mm its fraction volumes take when above 0.
    void reviewPlan(const OverlayPlan& plan, double volumePerMm);
    // The zone table as a plan; nothing while it is empty.
    [[nodiscard]] std::optional<OverlayPlan> plan() const;
    [[nodiscard]] De1Field marked() const { return marked_; }
    // The spin arrows beside speed, max. volume and the four fraction fields.
    enum class Spin { Speed, MaxVolume, Total, Number, Distance, Volume };
    void spin(Spin field, bool up);

    // The page's checks in order, each stored as it passes; with messages
    // the first failure is shown (and the volume question asked). True when
    // every check passed.
    [[nodiscard]] bool validateAndStore(bool messages);
    // The settings the fields give (valid fields assumed).
    [[nodiscard]] Em1Settings settings() const;

    // --- Buttons ---
    // GRAPH: zones, checks, the preset question, the settings to the window.
    [[nodiscard]] std::optional<PageStep> graph();
    // USER: back to the USER page, keeping what passes the checks.
    [[nodiscard]] PageStep user();
    void saveSettingsAs();
    void shortCheckList();
    void detailedCheckList();

private:
    // What a field showed when it was filled, and the value it came from: a
    // field left as shown keeps that value, so a round trip through the page
    // changes nothing that is stored.
    struct Shown {
        std::string text;
        double value = 0.0;
    };
    void showTubing(double deadVolume);
    void showMaxVolume(double volume);
    // The dead volume the tubing field gives; nothing when it is not a
    // length of 0 or more.
    [[nodiscard]] std::optional<double> deadVolume() const;
    [[nodiscard]] std::optional<double> maxVolumeValue() const;
    void applyPreset(const PresetRun& preset);
    [[nodiscard]] bool fail(De1Field field, bool messages, const std::string& text);
    [[nodiscard]] bool storeForUser(const Em1Settings& s, bool messages);
    [[nodiscard]] PresetRun presetOfFields() const;
    void askToUpdatePreset();
    void handToWindow();
    [[nodiscard]] bool writePreset(const std::filesystem::path& file, const PresetRun& preset);

    Env env_;
    FractionFields fractions_;
    ZoneTable zones_;
    int autofrac_ = 0;
    std::string planFile_;
    std::optional<PresetRun> preset_;
    De1Field marked_ = De1Field::None;
    Shown tubingShown_;
    Shown maxVolumeShown_;
    SpinStepper speedSpin_;
    SpinStepper volumeSpin_;
    SpinStepper totalSpin_;
    SpinStepper numberSpin_;
    SpinStepper distanceSpin_;
    SpinStepper fractionVolumeSpin_;
};

// The tubing length a dead volume comes from (the inverse of deadVolumeFor);
// 0 for a dead volume no longer than the fixed path.
[[nodiscard]] double tubingLengthFor(double deadVolume);
// "Length of Tubing" as the page shows it: whole millimetres without
// decimals, others with up to two.
[[nodiscard]] std::string tubingText(double lengthMm);

}  // namespace corvane
