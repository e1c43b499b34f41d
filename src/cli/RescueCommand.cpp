// corvane-cli rescue TEMPFILE -o NEWFILE [--force]: what "Rescue Lost Data"
// does, without the dialogs: the lost run is copied to NEWFILE with its first
// line naming it, cleaned as a rescue, read back, and only then deleted.
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/FileArgs.h"
#include "cli/ProfileArgs.h"
#include "runs/TempFolder.h"

namespace corvane::cli {

int runRescue(int argc, char** argv) {
    const char* source = nullptr;
    const char* target = nullptr;
    bool force = false;
    bool usage = false;
    for (int i = 1; i < argc && !usage; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-o" && i + 1 < argc && target == nullptr) {
            target = argv[++i];
        } else if (arg == "--force" && !force) {
            force = true;
        } else if (!arg.starts_with("-") && source == nullptr) {
            source = argv[i];
        } else {
            usage = true;
        }
    }
    if (usage || source == nullptr || target == nullptr) {
        std::fprintf(stderr, "usage: corvane-cli rescue TEMPFILE -o NEWFILE [--force]\n"
                             "NEWFILE is never replaced unless --force is given.\n");
        return 2;
    }
    for (const auto& problem :
         {inputFileProblem("rescue", source), profileRefusal("rescue", source),
          outputFileProblem("rescue", target, force), outputIsInputProblem("rescue", target, {source})}) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    std::error_code error;
    const auto tempFolder = std::filesystem::absolute(source, error).parent_path();
    ConsolePrompter prompter;
    prompter.answerFileDialogsWith(target);
    TempFolder temp({std::filesystem::current_path(error), tempFolder}, prompter);
    const bool ok = temp.saveCopy(source, "Choose new filename for lost data", true, {},
                                  force ? ExistingTarget::Replace : ExistingTarget::Keep)
                        .has_value();
    prompter.flush(ok ? stdout : stderr);
    return ok ? 0 : 1;
}

}  // namespace corvane::cli
