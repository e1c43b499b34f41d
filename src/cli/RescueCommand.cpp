// corvane-cli rescue TEMPFILE -o NEWFILE: what "Rescue Lost Data" does, without
// the dialogs: the lost run is copied to NEWFILE with its first line naming
// it, deleted, and the copy cleaned as a rescue.
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "runs/TempFolder.h"

namespace corvane::cli {

int runRescue(int argc, char** argv) {
    const char* source = nullptr;
    const char* target = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-o" && i + 1 < argc && target == nullptr) {
            target = argv[++i];
        } else if (!arg.starts_with("-") && source == nullptr) {
            source = argv[i];
        } else {
            source = nullptr;
            break;
        }
    }
    if (source == nullptr || target == nullptr) {
        std::fprintf(stderr, "usage: corvane-cli rescue TEMPFILE -o NEWFILE\n");
        return 2;
    }
    std::error_code error;
    const auto tempFolder = std::filesystem::absolute(source, error).parent_path();
    ConsolePrompter prompter;
    prompter.answerFileDialogsWith(target);
    TempFolder temp({std::filesystem::current_path(error), tempFolder}, prompter);
    const bool ok = temp.saveCopy(source, "Choose new filename for lost data", true).has_value();
    prompter.flush(ok ? stdout : stderr);
    return ok ? 0 : 1;
}

}  // namespace corvane::cli
