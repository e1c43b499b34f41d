#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

// The user names offered by the name lists: the sub-folders of the users
// folder ("." and ".." and plain files skipped). A name loses everything from
// its last "." on, unless that "." is its first character. Sorted, as a
// folder listing shows them.
[[nodiscard]] std::vector<std::string> userNamesIn(const std::filesystem::path& usersFolder);

// The name as the lists show a folder name.
[[nodiscard]] std::string userNameOfFolder(const std::string& folderName);

}  // namespace corvane
