#include "display/CursorReadouts.h"

#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr std::array<const char*, kChannelCount> kLabelCaptions = {
    "Sample A:", "Source A:", "Abs A:", "Sample B:", "Source B:", "Abs B:", "AbsA/AbsB:"};

[[nodiscard]] bool isCount(int c) {
    return c == kChannelSampleA || c == kChannelSourceA || c == kChannelSampleB || c == kChannelSourceB;
}

[[nodiscard]] std::string valueText(int c, const std::optional<SampleRecord>& sample) {
    if (!sample) {
        return "";
    }
    const double v = channelValue(c, *sample);
    // The ratio of two absorbances is no finer than they are.
    return isCount(c) ? formatText("%d", static_cast<int>(v)) : absorbanceText(v);
}

}  // namespace

std::array<std::string, kChannelCount> cursorValueTexts(const std::optional<SampleRecord>& sample) {
    std::array<std::string, kChannelCount> texts;
    for (int c = 0; c < kChannelCount; ++c) {
        texts[static_cast<std::size_t>(c)] = valueText(c, sample);
    }
    return texts;
}

std::vector<std::string> cursorLabelLines(const std::array<bool, kChannelCount>& shown,
                                          const std::optional<SampleRecord>& current,
                                          const std::optional<SampleRecord>* overlay) {
    std::vector<std::string> lines;
    for (int c = 0; c < kChannelCount; ++c) {
        if (!shown[static_cast<std::size_t>(c)]) {
            continue;
        }
        const char* caption = kLabelCaptions[static_cast<std::size_t>(c)];
        if (overlay == nullptr) {
            lines.push_back(std::string(caption) + " " + valueText(c, current));
        } else if (!isCount(c)) {
            lines.push_back(std::string("CURRENT: ") + caption + " " + valueText(c, current));
            lines.push_back(std::string("OVERLAY: ") + caption + " " + valueText(c, *overlay));
        }
    }
    return lines;
}

std::vector<std::string> compareLabelLines(const std::array<bool, kChannelCount>& shown,
                                           const std::vector<NamedSample>& sets) {
    std::vector<std::string> lines;
    for (const auto& set : sets) {
        for (int c = 0; c < kChannelCount; ++c) {
            if (!shown[static_cast<std::size_t>(c)]) {
                continue;
            }
            const char* caption = c == kChannelAbsB && set.fluorescence ? "Fluorescence:"
                                                                        : kLabelCaptions[static_cast<std::size_t>(c)];
            lines.push_back(formatText("%s, %s ", set.name.c_str(), caption) + valueText(c, set.sample));
        }
    }
    return lines;
}

}  // namespace corvane
