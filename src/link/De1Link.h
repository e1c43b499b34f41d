#pragma once

// The exchange with the DE-1 interface box: one request byte, one framed
// reply, the signal smoothed over a window of readings, the event input
// latched, and the event-mark output to the fraction collector driven
// through the request byte.
//
// One thread reads (the acquisition loop); RaiseEventMark and the event
// accessors may be called from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "app/Clock.h"
#include "link/BridgeLibrary.h"

namespace corvane {

// One decoded reading.
struct De1Reading {
    double signal = 0.0;        // smoothed raw counts plus the signal offset
    std::uint16_t rawSignal = 0;
    std::uint32_t input2 = 0;   // the event input
    std::uint32_t input3 = 0;
    bool event = false;         // input 2 rose past the event threshold here
    bool eventCounted = false;  // ... and it was not the echo of our own pulse
};

class De1Link {
public:
    static constexpr std::size_t kRingSize = 100;
    // Input 2 above this sets the event latch; below kEventClear clears it.
    static constexpr std::uint32_t kEventSet = 32768;
    static constexpr std::uint32_t kEventClear = 20000;
    // How long the event-mark output stays raised.
    static constexpr std::int64_t kPulseMs = 100;
    // Raw counts of a full-scale signal.
    static constexpr double kFullScaleCounts = 63053.0;

    // Takes over an open bridge handle (closed by the destructor). p is the
    // window setting of the smoothing (see SmoothingWindow).
    De1Link(BridgeLibrary& bridge, Clock& clock, BridgeHandle handle, double signalOffset, double p);
    ~De1Link();
    De1Link(const De1Link&) = delete;
    De1Link& operator=(const De1Link&) = delete;

    // Sends the request byte: 0x20, or 0x30 while the event-mark output is
    // raised. The first 0x30 starts the pulse and arms the skip of the next
    // event (the pulse's own echo on input 2); a request kPulseMs or more
    // later lowers the output and sends 0x20. True when the byte was written.
    [[nodiscard]] bool RequestReading();
    // Reads and checks one reply, smooths the signal and runs the event
    // latch. False on a short reply or a failed check: the signal and the
    // event state stay as they were, and what is left of the reply is purged.
    [[nodiscard]] bool ReadReading(De1Reading& out);

    // Raises the event-mark output; RequestReading lowers it after the pulse.
    void RaiseEventMark();
    [[nodiscard]] bool EventMarkRaised() const;

    [[nodiscard]] int EventCount() const { return eventCount_.load(); }
    [[nodiscard]] bool EventLatched() const { return latched_.load(); }
    [[nodiscard]] bool SkipFirstEvent() const { return skipFirstEvent_.load(); }
    // While non-zero, rises of input 2 set no latch and count nothing.
    void SetEventSuppression(int value) { suppression_.store(value); }
    [[nodiscard]] int EventSuppression() const { return suppression_.load(); }

    void SetWindowSetting(double p);
    [[nodiscard]] int Window() const { return window_.load(); }
    void SetSignalOffset(double offset) { signalOffset_.store(offset); }
    [[nodiscard]] double SignalOffset() const { return signalOffset_.load(); }
    [[nodiscard]] BridgeHandle Handle() const { return handle_; }

    // Readings averaged: 1 below p = 1.0, else the integer part of 100 / p,
    // never more than the ring holds.
    [[nodiscard]] static int SmoothingWindow(double p);
    // The full-scale value of AUFS step 0..7 (steps beyond are clamped).
    [[nodiscard]] static double FullScale(int aufsStep);
    // signal / 63053 x the step's full scale.
    [[nodiscard]] static double Absorbance(double signal, int aufsStep);

private:
    [[nodiscard]] double smooth(std::uint16_t raw);
    void resync();
    void latchEvent(De1Reading& reading);

    BridgeLibrary& bridge_;
    Clock& clock_;
    BridgeHandle handle_;
    // Set from any thread, read by the reading thread.
    std::atomic<double> signalOffset_;
    std::atomic<int> window_;

    std::array<std::uint16_t, kRingSize> ring_{};
    std::size_t ringIndex_ = 0;
    std::size_t ringFill_ = 0;

    mutable std::mutex markMutex_;
    bool markRaised_ = false;
    bool pulseStarted_ = false;
    std::int64_t pulseStartMs_ = 0;

    std::atomic<bool> latched_{false};
    std::atomic<bool> skipFirstEvent_{false};
    std::atomic<int> eventCount_{0};
    std::atomic<int> suppression_{0};
};

}  // namespace corvane
