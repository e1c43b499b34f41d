#pragma once

#include "runs/SampleRecord.h"

namespace corvane {

// What the recording and the scan sequences show while a run goes on: the
// live traces, the position line and, at the end of a DE-1 run, its span.
// The main window implements it on its graph and status lines; the command
// line prints progress from it.
//
// addSample and showPositionAndSpeed come from the receive thread or from a
// scan sequence's worker; the rest from whichever thread runs a recording
// command. Every call must return quickly and must not call back into the
// recording controller.
class RunDisplay {
public:
    virtual ~RunDisplay() = default;

    // The traces of the current run are emptied (REFRESH, the start of a run,
    // the meniscus found).
    virtual void clearTraces() = 0;
    // One new sample for the traces and the readouts.
    virtual void addSample(const SampleRecord& record) = 0;
    // Repaints the graph now. Callers that add samples in a loop of their own
    // call it at most every 500 ms.
    virtual void redraw() = 0;
    // The x span, in mm, that shows a finished DE-1 run whole.
    virtual void setDe1Span(double mm) = 0;
    // "Position %.2f mm  Speed %.2f mm/sec".
    virtual void showPositionAndSpeed(double positionMm, double speedMmPerS) = 0;
};

}  // namespace corvane
