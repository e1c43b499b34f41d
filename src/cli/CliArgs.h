#pragma once

#include <charconv>
#include <string_view>
#include <system_error>

namespace corvane::cli {

// A whole argument as a number: "12x" and "" are refused.
template <class T>
[[nodiscard]] bool parseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace corvane::cli
