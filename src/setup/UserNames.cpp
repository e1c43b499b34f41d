#include "setup/UserNames.h"

#include <algorithm>
#include <system_error>

namespace corvane {

std::string userNameOfFolder(const std::string& folderName) {
    const auto dot = folderName.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return folderName;
    }
    return folderName.substr(0, dot);
}

std::vector<std::string> userNamesIn(const std::filesystem::path& usersFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(usersFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) {
            continue;
        }
        const std::string folder = it->path().filename().string();
        if (folder == "." || folder == "..") {
            continue;
        }
        names.push_back(userNameOfFolder(folder));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace corvane
