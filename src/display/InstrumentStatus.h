#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "link/Packets.h"

namespace corvane {

// The instrument status lines; an empty text hides its field.
struct StatusTexts {
    std::string positionSpeed;  // "Position %.2f mm  Speed %.2f mm/sec"
    std::string upperLimit;     // "Upper Limit Switch: Contact" / "... No Contact"
    std::string samplingRate;   // "A/D Sampling Rate: %.1f Hz"
    std::string dutyCycle;      // "Duty Cycle: %d:%d"
    std::string potValue;       // "pot pC Value: %d"
    std::string de1Summary;     // DE-1 mode: "START MODE: ..." and the run's settings
    std::string scanEnd;        // the end of the last scan, until the piston moves down again
    std::string pistonReturn;   // the piston's way up: how far and how long still

    friend bool operator==(const StatusTexts&, const StatusTexts&) = default;
};

// The status lines and the window caption, from the link's statistics and
// the piston moves.
//
// Threads: showPositionAndSpeed from any thread (a device job's move to the
// upper limit), the rest on the window's thread.
class InstrumentStatus {
public:
    // Appended to the caption so a simulated instrument is never taken for
    // the real one.
    void setCaptionSuffix(std::string suffix);
    // A packet debug window is open.
    void setDebugDisplayOn(bool on);
    // "Corvane version %s", or the heartbeat counts while the debug display
    // is on and no data file is shown.
    [[nodiscard]] std::string caption(bool fileShown) const;

    // UserMsg::LinkStats: the heartbeat counts and the unit's state.
    void onLinkStats(std::int32_t heartbeatsReceived, std::int32_t heartbeatsTransmitted,
                     std::uint8_t upperLimitFlag, const std::optional<Cmd0>& lastCmd0);
    // The "Position %.2f mm  Speed %.2f mm/sec" line, and while the piston
    // moves up the line of its way back. A piston moving down starts a
    // scan: the note of the last one's end goes.
    void showPositionAndSpeed(double positionMm, double speedMmPerS);
    // The piston stopped at the end of the scan distance after travelledMm.
    void showScanEnd(double travelledMm);
    // The DE-1 summary; empty outside DE-1 mode.
    void setDe1Summary(std::string text);
    // The link ended: every line but the DE-1 summary empties.
    void clear();
    [[nodiscard]] StatusTexts texts() const;

private:
    mutable std::mutex mutex_;  // everything below
    std::string captionSuffix_;
    bool debugDisplayOn_ = false;
    std::int32_t heartbeatsReceived_ = 0;
    std::int32_t heartbeatsTransmitted_ = 0;
    StatusTexts texts_;
};

}  // namespace corvane
