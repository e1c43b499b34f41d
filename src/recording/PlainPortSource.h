#pragma once

// The plain COM port as a source: one ASCII line per sample,
// "sampleA,sampleB,sourceA,sourceB,position" (see SampleLine.h), gathered in
// a ring of 4096 characters. Reads are never larger than the ring's free
// room, so no received byte is lost; a line of 256 characters without an end
// is dropped (kLineTooLong), and line ends in front of a partial line are
// dropped with kNoLine (they only separate lines), so a stream of bare line
// ends cannot fill the ring and stall it.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/ByteRing.h"
#include "link/SerialPortApi.h"
#include "recording/SampleSource.h"

namespace corvane {

class Clock;
class Prompter;

class PlainPortSource : public SampleSource {
public:
    static constexpr std::size_t kRingSize = 4096;
    static constexpr std::size_t kReadSize = 16;
    static constexpr std::size_t kMaxLine = 256;
    // Time-outs while the port is set up and drained, and while it is sampled.
    static constexpr std::uint32_t kOpenReadConstantMs = 10;
    static constexpr std::uint32_t kSampleReadConstantMs = 1000;
    static constexpr std::size_t kOpenDrainReadSize = 64;
    static constexpr std::size_t kDrainReadSize = 256;
    static constexpr std::int64_t kPingMs = 1000;
    // A unit that never stops talking must not keep a drain reading forever.
    static constexpr std::size_t kMaxDrainBytes = 64 * 1024;

    // Makes an opened port ready for text lines: the opening time-outs, the
    // plain line at baudRate, a drain of what waits (at most kMaxDrainBytes),
    // then the sampling time-outs. False as soon as a step fails.
    [[nodiscard]] static bool configure(SerialPort& port, std::uint32_t baudRate);

    // Takes over a configured port.
    PlainPortSource(std::unique_ptr<SerialPort> port, Clock& clock, Prompter& prompter);

    // Reads what fits into the ring (up to 16 bytes) and takes out the first
    // line: kOk for five integers, else kNoLine, kLineTooLong, kNotASample;
    // kNoPacket on a read error, which is told through Prompter::notify (the
    // caller is the receive thread).
    [[nodiscard]] int read(const SampleRecord& carried, SourceReading& reading) override;

    // Reads and drops what waits on the line (10 ms reads of 256 bytes while
    // a read comes back full, at most kMaxDrainBytes), then restores the
    // time-outs.
    bool Drain();
    // Sends the byte 0 and waits up to 1000 ms of clock time for the byte 1.
    [[nodiscard]] bool Ping();

private:
    std::unique_ptr<SerialPort> port_;
    Clock& clock_;
    Prompter& prompter_;
    ByteRing<char, kRingSize> ring_;
};

}  // namespace corvane
