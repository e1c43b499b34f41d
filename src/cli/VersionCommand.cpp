#include <cstdio>

#include "app/Version.h"
#include "cli/Commands.h"

namespace corvane::cli {

int runVersion(int, char**) {
    std::printf("Corvane version %s\n", kVersionText);
    return 0;
}

}  // namespace corvane::cli
