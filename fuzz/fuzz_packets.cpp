// Hostile wire bytes through every packet validator, the packet search, the
// text sample line parser and the debug windows' field reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "link/FieldEntry.h"
#include "link/Packets.h"
#include "recording/SampleLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane;
    const std::span<const std::uint8_t> bytes(data, size);

    if (const auto m = FindCmd0(bytes)) {
        // A found packet must re-encode to the very window it came from.
        if (m->offset + kCmd0Size > size || EncodeCmd0(m->packet)[43] != data[m->offset + 43]) {
            std::abort();
        }
        (void)BuildSettingsChange(m->packet);
        (void)SettingsEchoMatches(EncodeCmd0(m->packet), m->packet);
    }
    if (const auto m = FindCmd1(bytes); m && m->offset + kCmd1Size > size) {
        std::abort();
    }
    if (const auto m = FindCmd2(bytes); m && m->offset + kCmd2Size > size) {
        std::abort();
    }

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t at = 0;
    while (at < size) {
        const auto line = FindTextLine(std::span(text.data() + at, size - at));
        if (line.status == TextLine::Status::Incomplete) {
            break;
        }
        if (line.consumed == 0 || line.start + line.length > size - at) {
            std::abort();
        }
        (void)ParseSampleLine(text.substr(at + line.start, line.length));
        at += line.consumed;
    }
    (void)ParseSampleLine(text);
    (void)ParseFieldEntry(text);
    return 0;
}
