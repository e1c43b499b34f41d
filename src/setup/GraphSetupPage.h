#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "runs/RunInfo.h"

namespace corvane {

class Prompter;

// The DE-1 graph axes window (CGRSetupDlg, "SETUP") that comes before the
// DE-1 SETUP page: AUFS, samples per second, the axes and the flow rate,
// kept in "[EM1_Settings]" of "prefs.cfg".
//
// What the axis choice changes here: nothing in the picture. This graph
// draws a DE-1 run as absorbance to the AUFS full scale against the
// distance the piston has moved (or the sample number), never against time
// or volume, and the trace holds no volts. The choices and the flow rate
// are kept in "prefs.cfg" and written into preset runs ("gry_axis",
// "gyx_axis"), so a preset keeps them; the AUFS step and the sample rate
// chosen here are the DE-1 runs' own.
class GraphSetupPage {
public:
    static constexpr int kVolts = 0;  // "0.0-1.0 V"
    static constexpr int kOd254 = 1;
    static constexpr int kOd280 = 2;

    // runInfo: the run description, whose rotor the user's AUFS and rate
    // are remembered for; nothing before a USER page was confirmed.
    GraphSetupPage(std::filesystem::path startupFolder, Prompter& prompter,
                   std::optional<RunInfo> runInfo = std::nullopt);

    [[nodiscard]] static std::vector<std::string> yAxes();      // "0.0-1.0 V", "OD 254", "OD 280"
    [[nodiscard]] static std::vector<std::string> xAxes();      // "Time (sec)", "Time (min)", "Volume (ml)"
    [[nodiscard]] static std::vector<std::string> sampleRates(); // "1" ... "30"

    // Reads the stored choices (10 samples/sec, OD 254 and Time (sec) when
    // none are stored); the AUFS and the rate the user last chose for the
    // rotor, when there are a user and a rotor.
    void open();

    int aufs = 0;
    int samplesEntry = 9;  // entry + 1 samples per second
    int yAxis = kOd254;
    int xAxis = 0;
    std::string flowRate = "0.00";  // ml/min

    // USER or GRAPH: the choices are stored, the AUFS and the rate also for
    // the user's rotor, so the DE-1 SETUP page that follows shows them.
    // False, with the message, when the flow rate is not a number (or
    // prefs.cfg cannot be written).
    [[nodiscard]] bool store();

private:
    [[nodiscard]] bool rotorKnown() const;

    std::filesystem::path startup_;
    Prompter& prompter_;
    std::optional<RunInfo> runInfo_;
};

}  // namespace corvane
