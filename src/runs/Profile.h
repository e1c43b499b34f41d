#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/CalendarTime.h"

namespace corvane {

class RunDataFile;

// Where a profile came from: our own run files, or another instrument's.
enum class ProfileFormat { Corvane, Pks, Asc, Table };

// The stable lower-case name of a format ("corvane", "pks", "asc", "table").
[[nodiscard]] const char* profileFormatName(ProfileFormat format);

// A place on the x axis the file marks: a fraction change, an event.
struct ProfileMark {
    double x = 0.0;
    std::string label;

    bool operator==(const ProfileMark&) const = default;
};

// One signal against its own x, as every reader of a run or of another
// instrument's file gives it. The analysis works on this alone, so a profile
// recorded elsewhere is analysed exactly as one of ours. x is kept in the
// file's order and need not be evenly spaced (a table that went through a
// statistics program lost rows).
struct Profile {
    ProfileFormat format = ProfileFormat::Corvane;
    std::string name;                       // the file's name, without its folder
    std::optional<CalendarTime> recorded;   // where the file says when
    std::string channel;                    // "absA", "Val", the column's name
    std::string xName;                      // what the file calls its x ("El Tm", "Volume (ml)"), if anything
    std::string xUnit;                      // "mm", "min", "ml", "sample"; empty where the file states none
    std::string yUnit;                      // "AU", "mAU", "detector units"
    std::vector<double> x;
    std::vector<double> y;                  // same length as x
    std::vector<ProfileMark> marks;

    [[nodiscard]] std::size_t size() const { return y.size(); }
};

// The channels of a two-channel run, in the order the program numbers them
// (0-6); a DE-1 run has one, its absorbance.
enum class RunChannel { SampleA, SourceA, AbsA, SampleB, SourceB, AbsB, Ratio };

// "absA", "ratio", ... (case ignored) or "0".."6"; nothing for anything else.
[[nodiscard]] std::optional<RunChannel> parseRunChannel(std::string_view name);
[[nodiscard]] const char* runChannelName(RunChannel channel);

// A run file of ours as a profile: the channel against piston position (mm),
// A's position for A's channels and the ratio, B's for B's; a DE-1 run gives
// its absorbance against distance and its fraction marks whatever channel is
// asked. Nothing for an export file, which holds several runs.
[[nodiscard]] std::optional<Profile> profileFromRun(const RunDataFile& run, std::string_view fileName,
                                                    RunChannel channel = RunChannel::AbsA);

}  // namespace corvane
