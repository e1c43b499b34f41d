#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runs/PeakCollection.h"

namespace corvane {

// The recording controller as the record buttons and function keys reach it.
// Every call comes on the window's thread and may ask the user questions.
class RecordingCommands {
public:
    virtual ~RecordingCommands() = default;

    [[nodiscard]] virtual bool isRecording() const = 0;
    // The run recording now is a DE-1 run started by OD sensing.
    [[nodiscard]] virtual bool odSensingRun() const { return false; }
    // How far (mm) the event marks of the last DE-1 run lie ahead of its
    // trace: the collector sees a cut only after the dead volume has passed
    // the detector. 0 for a two-channel run.
    [[nodiscard]] virtual double runStartOffsetMm() const { return 0.0; }
    // A DE-1 run collected by peaks: the fractions cut so far (the last one
    // open while it runs), or the last run's table. Empty for other runs.
    [[nodiscard]] virtual std::vector<CollectedFraction> collectedFractions() const { return {}; }
    // "START RECORD (F1)": starts, or stops when recording.
    virtual void startStop() = 0;
    // "ZERO (F2)".
    virtual void zero() = 0;
    // "PAUSE (F3)".
    virtual void pauseResume() = 0;
    // "REFRESH (F4)": the controller clears the traces through the window's
    // clearTraces() under its own lock.
    virtual void refresh() = 0;
    // Stops a running recording as the record button does, its save
    // question included (link lost, closing, "GO TO UPPER LIMIT", "Close
    // Data File").
    virtual void stopRecording() = 0;
    // "GO TO UPPER LIMIT" after any recording was stopped.
    virtual void goToUpperLimit() = 0;
    // A new AUFS step while a DE-1 run records: the change line of the file.
    virtual void aufsChanged(int step) = 0;

    // The captions the two buttons show now ("START RECORD (F1)" / "STOP
    // RECORD (F1)"; "PAUSE (F3)", "Pause (F3)" or "Resume (F3)").
    [[nodiscard]] virtual std::string recordCaption() const = 0;
    [[nodiscard]] virtual std::string pauseCaption() const = 0;
    [[nodiscard]] virtual bool pauseEnabled() const = 0;
    // The samples of the run recording now (or of the last one) that the
    // graph showed while the run recorded: "Recorded %d samples".
    [[nodiscard]] virtual std::int64_t recordedSamples() const = 0;
};

}  // namespace corvane
