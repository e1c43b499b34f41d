#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Reads a whole file as bytes, retrying for about a second while it is busy
// (interrupted, locked or out of descriptors for a moment). nullopt when it is
// missing, unreadable, or larger than maxBytes.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                                       std::size_t maxBytes);

// Replaces the file's content with bytes so that a crash, a power cut or a
// full disk leaves either the old or the new content, never a mix: the bytes
// go to a hidden sibling file, reach the disk (fsync), and the sibling is then
// renamed over the target. An existing file keeps its permissions. False, with
// the old file untouched and no sibling left behind, when anything fails.
[[nodiscard]] bool replaceFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace corvane
