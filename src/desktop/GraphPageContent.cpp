#include "desktop/GraphPageContent.h"

#include <cmath>

#include "desktop/GraphCursors.h"
#include "desktop/GraphOverlays.h"
#include "desktop/GraphView.h"
#include "desktop/StandardRun.h"
#include "runs/Em1RunWriter.h"

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

}  // namespace

GraphPageContent graphPageContent(const GraphView& view, const GraphCursors& cursors, const GraphOverlays* overlays,
                                  const std::array<Rgb, 6>& colours, const PageCompareSets& compare) {
    GraphPageContent page;
    const RunDataFile* file = view.shownFile();
    const bool mm = view.xAxisType() == XAxisType::Millimetres;
    const bool fluorescence = isFluorescence(file);
    page.documentTitle = view.fileShown() ? view.shownPath().filename().string() : std::string("Live run");
    page.xInMm = mm;
    // The ratio has its own axis on the right, except on DE-1 data, where
    // its channel holds the event marks.
    page.yyLabels = view.channelShown(kChannelRatio) && !view.de1Mode();

    std::vector<PageSet> sets;
    sets.push_back(pageSet(file, view.fileShown() ? view.shownPath() : std::filesystem::path(page.documentTitle),
                           view.offsets().placement(0), colours[0]));
    if (view.overlayShown()) {
        sets.push_back(pageSet(view.overlay(), view.overlayPath(), view.offsets().placement(1), colours[3]));
        page.overlayLegend = overlayLegend(colours, fluorescence);
    }
    page.header = headerTable(sets);
    if (!compare.sets.empty()) {
        page.compareLegend = compareLegend(compare.sets);
    }

    if (const auto at = cursors.mainPosition()) {
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
        page.cursorBlocks.push_back(
            cursorReadout(cursor.position, mm, view.currentSampleAt(cursor.position), fluorescence));
    }

    if (file != nullptr && file->isEm1() && file->header().em1) {
        const Em1FileBlock& block = *file->header().em1;
        PageFractionation fractionation = PageFractionation::None;
        if (overlays != nullptr && overlays->standardRun() != nullptr) {
            fractionation = overlays->standardRun()->plan().autofrac == 1 ? PageFractionation::AutoAndManual
                                                                           : PageFractionation::Standard;
        }
        const double aufs = block.aufsValue > 0.0 ? block.aufsValue : Em1RunWriter::aufsValue(block.settings.aufs);
        page.settingsBox = de1SettingsBox(block.settings, file->header().info, aufs, fractionation);
    }
    return page;
}

}  // namespace corvane
