// Holds the single-instance guard in a folder until killed, so a test can
// check the guard across processes. Prints "held" once it holds the guard;
// exits 3 at once when another process holds it.
#include <unistd.h>

#include <cstdio>

#include "app/SingleInstanceGuard.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    auto guard = corvane::SingleInstanceGuard::claim(argv[1]);
    if (!guard) {
        return 3;
    }
    std::printf("held\n");
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}
