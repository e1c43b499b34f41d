// The plain port's text source with hostile bytes: whatever a device sends,
// in whatever pieces it arrives, its ring neither overflows nor stalls, and
// each record it makes stands on one line end.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "FuzzSilentPrompter.h"
#include "app/Clock.h"
#include "app/Prompter.h"
#include "recording/PlainPortSource.h"

namespace {

using namespace corvane;

// Hands out the input in pieces of 1 to 16 bytes, the piece sizes taken from
// the input's first byte; then nothing, as a silent line would.
class FuzzPort : public SerialPort {
public:
    FuzzPort(std::span<const std::uint8_t> bytes, std::uint8_t pattern)
        : bytes_(bytes), pattern_(pattern) {}

    bool setTimeouts(const SerialTimeouts&) override { return true; }
    bool getTimeouts(SerialTimeouts& timeouts) override {
        timeouts = {};
        return true;
    }
    bool getState(SerialState& state) override {
        state = {};
        return true;
    }
    bool setState(const SerialState&) override { return true; }
    bool read(void* buffer, std::size_t n, std::size_t& got) override {
        const std::size_t piece = 1 + (pattern_ >> (reads_++ % 4 * 2) & 3) * 5;
        got = std::min({n, piece, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, got);
        at_ += got;
        return true;
    }
    bool write(const void*, std::size_t n, std::size_t& written) override {
        written = n;
        return true;
    }
    bool purge(bool, bool) override { return true; }
    [[nodiscard]] std::uint32_t lastError() const override { return 0; }

    [[nodiscard]] bool used() const { return at_ == bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint8_t pattern_;
    std::size_t at_ = 0;
    unsigned reads_ = 0;
};

using fuzz::SilentPrompter;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> text(data + 1, size - 1);
    auto owned = std::make_unique<FuzzPort>(text, data[0]);
    FuzzPort& port = *owned;
    SteadyClock clock;
    SilentPrompter prompter;
    PlainPortSource source(std::move(owned), clock, prompter);

    const auto lineEnds = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](std::uint8_t c) { return c == '\r' || c == '\n'; }));
    std::size_t records = 0;
    // Every call takes bytes from the port or a line from the ring, so the
    // input is used up within this many calls.
    const std::size_t limit = 2 * text.size() + 4;
    std::size_t calls = 0;
    for (;; ++calls) {
        if (calls > limit) {
            std::abort();  // stalled
        }
        SourceReading reading;
        const int code = source.read({}, reading);
        if (code == SampleSource::kOk) {
            ++records;
            if (reading.record.positionA != reading.record.positionB) {
                std::abort();
            }
        } else if (code == SampleSource::kNoLine && port.used()) {
            break;
        } else if (code < SampleSource::kNotASample || code == SampleSource::kNoSource ||
                   code == SampleSource::kZeroSource) {
            std::abort();
        }
    }
    if (records > lineEnds) {
        std::abort();
    }
    return 0;
}
