#include "cli/TerminalKeys.h"

#include <string_view>

namespace corvane::cli {

std::string withoutKeyHint(const std::string& line) {
    constexpr std::string_view kHint = ", press any key to skip";
    const auto at = line.find(kHint);
    return at == std::string::npos ? line : line.substr(0, at) + line.substr(at + kHint.size());
}

}  // namespace corvane::cli
