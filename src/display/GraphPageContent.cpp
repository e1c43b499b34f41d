#include "display/GraphPageContent.h"

#include <cmath>

#include "compare/CompareSets.h"
#include "display/GraphCursors.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"
#include "display/StandardRun.h"
#include "runs/Em1RunWriter.h"
#include "runs/RunRecorder.h"

namespace corvane {

namespace {

bool isFluorescence(const RunDataFile* file) {
    return file != nullptr && file->layout() == RunFileLayout::Fluorescence;
}

PageSet pageSet(const RunDataFile* file, const std::filesystem::path& path, const SetPlacement& placement,
                Rgb colour) {
    PageSet set;
    set.fileName = path.filename().string();
    if (file != nullptr) {
        set.recorded = file->header().recordedAt();
    }
    set.placement = placement;
    set.colour = colour;
    return set;
}

// The sample number a readout names: on a sample-number axis the x itself,
// in mm the row nearest the position.
int scanAt(const RunDataFile* file, double x, bool mm, double shift) {
    if (!mm || file == nullptr) {
        return static_cast<int>(std::lround(std::max(0.0, x - shift)));
    }
    const auto& samples = file->samples();
    int best = 0;
    double bestDistance = INFINITY;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double d = std::fabs(samples[i].positionA + shift - x);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

PageFractionation fractionationOf(const GraphOverlays* overlays) {
    if (overlays == nullptr || overlays->standardRun() == nullptr) {
        return PageFractionation::None;
    }
    return overlays->standardRun()->plan().autofrac == 1 ? PageFractionation::AutoAndManual
                                                         : PageFractionation::Standard;
}

}  // namespace

GraphPageContent graphPageContent(const GraphView& view, const GraphCursors& cursors, const GraphOverlays* overlays,
                                  const std::array<Rgb, 6>& colours, const RunDescription* liveDe1) {
    GraphPageContent page;
    const CompareSets* compare = view.compareSets();
    // In a compare window set 0, the reference, stands where the current run would.
    const RunDataFile* file = compare != nullptr ? (compare->empty() ? nullptr : &(*compare)[0].file)
                                                 : view.shownFile();
    const bool mm = view.xAxisType() == XAxisType::Millimetres;
    const bool fluorescence = isFluorescence(file);
    page.xInMm = mm;

    if (compare != nullptr) {
        page.documentTitle = compare->empty() ? std::string("Compare Data Sets") : (*compare)[0].name();
        std::vector<PageSet> sets;
        for (std::size_t k = 0; k < compare->size(); ++k) {
            const int set = static_cast<int>(k);
            sets.push_back(pageSet(&(*compare)[k].file, (*compare)[k].path, view.offsets().placement(set),
                                   colours[k]));
        }
        page.compareLegend = compareLegend(sets);
    } else {
        page.documentTitle = view.fileShown() ? view.shownPath().filename().string() : std::string("Live run");
        // The ratio has its own axis on the right, except on DE-1 data,
        // where its channel holds the event marks.
        page.yyLabels = view.channelShown(kChannelRatio) && !view.de1Mode();
        std::vector<PageSet> sets;
        sets.push_back(pageSet(file, view.fileShown() ? view.shownPath() : std::filesystem::path(page.documentTitle),
                               view.offsets().placement(0), colours[0]));
        if (view.overlayShown()) {
            sets.push_back(pageSet(view.overlay(), view.overlayPath(), view.offsets().placement(1), colours[3]));
            page.overlayLegend = overlayLegend(colours, fluorescence);
        }
        page.header = headerTable(sets);
    }

    const auto at = cursors.mainPosition();
    if (at && compare == nullptr) {
        const std::filesystem::path current = view.fileShown() ? view.shownPath() : std::filesystem::path();
        page.readouts.push_back(runReadout("CURRENT:", current.parent_path().filename().string(),
                                           view.fileShown() ? current.filename().string() : page.documentTitle,
                                           view.currentSampleAt(*at), scanAt(file, *at, mm, view.xShiftOf(0)),
                                           fluorescence));
        if (view.overlayShown()) {
            page.readouts.push_back(runReadout("OVERLAY:", view.overlayPath().parent_path().filename().string(),
                                               view.overlayPath().filename().string(), view.overlaySampleAt(*at),
                                               scanAt(view.overlay(), *at, mm, view.xShiftOf(1)),
                                               isFluorescence(view.overlay())));
        }
    }
    for (const CursorRecord& cursor : cursors.records()) {
        const auto sample = compare != nullptr ? view.compareSampleAt(0, cursor.position)
                                               : view.currentSampleAt(cursor.position);
        page.cursorBlocks.push_back(cursorReadout(cursor.position, mm, sample, fluorescence));
    }

    if (file != nullptr && file->isEm1() && file->header().em1) {
        const Em1FileBlock& block = *file->header().em1;
        const double aufs = block.aufsValue > 0.0 ? block.aufsValue : Em1RunWriter::aufsValue(block.settings.aufs);
        page.settingsBox = de1SettingsBox(block.settings, file->header().info, aufs, fractionationOf(overlays));
    } else if (file == nullptr && compare == nullptr && view.de1Mode() && liveDe1 != nullptr && liveDe1->em1) {
        // A live DE-1 run has no file to read its settings from yet: they
        // are the ones the run was started with.
        const Em1Settings& settings = liveDe1->em1->settings;
        page.settingsBox = de1SettingsBox(settings, liveDe1->runInfo.value_or(RunInfo{}),
                                          Em1RunWriter::aufsValue(settings.aufs), fractionationOf(overlays));
    }
    return page;
}

}  // namespace corvane
