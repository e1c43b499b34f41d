// A DE-1 run collected by peaks, whole: the simulated monitor sees three
// separated peaks, the program finds them on the live signal and sends each
// fraction change when the tubing's dead volume has passed, and the
// simulated collector changes tubes on the pulses. Every peak's liquid must
// land in its own tube, with the changes where the peak's edges reach the
// collector; no pulse doubled or lost, with a clean line and with damaged
// bytes; and a preview of the saved run lists the fractions the run cut.

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

void runThreePeaks(double corruptFraction) {
    RecordingBench bench(peaksRig());
    ASSERT_TRUE(bench.connect(3));
    ASSERT_TRUE(bench.session.de1Source());
    SimDe1Box& box = *bench.rig.de1();
    SimFaults faults;
    faults.corruptFraction = corruptFraction;
    box.setFaults(faults);

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
    De1Source& source = *bench.session.reader()->de1Source();
    ASSERT_TRUE(bench.waitFor([&] { return box.depthAtMs(bench.clock.nowMs()) > 55.0; }, 400000));

    const auto saved = bench.folder / "peaks.csv";
    bench.prompter.answerYes();
    bench.prompter.scriptFile(saved.string());
    bench.controller.startStop();
    ASSERT_FALSE(source.RunActive());

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
    const auto text = readWholeFile(saved, 1 << 26);
    ASSERT_TRUE(text);
    const auto kept = readFractionTable(*text);
    ASSERT_TRUE(kept);
    RunDataFile file;
    ASSERT_EQ(file.read(saved), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(file.layout(), RunFileLayout::Em1);
    const auto profile = profileFromRun(file, "peaks.csv");
    ASSERT_TRUE(profile);
    const auto preview = previewFractions(profile->x, profile->y, kept->settings, kept->delayMm);
    ASSERT_EQ(preview.size(), kept->fractions.size());
    for (std::size_t i = 0; i < preview.size(); ++i) {
        EXPECT_EQ(preview[i].peak, kept->fractions[i].peak);
        EXPECT_NEAR(preview[i].from, kept->fractions[i].from, 0.006) << "fraction " << i + 1;
        EXPECT_NEAR(preview[i].to, kept->fractions[i].to, 0.006) << "fraction " << i + 1;
    }
    // The marks of the pulses' echoes are in the rows, as in any DE-1 run.
    int marks = 0;
    for (const auto& row : file.em1Samples()) {
        marks += row.eventMark ? 1 : 0;
    }
    EXPECT_GE(marks, 6);
}

TEST(PeakRun, ThreePeaksEachLandInTheirOwnTubeAndThePreviewAgrees) { runThreePeaks(0.0); }

TEST(PeakRun, ThreePeaksWithOnePercentOfTheBytesDamaged) { runThreePeaks(0.01); }

}  // namespace
}  // namespace corvane::test
