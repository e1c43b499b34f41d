#include "display/TableColumnChoice.h"

#include <string>

#include "app/Prompter.h"
#include "compare/CompareSets.h"

namespace corvane {

std::optional<ProfileFileOptions> askTableColumns(Prompter& prompter, const std::filesystem::path& path) {
    ProfileFileOptions options;
    const auto columns = tableColumnsOf(path);
    if (!columns || columns->size() <= 2) {
        return options;
    }
    ColumnChoiceRequest request;
    request.fileName = path.filename().string();
    request.columns = *columns;
    const auto chosen = prompter.chooseColumns(request);
    if (!chosen || chosen->x == chosen->y || chosen->x >= columns->size() || chosen->y >= columns->size()) {
        return std::nullopt;
    }
    // By number: two columns may share a name.
    options.xColumn = std::to_string(chosen->x + 1);
    options.yColumn = std::to_string(chosen->y + 1);
    return options;
}

std::optional<std::vector<ProfileFileOptions>> askCompareColumns(Prompter& prompter,
                                                                 const std::vector<std::filesystem::path>& files,
                                                                 const CompareSets& held) {
    std::vector<ProfileFileOptions> readings;
    for (const auto& file : files) {
        if (const auto* set = held.setOf(file)) {
            readings.push_back(set->reading);
            continue;
        }
        auto options = askTableColumns(prompter, file);
        if (!options) {
            return std::nullopt;
        }
        readings.push_back(std::move(*options));
    }
    return readings;
}

}  // namespace corvane
