#include "setup/GraphSetupPage.h"

#include <algorithm>

#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/Em1SettingsStore.h"

namespace corvane {

GraphSetupPage::GraphSetupPage(std::filesystem::path startupFolder, Prompter& prompter)
    : startup_(std::move(startupFolder)), prompter_(prompter) {}

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
    const Preferences prefs(startup_);
    const auto& store = prefs.store();
    const Em1Settings stored = loadEm1Settings(store);
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
    file.setInt(kEm1Section, "aufs", aufs);
    file.setInt(kEm1Section, "samplespersec", samplesEntry + 1);
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
