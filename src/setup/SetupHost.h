#pragma once

namespace corvane {

// What the setup pages ask of the main window, without knowing it: the
// window implements this and hands it to the pages it opens.
class SetupHost {
public:
    virtual ~SetupHost() = default;

    // The piston position at the moment of zeroing (SCANNING SETUP's ZERO
    // POSITION), in mm; the scan distance check deducts it.
    virtual void setZeroOffset(double mm) = 0;
    [[nodiscard]] virtual double zeroOffset() const = 0;
    // The link's two position offsets, in mm: the one taken off every
    // computed position, and the target of the move in auto mode.
    virtual void setPositionOffsets(double positionOffsetMm, double targetPositionMm) = 0;

    // Set while the "Scan Setup" command asks "Do you want to do another
    // identical run?"; the modeless SCANNING SETUP reads it.
    virtual void setIdenticalRun(bool on) = 0;
    [[nodiscard]] virtual bool identicalRun() const = 0;
    // Set while a page opens the DE-1 SETUP page from "GO TO GRAPH".
    virtual void setGoToGraph(bool on) = 0;
    [[nodiscard]] virtual bool goToGraph() const = 0;

    // The window shows DE-1 data (a DE-1 source, else the data set on show).
    [[nodiscard]] virtual bool de1Mode() const = 0;
    // The pages are done: the graph is made ready and brought up.
    virtual void showGraph() = 0;
};

}  // namespace corvane
