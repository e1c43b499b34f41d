#include "setup/GraphSetupPage.h"

#include <algorithm>

#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/Em1SettingsStore.h"
#include "setup/UserFile.h"

namespace corvane {

GraphSetupPage::GraphSetupPage(std::filesystem::path startupFolder, Prompter& prompter,
                               std::optional<RunInfo> runInfo)
    : startup_(std::move(startupFolder)), prompter_(prompter), runInfo_(std::move(runInfo)) {}

bool GraphSetupPage::rotorKnown() const {
    return runInfo_ && runInfo_->manufacturerIndex >= 0 && runInfo_->rotorModelIndex >= 0;
}

std::vector<std::string> GraphSetupPage::yAxes() { return {"0.0-1.0 V", "OD 254", "OD 280"}; }
std::vector<std::string> GraphSetupPage::xAxes() { return {"Time (sec)", "Time (min)", "Volume (ml)"}; }

std::vector<std::string> GraphSetupPage::sampleRates() {
    std::vector<std::string> rates;
    for (int rate = 1; rate <= 30; ++rate) {
        rates.push_back(std::to_string(rate));
    }
    return rates;
}

void GraphSetupPage::open() {
    const Em1Settings stored = storedEm1Settings(startup_, runInfo_);
    const Preferences prefs(startup_);
    const auto& store = prefs.store();
    aufs = stored.aufs;
    samplesEntry = std::clamp(static_cast<int>(stored.samplesPerSec) - 1, 0, 29);
    if (store.getString(kEm1Section, "gr_yaxis_type")) {
        yAxis = std::clamp(stored.graphYAxisType, 0, 2);
    }
    xAxis = std::clamp(stored.graphXAxisType, 0, 2);
    flowRate = formatText("%.2f", store.getDouble(kEm1Section, "gr_volumeperminute"));
}

bool GraphSetupPage::store() {
    const auto rate = scanDouble(flowRate);
    if (!rate || *rate < 0.0) {
        prompter_.message("Error, invalid flow rate.");
        return false;
    }
    Preferences prefs(startup_);
    auto& file = prefs.store();
    // The DE-1 SETUP page lays the user's values for the rotor over those of
    // "prefs.cfg": the choice made here goes there too, or the page would
    // bring back the one of the rotor's last run.
    ConfigFile* user = rotorKnown() ? prefs.userStore() : nullptr;
    const int m = runInfo_ ? runInfo_->manufacturerIndex : -1;
    const int r = runInfo_ ? runInfo_->rotorModelIndex : -1;
    storeEm1Aufs(file, user, m, r, aufs);
    storeEm1SamplesPerSec(file, user, m, r, samplesEntry + 1);
    file.setInt(kEm1Section, "gr_aufs", aufs);
    file.setInt(kEm1Section, "gr_xaxis_type", xAxis);
    file.setInt(kEm1Section, "gr_yaxis_type", yAxis);
    file.setString(kEm1Section, "gr_volumeperminute", formatText("%.2f", *rate));
    if (!prefs.save()) {
        prompter_.message(formatText("Error, the graph settings could not be saved in %s.",
                                     prefs.path().string().c_str()));
        return false;
    }
    return true;
}

}  // namespace corvane
