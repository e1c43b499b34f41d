#pragma once

#include <filesystem>

namespace corvane {

// The two folders the run files need: the start-up folder ("prefs.cfg", and
// the first choice for scratch files) and its "TEMP" folder.
struct RunFolders {
    std::filesystem::path startup;
    std::filesystem::path temp;
};

}  // namespace corvane
