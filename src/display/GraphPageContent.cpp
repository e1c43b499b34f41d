#include "display/GraphPageContent.h"

#include <cmath>
#include <limits>

#include "display/GraphCursors.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"
#include "display/RunTraces.h"
#include "display/StandardRun.h"
#include "display/TraceLegend.h"
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

// The sample number a readout names: the sample the set draws at x, on
// every axis (a live run's by its ring, not the x in mm).
long long scanAt(const Scene& scene, int set, double x, XAxisType axis) {
    return scene.sampleNumberAt(set, x, axis).value_or(0);
}

// Sets from other instruments share an axis chosen for them (ml where every
// set converts, else point numbers): the legend says which.
std::string compareAxisNote(const Scene& scene, XAxisType axis) {
    for (int k = 0; k < scene.setCount(); ++k) {
        if (scene.setFile(k) != nullptr && scene.setFile(k)->isProfile()) {
            return std::string("x: ") + xAxisWords(axis).pageTitle;
        }
    }
    return {};
}

// A profile of another instrument has one channel: its sample's second
// channel and ratio are nothing to read.
std::optional<SampleRecord> readable(const RunDataFile* file, std::optional<SampleRecord> sample) {
    if (sample && file != nullptr && file->isProfile()) {
        sample->absorbanceB = std::numeric_limits<double>::quiet_NaN();
        sample->ratio = std::numeric_limits<double>::quiet_NaN();
    }
    return sample;
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
                                  const std::array<Rgb, 6>& colours, const RunDescription* liveDe1,
                                  const PageSource& source) {
    GraphPageContent page;
    const Scene& scene = view.scene();
    // The current run is set 0; in a compare window set 0, the reference,
    // stands where the current run would.
    const RunDataFile* file = scene.setFile(0);
    const bool compared = scene.comparesSets();
    const XAxisType axis = view.axes().xAxisType();
    const bool fluorescence = isFluorescence(file);
    page.xAxis = axis;
    const YAxisTitles titles = yAxisTitles(view);
    page.yTitle = titles.y;
    page.yyTitle = titles.yy;
    if (source.legendShown) {
        page.legend = legendTable(source.drawn);
    }
    const std::string liveName = source.liveName.empty() ? std::string("Live run") : source.liveName;

    if (compared) {
        page.documentTitle =
            scene.setCount() == 0 ? std::string("Compare Data Sets") : scene.setPath(0).filename().string();
        std::vector<PageSet> sets;
        for (int k = 0; k < scene.setCount(); ++k) {
            sets.push_back(pageSet(scene.setFile(k), scene.setPath(k), scene.offsets().placement(k),
                                   colours[static_cast<std::size_t>(k)]));
        }
        page.compareLegend = compareLegend(sets, compareAxisNote(scene, axis));
    } else {
        page.documentTitle = file != nullptr ? scene.setPath(0).filename().string() : liveName;
        // The ratio has its own axis on the right, except on DE-1 data,
        // where its channel holds the event marks.
        page.yyLabels = (view.axes().channelShown(kChannelRatio) && !view.de1Mode()) ||
                        !view.rightAxisProfileTitle().empty();
        std::vector<PageSet> sets;
        sets.push_back(pageSet(file, file != nullptr ? scene.setPath(0) : std::filesystem::path(page.documentTitle),
                               scene.offsets().placement(0), colours[0]));
        if (file == nullptr) {
            // A live run has no header to read: it started when the recording did.
            sets.back().recorded = source.liveStarted;
        }
        if (scene.setCount() > 1) {
            sets.push_back(pageSet(scene.setFile(1), scene.setPath(1), scene.offsets().placement(1), colours[3]));
            page.overlayLegend = overlayLegend(source.drawn);
        }
        page.header = headerTable(sets);
    }

    const auto at = cursors.mainPosition();
    if (at && !compared) {
        const std::filesystem::path current = file != nullptr ? scene.setPath(0) : std::filesystem::path();
        page.readouts.push_back(runReadout("CURRENT:", current.parent_path().filename().string(),
                                           file != nullptr ? current.filename().string() : page.documentTitle,
                                           readable(file, view.sampleAt(0, *at)), scanAt(scene, 0, *at, axis),
                                           fluorescence));
        if (scene.setCount() > 1) {
            const std::filesystem::path overlay = scene.setPath(1);
            page.readouts.push_back(runReadout("OVERLAY:", overlay.parent_path().filename().string(),
                                               overlay.filename().string(), readable(scene.setFile(1), view.sampleAt(1, *at)),
                                               scanAt(scene, 1, *at, axis), isFluorescence(scene.setFile(1))));
        }
    }
    for (const CursorRecord& cursor : cursors.records()) {
        page.cursorBlocks.push_back(cursorReadout(cursor.position, axis, view.sampleAt(0, cursor.position), fluorescence));
    }

    if (file != nullptr && file->isEm1() && file->header().em1) {
        const Em1FileBlock& block = *file->header().em1;
        const double aufs = block.aufsValue > 0.0 ? block.aufsValue : Em1RunWriter::aufsValue(block.settings.aufs);
        page.settingsBox = de1SettingsBox(block.settings, file->header().info, aufs, fractionationOf(overlays));
    } else if (file == nullptr && scene.live() && view.liveRun().de1Source && liveDe1 != nullptr && liveDe1->em1) {
        // A live DE-1 run has no file to read its settings from yet: they
        // are the ones the run was started with.
        const Em1Settings& settings = liveDe1->em1->settings;
        page.settingsBox = de1SettingsBox(settings, liveDe1->runInfo.value_or(RunInfo{}),
                                          Em1RunWriter::aufsValue(settings.aufs), fractionationOf(overlays));
    }
    return page;
}

}  // namespace corvane
