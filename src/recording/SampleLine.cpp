#include "recording/SampleLine.h"

#include <array>
#include <cctype>
#include <climits>

namespace corvane {

namespace {

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// One "%d" conversion at `pos`: white space, an optional sign, at least one
// digit. Clamps to the int range instead of overflowing.
bool scanInt(std::string_view text, std::size_t& pos, int& value) {
    std::size_t i = pos;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
        return false;
    }
    long long magnitude = 0;
    constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
        if (magnitude < kCap) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
        ++i;
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    value = signedValue > INT_MAX ? INT_MAX
            : signedValue < INT_MIN ? INT_MIN
                                    : static_cast<int>(signedValue);
    pos = i;
    return true;
}

}  // namespace

std::optional<SampleLine> ParseSampleLine(std::string_view line) {
    // Six conversions are attempted so that a sixth number can be noticed.
    std::array<int, 6> values{};
    std::size_t converted = 0;
    std::size_t pos = 0;
    while (converted < values.size()) {
        if (converted > 0) {
            if (pos >= line.size() || line[pos] != ',') {
                break;
            }
            ++pos;
        }
        if (!scanInt(line, pos, values[converted])) {
            break;
        }
        ++converted;
    }
    if (converted != 5) {
        return std::nullopt;
    }
    return SampleLine{values[0], values[1], values[2], values[3], values[4]};
}

TextLine FindTextLine(std::span<const char> text, std::size_t maxLength) {
    TextLine line;
    std::size_t start = 0;
    while (start < text.size() && isLineEnd(text[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < text.size() && end - start < maxLength && !isLineEnd(text[end])) {
        ++end;
    }
    if (end - start == maxLength) {
        line.status = TextLine::Status::TooLong;
        line.start = start;
        line.length = maxLength;
        line.consumed = end;
        return line;
    }
    if (end == text.size()) {
        line.start = start;
        return line;  // Incomplete: nothing consumed
    }
    line.status = TextLine::Status::Complete;
    line.start = start;
    line.length = end - start;
    while (end < text.size() && isLineEnd(text[end])) {
        ++end;
    }
    line.consumed = end;
    return line;
}

}  // namespace corvane
