// The sources on their own: the plain port's ring under a stream faster than
// its lines are taken, and the test file's pacing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "recording/PlainPortSource.h"
#include "recording/TestFileSource.h"

namespace corvane {
namespace {

// A line that always has bytes waiting, until the text is used up.
class StreamingPort : public SerialPort {
public:
    explicit StreamingPort(std::string text) : text_(std::move(text)) {}

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
        got = std::min(n, text_.size() - at_);
        std::memcpy(buffer, text_.data() + at_, got);
        at_ += got;
        return true;
    }
    bool write(const void*, std::size_t n, std::size_t& written) override {
        written = n;
        return true;
    }
    bool purge(bool, bool) override { return true; }
    [[nodiscard]] std::uint32_t lastError() const override { return 0; }

private:
    std::string text_;
    std::size_t at_ = 0;
};

TEST(PlainPortSource, AStreamFasterThanItsLinesFillsTheRingButLosesNoLine) {
    // Each turn reads up to 16 bytes and takes out one line of at most 12:
    // the ring fills, and from then on reads only what a line makes room for.
    std::string text;
    constexpr int kLines = 3000;
    for (int i = 0; i < kLines; ++i) {
        text += std::to_string(i % 10) + ",5,1,1," + std::to_string(i) + "\n";
    }
    ASSERT_GT(text.size(), 8 * PlainPortSource::kRingSize);
    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    PlainPortSource source(std::make_unique<StreamingPort>(text), clock, prompter);

    std::vector<int> positions;
    int quiet = 0;
    for (int turn = 0; turn < 4 * kLines && quiet < 2; ++turn) {
        SourceReading reading;
        const int result = source.read({}, reading);
        if (result == SampleSource::kOk) {
            positions.push_back(static_cast<int>(reading.record.positionA * 100.0 + 0.5));
            EXPECT_EQ(reading.record.sampleA, static_cast<std::uint32_t>(positions.back() % 10));
            EXPECT_EQ(reading.arithmetic, SourceReading::Arithmetic::PlainRatio);
            quiet = 0;
        } else {
            ASSERT_EQ(result, SampleSource::kNoLine);
            ++quiet;
        }
    }
    ASSERT_EQ(positions.size(), static_cast<std::size_t>(kLines));
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(positions[static_cast<std::size_t>(i)], i);
    }
    EXPECT_TRUE(prompter.transcript().empty());
}

TEST(TestFileSource, AStopRequestEndsItsPacingForGood) {
    test::TempDir folder;
    folder.write("testFile.txt", "1000,500,0.5,800,400,0.25,12.5\n");
    test::ManualClock clock;
    std::stop_source stop;
    auto source = TestFileSource::open(folder / "testFile.txt", clock, 100, stop.get_token());
    ASSERT_NE(source, nullptr);
    stop.request_stop();
    SourceReading reading;
    EXPECT_EQ(source->read({}, reading), SampleSource::kOk);
    EXPECT_EQ(reading.record.positionB, 12.5);
    EXPECT_EQ(source->read({}, reading), SampleSource::kNoPacket);
    EXPECT_EQ(clock.nowMs(), 0) << "no pacing waited out after the stop";
    EXPECT_EQ(TestFileSource::open(folder / "missing.txt", clock, 100, {}), nullptr);
}

}  // namespace
}  // namespace corvane
