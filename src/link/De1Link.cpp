#include "link/De1Link.h"

#include <algorithm>
#include <cmath>

#include "link/De1Reply.h"

namespace corvane {
namespace {

constexpr std::array<double, 8> kFullScale = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0};

}  // namespace

De1Link::De1Link(BridgeLibrary& bridge, Clock& clock, BridgeHandle handle, double signalOffset,
                 double p)
    : bridge_(bridge),
      clock_(clock),
      handle_(handle),
      signalOffset_(signalOffset),
      window_(SmoothingWindow(p)) {}

De1Link::~De1Link() {
    if (handle_ != 0) {
        (void)bridge_.close(handle_);  // going away: nothing is left to retry
    }
}

int De1Link::SmoothingWindow(double p) {
    if (!(p >= 1.0)) {
        return 1;
    }
    const double w = std::floor(100.0 / p);
    return static_cast<int>(std::clamp(w, 1.0, static_cast<double>(kRingSize)));
}

double De1Link::FullScale(int aufsStep) {
    return kFullScale[static_cast<std::size_t>(std::clamp(aufsStep, 0, 7))];
}

double De1Link::Absorbance(double signal, int aufsStep) {
    return signal / kFullScaleCounts * FullScale(aufsStep);
}

void De1Link::SetWindowSetting(double p) { window_.store(SmoothingWindow(p)); }

void De1Link::RaiseEventMark() {
    std::scoped_lock lock(markMutex_);
    markRaised_ = true;
}

bool De1Link::EventMarkRaised() const {
    std::scoped_lock lock(markMutex_);
    return markRaised_;
}

bool De1Link::RequestReading() {
    std::uint8_t request = kDe1RequestReading;
    {
        std::scoped_lock lock(markMutex_);
        if (markRaised_) {
            const auto now = clock_.nowMs();
            if (!pulseStarted_) {
                pulseStarted_ = true;
                pulseStartMs_ = now;
                skipFirstEvent_.store(true);
                request = kDe1RequestWithEventMark;
            } else if (now - pulseStartMs_ >= kPulseMs) {
                markRaised_ = false;
                pulseStarted_ = false;
            } else {
                request = kDe1RequestWithEventMark;
            }
        }
    }
    std::uint32_t written = 0;
    return bridge_.write(handle_, &request, 1, written) == kBridgeOk && written == 1;
}

bool De1Link::ReadReading(De1Reading& out) {
    std::array<std::uint8_t, kDe1MaxReplySize> reply{};
    std::uint32_t got = 0;
    if (bridge_.read(handle_, reply.data(), kDe1HeaderSize, got) != kBridgeOk ||
        got != kDe1HeaderSize) {
        resync();
        return false;
    }
    const auto size = De1ReplySize(reply[0]);
    const auto rest = static_cast<std::uint32_t>(size - kDe1HeaderSize);
    if (bridge_.read(handle_, reply.data() + kDe1HeaderSize, rest, got) != kBridgeOk ||
        got != rest) {
        resync();
        return false;
    }
    const auto fields = DecodeDe1Reply(std::span<const std::uint8_t>(reply.data(), size));
    if (!fields) {
        resync();
        return false;
    }
    De1Reading reading;
    reading.rawSignal = fields->signal;
    reading.input2 = fields->input2;
    reading.input3 = fields->input3;
    reading.signal = smooth(fields->signal) + signalOffset_.load();
    latchEvent(reading);
    out = reading;
    return true;
}

// A short or damaged reply leaves the rest of it, or of a late one, waiting:
// dropped, so that the next reply is read from its first byte. A failed purge
// shows as the next reply's failed check.
void De1Link::resync() { (void)bridge_.purge(handle_, kPurgeRx); }

double De1Link::smooth(std::uint16_t raw) {
    const auto window = static_cast<std::size_t>(window_.load());
    ring_[ringIndex_] = raw;
    ringFill_ = std::min(ringFill_ + 1, window);
    double sum = 0.0;
    for (std::size_t back = 0; back < ringFill_; ++back) {
        sum += ring_[(ringIndex_ + kRingSize - back) % kRingSize];
    }
    ringIndex_ = (ringIndex_ + 1) % kRingSize;
    return sum / static_cast<double>(ringFill_);
}

void De1Link::latchEvent(De1Reading& reading) {
    if (reading.input2 > kEventSet && !latched_.load() && suppression_.load() == 0) {
        latched_.store(true);
        reading.event = true;
        // The pulse we sent comes back on input 2: a mark, but not the
        // collector's, so it is not counted.
        if (skipFirstEvent_.exchange(false)) {
            return;
        }
        eventCount_.fetch_add(1);
        reading.eventCounted = true;
    } else if (reading.input2 < kEventClear) {
        latched_.store(false);
    }
}

}  // namespace corvane
