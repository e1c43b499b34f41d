#pragma once

// "testFile.txt" as a source, a development aid: one finished record per
// line "%d,%d,%lf,%d,%d,%lf,%lf" (sample A, source A, absorbance A,
// sample B, source B, absorbance B, position), paced by the clock. Lines of
// another shape are skipped.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stop_token>

#include "base/FileHandle.h"
#include "base/LineReader.h"
#include "recording/SampleSource.h"

namespace corvane {

class Clock;

class TestFileSource : public SampleSource {
public:
    // Null when the file cannot be opened. intervalMs of clock time follows
    // every record (and every call once the file is used up); `stop` ends
    // those waits for good.
    [[nodiscard]] static std::unique_ptr<TestFileSource> open(const std::filesystem::path& path,
                                                              Clock& clock, std::int64_t intervalMs,
                                                              std::stop_token stop);

    // kOk with the next record; kNoPacket once the file is used up.
    [[nodiscard]] int read(const SampleRecord& carried, SourceReading& reading) override;

private:
    TestFileSource(FileHandle file, Clock& clock, std::int64_t intervalMs, std::stop_token stop);

    FileHandle file_;
    LineReader lines_;
    Clock& clock_;
    const std::int64_t intervalMs_;
    std::stop_token stop_;
};

}  // namespace corvane
