// The asc profile reader on arbitrary bytes: an .asc file from another
// instrument is read or refused with a reason, never a crash, a hang or
// unbounded memory, and what it reads is a whole profile.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzProfileCheck.h"
#include "runs/ProfileReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    corvane::fuzz::checkProfileRead(corvane::readAscProfile(bytes));
    return 0;
}
