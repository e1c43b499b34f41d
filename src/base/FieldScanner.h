#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace corvane {

// Reads the fields of one line the way the run files' scanf formats do
// ("%d, %d, %lf, ..."): a number skips the white space before it, a comma
// must follow the previous field at once, the blank after it matches any
// amount of white space, and whatever follows the last field is ignored.
// Numbers out of range fail instead of wrapping.
class FieldScanner {
public:
    explicit FieldScanner(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    [[nodiscard]] bool integer(std::int32_t& value) {
        skipBlanks();
        const char* from = skipPlus();
        const auto [ptr, ec] = std::from_chars(from, end_, value);
        if (ec != std::errc{}) {
            return false;
        }
        p_ = ptr;
        return true;
    }

    // Decimal or exponent notation, "inf", "infinity" and "nan" with or without sign.
    [[nodiscard]] bool real(double& value) {
        skipBlanks();
        const char* from = skipPlus();
        const auto [ptr, ec] = std::from_chars(from, end_, value, std::chars_format::general);
        if (ec != std::errc{}) {
            return false;
        }
        p_ = ptr;
        return true;
    }

    // ", " of a format: the comma itself, then any white space.
    [[nodiscard]] bool comma() {
        if (p_ == end_ || *p_ != ',') {
            return false;
        }
        ++p_;
        skipBlanks();
        return true;
    }

    // A literal text of a format, with the format's blanks matching any white space.
    [[nodiscard]] bool literal(std::string_view text) {
        for (const char c : text) {
            if (c == ' ') {
                skipBlanks();
            } else if (p_ != end_ && *p_ == c) {
                ++p_;
            } else {
                return false;
            }
        }
        return true;
    }

    void skipBlanks() {
        while (p_ != end_ && isBlank(*p_)) {
            ++p_;
        }
    }

    [[nodiscard]] char peek() const { return p_ == end_ ? '\0' : *p_; }
    [[nodiscard]] bool atEnd() const { return p_ == end_; }
    [[nodiscard]] std::string_view rest() const {
        return {p_, static_cast<std::size_t>(end_ - p_)};
    }

    [[nodiscard]] static bool isBlank(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

private:
    // scanf takes a leading '+', from_chars does not.
    const char* skipPlus() const {
        if (p_ != end_ && *p_ == '+' && p_ + 1 != end_ && p_[1] != '-' && p_[1] != '+') {
            return p_ + 1;
        }
        return p_;
    }

    const char* p_;
    const char* end_;
};

}  // namespace corvane
