#pragma once

// The acquisition stream: one SampleRecord per GetSample from whichever
// source is configured (the test file "testFile.txt", the DE-1 box, the
// UvLink, or the plain COM port's text lines), and the run file those
// records are written to while recording.
//
// Threads: GetSample runs on the receive thread. SetSourceFactors,
// SetCalibrationCurve and SetPaused come from the user interface and take the
// sample lock, so they never change the computation in the middle of a
// sample. The link takes the same lock while it empties its ring or waits
// for a key echo (sampling pauses meanwhile). Lock order: sample lock ->
// link locks; sample lock -> recorder lock.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "app/Clock.h"
#include "link/BridgeLibrary.h"
#include "recording/De1Source.h"
#include "link/LinkLocks.h"
#include "link/Packets.h"
#include "runs/SampleRecord.h"
#include "link/SerialPortApi.h"
#include "link/UvLink.h"
#include "base/CalendarTime.h"
#include "base/FileHandle.h"
#include "base/LineReader.h"
#include "runs/RunRecorder.h"

namespace corvane {

class Prompter;
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
    // The run files' date and time.
    CalendarSource calendar = localCalendarTime;
};

// The construction arguments, in their traditional order.
struct SampleReaderConfig {
    // "testFile.txt", "pressKeyLog.txt" and the settings live here; run files
    // are kept in its "TEMP" folder.
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
};

// The four calibration coefficients: absorbance = -log10((r c0 + c1) r) for
// channel A and -log10((r c2 + c3) r) for B, r = sample / source.
struct CalibrationCurve {
    double c0 = 0.0;
    double c1 = 0.0;
    double c2 = 0.0;
    double c3 = 0.0;

    friend bool operator==(const CalibrationCurve&, const CalibrationCurve&) = default;
};

enum class SampleChannel { A, B };

// Where a channel's reading was taken, in mm: the piston position (read as
// signed) less the travel during half the channel's share of the integration
// time and a further 10 ms, less the position offset. `settings` supplies the
// integration time and duty cycle (the packet itself in setup mode, the last
// settings packet in the running modes).
[[nodiscard]] double ChannelPosition(const Cmd0& settings, std::uint16_t uiPistonPos,
                                     std::int16_t iPistonSpeed, SampleChannel channel,
                                     double positionOffset);

class SampleReader {
public:
    // GetSample results.
    static constexpr int kOk = 0;
    static constexpr int kNoSource = -1;
    static constexpr int kNoPacket = -2;      // no packet from the link, or a COM read error
    static constexpr int kZeroSource = -3;    // the new record has a zero source reading
    static constexpr int kLineTooLong = -4;   // 256 characters without a line end, dropped
    static constexpr int kNoLine = -5;        // no complete text line yet
    static constexpr int kNotASample = -6;    // a text line that is not five integers, dropped

    static constexpr double kDefaultSourceFactor = 2.0;
    static constexpr std::size_t kTextRingSize = 4096;
    static constexpr std::size_t kTextReadSize = 16;
    static constexpr std::size_t kMaxTextLine = 256;
    static constexpr std::int64_t kSettingsLockMs = 2000;  // factors, curve, port commands
    static constexpr std::int64_t kPauseLockMs = 100;

    // Plain port time-outs and the probe's reads.
    static constexpr std::uint32_t kOpenReadConstantMs = 10;
    static constexpr std::uint32_t kSampleReadConstantMs = 1000;
    static constexpr std::size_t kOpenDrainReadSize = 64;
    static constexpr std::size_t kDrainReadSize = 256;
    static constexpr std::int64_t kPingMs = 1000;

    // Opens "testFile.txt" when config.testFile is set ("Error, unable to open
    // testFile.txt" when it cannot be); otherwise opens and configures the
    // port, and with useLink closes it again and makes the UvLink on the same
    // COM number. Makes the DE-1 source when de1Parameter is not 0.
    // A port that cannot be opened sets up neither the link nor the plain
    // path; one that opens but cannot be configured is closed, and the link
    // (which reaches the unit through the bridge library) is still made.
    SampleReader(const SampleReaderSeams& seams, SampleReaderConfig config);
    // Closes the run file (kept), stops and destroys the link, closes the port.
    ~SampleReader();
    SampleReader(const SampleReader&) = delete;
    SampleReader& operator=(const SampleReader&) = delete;

    // One record from the first source present: test file, DE-1 box, link,
    // plain port. 0: `record` holds the new record. Negative: one of the
    // codes above; `record` unchanged except after kZeroSource, where the
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
    [[nodiscard]] UvLink* link() { return link_.get(); }
    [[nodiscard]] bool hasDe1Source() const { return de1_ != nullptr; }
    [[nodiscard]] De1Source* de1Source() { return de1_.get(); }
    // The port could be opened at construction (whichever path followed).
    [[nodiscard]] bool portOpened() const { return portOpened_; }
    // The plain port is open for the text-line path.
    [[nodiscard]] bool plainPortOpen() const { return port_ != nullptr; }
    [[nodiscard]] bool testFileOpen() const { return testFile_ != nullptr; }

    // --- Records ---
    [[nodiscard]] SampleRecord currentRecord() const;
    [[nodiscard]] SampleRecord previousRecord() const;

    // The lock the receive loop takes for each turn and the link takes while
    // it commands the unit; the recording controller's "acquisition lock".
    [[nodiscard]] SampleLock& sampleLock() { return sampleLock_; }

    // --- Plain port extras (false without an open plain port) ---
    // Reads and drops what waits on the line (10 ms reads of 256 bytes while
    // a read comes back full), then restores the time-outs.
    bool Drain();
    // Sends the byte 0 and waits up to 1000 ms for the byte 1.
    [[nodiscard]] bool Ping();

    // --- Recording: the run file is this object's ---
    // Open, save-as, close, AUFS change and the DE-1 closing row are the
    // recorder's own operations. Opening a run file starts recording, not
    // paused (and tells the link that a recording has started). A DE-1 run
    // writes a DE-1 row per DE-1 record, a two-channel run a two-channel row
    // per record of the other sources.
    [[nodiscard]] RunRecorder& recorder() { return recorder_; }
    [[nodiscard]] bool OpenRunFile(const std::filesystem::path& path,
                                   const RunDescription& description);
    // A run file is open: each stored record is written unless paused.
    [[nodiscard]] bool isRecording() const { return recorder_.isOpen(); }
    // Under the sample lock (at most 100 ms); false when it could not be had
    // and nothing changed.
    [[nodiscard]] bool SetPaused(bool paused);
    [[nodiscard]] bool isPaused() const { return paused_.load(); }

private:
    class TextRing {
    public:
        [[nodiscard]] std::size_t count() const { return count_; }
        [[nodiscard]] std::size_t room() const { return kTextRingSize - count_; }
        void append(const char* bytes, std::size_t n);
        // The unread bytes, straightened into `out`.
        [[nodiscard]] std::size_t copyUnread(std::array<char, kTextRingSize>& out) const;
        void consume(std::size_t n);

    private:
        std::array<char, kTextRingSize> bytes_{};
        std::size_t write_ = 0;
        std::size_t read_ = 0;
        std::size_t count_ = 0;
    };

    void openPort(const SampleReaderSeams& seams, const SampleReaderConfig& config);
    int readTestFile(SampleRecord& record);
    int readDe1(SampleRecord& record);
    int readLink(SampleRecord& record);
    int readSetupPacket(SampleRecord& record);
    int readRunningPacket(SampleRecord& record);
    int readTextLine(SampleRecord& record);
    void computeAbsorbances(SampleRecord& r) const;
    // Completes the current record's ratio with the new sample and gives the
    // new record the ratio it reports.
    void applyRatioRule(SampleRecord& next);
    // Makes `next` the current record and hands it back in `record`.
    void store(const SampleRecord& next, SampleRecord& record);
    // A row of the run file, unless paused (nothing without an open file).
    void writeRow(const SampleRecord& record);

    Clock& clock_;
    Prompter& prompter_;
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
    std::atomic<bool> paused_{false};

    // Under the sample lock.
    TextRing text_;

    const std::int64_t testFileIntervalMs_;
    const bool testFileFlag_;
    FileHandle testFile_;
    std::unique_ptr<LineReader> testLines_;
    std::unique_ptr<SerialPort> port_;
    bool portOpened_ = false;
    std::unique_ptr<De1Source> de1_;
    RunRecorder recorder_;
    // Last: destroyed first, so its threads end before anything they reach.
    std::unique_ptr<UvLink> link_;
};

}  // namespace corvane
