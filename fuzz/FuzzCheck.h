#pragma once

#include <cstdio>
#include <cstdlib>

namespace corvane::fuzz {

// A property the input broke: said on stderr, then a crash for libFuzzer to keep.
inline void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace corvane::fuzz
