#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "link/Packets.h"
#include "recording/ReceiveThread.h"
#include "runs/SampleRecord.h"

namespace corvane {

class Clock;
class SampleReader;
class UvLink;

// The Kelvo unit as the LED, CALIBRATE and SCANNING SETUP pages drive it.
//
// One reader at a time: the unit's packets are read by whoever asks first,
// so while a page reads the link itself (its reader thread, a sequence, the
// calibration) the window's receive thread is held off, and the page's own
// readers take the page lock in turn. Nothing is read twice and nothing is
// stolen.
//
// Threads: any. The acquisition object may be replaced by a new connection;
// the pages ask for it each time.
class SetupUnit {
public:
    // How long a settings packet's echo and a configuration may take.
    static constexpr std::int64_t kConfigurationMs = 4000;

    SetupUnit(Clock& clock, ReceiveHolds& holds, std::function<SampleReader*()> reader);

    [[nodiscard]] Clock& clock() { return clock_; }
    [[nodiscard]] ReceiveHolds& holds() { return holds_; }
    // Null without a connection (or on a DE-1 box).
    [[nodiscard]] SampleReader* reader() const;
    [[nodiscard]] UvLink* link() const;

    // The link to oneself: the receive thread held (a turn under way is let
    // finish) and the page lock taken, for as long as it lives.
    class Exclusive {
    public:
        explicit Exclusive(SetupUnit& unit);
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

    private:
        ReceiveHolds::Guard hold_;
        std::scoped_lock<std::mutex> page_;
    };
    [[nodiscard]] std::mutex& pageLock() { return pageLock_; }

    // Setup mode, then one settings packet within kConfigurationMs. The
    // caller holds Exclusive.
    [[nodiscard]] bool enterSetupMode();
    [[nodiscard]] std::optional<Cmd0> readConfiguration();
    // Sends the whole configuration and waits for the unit to stream it back.
    [[nodiscard]] bool sendConfiguration(const Cmd0Settings& settings);
    // The next settings packet the unit streams, within ms.
    [[nodiscard]] std::optional<Cmd0> nextCmd0(std::int64_t ms);
    [[nodiscard]] std::optional<Cmd2> nextCmd2(std::int64_t ms);
    // The four counts of the newest of up to `samples` settings packets
    // (setup mode entered first); nothing when none came.
    [[nodiscard]] std::optional<SampleRecord> freshCounts(int samples);

private:
    Clock& clock_;
    ReceiveHolds& holds_;
    std::function<SampleReader*()> reader_;
    std::mutex pageLock_;
};

// A page's reader thread: while the page is open it holds the receive
// thread, and turn after turn takes the page lock, reads one packet of the
// page's kind, lets the link parse heartbeats, and tells the page (on this
// thread) after every n-th packet that came. The page hands the news to its
// window's thread itself.
class PageReader {
public:
    // One read of the link, page lock held; true when a packet came.
    using Read = std::function<bool(UvLink&)>;
    using Arrived = std::function<void()>;
    // Between turns: long enough not to spin, short against the stream.
    static constexpr std::int64_t kTurnPauseMs = 2;

    PageReader(SetupUnit& unit, Read read, Arrived arrived, int every = 1);
    // Stops and joins; the receive thread runs again afterwards.
    ~PageReader();
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    [[nodiscard]] bool finished() const { return finished_.load(); }
    [[nodiscard]] std::int64_t packetsRead() const { return packets_.load(); }

private:
    void run(const std::stop_token& stop);

    SetupUnit& unit_;
    Read read_;
    Arrived arrived_;
    const int every_;
    ReceiveHolds::Guard hold_;
    std::atomic<bool> finished_{false};
    std::atomic<std::int64_t> packets_{0};
    std::jthread thread_;  // last: started once everything else exists
};

}  // namespace corvane
