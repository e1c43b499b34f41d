#pragma once

// What the whole-file rewrites of FileReplace.h share on every platform: the
// refusals and their messages, the names of the work files, and the clean-up
// of those a killed replacement left. Each platform's FileReplace file does
// the rest with its own calls.

#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>

namespace corvane::replacing {

enum class Refusal { None, ReadOnly, NotRegular, LinkToNothing, Unreachable };

[[nodiscard]] std::error_code errorFor(Refusal refusal);
// The message replaceProblem gives; empty for Refusal::None.
[[nodiscard]] std::string refusalText(Refusal refusal, const std::filesystem::path& path);

// Another program may hold a file for a moment; the attempts are spaced by
// 1 ms, so a file that stays busy is given up after about a second.
inline constexpr int kBusyAttempts = 1000;
// The work file's name ends in this many letters or digits.
inline constexpr std::size_t kSiblingSuffixLength = 6;

[[nodiscard]] std::filesystem::path folderOf(const std::filesystem::path& file);
// ".NAME.replacing-": with kSiblingSuffixLength letters or digits after it, a
// name nobody else gives a file, so a leftover is known by it.
[[nodiscard]] std::string siblingPrefix(const std::filesystem::path& file);
// Removes the work files in file's folder left by a replacement that was
// killed half-way, of any file there (a file that is seldom replaced again,
// a run cleaned once after its recording, must not keep its leftover for
// ever), never one that a writer still holds.
void removeLeftoverSiblings(const std::filesystem::path& file);

}  // namespace corvane::replacing
