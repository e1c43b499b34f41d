#pragma once

// The DE-1 interface box as one source of the acquisition stream. The
// SampleReader asks it for one reading per turn; the box's own exchange
// (request byte, reply framing, smoothing, event input, event-mark output)
// lives behind this interface.

#include <cstdint>
#include <functional>
#include <memory>

#include "link/BridgeLibrary.h"
#include "link/SampleRecord.h"

namespace corvane {

class WindowPoster;

// What one DE-1 reading adds to its SampleRecord: the values of its run file
// row (RunRecorder::writeEm1Sample).
struct De1Reading {
    // Piston travel in mm at which the reading was taken (the row's distance).
    double distance = 0.0;
    // The row's absorbance.
    double absorbance = 0.0;
    // The row's raw value: above 0x8000 the reading carries an event mark, at
    // 0xFFFF or more the mark is an automatic fraction (Em1RunWriter's rules).
    std::uint32_t markValue = 0;
};

class De1Source {
public:
    virtual ~De1Source() = default;

    // One reading. 0: `record` holds it (at least absorbance A and both
    // positions = the distance; the rest as the source sees fit) and
    // `reading` its row values. Negative: no reading this turn, `record` and
    // `reading` unchanged (SampleReader::kNoPacket when the box gave none).
    // Called on the receive thread with the sample lock held; it must not
    // block for long (a request and its reply, nothing more).
    [[nodiscard]] virtual int read(SampleRecord& record, De1Reading& reading) = 0;

    // The box has stopped answering (the receive thread reports the link lost).
    [[nodiscard]] virtual bool linkLost() const = 0;
};

// Makes the DE-1 source: the bridge handle of the DE-1 box found by the
// connection (never 0), the main window (may be null) and the signal offset.
// The factory captures whatever else the source needs (bridge library,
// clock, prompter).
using De1SourceFactory =
    std::function<std::unique_ptr<De1Source>(BridgeHandle handle, WindowPoster* window,
                                             double signalOffset)>;

}  // namespace corvane
