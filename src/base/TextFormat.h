#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// printf into a std::string, for header lines and messages (not rows: those
// go through RowText).
[[nodiscard]] std::string formatText(const char* format, ...)
#if defined(__MINGW32__)
    // MinGW's own C99 printf (__USE_MINGW_ANSI_STDIO), not the system's.
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Bytes of the well-formed UTF-8 sequence that starts at text[i]; 0 when
// none starts there (a stray byte, an overlong form, a surrogate).
[[nodiscard]] std::size_t utf8Length(std::string_view text, std::size_t i);

// Text from a file or a file name made safe for a terminal and for a
// "key: value" line: control characters (line breaks, escape sequences, NUL,
// the C1 controls) and bytes that are not UTF-8 become a visible \xNN each;
// everything else is kept as it is.
[[nodiscard]] std::string visibleText(std::string_view text);
// The same for a message of several lines: its own line breaks (LF) stay.
[[nodiscard]] std::string visibleLines(std::string_view text);

// A text of several lines (a run's description) kept as one line, where a
// line break would end a settings value or a header line: each line break
// (LF, CR LF or a lone CR) becomes the two characters \n, and a backslash
// becomes \\ . multiLineText undoes it; a backslash before any other
// character is kept as it is, so a line written before stays as it was.
[[nodiscard]] std::string oneLineText(std::string_view text);
[[nodiscard]] std::string multiLineText(std::string_view text);

}  // namespace corvane
