#pragma once

// The text sample lines of the plain COM port path: one ASCII line per
// sample, "sampleA,sampleB,sourceA,sourceB,position" (position in hundredths
// of a mm), ended by CR or LF, any run of CR and LF between lines.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace corvane {

struct SampleLine {
    int sampleA = 0;
    int sampleB = 0;
    int sourceA = 0;
    int sourceB = 0;
    int position = 0;  // hundredths of a mm

    friend bool operator==(const SampleLine&, const SampleLine&) = default;
};

// Reads the line as the pattern "%d,%d,%d,%d,%d,%d" would: each number may be
// preceded by white space and a sign, numbers are separated by exactly one
// comma, and reading stops at the first thing that does not fit. The line is
// a sample only when exactly five numbers were read (a sixth makes it not
// one; whatever follows the fifth that is not ",number" is ignored). Numbers
// beyond the int range are clamped to it.
[[nodiscard]] std::optional<SampleLine> ParseSampleLine(std::string_view line);

// Where the first line of a run of received text ends.
struct TextLine {
    enum class Status {
        Complete,    // a line and its ending were found
        Incomplete,  // no CR or LF yet: wait for more bytes (nothing consumed)
        TooLong,     // maxLength characters without CR or LF: drop `consumed`
    };
    Status status = Status::Incomplete;
    std::size_t start = 0;     // where the line begins (after leading CR/LF), also when Incomplete
    std::size_t length = 0;    // characters of the line, ending excluded
    std::size_t consumed = 0;  // bytes to drop: leading CR/LF, line, CR/LF after it
};

// Finds the first line in `text`. Leading CR and LF (the tail of the previous
// line's ending) are skipped; the CR and LF right after the line are consumed
// with it. A line counts as too long once maxLength characters have come
// without an ending among them (so the longest line is maxLength - 1); then
// those characters (and the skipped ones) are consumed.
[[nodiscard]] TextLine FindTextLine(std::span<const char> text, std::size_t maxLength = 256);

}  // namespace corvane
