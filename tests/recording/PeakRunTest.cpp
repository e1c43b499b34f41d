// A DE-1 run collected by peaks, whole: the simulated monitor sees three
// separated peaks, the program finds them on the live signal and sends each
// fraction change when the tubing's dead volume has passed, and the
// simulated collector changes tubes on the pulses. Every peak's liquid must
// land in its own tube, with the changes where the peak's edges reach the
// collector; no pulse doubled or lost, with a clean line and with damaged
// bytes; and a preview of the saved run lists the fractions the run cut,
// also with a pause, a tube changed by hand, or a stop just after a pulse.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "RecordingBench.h"
#include "app/FileReplace.h"
#include "recording/De1Source.h"
#include "recording/PeakCutter.h"
#include "recording/SampleReader.h"
#include "runs/Em1SettingsStore.h"
#include "runs/PeakCollection.h"
#include "runs/Profile.h"
#include "runs/RunDataFile.h"

namespace corvane::test {
namespace {

constexpr double kSpeed = 0.3;           // mm/s
constexpr double kSamplesPerSec = 10.0;  // 0.03 mm a sample
constexpr double kBaseline = 0.02;
constexpr double kLevel = 0.05;
constexpr double kTubing = 300.0;  // mm: 0.2 ml of dead volume, 1.40 mm of travel at 0.143 ml/mm

const std::vector<SimPeak> kPeaks = {
    {"first", 20.0, 1.0, 0.0, 0.5},
    {"second", 32.0, 1.2, 0.0, 0.8},
    {"third", 44.0, 0.8, 0.0, 0.4},
};

SimRigConfig peaksRig() {
    SimRigConfig config;
    config.withKelvo = false;
    config.withDe1 = true;
    config.de1.scanSpeedMmPerS = kSpeed;
    config.de1.startDepthMm = 0.0;
    config.de1.endDepthMm = 500.0;
    config.de1.aufs = 2.0;
    config.de1.fractionIntervalMs = 0;  // no pulses but the run's own
    config.de1.collectorDelayMm = deadVolumeFor(kTubing) / 0.143;
    config.de1Profile = SimProfile(kPeaks, 0.0, kBaseline, 0.0, 0.0);
    return config;
}

// The depths where the noise-free profile crosses the level above its baseline.
std::vector<double> trueEdges() {
    std::vector<double> edges;
    for (const auto& p : kPeaks) {
        const double half = p.widthMm * std::sqrt(2.0 * std::log(p.heightB / kLevel));
        edges.push_back(p.depthMm - half);
        edges.push_back(p.depthMm + half);
    }
    return edges;
}

// Starts a run collected by peaks on the bench (level 0.05 AU, 0.5 mm wide at least).
void startPeakRun(RecordingBench& bench, double corruptFraction) {
    ASSERT_TRUE(bench.connect(3));
    ASSERT_TRUE(bench.session.de1Source());
    SimFaults faults;
    faults.corruptFraction = corruptFraction;
    bench.rig.de1()->setFaults(faults);

    Em1RunWriter::Setup setup;
    setup.settings.signalType = Em1Settings::kEventTriggered;
    setup.settings.aufs = 7;  // 2.00, as the monitor is set
    setup.settings.speed = kSpeed;
    setup.settings.samplesPerSec = kSamplesPerSec;
    setup.tubingLength = kTubing;
    setup.settings.deadVolume = deadVolumeFor(kTubing);
    setup.settings.peaks.enabled = true;
    setup.settings.peaks.startLevel = kLevel;
    setup.settings.peaks.minWidthMm = 0.5;
    bench.next.setDe1Setup(setup);
    bench.controller.startStop();
    ASSERT_TRUE(bench.controller.isRecording());
}

void runUntil(RecordingBench& bench, double depthMm) {
    SimDe1Box& box = *bench.rig.de1();
    ASSERT_TRUE(bench.waitFor([&] { return box.depthAtMs(bench.clock.nowMs()) > depthMm; }, 400000));
}

// Stops and saves the run as `name`; the pulses still queued go out.
std::filesystem::path stopAndSave(RecordingBench& bench, const std::string& name) {
    const auto saved = bench.folder / name;
    bench.prompter.answerYes();
    bench.prompter.scriptFile(saved.string());
    bench.controller.startStop();
    EXPECT_FALSE(bench.session.reader()->de1Source()->RunActive());
    const auto settled = bench.clock.nowMs() + 500;
    (void)bench.waitFor([&] { return bench.clock.nowMs() >= settled; }, 1000);
    return saved;
}

// The fractions a by-hand change split, joined again: what the thresholds cut.
std::vector<CollectedFraction> withoutHandSplits(const std::vector<CollectedFraction>& fractions) {
    std::vector<CollectedFraction> out;
    for (const auto& f : fractions) {
        if (f.manual && !out.empty()) {
            out.back().to = f.to;
            continue;
        }
        out.push_back(f);
        out.back().number = static_cast<int>(out.size());
    }
    return out;
}

// The table the saved run keeps: one fraction more than the collector's tube
// changes, and a preview of the saved rows lists the thresholds' fractions.
FractionTable expectSavedRunAgrees(RecordingBench& bench, const std::filesystem::path& saved) {
    De1Source& source = *bench.session.reader()->de1Source();
    const auto table = source.RunFractionTable();
    EXPECT_TRUE(table);
    if (!table) return {};
    EXPECT_EQ(static_cast<int>(table->fractions.size()), bench.rig.de1()->collectorPulses() + 1)
        << "the table and the tubes filled disagree";
    const auto text = readWholeFile(saved, 1 << 26);
    EXPECT_TRUE(text);
    if (!text) return {};
    const auto kept = readFractionTable(*text);
    EXPECT_TRUE(kept);
    if (!kept) return {};
    EXPECT_EQ(kept->fractions.size(), table->fractions.size());
    RunDataFile file;
    EXPECT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    const auto profile = profileFromRun(file, saved.filename().string());
    EXPECT_TRUE(profile);
    if (!profile) return *kept;
    const auto preview = previewFractions(profile->x, profile->y, kept->settings, kept->delayMm);
    const auto cut = withoutHandSplits(kept->fractions);
    EXPECT_EQ(preview.size(), cut.size());
    for (std::size_t i = 0; i < std::min(preview.size(), cut.size()); ++i) {
        EXPECT_EQ(preview[i].peak, cut[i].peak) << "fraction " << i + 1;
        EXPECT_NEAR(preview[i].from, cut[i].from, 0.006) << "fraction " << i + 1;
        EXPECT_NEAR(preview[i].to, cut[i].to, 0.006) << "fraction " << i + 1;
    }
    return *kept;
}

void runThreePeaks(double corruptFraction) {
    RecordingBench bench(peaksRig());
    startPeakRun(bench, corruptFraction);
    SimDe1Box& box = *bench.rig.de1();
    De1Source& source = *bench.session.reader()->de1Source();
    runUntil(bench, 55.0);
    const auto saved = stopAndSave(bench, "peaks.csv");

    // The collector: one change at each edge, each where the edge's liquid arrives.
    const auto changes = box.tubeChangeDepths();
    const auto edges = trueEdges();
    ASSERT_EQ(changes.size(), edges.size()) << "pulses doubled or lost";
    const double tolerance = std::max(kSpeed / kSamplesPerSec, 0.3);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        EXPECT_NEAR(changes[i], edges[i], tolerance) << "change " << i + 1;
    }
    // So tube 2k (from 1) holds peak k from its start to its end, and nothing else does.
    for (std::size_t k = 0; k < kPeaks.size(); ++k) {
        EXPECT_LT(changes[2 * k], kPeaks[k].depthMm);
        EXPECT_GT(changes[2 * k + 1], kPeaks[k].depthMm);
    }

    // The run's table: seven fractions, the peaks numbered, one pulse per change.
    const auto table = source.RunFractionTable();
    ASSERT_TRUE(table);
    ASSERT_EQ(table->fractions.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(table->fractions[i].peak, i % 2 == 1 ? static_cast<int>(i / 2 + 1) : 0);
    }
    EXPECT_EQ(source.MarksSent(), 6);
    EXPECT_EQ(box.collectorPulses(), 6);

    // The saved run keeps the table in its header and reads as any run does;
    // a preview of it lists the same fractions.
    expectSavedRunAgrees(bench, saved);
    RunDataFile file;
    ASSERT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(file.layout(), RunFileLayout::Em1);
    // The marks of the pulses' echoes are in the rows, as in any DE-1 run.
    int marks = 0;
    for (const auto& row : file.em1Samples()) {
        marks += row.eventMark ? 1 : 0;
    }
    EXPECT_GE(marks, 6);
}

TEST(PeakRun, ThreePeaksEachLandInTheirOwnTubeAndThePreviewAgrees) { runThreePeaks(0.0); }

TEST(PeakRun, ThreePeaksWithOnePercentOfTheBytesDamaged) { runThreePeaks(0.01); }

// A pause over the second peak's start leaves rows out of the file: the
// detector never sees them either, and cuts where the rows take up again
// as the preview does. FRAC ADV inside the second peak changes a tube: the
// table lists it as a fraction begun by hand.
TEST(PeakRun, APauseHidesItsRowsFromTheDetectorAndAChangeByHandIsATube) {
    RecordingBench bench(peaksRig());
    startPeakRun(bench, 0.0);
    runUntil(bench, 28.0);  // the second peak starts at 29.2
    bench.controller.pauseResume();
    ASSERT_TRUE(bench.controller.isPaused());
    runUntil(bench, 30.5);
    bench.controller.pauseResume();
    ASSERT_FALSE(bench.controller.isPaused());
    // Inside the second peak's liquid at the collector (depth 32 + the tubing's 1.4 mm).
    runUntil(bench, 33.5);
    ASSERT_TRUE(bench.controller.fractionAdvance());
    runUntil(bench, 38.0);
    const auto saved = stopAndSave(bench, "paused.csv");

    const auto kept = expectSavedRunAgrees(bench, saved);
    ASSERT_EQ(kept.fractions.size(), 6u);
    // 1 between, 2 peak 1, 3 between, 4 peak 2, 5 peak 2 by hand, 6 between.
    EXPECT_EQ(kept.fractions[3].peak, 2);
    EXPECT_EQ(kept.fractions[4].peak, 2);
    EXPECT_TRUE(kept.fractions[4].manual);
    EXPECT_GT(kept.fractions[4].from, kept.fractions[3].from);
    EXPECT_EQ(bench.rig.de1()->collectorPulses(), 5);
    // The pause's two and a half millimetres are missing from the rows.
    RunDataFile file;
    ASSERT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    double gap = 0.0;
    double last = 0.0;
    for (const auto& row : file.em1Samples()) {
        if (std::isfinite(row.distance)) {
            gap = std::max(gap, row.distance - last);
            last = row.distance;
        }
    }
    EXPECT_NEAR(gap, 2.5, 0.2);
}

// A stop a moment after a pulse went out (before the next row): the pulse's
// change stands in the table and in the preview of the saved run alike.
TEST(PeakRun, AStopJustAfterAPulseKeepsTheTableAndThePreviewTogether) {
    for (const int pulses : {1, 2, 4}) {
        RecordingBench bench(peaksRig());
        startPeakRun(bench, 0.0);
        SimDe1Box& box = *bench.rig.de1();
        ASSERT_TRUE(bench.waitFor([&] { return box.collectorPulses() >= pulses; }, 400000));
        const auto saved = stopAndSave(bench, "stopped.csv");
        const auto kept = expectSavedRunAgrees(bench, saved);
        EXPECT_EQ(static_cast<int>(kept.fractions.size()), pulses + 1) << "stopped after pulse " << pulses;
    }
}

}  // namespace
}  // namespace corvane::test
