#include "runs/Profile.h"

#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <string>

#include "runs/RunDataFile.h"

namespace corvane {

namespace {

constexpr std::array<const char*, 7> kRunChannelNames = {"sampleA", "sourceA", "absA", "sampleB",
                                                         "sourceB", "absB",    "ratio"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

double channelValue(const SampleRecord& s, RunChannel channel) {
    switch (channel) {
        case RunChannel::SampleA: return static_cast<double>(s.sampleA);
        case RunChannel::SourceA: return static_cast<double>(s.sourceA);
        case RunChannel::AbsA: return s.absorbanceA;
        case RunChannel::SampleB: return static_cast<double>(s.sampleB);
        case RunChannel::SourceB: return static_cast<double>(s.sourceB);
        case RunChannel::AbsB: return s.absorbanceB;
        case RunChannel::Ratio: return s.ratio;
    }
    return s.absorbanceA;
}

bool isChannelB(RunChannel channel) {
    return channel == RunChannel::SampleB || channel == RunChannel::SourceB || channel == RunChannel::AbsB;
}

const char* channelUnit(RunChannel channel) {
    switch (channel) {
        case RunChannel::AbsA:
        case RunChannel::AbsB: return "AU";
        case RunChannel::Ratio: return "";
        default: return "counts";
    }
}

}  // namespace

const char* profileFormatName(ProfileFormat format) {
    switch (format) {
        case ProfileFormat::Corvane: return "corvane";
        case ProfileFormat::Pks: return "pks";
        case ProfileFormat::Asc: return "asc";
        case ProfileFormat::Table: return "table";
    }
    return "corvane";
}

std::optional<RunChannel> parseRunChannel(std::string_view name) {
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '6') {
        return static_cast<RunChannel>(name[0] - '0');
    }
    for (std::size_t c = 0; c < kRunChannelNames.size(); ++c) {
        if (equalsIgnoringCase(name, kRunChannelNames[c])) {
            return static_cast<RunChannel>(c);
        }
    }
    return std::nullopt;
}

const char* runChannelName(RunChannel channel) {
    return kRunChannelNames[static_cast<std::size_t>(channel)];
}

std::optional<Profile> profileFromRun(const RunDataFile& run, std::string_view fileName, RunChannel channel) {
    if (!run.hasColumnHeader() || run.isExport()) {
        return std::nullopt;
    }
    Profile profile;
    profile.format = ProfileFormat::Corvane;
    profile.name = std::string(fileName);
    profile.recorded = run.header().recordedAt();
    profile.xUnit = "mm";
    if (run.isEm1()) {
        profile.channel = "absorbance";
        profile.yUnit = "AU";
        for (const Em1Sample& s : run.em1Samples()) {
            // Buffered rows carry no distance and automatic fractions no
            // absorbance: neither is a point of the profile, but a mark still is.
            if (std::isnan(s.distance)) {
                continue;
            }
            if (s.eventMark) {
                std::string label;
                if (s.fraction >= 0) {
                    label = std::to_string(s.fraction);
                } else if (s.fraction == Em1Sample::kRestart) {
                    label = "R";
                } else if (s.fraction == Em1Sample::kAutomatic) {
                    label = "A";
                }
                profile.marks.push_back({s.distance, std::move(label)});
            }
            if (std::isnan(s.absorbance)) {
                continue;
            }
            profile.x.push_back(s.distance);
            profile.y.push_back(s.absorbance);
        }
        return profile;
    }
    profile.channel = runChannelName(channel);
    profile.yUnit = channelUnit(channel);
    const bool onB = isChannelB(channel);
    profile.x.reserve(run.samples().size());
    profile.y.reserve(run.samples().size());
    for (const SampleRecord& s : run.samples()) {
        profile.x.push_back(onB ? s.positionB : s.positionA);
        profile.y.push_back(channelValue(s, channel));
    }
    return profile;
}

}  // namespace corvane

namespace corvane {

RunDataFile RunDataFile::fromProfile(Profile profile) {
    RunDataFile run;
    run.layout_ = RunFileLayout::Profile;
    run.header_.fileTitle = profile.name;
    if (profile.recorded) {
        run.header_.hasDate = true;
        run.header_.hasTime = true;
        run.header_.recorded = *profile.recorded;
    }
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    run.samples_.reserve(profile.size());
    for (std::size_t i = 0; i < profile.size(); ++i) {
        SampleRecord s;
        s.absorbanceA = profile.y[i];
        s.absorbanceB = kNaN;
        s.positionA = profile.x[i];
        s.positionB = profile.x[i];
        run.samples_.push_back(s);
    }
    run.profile_ = std::move(profile);
    return run;
}

}  // namespace corvane
