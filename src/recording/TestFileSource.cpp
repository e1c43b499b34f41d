#include "recording/TestFileSource.h"

#include <optional>
#include <string_view>
#include <utility>

#include "app/Clock.h"
#include "base/FieldScanner.h"
#include "recording/SampleArithmetic.h"

namespace corvane {
namespace {

std::optional<SampleRecord> parseTestLine(std::string_view line) {
    FieldScanner in(line);
    std::int32_t sampleA = 0;
    std::int32_t sourceA = 0;
    std::int32_t sampleB = 0;
    std::int32_t sourceB = 0;
    double absorbanceA = 0.0;
    double absorbanceB = 0.0;
    double position = 0.0;
    const bool complete = in.integer(sampleA) && in.comma() && in.integer(sourceA) && in.comma() &&
                          in.real(absorbanceA) && in.comma() && in.integer(sampleB) &&
                          in.comma() && in.integer(sourceB) && in.comma() &&
                          in.real(absorbanceB) && in.comma() && in.real(position);
    if (!complete) {
        return std::nullopt;
    }
    SampleRecord r;
    r.sampleA = static_cast<std::uint32_t>(sampleA);
    r.sourceA = static_cast<std::uint32_t>(sourceA);
    r.sampleB = static_cast<std::uint32_t>(sampleB);
    r.sourceB = static_cast<std::uint32_t>(sourceB);
    r.absorbanceA = absorbanceA;
    r.absorbanceB = absorbanceB;
    r.positionA = position;
    r.positionB = position;
    r.ratio = PlainRatio(absorbanceA, absorbanceB);
    return r;
}

}  // namespace

std::unique_ptr<TestFileSource> TestFileSource::open(const std::filesystem::path& path, Clock& clock,
                                                     std::int64_t intervalMs, std::stop_token stop) {
    auto file = openFile(path, "r");
    if (!file) {
        return nullptr;
    }
    return std::unique_ptr<TestFileSource>(
        new TestFileSource(std::move(file), clock, intervalMs, std::move(stop)));
}

TestFileSource::TestFileSource(FileHandle file, Clock& clock, std::int64_t intervalMs,
                               std::stop_token stop)
    : file_(std::move(file)),
      lines_(file_.get()),
      clock_(clock),
      intervalMs_(intervalMs),
      stop_(std::move(stop)) {}

int TestFileSource::read(const SampleRecord&, SourceReading& reading) {
    std::string_view line;
    while (lines_.next(line)) {
        const auto parsed = parseTestLine(line);
        if (!parsed) {
            continue;
        }
        clock_.sleepMs(intervalMs_, stop_);
        reading = SourceReading{.record = *parsed};
        return kOk;
    }
    // The file is used up: wait a sample's time so a loop calling again
    // does not spin.
    clock_.sleepMs(intervalMs_, stop_);
    return kNoPacket;
}

}  // namespace corvane
