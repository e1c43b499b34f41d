#include "runs/Em1SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/TextFormat.h"

namespace corvane {
namespace {

// Wavelength list entries: 0 is 254 nm, 1 is 280 nm.
constexpr double kWavelength280 = 280.0;
constexpr double kWavelength254 = 254.0;

int wavelengthEntry(double nm) { return nm == kWavelength280 ? 1 : 0; }

// The keys of both files: plain in "prefs.cfg", with the rotor's two indexes
// in a user's file.
class Keys {
public:
    Keys() = default;
    Keys(int manufacturer, int model) : suffix_(formatText("_%02d_%02d", manufacturer, model)) {}
    [[nodiscard]] std::string operator()(const char* name) const { return name + suffix_; }

private:
    std::string suffix_;
};

bool has(const ConfigFile& file, const std::string& key) {
    return file.getString(kEm1Section, key).has_value();
}

// Collecting by peaks: the numbers as they are; the checks are the page's.
void readPeaks(const ConfigFile& file, const Keys& key, PeakCollection& p) {
    if (!has(file, key("peaks"))) {
        return;
    }
    p.enabled = file.getInt(kEm1Section, key("peaks")) != 0;
    p.startLevel = file.getDouble(kEm1Section, key("peak_start_level"));
    p.endLevel = file.getDouble(kEm1Section, key("peak_end_level"));
    p.startSlope = file.getDouble(kEm1Section, key("peak_start_slope"));
    p.endSlope = file.getDouble(kEm1Section, key("peak_end_slope"));
    p.minWidthMm = file.getDouble(kEm1Section, key("peak_min_width"));
    p.perPeak = std::max(1, file.getInt(kEm1Section, key("peak_fractions")));
    p.betweenEveryMm = file.getDouble(kEm1Section, key("peak_between"));
    p.delayVolumeMl = file.getDouble(kEm1Section, key("peak_delay_volume"));
}

void writePeaks(ConfigFile& file, const Keys& key, const PeakCollection& p) {
    file.setInt(kEm1Section, key("peaks"), p.enabled ? 1 : 0);
    file.setDouble(kEm1Section, key("peak_start_level"), p.startLevel);
    file.setDouble(kEm1Section, key("peak_end_level"), p.endLevel);
    file.setDouble(kEm1Section, key("peak_start_slope"), p.startSlope);
    file.setDouble(kEm1Section, key("peak_end_slope"), p.endSlope);
    file.setDouble(kEm1Section, key("peak_min_width"), p.minWidthMm);
    file.setInt(kEm1Section, key("peak_fractions"), p.perPeak);
    file.setDouble(kEm1Section, key("peak_between"), p.betweenEveryMm);
    file.setDouble(kEm1Section, key("peak_delay_volume"), p.delayVolumeMl);
}

void readFields(const ConfigFile& file, const Keys& key, Em1Settings& s) {
    if (has(file, key("aufs"))) {
        s.aufs = std::clamp(file.getInt(kEm1Section, key("aufs")), 0, 7);
    }
    if (has(file, key("wavelength"))) {
        s.wavelength = file.getInt(kEm1Section, key("wavelength")) == 1 ? kWavelength280
                                                                        : kWavelength254;
    }
    if (const int rate = file.getInt(kEm1Section, key("samplespersec")); rate >= 1) {
        s.samplesPerSec = rate;
    }
    if (const double speed = file.getDouble(kEm1Section, key("speed")); speed > 0.0) {
        s.speed = speed;
    }
    if (has(file, key("distance"))) {
        s.fractionDistance = file.getDouble(kEm1Section, key("distance"));
    }
    if (const int number = file.getInt(kEm1Section, key("number")); number >= 1) {
        s.numberOfFractions = number;
    }
    if (has(file, key("deadvolume"))) {
        s.deadVolume = file.getDouble(kEm1Section, key("deadvolume"));
    }
    if (has(file, key("autosend_eventmarks"))) {
        s.autosendEventMarks = file.getInt(kEm1Section, key("autosend_eventmarks")) != 0;
    }
    if (has(file, key("delaytype"))) {
        s.delayType = file.getInt(kEm1Section, key("delaytype"));
    }
    s.totalDistance = s.fractionDistance * s.numberOfFractions;
    readPeaks(file, key, s.peaks);
}

void writeFields(ConfigFile& file, const Keys& key, const Em1Settings& s) {
    file.setInt(kEm1Section, key("aufs"), s.aufs);
    file.setInt(kEm1Section, key("wavelength"), wavelengthEntry(s.wavelength));
    file.setInt(kEm1Section, key("samplespersec"), static_cast<int>(std::lround(s.samplesPerSec)));
    file.setDouble(kEm1Section, key("speed"), s.speed);
    file.setDouble(kEm1Section, key("distance"), s.fractionDistance);
    file.setInt(kEm1Section, key("number"), s.numberOfFractions);
    file.setDouble(kEm1Section, key("deadvolume"), s.deadVolume);
    file.setInt(kEm1Section, key("autosend_eventmarks"), s.autosendEventMarks ? 1 : 0);
    file.setInt(kEm1Section, key("delaytype"), s.delayType);
    // Files of runs that never collected by peaks get no peak keys.
    if (s.peaks.enabled || has(file, key("peaks"))) {
        writePeaks(file, key, s.peaks);
    }
}

// The autozero switch has no rotor indexes in either file.
void readAutozero(const ConfigFile& file, Em1Settings& s) {
    if (has(file, "autozero_atstart")) {
        s.autozeroAtStart = file.getInt(kEm1Section, "autozero_atstart") != 0;
    }
}

}  // namespace

double deadVolumeFor(double tubingLengthMm) {
    return tubingLengthMm * kTubingVolumePerMm + kFixedPathVolume;
}

Em1Settings loadEm1Settings(const ConfigFile& prefs) {
    Em1Settings s;
    readFields(prefs, Keys(), s);
    readAutozero(prefs, s);
    s.graphXAxisType = prefs.getInt(kEm1Section, "gr_xaxis_type");
    s.graphYAxisType = prefs.getInt(kEm1Section, "gr_yaxis_type");
    return s;
}

void storeEm1Settings(ConfigFile& prefs, const Em1Settings& settings) {
    writeFields(prefs, Keys(), settings);
    prefs.setInt(kEm1Section, "autozero_atstart", settings.autozeroAtStart ? 1 : 0);
    prefs.setInt(kEm1Section, "gr_xaxis_type", settings.graphXAxisType);
    prefs.setInt(kEm1Section, "gr_yaxis_type", settings.graphYAxisType);
}

void storeEm1Peaks(ConfigFile& prefs, const PeakCollection& peaks) {
    if (peaks.enabled || has(prefs, "peaks")) {
        writePeaks(prefs, Keys(), peaks);
    }
}

bool loadUserEm1Settings(const ConfigFile& user, int manufacturer, int model, Em1Settings& settings) {
    if (manufacturer < 0 || model < 0) {
        return false;
    }
    readFields(user, Keys(manufacturer, model), settings);
    readAutozero(user, settings);
    return true;
}

bool storeUserEm1Settings(ConfigFile& user, int manufacturer, int model, const Em1Settings& settings) {
    if (manufacturer < 0 || model < 0) {
        return false;
    }
    writeFields(user, Keys(manufacturer, model), settings);
    user.setInt(kEm1Section, "autozero_atstart", settings.autozeroAtStart ? 1 : 0);
    return true;
}

namespace {

void storeBoth(ConfigFile& prefs, ConfigFile* user, int manufacturer, int model, const char* key, int value) {
    prefs.setInt(kEm1Section, key, value);
    if (user && manufacturer >= 0 && model >= 0) {
        user->setInt(kEm1Section, Keys(manufacturer, model)(key), value);
    }
}

}  // namespace

void storeEm1Aufs(ConfigFile& prefs, ConfigFile* user, int manufacturer, int model, int step) {
    storeBoth(prefs, user, manufacturer, model, "aufs", step);
}

void storeEm1SamplesPerSec(ConfigFile& prefs, ConfigFile* user, int manufacturer, int model, int rate) {
    storeBoth(prefs, user, manufacturer, model, "samplespersec", rate);
}

}  // namespace corvane
