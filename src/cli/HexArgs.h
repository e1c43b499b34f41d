#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::cli {

// Bytes given in hexadecimal on the command line, either one byte per
// argument ("41 BE 00") or run together ("41BE00"), or a mix; spaces, commas
// and colons inside an argument separate bytes too, and a "0x" before a group
// is allowed. Each group needs an even number of digits. nullopt when
// anything else is found.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ParseHexArgs(int argc, char** argv);

}  // namespace corvane::cli
