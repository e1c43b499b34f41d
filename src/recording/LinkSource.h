#pragma once

// The Kelvo unit through the UvLink as a source: settings packets (CMD0) in
// setup mode carry both channels, running-data packets (CMD2) in the running
// modes one channel each. The source owns the link.

#include <memory>

#include "link/UvLink.h"
#include "recording/SampleSource.h"

namespace corvane {

class LinkSource : public SampleSource {
public:
    explicit LinkSource(std::unique_ptr<UvLink> link);
    // Stops the link's threads before the link goes.
    ~LinkSource() override;
    LinkSource(const LinkSource&) = delete;
    LinkSource& operator=(const LinkSource&) = delete;

    // One packet of the kind the unit's mode streams (the link is told which,
    // short packets in the running modes). kNoPacket when none came. A
    // settings packet places only the channels its control bits name; a
    // running packet changes only its own channel, placed by the last
    // settings packet's timing (at 0.0 while there is none).
    [[nodiscard]] int read(const SampleRecord& carried, SourceReading& reading) override;

    [[nodiscard]] UvLink& link() { return *link_; }

private:
    int readSettingsPacket(const SampleRecord& carried, SourceReading& reading);
    int readRunningPacket(const SampleRecord& carried, SourceReading& reading);

    std::unique_ptr<UvLink> link_;
};

}  // namespace corvane
