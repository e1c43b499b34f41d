#pragma once

#include <string>

namespace corvane {

// printf into a std::string, for header lines and messages (not rows: those
// go through RowText).
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
[[nodiscard]] std::string formatText(const char* format, ...);

}  // namespace corvane
