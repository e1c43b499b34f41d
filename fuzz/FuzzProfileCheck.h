#pragma once

#include <cmath>
#include <cstddef>

#include "FuzzCheck.h"
#include "runs/ProfileFile.h"

namespace corvane::fuzz {

// What every profile reader promises on any bytes: a profile or a reason,
// never both or neither; a profile is whole (one x per y, at least one
// point) and made of numbers.
inline void checkProfileRead(const ProfileFileResult& read) {
    check(read.profile.has_value() != !read.error.empty(), "a profile or a reason, never both or neither");
    if (!read.profile) {
        return;
    }
    const auto& p = *read.profile;
    check(p.size() > 0 && p.x.size() == p.y.size(), "one x per y, and at least one");
    for (std::size_t i = 0; i < p.size(); ++i) {
        check(std::isfinite(p.x[i]) && std::isfinite(p.y[i]), "every point is a number");
    }
    for (const auto& mark : p.marks) {
        check(std::isfinite(mark.x), "every mark is at a number");
    }
}

}  // namespace corvane::fuzz
