#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "runs/ProfileFile.h"

namespace corvane {

class CompareSets;
class Prompter;

// Opening a plain table of more than two columns (File > Open, the overlay,
// the compare sets) asks which columns are x and y (the first two
// preselected): the options to read it with. Any other file gets the
// defaults without a question. Nothing when the user cancelled.
[[nodiscard]] std::optional<ProfileFileOptions> askTableColumns(Prompter& prompter, const std::filesystem::path& path);

// The same for the files of a compare, in order: a file among `held` (the
// sets shown) keeps the columns it was opened with and is not asked about
// again. Nothing when the user cancelled one.
[[nodiscard]] std::optional<std::vector<ProfileFileOptions>> askCompareColumns(
    Prompter& prompter, const std::vector<std::filesystem::path>& files, const CompareSets& held);

}  // namespace corvane
