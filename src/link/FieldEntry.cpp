#include "link/FieldEntry.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace corvane {

namespace {

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::int64_t> scanNumber(const char* p, const char* end, bool hex) {
    while (p != end && std::isspace(static_cast<unsigned char>(*p)) != 0) {
        ++p;
    }
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    bool sawDigit = false;
    if (hex && p != end && *p == '0' && p + 1 != end && p[1] == 'x') {
        // "0x" with no hex digit after it still read the "0".
        sawDigit = true;
        p += 2;
    }
    const int base = hex ? 16 : 10;
    constexpr std::uint64_t kCap = std::numeric_limits<std::uint64_t>::max() / 16;
    std::uint64_t magnitude = 0;
    for (; p != end; ++p) {
        const int digit = digitValue(*p, hex);
        if (digit < 0) {
            break;
        }
        sawDigit = true;
        if (magnitude < kCap) {
            magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        }
    }
    if (!sawDigit) {
        return std::nullopt;
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const auto clamped = static_cast<std::int64_t>(magnitude > kMax ? kMax : magnitude);
    return negative ? -clamped : clamped;
}

template <class T>
T lowBits(std::int64_t value) {
    return static_cast<T>(static_cast<std::uint64_t>(value));
}

}  // namespace

std::optional<std::int64_t> ParseFieldEntry(std::string_view text) {
    // Lower-cased into a bounded copy: a field longer than this is not a number anyone typed.
    char lowered[64];
    const std::size_t n = text.size() < sizeof lowered ? text.size() : sizeof lowered;
    bool hex = false;
    for (std::size_t i = 0; i < n; ++i) {
        lowered[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        hex = hex || lowered[i] == 'x';
    }
    for (std::size_t i = n; i < text.size() && !hex; ++i) {
        hex = text[i] == 'x' || text[i] == 'X';
    }
    return scanNumber(lowered, lowered + n, hex);
}

FieldEntryResult<Cmd0Bytes> Cmd0FromFieldTexts(const Cmd0FieldTexts& t) {
    struct Check {
        std::string_view text;
        std::string_view message;
    };
    const Check checks[] = {
        {t.ucDutyCycleA, "Invalid duty cycle."},
        {t.ucWavelenghtA, "Invalid wavelength for A"},
        {t.ucWavelenghtB, "Invalid wavelength for B"},
        {t.ucATODGain, "Invalid A to D gain"},
        {t.ucRotor, "Invalid rotor value"},
        {t.uiIntegrationTime, "Invalid integration time."},
        {t.iScanSpeed, "Invalid scan speed."},
        {t.uiScanDist, "Invalid scan distance."},
        {t.uiTubeTopPistonPos, "Invalid tube top position."},
        {t.uiTubeEndPistonPos, "Invalid tube end position."},
    };
    std::int64_t v[std::size(checks)] = {};
    for (std::size_t i = 0; i < std::size(checks); ++i) {
        const auto value = ParseFieldEntry(checks[i].text);
        if (!value) {
            return {std::nullopt, checks[i].message};
        }
        v[i] = *value;
    }
    const Cmd0Settings settings{lowBits<std::uint8_t>(v[0]),  lowBits<std::uint8_t>(v[1]),
                                lowBits<std::uint8_t>(v[2]),  lowBits<std::uint8_t>(v[3]),
                                lowBits<std::uint8_t>(v[4]),  lowBits<std::uint16_t>(v[5]),
                                lowBits<std::int16_t>(v[6]),  lowBits<std::uint16_t>(v[7]),
                                lowBits<std::uint16_t>(v[8]), lowBits<std::uint16_t>(v[9])};
    return {BuildCmd0(settings), {}};
}

FieldEntryResult<Cmd1Bytes> Cmd1FromFieldTexts(const Cmd1FieldTexts& t) {
    const auto control = ParseFieldEntry(t.ucCntlInfo);
    if (!control) {
        return {std::nullopt, "Invalid Cntl Info."};
    }
    const auto status = ParseFieldEntry(t.ucUVMenuStatus);
    if (!status) {
        return {std::nullopt, "Invalid menu status"};
    }
    const auto version = ParseFieldEntry(t.ucUVMenuVersion);
    if (!version) {
        return {std::nullopt, "Invalid menu version"};
    }
    const auto key = ParseFieldEntry(t.ucUVKeyPressed);
    if (!key) {
        return {std::nullopt, "Invalid UV Key Pressed"};
    }
    return {BuildCmd1(lowBits<std::uint8_t>(*key), lowBits<std::uint8_t>(*status),
                      lowBits<std::uint8_t>(*version), lowBits<std::uint8_t>(*control)),
            {}};
}

}  // namespace corvane
