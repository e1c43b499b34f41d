#include "runs/ProfileText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "base/TextFormat.h"

namespace corvane {

namespace {

// Control bytes are looked for this far: junk shows itself at once, and a
// text file never has them (the rows' own checks catch any later).
constexpr std::size_t kBinaryCheckBytes = 64 * 1024;

// A number field longer than this is no number of any profile.
constexpr std::size_t kMaxNumberText = 64;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    constexpr char32_t kReplacement = 0xFFFD;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : static_cast<char32_t>(u));
    }
    return out;
}

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') || c == 0x7F;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

}  // namespace

ProfileText::ProfileText(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        text_ = bytes.substr(3);
    } else if (bytes.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        converted_ = fromUtf16(bytes.substr(2), at(0) == 0xFE);
        text_ = converted_;
    } else if (bytes.size() >= 4 && at(0) != 0 && at(0) < 0x80 && at(1) == 0 && at(2) != 0 && at(3) == 0) {
        // Text written as UTF-16 without a mark (a spreadsheet's "Unicode text").
        converted_ = fromUtf16(bytes, false);
        text_ = converted_;
    } else if (bytes.size() >= 4 && at(0) == 0 && at(1) != 0 && at(1) < 0x80 && at(2) == 0 && at(3) != 0) {
        converted_ = fromUtf16(bytes, true);
        text_ = converted_;
    } else {
        text_ = bytes;
    }
    const std::size_t checked = std::min(text_.size(), kBinaryCheckBytes);
    for (std::size_t i = 0; i < checked; ++i) {
        if (isControl(static_cast<unsigned char>(text_[i]))) {
            error_ = formatText("binary data, not text (byte 0x%02X at offset %zu)",
                                static_cast<unsigned>(static_cast<unsigned char>(text_[i])), i);
            text_ = {};
            return;
        }
    }
}

bool ProfileLines::next(std::string_view& line) {
    if (rest_.empty() || overlong_) {
        return false;
    }
    ++number_;
    const std::size_t scanned = std::min(rest_.size(), kMaxLine + 2);
    const void* lf = std::memchr(rest_.data(), '\n', scanned);
    std::size_t end = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - rest_.data()) : scanned;
    // A lone CR ends a line too (files of older desktop systems).
    if (const void* cr = std::memchr(rest_.data(), '\r', end); cr != nullptr) {
        const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - rest_.data());
        if (at + 1 != end || lf == nullptr) {
            end = at;
        }
    }
    std::size_t next = end;
    if (end < rest_.size()) {
        next += rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n' ? 2 : 1;
    }
    std::size_t length = end;
    if (length > 0 && rest_[length - 1] == '\r') {
        --length;
    }
    if (length > kMaxLine) {
        overlong_ = true;
        return false;
    }
    line = rest_.substr(0, length);
    terminated_ = end < rest_.size();
    rest_.remove_prefix(std::min(next, rest_.size()));
    return true;
}

std::string overlongLineMessage(std::size_t lineNumber) {
    return formatText("line %zu is longer than %zu MB: no profile has such a line", lineNumber,
                      ProfileLines::kMaxLine >> 20);
}

namespace {

// Plain decimals ("-0,001667", "37.9246": most of any profile) exactly as
// from_chars reads them, faster: up to 15 digits make an exact integer, and
// dividing it by an exact power of ten rounds once, correctly. Nothing for
// anything else (exponents, long digit strings), which from_chars reads.
std::optional<double> plainDecimal(std::string_view field, unsigned& used) {
    static constexpr std::array<double, 16> kPowers = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = field[0] == '-';
    if (negative || field[0] == '+') ++i;
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = -1;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<unsigned>(c - '0');
            ++count;
            if (decimals >= 0) ++decimals;
        } else if ((c == '.' || c == ',') && decimals < 0) {
            used = c == '.' ? kDecimalPoint : kDecimalComma;
            decimals = 0;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0 || count > 15) return std::nullopt;
    const double magnitude = static_cast<double>(digits) / kPowers[static_cast<std::size_t>(std::max(decimals, 0))];
    return negative ? -magnitude : magnitude;
}

}  // namespace

bool parseProfileNumber(std::string_view field, double& value, unsigned& marks) {
    if (field.empty() || field.size() > kMaxNumberText) {
        return false;
    }
    unsigned used = 0;
    if (const auto plain = plainDecimal(field, used)) {
        value = *plain;
        marks |= used;
        return true;
    }
    used = 0;
    std::array<char, kMaxNumberText> text{};
    std::size_t n = 0;
    const std::size_t from = field[0] == '+' ? 1 : 0;
    if (from == 1 && (field.size() == 1 || field[1] == '-' || field[1] == '+')) {
        return false;
    }
    for (std::size_t i = from; i < field.size(); ++i) {
        char c = field[i];
        if (c == ',') {
            c = '.';
            used |= kDecimalComma;
        } else if (c == '.') {
            used |= kDecimalPoint;
        } else if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == 'e' || c == 'E')) {
            return false;  // also keeps out "nan", "inf" and hexadecimal
        }
        text[n++] = c;
    }
    if (used == (kDecimalComma | kDecimalPoint)) {
        return false;
    }
    const char* end = text.data() + n;
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ec != std::errc{} || ptr != end || !std::isfinite(value)) {
        return false;
    }
    marks |= used;
    return true;
}

bool isProfileNumber(std::string_view field) {
    double value = 0.0;
    unsigned marks = 0;
    return parseProfileNumber(field, value, marks);
}

std::string_view trimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

std::string quotedForMessage(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string shown = visibleText(text.substr(0, kShown));
    return "\"" + shown + (text.size() > kShown ? "...\"" : "\"");
}

ProfileYUnit profileYUnit(std::string_view stated) {
    stated = trimBlanks(stated);
    if (stated.empty()) {
        return {std::string(kDetectorUnits), 1.0};
    }
    if (equalsIgnoringCase(stated, "mAU")) {
        return {std::string(kAuFromMau), 1e-3};
    }
    return {std::string(stated), 1.0};
}

std::string profileXUnit(std::string_view stated) {
    stated = trimBlanks(stated);
    for (const std::string_view unit : {"ml", "min", "mm", "s"}) {
        if (equalsIgnoringCase(stated, unit)) {
            return std::string(unit);
        }
    }
    return std::string(stated);
}

}  // namespace corvane
