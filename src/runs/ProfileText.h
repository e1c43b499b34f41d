#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// What the readers of other instruments' profile files share: the bytes as
// UTF-8 text, its lines, numbers written with a decimal point or a decimal
// comma, and the units the files state. Files come from other programs and
// other locales, and any of them may be handed junk: every step here is
// bounded and refuses with a reason instead of guessing.

// A file's bytes as UTF-8 text. A UTF-8 byte-order mark is dropped; UTF-16
// (either byte order, with its mark, or without one when the first character
// is plain ASCII) is converted, a lone surrogate becoming U+FFFD. error() says
// why the bytes are no text (control bytes in the first 64 KiB: binary data).
class ProfileText {
public:
    explicit ProfileText(std::string_view bytes);
    ProfileText(const ProfileText&) = delete;
    ProfileText& operator=(const ProfileText&) = delete;

    [[nodiscard]] std::string_view text() const { return text_; }
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    std::string converted_;
    std::string_view text_;
    std::string error_;
};

// The lines of a text, ended by LF, CR LF or a lone CR. A line longer than
// kMaxLine stops the lines: overlong() then tells, and the reader refuses the
// file (no profile has such a line; a 100 MB line is junk).
class ProfileLines {
public:
    static constexpr std::size_t kMaxLine = 1 << 20;

    explicit ProfileLines(std::string_view text) : rest_(text) {}

    // The next line without its end; false at the end or at an overlong line.
    [[nodiscard]] bool next(std::string_view& line);
    // The 1-based number of the line last given (or refused as overlong).
    [[nodiscard]] std::size_t number() const { return number_; }
    [[nodiscard]] bool overlong() const { return overlong_; }
    // Whether the last line given had a line end.
    [[nodiscard]] bool terminated() const { return terminated_; }

private:
    std::string_view rest_;
    std::size_t number_ = 0;
    bool overlong_ = false;
    bool terminated_ = false;
};

// The message for an overlong line.
[[nodiscard]] std::string overlongLineMessage(std::size_t lineNumber);

// Which decimal marks the numbers of a file used, so that a file mixing them
// (is "1.234" a thousand or one?) is refused rather than read one way.
enum DecimalMark : unsigned { kDecimalPoint = 1U, kDecimalComma = 2U };

// A whole field as a finite number written with a decimal point or a decimal
// comma (never both), an optional sign and exponent; marks gains the mark it
// used. False for anything else ("1,2,3", "nan", "12 ml", "").
[[nodiscard]] bool parseProfileNumber(std::string_view field, double& value, unsigned& marks);

// "1,5" and "1.5" alike, without mark bookkeeping (a column chosen by number).
[[nodiscard]] bool isProfileNumber(std::string_view field);

[[nodiscard]] std::string_view trimBlanks(std::string_view text);
// Without one pair of enclosing double quotes.
[[nodiscard]] std::string_view unquoted(std::string_view text);
// Text from a file for a message: control characters escaped, cut to 40 bytes.
[[nodiscard]] std::string quotedForMessage(std::string_view text);

// The y unit a file states, as a profile carries it: mAU becomes AU (values
// divided by 1000, and the unit says so, as our runs are drawn in AU); no
// unit at all is "detector units"; anything else is kept as written.
struct ProfileYUnit {
    std::string unit;
    double scale = 1.0;
};
[[nodiscard]] ProfileYUnit profileYUnit(std::string_view stated);
inline constexpr std::string_view kDetectorUnits = "detector units";
inline constexpr std::string_view kAuFromMau = "AU (mAU / 1000)";

// The x unit a file states, with the usual spellings of ours ("mL" is "ml",
// "Min" is "min"); anything else kept as written.
[[nodiscard]] std::string profileXUnit(std::string_view stated);

}  // namespace corvane
