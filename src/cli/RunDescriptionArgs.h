#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/CalendarTime.h"
#include "cli/CliArgs.h"
#include "runs/Em1RunWriter.h"
#include "runs/RunInfo.h"

namespace corvane::cli {

// What the USER page and the DE-1 SETUP page would have given the run, as
// options of corvane-cli record: --user NAME reads that user's stored
// settings as choosing the user on the USER page does (it reads only),
// --preset FILE takes a preset run file's settings, and each RunInfo field
// has its own option, which wins over both.
struct RunDescriptionArgs {
    std::optional<std::string> user;
    std::optional<std::string> preset;
    std::optional<std::string> experiment;
    std::optional<std::string> rotorMaker;
    std::optional<std::string> rotorModel;
    std::optional<std::string> gradient;
    std::optional<double> gradientFrom;
    std::optional<double> gradientTo;
    std::optional<int> gradientUnits;
    std::optional<std::string> sampleVolume;
    std::optional<std::string> rotorSpeed;
    std::optional<std::string> spinTime;
    std::optional<std::string> w2t;
    std::optional<int> w2tExponent;
    std::optional<int> tubes;
    std::optional<double> temperature;
    std::optional<int> uvUnit;

    // Takes argv[i] (and its value) when it is one of these options.
    InstrumentOptions::Taken take(int argc, char** argv, int& i);
    [[nodiscard]] bool any() const;
};

// The lines of the usage text that describe these options.
[[nodiscard]] const char* runDescriptionUsage();

// The run description and DE-1 setup the options give.
struct RunSetup {
    std::optional<RunInfo> info;             // nothing when no option asks for one
    std::optional<Em1RunWriter::Setup> de1;  // a DE-1 run's settings from the user or the preset
    std::vector<std::string> notes;          // what the operator should hear (an unknown user)
};

// Resolves the options in folder, before anything connects: the user name
// is checked as the folder it names, the preset file read. Nothing on
// failure, with the message in problem; nothing is created or written.
[[nodiscard]] std::optional<RunSetup> resolveRunSetup(const RunDescriptionArgs& args,
                                                      const std::filesystem::path& folder, bool de1,
                                                      const CalendarTime& now, std::string& problem);

}  // namespace corvane::cli
