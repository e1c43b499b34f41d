#include "display/TraceLegend.h"

#include <array>

#include "display/Channels.h"
#include "display/CompareScene.h"
#include "display/GraphView.h"
#include "display/RunTraces.h"
#include "graph/GraphModel.h"

namespace corvane {

namespace {

constexpr std::array<int, 3> kOverlayChannels{kChannelAbsA, kChannelAbsB, kChannelRatio};

// The channel a slot of the view holds, -1 for none.
int channelOfSlot(const GraphView& view, int slot) {
    const Scene& scene = view.scene();
    if (const auto* compare = dynamic_cast<const CompareScene*>(&scene)) {
        const RunDataFile* file = scene.setFile(scene.setOfSlot(slot));
        const bool oneSignal = file != nullptr && (file->isEm1() || file->isProfile());
        return slot >= 4 ? kChannelRatio : oneSignal ? kChannelAbsA : compare->plotType();
    }
    for (int set = 0; set < scene.setCount(); ++set) {
        for (int c = 0; c < kChannelCount; ++c) {
            if (slotOfChannel(view, set, c) == slot) {
                return c;
            }
        }
    }
    return -1;
}

std::string channelName(const GraphView& view, const RunDataFile* file, int channel, int slot) {
    if (file == nullptr) {
        return view.channelCaption(channel);
    }
    if (file->isExport()) {
        const auto& sets = file->exportedSets();
        const auto k = static_cast<std::size_t>(slot);
        return k < sets.size() && !sets[k].name.empty() ? sets[k].name : "Set " + std::to_string(slot + 1);
    }
    if (file->isProfile()) {
        return profileValueTitle(*file);
    }
    if (file->isEm1() && channel == kChannelAbsA) {
        return "Voltage";
    }
    if (file->layout() == RunFileLayout::Fluorescence && channel == kChannelAbsB) {
        return "Fluorescence";
    }
    return kChannelCaptions[static_cast<std::size_t>(channel)];
}

}  // namespace

int slotOfChannel(const GraphView& view, int set, int channel) {
    if (channel < 0 || channel >= kChannelCount || view.scene().comparesSets()) {
        return -1;
    }
    if (set == 0) {
        const RunDataFile* file = view.scene().setFile(0);
        // An export file's sets take slots 0 to 3 whatever the channel.
        if (file != nullptr && file->isExport()) {
            return -1;
        }
        return view.items().slotMap()[static_cast<std::size_t>(channel)];
    }
    if (set == 1 && view.overlayShown()) {
        for (std::size_t k = 0; k < kOverlayChannels.size(); ++k) {
            if (kOverlayChannels[k] == channel) {
                return kOverlaySlotBase + static_cast<int>(k);
            }
        }
    }
    return -1;
}

GraphLegend traceLegend(const GraphView& view, const GraphModel& model, const std::string& liveName) {
    GraphLegend legend;
    const Scene& scene = view.scene();
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        const TraceSlot& drawn = model.slot(slot);
        const int set = scene.setOfSlot(slot);
        const RunDataFile* file = scene.setFile(set);
        const int channel = channelOfSlot(view, slot);
        // A live run's slots fill sample by sample: a channel switched on
        // belongs in the legend from the start.
        const bool liveShown = scene.live() && set == 0 && channel >= 0 && view.axes().channelShown(channel);
        if (drawn.count() == 0 && !liveShown) {
            continue;
        }
        LegendEntry entry;
        entry.set = set;
        entry.colour = drawn.colour;
        entry.dashed = drawn.dashed;
        entry.marks = drawn.markStyle;
        if (entry.marks) {
            entry.name = "Mark";
        } else if (channel >= 0 || (file != nullptr && file->isExport())) {
            entry.name = channelName(view, file, channel, slot);
        } else {
            continue;
        }
        entry.file = file != nullptr ? scene.setPath(set).filename().string() : liveName;
        legend.push_back(std::move(entry));
    }
    return legend;
}

YAxisTitles yAxisTitles(const GraphView& view) {
    const auto& shown = view.axes().shown();
    const bool counts = shown[kChannelSampleA] || shown[kChannelSourceA] || shown[kChannelSampleB] ||
                        shown[kChannelSourceB];
    const bool absorbance = shown[kChannelAbsA] || shown[kChannelAbsB];
    YAxisTitles titles;
    titles.y = absorbance && !counts ? "Absorbance (AU)" : counts && !absorbance ? "Counts" : "Counts / Absorbance (AU)";
    if (view.de1Mode()) {
        titles.y = view.axes().volts() ? "Voltage (V)" : "Absorbance (AU)";
    }
    // A profile of another instrument: its own unit on its axis, and its
    // marks (not a ratio) in the ratio channel.
    const RunDataFile* current = view.scene().comparesSets() ? nullptr : view.scene().setFile(0);
    const bool profile = current != nullptr && current->isProfile();
    if (profile && !view.overlayShown()) {
        titles.y = profileValueTitle(*current);
    }
    const bool ratioOnRight = shown[kChannelRatio] && !view.de1Mode() && !profile;
    const std::string rightProfile = view.rightAxisProfileTitle();
    titles.yy = !rightProfile.empty() ? rightProfile : ratioOnRight ? std::string("Abs A / Abs B") : std::string();
    return titles;
}

}  // namespace corvane
