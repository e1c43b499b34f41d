#include "display/Channels.h"

#include "base/TextFormat.h"

namespace corvane {

std::array<std::string, kChannelCount> readoutTexts(const SampleRecord* latest) {
    std::array<std::string, kChannelCount> texts;
    if (latest == nullptr) {
        return texts;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const char* format = c == kChannelRatio                        ? "%.1f"
                             : c == kChannelAbsA || c == kChannelAbsB ? "%.6f"
                                                                      : "%.0f";
        texts[static_cast<std::size_t>(c)] = formatText(format, channelValue(c, *latest));
    }
    return texts;
}

}  // namespace corvane
