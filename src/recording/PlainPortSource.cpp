#include "recording/PlainPortSource.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>
#include <utility>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "recording/SampleLine.h"

namespace corvane {

bool PlainPortSource::configure(SerialPort& port, std::uint32_t baudRate) {
    if (!port.setTimeouts({.readTotalConstant = kOpenReadConstantMs})) {
        return false;
    }
    SerialState state;
    if (!port.getState(state)) {
        return false;
    }
    setPlainLine(state, baudRate);
    if (!port.setState(state)) {
        return false;
    }
    char buffer[kOpenDrainReadSize];
    std::size_t got = 0;
    std::size_t drained = 0;
    while (drained < kMaxDrainBytes && port.read(buffer, sizeof buffer, got) && got > 0) {
        drained += got;
    }
    return port.setTimeouts({.readTotalConstant = kSampleReadConstantMs});
}

PlainPortSource::PlainPortSource(std::unique_ptr<SerialPort> port, Clock& clock, Prompter& prompter)
    : port_(std::move(port)), clock_(clock), prompter_(prompter) {}

int PlainPortSource::read(const SampleRecord& carried, SourceReading& reading) {
    // A full ring reads nothing until a line has been taken out of it.
    const std::size_t want = std::min(kReadSize, ring_.room());
    if (want > 0) {
        char bytes[kReadSize];
        std::size_t got = 0;
        if (!port_->read(bytes, want, got)) {
            // On the receive thread: the message is shown later, by the UI.
            prompter_.notify(formatText("Error: %u trying to read serial data.",
                                        static_cast<unsigned>(port_->lastError())));
            return kNoPacket;
        }
        ring_.append(std::span<const char>(bytes, got));
    }
    std::array<char, kRingSize> unread;
    const std::size_t n = ring_.copyUnread(0, unread);
    const TextLine line = FindTextLine(std::span<const char>(unread.data(), n), kMaxLine);
    switch (line.status) {
        case TextLine::Status::Incomplete:
            // Line ends before the partial line are only separators; dropping
            // them keeps a stream of bare line ends from filling the ring.
            ring_.consume(0, line.start);
            return kNoLine;
        case TextLine::Status::TooLong:
            ring_.consume(0, line.consumed);
            return kLineTooLong;
        case TextLine::Status::Complete:
            break;
    }
    const auto parsed = ParseSampleLine(std::string_view(unread.data() + line.start, line.length));
    ring_.consume(0, line.consumed);
    if (!parsed) {
        return kNotASample;
    }
    SampleRecord next = carried;
    next.sampleA = static_cast<std::uint32_t>(parsed->sampleA);
    next.sampleB = static_cast<std::uint32_t>(parsed->sampleB);
    next.sourceA = static_cast<std::uint32_t>(parsed->sourceA);
    next.sourceB = static_cast<std::uint32_t>(parsed->sourceB);
    next.positionA = parsed->position * 0.01;
    next.positionB = next.positionA;
    reading = SourceReading{.record = next, .arithmetic = SourceReading::Arithmetic::PlainRatio};
    return kOk;
}

bool PlainPortSource::Drain() {
    SerialTimeouts saved;
    if (!port_->getTimeouts(saved)) {
        return false;
    }
    SerialTimeouts quick = saved;
    quick.readTotalConstant = kOpenReadConstantMs;
    if (!port_->setTimeouts(quick)) {
        return false;
    }
    char buffer[kDrainReadSize];
    std::size_t got = 0;
    std::size_t drained = 0;
    while (drained < kMaxDrainBytes && port_->read(buffer, sizeof buffer, got) &&
           got == sizeof buffer) {
        drained += got;
    }
    return port_->setTimeouts(saved);
}

bool PlainPortSource::Ping() {
    constexpr std::uint8_t kPing = 0;
    constexpr std::uint8_t kPong = 1;
    std::size_t written = 0;
    if (!port_->write(&kPing, 1, written) || written != 1) {
        return false;
    }
    const Deadline deadline(clock_, kPingMs);
    while (!deadline.expired()) {
        std::uint8_t byte = 0;
        std::size_t got = 0;
        if (!port_->read(&byte, 1, got)) {
            return false;
        }
        if (got == 1 && byte == kPong) {
            return true;
        }
    }
    return false;
}

}  // namespace corvane
