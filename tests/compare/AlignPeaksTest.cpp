#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "compare/AlignPeaks.h"
#include "compare/CompareOffsets.h"
#include "compare/ExportFile.h"
#include "compare/TraceDrag.h"

namespace corvane {
namespace {

// Ten samples 0.5 mm apart starting at `start` mm, with a peak of `height`
// at sample `at` and a second equal one at `twin` when given.
AlignTrace run(double start, std::size_t at, double height = 1.0, std::size_t twin = 99) {
    AlignTrace t;
    for (std::size_t i = 0; i < 10; ++i) {
        t.position.push_back(start + 0.5 * static_cast<double>(i));
        t.value.push_back(i == at || i == twin ? height : 0.1 * static_cast<double>(i % 3));
    }
    return t;
}

TEST(AlignPeaks, PeakIsTheFirstOfEqualMaximaInTheWindowOnBothAxes) {
    const AlignTrace t = run(10.0, 3, 1.0, 6);
    // By sample number: samples 2..8 hold both peaks, the first wins.
    EXPECT_EQ(findPeak(t, 2.0, 8.0, AlignAxis::Samples)->index, 3u);
    // A window that starts after the first finds the second.
    EXPECT_EQ(findPeak(t, 4.0, 9.0, AlignAxis::Samples)->index, 6u);
    // Numbers beyond the set are clamped to it.
    EXPECT_EQ(findPeak(t, -50.0, 500.0, AlignAxis::Samples)->index, 3u);
    // By position: 11.5 mm is sample 3; 12.0 to 14.0 mm holds samples 4..8.
    const auto mm = findPeak(t, 11.0, 14.0, AlignAxis::Millimetres);
    ASSERT_TRUE(mm.has_value());
    EXPECT_EQ(mm->index, 3u);
    EXPECT_DOUBLE_EQ(mm->position, 11.5);
    EXPECT_EQ(findPeak(t, 12.0, 14.0, AlignAxis::Millimetres)->index, 6u);
    // Nothing inside the window, or nothing at all.
    EXPECT_FALSE(findPeak(t, 30.0, 40.0, AlignAxis::Millimetres).has_value());
    EXPECT_FALSE(findPeak(AlignTrace{}, 0.0, 9.0, AlignAxis::Samples).has_value());
}

TEST(AlignPeaks, RightToLeftDragFindsWhatLeftToRightFinds) {
    const AlignTrace t = run(0.0, 7);
    for (const auto axis : {AlignAxis::Samples, AlignAxis::Millimetres}) {
        const auto forward = findPeak(t, 1.0, 4.0, axis);
        const auto backward = findPeak(t, 4.0, 1.0, axis);
        ASSERT_TRUE(forward && backward);
        EXPECT_EQ(forward->index, backward->index);
    }
}

TEST(AlignPeaks, ValuesThatAreNotNumbersAreSkipped) {
    AlignTrace t = run(0.0, 5);
    t.value[2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(findPeak(t, 0.0, 9.0, AlignAxis::Samples)->index, 5u);
    for (auto& v : t.value) {
        v = std::numeric_limits<double>::quiet_NaN();
    }
    EXPECT_FALSE(findPeak(t, 0.0, 9.0, AlignAxis::Samples).has_value());
}

TEST(AlignPeaks, OffsetsPutTheSetsPeakOnTheReferences) {
    const AlignTrace reference = run(10.0, 6);  // peak at sample 6, 13.0 mm
    const AlignTrace other = run(10.0, 2);      // peak at sample 2, 11.0 mm
    const Peak ref = *findPeak(reference, 0.0, 9.0, AlignAxis::Samples);
    const auto bySample = alignOn(ref, other, 0.0, 9.0, AlignAxis::Samples);
    ASSERT_TRUE(bySample.has_value());
    EXPECT_DOUBLE_EQ(bySample->offsetSamples, 4.0);  // 2 + 4 = 6

    // In mm: 2.0 mm, and in samples of the set: ten samples over 4.5 mm.
    const Peak refMm = *findPeak(reference, 10.0, 14.5, AlignAxis::Millimetres);
    const auto byMm = alignOn(refMm, other, 10.0, 14.5, AlignAxis::Millimetres);
    ASSERT_TRUE(byMm.has_value());
    EXPECT_DOUBLE_EQ(byMm->offsetMm, 2.0);
    EXPECT_DOUBLE_EQ(byMm->offsetSamples, 4.0);  // 2.0 x 10 / 4.5 = 4.44, to the nearest sample
}

TEST(CompareOffsets, AlignmentResetKeepsGainsAndYOffsets) {
    CompareOffsets offsets;
    EXPECT_TRUE(offsets.setXOffset(1, 12.0));
    EXPECT_TRUE(offsets.setYOffset(1, 0.25));
    EXPECT_TRUE(offsets.setXGain(3, 1.2));
    EXPECT_FALSE(offsets.setXOffset(4, 1.0));
    EXPECT_FALSE(offsets.setYOffset(0, std::nan("")));
    EXPECT_TRUE(offsets.anyXGainOtherThanOne());
    offsets.resetAlignment();
    EXPECT_EQ(offsets.xOffset(1), 0.0);
    EXPECT_EQ(offsets.yOffset(1), 0.25);
    offsets.resetXGains();
    EXPECT_FALSE(offsets.anyXGainOtherThanOne());
}

TEST(CompareOffsets, AnXOffsetIsTheNearestWholeSampleWhereverItComesFrom) {
    // A drag or an mm alignment asks for fractions; the window shows, the
    // graph draws and the file writes the nearest whole sample.
    CompareOffsets offsets;
    const std::pair<double, double> asked[] = {{236.58, 237.0}, {236.4, 236.0}, {-0.5, -1.0}, {2.5, 3.0}};
    for (const auto& [fraction, whole] : asked) {
        ASSERT_TRUE(offsets.setXOffset(1, fraction));
        EXPECT_EQ(offsets.xOffset(1), whole) << fraction;
        EXPECT_EQ(wholeSampleOffset(fraction), whole) << fraction;
    }
    // 236.58 samples of a drag, written: the header and the rows agree with the window.
    ASSERT_TRUE(offsets.setXOffset(1, 236.58));
    ExportSet a;
    a.name = "a";
    a.position = {1.0};
    a.absorbance = {0.5};
    ExportSet b = a;
    b.name = "b";
    b.offset = offsets.xOffset(1);
    // A scratch file, not a memory stream: the test runs on Windows too.
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(writeExport(out, {a, b}));
    std::rewind(out);
    std::string file;
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
        file.push_back(static_cast<char>(c));
    }
    std::fclose(out);
    EXPECT_NE(file.find("b: 237 samples\n"), std::string::npos) << file;
}

TEST(TraceDrag, SetFollowsTheMouse) {
    TraceDrag drag;
    EXPECT_FALSE(drag.moveTo({0, 0}).has_value());
    // 0.01 AU and 2 samples per pixel; pressed at (100, 50).
    drag.begin({1, {100, 50}, 0.1, 5.0, 0.01, 2.0});
    const auto moved = drag.moveTo({110, 40});  // 10 right, 10 up
    ASSERT_TRUE(moved.has_value());
    EXPECT_DOUBLE_EQ(moved->y, 0.2);
    EXPECT_DOUBLE_EQ(moved->x, 25.0);
    EXPECT_EQ(drag.set(), 1);
    drag.end();
    EXPECT_FALSE(drag.active());
}

}  // namespace
}  // namespace corvane
