// corvane-cli: the instrument's tools for the command line. Each command lives
// in its own file and is listed in kCommands below.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/Version.h"
#include "cli/Commands.h"

namespace {

struct Command {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"version", "print the program version", corvane::cli::runVersion},
    {"config", "read or edit a settings file (get, set, remove)", corvane::cli::runConfig},
    {"crc7", "print the packet check byte of hex bytes", corvane::cli::runCrc7},
    {"packet", "decode a captured packet: packet decode HEX...", corvane::cli::runPacket},
    {"info", "show what a run file holds (--json, --rows)", corvane::cli::runInfo},
    {"dedupe", "remove repeated samples from a run file", corvane::cli::runDedupe},
    {"plan", "check a zone plan and write it into a run (a standard run's fractions)", corvane::cli::runPlan},
    {"rescue", "save a lost temporary run under a new name, cleaned", corvane::cli::runRescue},
    {"link", "talk to the Kelvo unit and report what came over the wire", corvane::cli::runLink},
    {"record", "record a run from the instrument and save it (headless)", corvane::cli::runRecord},
    {"align", "find each run's Abs A peak and its offset from a reference run", corvane::cli::runAlign},
    {"export", "write two to four runs side by side, offset or aligned, into one export file",
     corvane::cli::runExport},
    {"analyze", "find each profile's landmarks, regions, areas and P/M ratios (--json, --csv)",
     corvane::cli::runAnalyze},
    {"render", "draw a run's graph page to PNG, BMP, TIFF, PDF or SVG (headless)", corvane::cli::runRender},
};

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: corvane-cli COMMAND [ARGS...]\n"
                 "       corvane-cli --version\n"
                 "The instrument's tools for the command line; 'corvane-cli COMMAND --help'\n"
                 "gives a command's options.\n\ncommands:\n");
    for (const auto& command : kCommands) {
        std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    const std::string_view name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        usage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("corvane-cli (Corvane) %s\n", corvane::kVersionText);
        return 0;
    }
    for (const auto& command : kCommands) {
        if (name == command.name) {
            return command.run(argc - 1, argv + 1);
        }
    }
    std::fprintf(stderr, "corvane-cli: unknown command '%s'\n\n", argv[1]);
    usage(stderr);
    return 2;
}
