#pragma once

#include <filesystem>
#include <optional>
#include <utility>

#include "app/WindowPoster.h"
#include "runs/Em1RunWriter.h"
#include "runs/RunInfo.h"

namespace corvane {

// What the setup pages ask of the main window, without knowing it: the
// window implements this and hands it to the pages it opens. The window
// owns what the pages fill (the run description, the DE-1 setup) and hands
// it on to the recording, so every run file written afterwards carries it.
//
// Threads: the window's thread (the pages run there).
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
    // Set while the "Scan Setup" command opens SCANNING SETUP: only then
    // (and at ROTOR OK) does the piston go to its upper limit; a page that
    // leads there from LED SETUP or CALIBRATE leaves it where it is.
    virtual void setScanSetupCommand(bool on) = 0;
    [[nodiscard]] virtual bool scanSetupCommand() const = 0;
    // Set while a page opens the DE-1 SETUP page from "GO TO GRAPH".
    virtual void setGoToGraph(bool on) = 0;
    [[nodiscard]] virtual bool goToGraph() const = 0;

    // The window shows DE-1 data (a DE-1 source, else the data set on show).
    [[nodiscard]] virtual bool de1Mode() const = 0;
    // The Kelvo unit is connected: its run description names its own UV
    // unit, and the USER page leads on to its LED SETUP.
    [[nodiscard]] virtual bool kelvoUnit() const { return false; }
    // Every page dispatch starts by hiding the window.
    virtual void hideWindow() = 0;
    // The pages are done: the graph is made ready and brought up.
    virtual void showGraph() = 0;
    // A message to the window: the check lists, the compare window, the
    // setup pages again.
    virtual void post(UserMsg msg) = 0;

    // The run description; nothing until a USER page has been confirmed.
    [[nodiscard]] virtual const std::optional<RunInfo>& runInfo() const = 0;
    virtual void setRunInfo(const RunInfo& info) = 0;
    // The DE-1 settings of the next DE-1 runs; nothing until the DE-1 SETUP
    // page has been left with them (the runs then use those of "prefs.cfg").
    [[nodiscard]] virtual const std::optional<Em1RunWriter::Setup>& de1Setup() const = 0;
    virtual void setDe1Setup(const Em1RunWriter::Setup& setup) = 0;

    // The preset run chosen on the USER page (its file); empty when none.
    virtual void setCurrentPreset(std::filesystem::path file) = 0;
    [[nodiscard]] virtual const std::filesystem::path& currentPreset() const = 0;
    // How the DE-1 runs are triggered (Em1Settings::kEventTriggered,
    // kManualTriggered, kGeneralRecord); the USER page shown follows it.
    virtual void setSignalType(int type) = 0;
    [[nodiscard]] virtual int signalType() const = 0;
    // The channels LED SETUP was given a wavelength for (both until it says
    // otherwise): CALIBRATE calibrates those.
    virtual void setChannelsInUse(bool a, bool b) = 0;
    [[nodiscard]] virtual std::pair<bool, bool> channelsInUse() const = 0;
    // The volume per mm of the standard run shown (its own run's); 0 when
    // none is shown or it names none.
    [[nodiscard]] virtual double standardRunVolumePerMm() const { return 0.0; }
    // The collection vessel volume (ml) and the fractionation kind (0
    // standard, 1 auto + manual) the window keeps.
    virtual void setCollection(double volumeMl, int kind) = 0;
    [[nodiscard]] virtual double collectionVolume() const = 0;
    [[nodiscard]] virtual int fractionationKind() const = 0;
};

}  // namespace corvane
