#pragma once

// The acquisition object: one SampleRecord per GetSample from whichever
// source is configured (the test file "testFile.txt", the DE-1 box, the
// UvLink, or the plain COM port's text lines; see SampleSource.h), finished
// with the arithmetic they share: absorbance from the source factors or the
// calibration curve, and the ratio. Each stored record that makes a row is
// handed to the record sink (the run writer).
//
// Threads: GetSample runs on the receive thread. SetSourceFactors and
// SetCalibrationCurve come from the user interface and take the sample lock,
// so they never change the computation in the middle of a sample. The link
// takes the same lock while it empties its ring or waits for a key echo
// (sampling pauses meanwhile). Lock order: sample lock -> link locks;
// sample lock -> record sink.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "app/Clock.h"
#include "link/BridgeLibrary.h"
#include "link/LinkLocks.h"
#include "link/SerialPortApi.h"
#include "link/UvLink.h"
#include "recording/De1Source.h"
#include "recording/RecordSink.h"
#include "recording/SampleArithmetic.h"
#include "recording/SampleSource.h"
#include "runs/SampleRecord.h"

namespace corvane {

class LinkSource;
class PlainPortSource;
class Prompter;
class TestFileSource;
class WindowPoster;

// What the reader reaches outside itself.
struct SampleReaderSeams {
    SerialPortApi& ports;     // the plain COM port (and the probe before the link)
    BridgeLibrary& bridge;    // the UvLink's bridge
    Clock& clock;
    Prompter& prompter;
    // The main window; null when there is none.
    WindowPoster* window = nullptr;
    // Where the DE-1 source reports event marks (the recording side); may be null.
    De1EventSink* de1Events = nullptr;
    // Passed to the UvLink: false only for single-threaded tests.
    bool startHeartbeatThread = true;
};

// The construction arguments, in their traditional order.
struct SampleReaderConfig {
    // "testFile.txt", "pressKeyLog.txt" and the settings live here.
    std::filesystem::path workingFolder;
    int comPort = 0;
    std::uint32_t baudRate = 57600;
    // Set: the port is only probed and configured, then the UvLink reads the
    // unit. Clear: the port stays open for the text-line path.
    bool useLink = true;
    // The DE-1 box's open bridge handle; a DE-1 source is made (and takes
    // the handle over) when it is not 0.
    BridgeHandle de1Parameter = 0;
    // Read "testFile.txt" instead of any device.
    bool testFile = false;
    std::uint32_t interByteDelayMs = 2;
    // The DE-1 source's signal offset.
    double de1Value = 0.0;
    // Pace of the test file, samples per second of clock time.
    double testFileRate = 10.0;
    // The source factors A and B the absorbance starts with.
    std::array<double, 2> sourceFactors{2.0, 2.0};
};

class SampleReader {
public:
    // GetSample results (see SampleSource).
    static constexpr int kOk = SampleSource::kOk;
    static constexpr int kNoSource = SampleSource::kNoSource;
    static constexpr int kNoPacket = SampleSource::kNoPacket;
    static constexpr int kZeroSource = SampleSource::kZeroSource;
    static constexpr int kLineTooLong = SampleSource::kLineTooLong;
    static constexpr int kNoLine = SampleSource::kNoLine;
    static constexpr int kNotASample = SampleSource::kNotASample;

    static constexpr double kDefaultSourceFactor = 2.0;
    static constexpr std::int64_t kSettingsLockMs = 2000;  // factors, curve, port commands

    // Opens "testFile.txt" when config.testFile is set ("Error, unable to open
    // testFile.txt" when it cannot be); otherwise opens and configures the
    // port, and with useLink closes it again and makes the UvLink on the same
    // COM number. Makes the DE-1 source when de1Parameter is not 0.
    // A port that cannot be opened sets up neither the link nor the plain
    // path; one that opens but cannot be configured is closed, and the link
    // (which reaches the unit through the bridge library) is still made.
    SampleReader(const SampleReaderSeams& seams, SampleReaderConfig config);
    // Stops and destroys the link, closes the port.
    ~SampleReader();
    SampleReader(const SampleReader&) = delete;
    SampleReader& operator=(const SampleReader&) = delete;

    // One record from the first source present: test file (when its flag is
    // set, even if the file could not be opened: then kNoSource), DE-1 box,
    // link, plain port. 0: `record` holds the new record. Negative: one of
    // the codes above; `record` unchanged except after kZeroSource, where the
    // unusable record has still been stored and handed back.
    //
    // `record` is also input: pass the record of the previous call. The link
    // path carries over from it what a packet does not bring (the other
    // channel's values and positions), and the reported ratio is the one the
    // previous sample completes with this one.
    //
    // The DE-1 source's records keep its own layout (see De1Source.h); its
    // -5 means "no record yet" as the text path's does.
    //
    // Takes the sample lock itself (recursively, so the receive loop may hold
    // it already); kNoPacket when it cannot be had within 100 ms.
    [[nodiscard]] int GetSample(SampleRecord& record);

    // Where each stored record that makes a row goes (null: nowhere). Under
    // the sample lock, so no sample is half-way through a change.
    void setRecordSink(RecordSink* sink);

    // Under the sample lock (at most 2000 ms): new source factors; the
    // calibration curve is dropped. False when the lock could not be had.
    [[nodiscard]] bool SetSourceFactors(double kA, double kB);
    // The calibration pages' curve, used instead of the factors from now on.
    // False when the sample lock could not be had within 2000 ms.
    [[nodiscard]] bool SetCalibrationCurve(const CalibrationCurve& curve);
    [[nodiscard]] std::array<double, 2> sourceFactors() const;
    [[nodiscard]] std::optional<CalibrationCurve> calibrationCurve() const;

    // Stops the link's heartbeat thread and ends every wait of the reader
    // (the test file's pacing) for good.
    void StopLink();

    // --- Sources ---
    // Null when the reader does not read through the link.
    [[nodiscard]] UvLink* link();
    [[nodiscard]] bool hasDe1Source() const { return de1_ != nullptr; }
    [[nodiscard]] De1Source* de1Source() { return de1_.get(); }
    // The port could be opened at construction (whichever path followed).
    [[nodiscard]] bool portOpened() const { return portOpened_; }
    // The plain port is open for the text-line path.
    [[nodiscard]] bool plainPortOpen() const { return plain_ != nullptr; }
    [[nodiscard]] bool testFileOpen() const { return testFile_ != nullptr; }

    // --- Records ---
    [[nodiscard]] SampleRecord currentRecord() const;
    [[nodiscard]] SampleRecord previousRecord() const;

    // The lock the receive loop takes for each turn and the link takes while
    // it commands the unit; the recording controller's "acquisition lock".
    [[nodiscard]] SampleLock& sampleLock() { return sampleLock_; }

    // --- Plain port extras (false without an open plain port) ---
    // Under the sample lock (at most 2000 ms); see PlainPortSource.
    bool Drain();
    [[nodiscard]] bool Ping();

private:
    void openPort(const SampleReaderSeams& seams, const SampleReaderConfig& config);
    // The source GetSample reads, in the order above; null for none.
    [[nodiscard]] SampleSource* activeSource();
    // Finishes a reading, stores it and hands its row on; the GetSample result.
    int take(SourceReading& reading, SampleRecord& record);
    void computeAbsorbances(SampleRecord& r) const;
    // Completes the current record's ratio with the new sample and gives the
    // new record the ratio it reports.
    void applyRatioRule(SampleRecord& next);
    // Makes `next` the current record and hands it back in `record`.
    void store(const SampleRecord& next, SampleRecord& record);

    Clock& clock_;
    SampleLock sampleLock_;
    std::stop_source stop_;

    // Changed under the sample lock and stateMutex_; read under either, so
    // the accessors never wait for a sampling turn.
    mutable std::mutex stateMutex_;
    double kA_ = kDefaultSourceFactor;
    double kB_ = kDefaultSourceFactor;
    std::optional<CalibrationCurve> curve_;
    SampleRecord current_;
    SampleRecord previous_;
    bool haveCurrent_ = false;

    // Under the sample lock.
    RecordSink* sink_ = nullptr;

    const bool testFileFlag_;
    std::unique_ptr<TestFileSource> testFile_;
    std::unique_ptr<PlainPortSource> plain_;
    bool portOpened_ = false;
    std::unique_ptr<De1Source> de1_;
    // Last: destroyed first, so the link's threads end before anything they reach.
    std::unique_ptr<LinkSource> link_;
};

}  // namespace corvane
