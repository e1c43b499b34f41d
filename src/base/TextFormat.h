#pragma once

#include <string>

namespace corvane {

// printf into a std::string, for header lines and messages (not rows: those
// go through RowText).
[[nodiscard]] std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace corvane
