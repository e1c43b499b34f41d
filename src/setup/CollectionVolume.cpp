#include "setup/CollectionVolume.h"

#include "app/ConfigFile.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"

namespace corvane {
namespace {

constexpr double kSpinStep = 0.1;

std::filesystem::path userFileOf(const std::filesystem::path& startup, const std::string& user) {
    return user.empty() ? std::filesystem::path{} : UserStore(startup).settingsPath(user);
}

}  // namespace

double loadCollectionVolume(const std::filesystem::path& startupFolder, const std::string& userName) {
    double stored = 0.0;
    if (const auto path = userFileOf(startupFolder, userName); !path.empty()) {
        stored = ConfigFile(path).getDouble(kCollectionSection, "volume");
    } else {
        stored = Preferences(startupFolder).store().getDouble(kCollectionSection, "volume");
    }
    return stored == 0.0 ? kDefaultCollectionVolume : stored;
}

bool storeCollectionVolume(const std::filesystem::path& startupFolder, const std::string& userName,
                           double volume) {
    bool written = true;
    if (const auto path = userFileOf(startupFolder, userName); !path.empty()) {
        ConfigFile user(path);
        written = user.setDouble(kCollectionSection, "volume", volume) && user.save() >= 0;
    }
    Preferences prefs(startupFolder);
    return prefs.store().setDouble(kCollectionSection, "volume", volume) && prefs.save() && written;
}

CollectionVolumePage::CollectionVolumePage(std::filesystem::path startupFolder, std::string userName,
                                           double volumePerMm, Prompter& prompter, Clock& clock)
    : startup_(std::move(startupFolder)),
      user_(std::move(userName)),
      volumePerMm_(volumePerMm),
      prompter_(prompter),
      spin_(clock, {kSpinStep, 2, true, 0.0, std::nullopt}) {}

void CollectionVolumePage::open() {
    volume_ = loadCollectionVolume(startup_, user_);
    setText(formatText("%.2f", volume_));
}

void CollectionVolumePage::setText(std::string text) {
    text_ = std::move(text);
    updateDistance();
}

void CollectionVolumePage::spin(bool up) {
    if (auto next = spin_.click(text_, up)) {
        setText(std::move(*next));
    }
}

void CollectionVolumePage::updateDistance() {
    const auto volume = scanDouble(text_);
    if (!volume) {
        distance_.reset();
        return;
    }
    if (volumePerMm_ > 0.0) {
        distance_ = formatText("%.2f mm", *volume / volumePerMm_);
    }
}

bool CollectionVolumePage::ok() {
    const auto volume = scanDouble(text_);
    if (!volume || !(*volume > 0.0)) {
        prompter_.message("Invalid collection volume.");
        return false;
    }
    volume_ = *volume;
    if (!storeCollectionVolume(startup_, user_, volume_)) {
        // The window still takes the volume; the user hears it is not kept.
        prompter_.message(formatText("Error, the collection volume could not be saved in %s.",
                                     Preferences::pathIn(startup_).string().c_str()));
    }
    return true;
}

std::string fractionDistanceLine(double distanceMm) {
    return formatText("Fraction Distance = %.2f mm", distanceMm);
}

std::string fractionVolumeLine(double volumeMl) { return formatText("Fraction Volume = %.2f ml", volumeMl); }

}  // namespace corvane
