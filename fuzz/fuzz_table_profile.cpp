// The table profile reader on arbitrary bytes: a plain table from another
// instrument is read or refused with a reason, never a crash, a hang or
// unbounded memory, and what it reads is a whole profile.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "runs/ProfileReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using corvane::fuzz::check;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first byte picks the y column now and then, so the choosing is fuzzed too.
    corvane::ProfileFileOptions options;
    if (!bytes.empty() && bytes.front() == '3') options.yColumn = "3";
    if (!bytes.empty() && bytes.front() == 'A') options.yColumn = "A";
    const auto read = corvane::readTableProfile(bytes, options);
    check(read.profile.has_value() != !read.error.empty(), "a profile or a reason, never both or neither");
    if (!read.profile) {
        return 0;
    }
    const auto& p = *read.profile;
    check(p.size() > 0 && p.x.size() == p.y.size(), "one x per y, and at least one");
    for (std::size_t i = 0; i < p.size(); ++i) {
        check(std::isfinite(p.x[i]) && std::isfinite(p.y[i]), "every point is a number");
    }
    for (const auto& mark : p.marks) {
        check(std::isfinite(mark.x), "every mark is at a number");
    }
    return 0;
}
