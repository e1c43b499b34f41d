#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Names the user types that become folder or file names (user names, run
// names) must stay one plain name inside their folder. Returns the message to
// show when the name cannot be used, empty when it can. Refused: an empty
// name, "/" or "\", "..", "." alone, characters no folder name may hold on
// the desktop platforms (< > : " | ? *), control characters, leading or
// trailing blanks, and names longer than 255 bytes.
[[nodiscard]] std::string folderNameProblem(std::string_view name);

}  // namespace corvane
