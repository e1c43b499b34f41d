#include "display/Channels.h"

#include "base/TextFormat.h"

namespace corvane {

std::array<std::string, kChannelCount> readoutTexts(const SampleRecord* latest) {
    std::array<std::string, kChannelCount> texts;
    if (latest == nullptr) {
        return texts;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const double v = channelValue(c, *latest);
        texts[static_cast<std::size_t>(c)] = c == kChannelAbsA || c == kChannelAbsB ? absorbanceText(v)
                                             : c == kChannelRatio                   ? formatText("%.1f", v)
                                                                                    : formatText("%.0f", v);
    }
    return texts;
}

std::string absorbanceText(double absorbance) { return formatText("%.4f", absorbance); }

}  // namespace corvane
