#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "setup/SpinStepper.h"

namespace corvane {

class Clock;
class ConfigFile;
class Prompter;

inline constexpr const char* kCollectionSection = "[collection]";
// What a stored 0, or no stored value, shows.
inline constexpr double kDefaultCollectionVolume = 5.0;

// The collection vessel volume kept in the settings: the user's file first
// (when a user is known), else "prefs.cfg"; 0 or missing reads as 5.0.
[[nodiscard]] double loadCollectionVolume(const std::filesystem::path& startupFolder,
                                          const std::string& userName);
// "[collection]" "volume" in the user's file (when a user is known) and in
// "prefs.cfg". False when a file could not be written.
bool storeCollectionVolume(const std::filesystem::path& startupFolder, const std::string& userName,
                           double volume);

// The "Collection Vessel Volume" dialog (CCollectionVolumeDlg): how much one
// collection vessel holds, and what piston distance that is in the tube;
// the fractionation kind. Its distance window (CCollectionDistanceDlg)
// shows distanceText().
class CollectionVolumePage {
public:
    static constexpr const char* kPrompt = "Please enter the volume (capacity) of your collection vessels:";
    static constexpr const char* kDistanceCaption = "Corresponds to a maximum fractionation distance of:";
    static constexpr int kStandard = 0;      // "STANDARD FRACTIONATION"
    static constexpr int kAutoAndManual = 1; // "AUTO + MANUAL FRACTIONATION"

    // volumePerMm: the run's (or the standard run's); 0 when none is known.
    CollectionVolumePage(std::filesystem::path startupFolder, std::string userName, double volumePerMm,
                         Prompter& prompter, Clock& clock);

    // The stored volume into the field ("%.2f").
    void open();
    [[nodiscard]] const std::string& text() const { return text_; }
    // The field was edited.
    void setText(std::string text);
    // A spin click: 0.1 ml, a fifth of the value on rapid clicks, never below 0.
    void spin(bool up);
    // "%.2f mm": the maximum fractionation distance, shown while the text is
    // a number. A volume per mm of 0 leaves the read-out as it was.
    [[nodiscard]] const std::optional<std::string>& distanceText() const { return distance_; }

    int kind = kAutoAndManual;

    // OK: the volume must be a number above 0 ("Invalid collection
    // volume."); it is stored. True when the dialog closes; volume() then
    // gives what the window keeps.
    [[nodiscard]] bool ok();
    [[nodiscard]] double volume() const { return volume_; }

private:
    void updateDistance();

    std::filesystem::path startup_;
    std::string user_;
    double volumePerMm_;
    Prompter& prompter_;
    SpinStepper spin_;
    std::string text_;
    std::optional<std::string> distance_;
    double volume_ = kDefaultCollectionVolume;
};

// The hover read-out of one fraction (CHoverDistandVolDlg): its two lines.
[[nodiscard]] std::string fractionDistanceLine(double distanceMm);
[[nodiscard]] std::string fractionVolumeLine(double volumeMl);

}  // namespace corvane
