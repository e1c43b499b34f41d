// corvane-cli dedupe FILE: the duplicate removal a run gets when it is closed,
// for the file's own layout (two-channel or DE-1).
#include <cstdio>
#include <filesystem>

#include "base/TextFormat.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/FileArgs.h"
#include "cli/ProfileArgs.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCleaner.h"

namespace corvane::cli {

int runDedupe(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: corvane-cli dedupe FILE\n");
        return 2;
    }
    const std::filesystem::path file = argv[1];
    for (const auto& problem : {inputFileProblem("dedupe", file), profileRefusal("dedupe", file)}) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    RunDataFile run;
    const auto status = run.readHeader(file);
    if (status == RunDataFile::ReadStatus::CannotOpen) {
        std::fprintf(stderr, "Error, unable to open file: %s\n", visibleText(argv[1]).c_str());
        return 1;
    }
    // The cleaned file replaces FILE by the rules of every rewrite: a
    // read-only file is refused, a link is written through, the mode is kept.
    ConsolePrompter prompter;
    RunFileCleaner cleaner(prompter);
    const bool ok = run.isEm1() ? cleaner.removeEm1Duplicates(file) : cleaner.removeDuplicates(file);
    prompter.flush(ok ? stdout : stderr);
    return ok ? 0 : 1;
}

}  // namespace corvane::cli
