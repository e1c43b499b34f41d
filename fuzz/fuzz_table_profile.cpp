// The plain-table profile reader on arbitrary bytes: a table from another
// program is read or refused with a reason, never a crash, a hang or
// unbounded memory, and what it reads is a whole profile.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzProfileCheck.h"
#include "runs/ProfileReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first byte picks the y column now and then, so the choosing is fuzzed too.
    corvane::ProfileFileOptions options;
    if (!bytes.empty() && bytes.front() == '3') options.yColumn = "3";
    if (!bytes.empty() && bytes.front() == 'A') options.yColumn = "A";
    corvane::fuzz::checkProfileRead(corvane::readTableProfile(bytes, options));
    return 0;
}
