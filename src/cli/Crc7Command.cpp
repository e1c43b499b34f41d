#include <cstdio>

#include "cli/Commands.h"
#include "cli/HexArgs.h"
#include "link/Crc7.h"

namespace corvane::cli {

int runCrc7(int argc, char** argv) {
    const auto bytes = ParseHexArgs(argc - 1, argv + 1);
    if (!bytes || bytes->empty()) {
        std::fprintf(stderr,
                     "usage: corvane-cli crc7 HEX...\n"
                     "Prints the packet check byte of the bytes, e.g. crc7 41 BE 00 0A 0D 00 00 00 00\n");
        return 2;
    }
    std::printf("%02X\n", Crc7(*bytes));
    return 0;
}

}  // namespace corvane::cli
