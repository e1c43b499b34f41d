#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "display/GraphPage.h"
#include "display/PageTexts.h"
#include "runs/Em1Settings.h"
#include "runs/RunInfo.h"

namespace corvane {
namespace {

std::vector<std::string> texts(const std::vector<AxisLabel>& labels) {
    std::vector<std::string> out;
    for (const auto& l : labels) {
        out.push_back(l.text);
    }
    return out;
}

// Worked numbers: at 100 dpi landscape s = 100 x 9.5 / 475 = 2, so the plot
// is 950 x 440 at (75, 120) and the fonts are 8 and 12 points.
TEST(GraphPageGeometry, LandscapeAt100DpiIsTheSavedImagePage) {
    const PageGeometry g = pageGeometry({true, 100});
    EXPECT_DOUBLE_EQ(g.s, 2.0);
    EXPECT_EQ(g.pageWidth, 1100);
    EXPECT_EQ(g.pageHeight, 850);
    EXPECT_EQ(g.plot, (PixelRect{75, 120, 1025, 560}));
    EXPECT_DOUBLE_EQ(g.smallFontPoints, 8.0);
    EXPECT_DOUBLE_EQ(g.largeFontPoints, 12.0);
    EXPECT_NEAR(g.smallFontPixels, 11.11, 0.01);
    EXPECT_DOUBLE_EQ(g.framePen, 4.0);
    EXPECT_DOUBLE_EQ(g.gridPen, 1.0);
    EXPECT_DOUBLE_EQ(g.linePen, 2.0);
}

TEST(GraphPageGeometry, PrintPagesScaleWithResolutionAndOrientation) {
    // 600 dpi landscape: s = 12, everything six times the 100 dpi page, and
    // the text the same size on paper (8 points = 66.7 pixels at 600 dpi).
    const PageGeometry high = pageGeometry({true, 600});
    EXPECT_DOUBLE_EQ(high.s, 12.0);
    EXPECT_EQ(high.plot, (PixelRect{450, 720, 6150, 3360}));
    EXPECT_EQ(high.pageWidth, 6600);
    EXPECT_NEAR(high.smallFontPixels, 600.0 * 8 / 72, 0.01);

    // Portrait at 100 dpi: a 5 in plot, 2 in from the left and 3.5 in down;
    // s = 500 / 475 and the height follows it.
    const PageGeometry portrait = pageGeometry({false, 100});
    EXPECT_NEAR(portrait.s, 1.0526, 1e-4);
    EXPECT_EQ(portrait.pageWidth, 850);
    EXPECT_EQ(portrait.pageHeight, 1100);
    EXPECT_EQ(portrait.plot, (PixelRect{200, 350, 700, 582}));
    // Its text is as large against the page's width as a landscape page's
    // (8 points on 11 in, 6.18 on 8.5 in), not scaled down with its plot.
    const PageGeometry landscape = pageGeometry({true, 100});
    EXPECT_NEAR(portrait.smallFontPoints / 8.5, landscape.smallFontPoints / 11.0, 1e-9);
    EXPECT_NEAR(portrait.largeFontPoints / 8.5, landscape.largeFontPoints / 11.0, 1e-9);
    EXPECT_NEAR(pageGeometry({false, 600}).smallFontPixels, 600.0 * 8 * 8.5 / 11 / 72, 0.01);
}

TEST(GraphPageGeometry, PrinterQualityGivesResolutionAndOrientation) {
    EXPECT_EQ(printTarget(720, false).dpi, 720);
    EXPECT_TRUE(printTarget(720, false).landscape);
    EXPECT_FALSE(printTarget(720, true).landscape);
    EXPECT_EQ(printTarget(kPrintQualityHigh, false).dpi, 600);
    EXPECT_EQ(printTarget(kPrintQualityMedium, false).dpi, 300);
    EXPECT_EQ(printTarget(-2, false).dpi, 150);
    EXPECT_EQ(printTarget(-1, false).dpi, 150);
}

TEST(GraphPageGeometry, FileKindByTheNamesEndCaseIgnored) {
    EXPECT_EQ(pageFileKind("x.TIF"), PageFileKind::Tiff);
    EXPECT_EQ(pageFileKind("x.tiff"), PageFileKind::Tiff);
    EXPECT_EQ(pageFileKind("/a.b/x.Png"), PageFileKind::Png);
    EXPECT_EQ(pageFileKind("x.PDF"), PageFileKind::Pdf);
    EXPECT_EQ(pageFileKind("x.svg"), PageFileKind::Svg);
    // The bitmap kinds go by the last three characters, as they always did.
    EXPECT_EQ(pageFileKind("graphpng"), PageFileKind::Png);
    EXPECT_EQ(pageFileKind("x.jpg"), PageFileKind::Bmp);
    EXPECT_EQ(pageFileKind("x"), PageFileKind::Bmp);
    EXPECT_EQ(pageFileKind("pdf"), PageFileKind::Bmp);
}

TEST(GraphPageAxes, XLabelsAtEveryGridLineAndBothEnds) {
    EXPECT_EQ(texts(xAxisLabels(0, 500, false, XAxisType::SampleNumber)),
              (std::vector<std::string>{"0", "100", "200", "300", "400", "500"}));
    const auto mm = xAxisLabels(10.0, 22.5, true, XAxisType::Millimetres);
    ASSERT_EQ(mm.size(), 11U);
    EXPECT_EQ(mm.front().text, "10.00");
    EXPECT_EQ(mm[1].text, "11.25");
    EXPECT_EQ(mm.back().text, "22.50");
    EXPECT_DOUBLE_EQ(mm[5].at, 0.5);
    EXPECT_STREQ(xAxisTitle(XAxisType::Millimetres), "Position (mm)");
    EXPECT_STREQ(xAxisTitle(XAxisType::Millimetres), "Position (mm)");
    EXPECT_STREQ(xAxisTitle(XAxisType::SampleNumber), "Sample Number");
    EXPECT_STREQ(xAxisTitle(XAxisType::Millilitres), "Volume (ml)");
    EXPECT_STREQ(xAxisTitle(XAxisType::Seconds), "Time (sec)");
    EXPECT_STREQ(xAxisTitle(XAxisType::Minutes), "Time (min)");
    EXPECT_EQ(texts(xAxisLabels(0, 25, false, XAxisType::Seconds)),
              (std::vector<std::string>{"0.0", "5.0", "10.0", "15.0", "20.0", "25.0"}));
}

// y labels at round values (1, 2, 5 x 10^n) with the decimals the step
// needs, placed where the value lies between the axis ends.
TEST(GraphPageAxes, YLabelsAtRoundValuesWhereTheyLie) {
    EXPECT_EQ(texts(yAxisLabels(-0.5, 1.5)), (std::vector<std::string>{"-0.5", "0.0", "0.5", "1.0", "1.5"}));
    const auto absorbance = yAxisLabels(0.0123, 0.3456);
    EXPECT_EQ(texts(absorbance), (std::vector<std::string>{"0.05", "0.10", "0.15", "0.20", "0.25", "0.30"}));
    EXPECT_NEAR(absorbance.front().at, (0.05 - 0.0123) / (0.3456 - 0.0123), 1e-12);
    EXPECT_NEAR(absorbance.back().at, (0.30 - 0.0123) / (0.3456 - 0.0123), 1e-12);
    // Counts: whole numbers, no decimals.
    EXPECT_EQ(texts(yAxisLabels(1000, 61000)),
              (std::vector<std::string>{"10000", "20000", "30000", "40000", "50000", "60000"}));
    // Tiny absorbances keep the digits that tell them apart.
    EXPECT_EQ(texts(yAxisLabels(0.0, 0.002)).at(1), "0.0005");
    // A log axis: one label per decade at its quarter.
    const auto log = yAxisLabels(0.001, 10.0, true);
    EXPECT_EQ(texts(log), (std::vector<std::string>{"0.001", "0.01", "0.1", "1", "10"}));
    EXPECT_DOUBLE_EQ(log[1].at, 0.25);
    EXPECT_TRUE(yAxisLabels(1.0, 1.0).empty());
}

TEST(GraphPageTexts, HeaderAndCompareLegendPerSet) {
    PageSet current{"run1.csv", CalendarTime{2024, 2, 29, 8, 5, 9}, {}, Rgb{255, 0, 0}};
    PageSet moved{"run2.csv", std::nullopt, SetPlacement{1.5, 0.25, -0.0123, -42.0}, Rgb{0, 0, 255}};
    const PageTable header = headerTable({current, moved});
    ASSERT_EQ(header.columns.size(), 7U);
    EXPECT_EQ(header.columns[0].bottom, "Filename");
    EXPECT_EQ(header.columns[4].top, "Y-axis");
    EXPECT_EQ(header.columns[4].bottom, "Offset (OD)");
    const auto& first = header.rows[0];
    EXPECT_EQ(first[1].text, "2024-02-29");
    EXPECT_EQ(first[2].text, "08:05:09");
    EXPECT_EQ(first[3].text, "0 samples");
    EXPECT_EQ(first[4].text, "0.00E+00");
    const auto& second = header.rows[1];
    EXPECT_EQ(second[1].text, "");
    EXPECT_EQ(second[3].text, "-42 samples");
    EXPECT_EQ(second[4].text, "-1.23E-02");
    EXPECT_EQ(second[5].text, "1.50");
    EXPECT_EQ(second[6].text, "0.25");
    EXPECT_FALSE(second[0].swatch.has_value());

    const PageTable legend = compareLegend({current, moved});
    ASSERT_EQ(legend.columns.size(), 8U);
    EXPECT_EQ(legend.columns[0].bottom, "Filenames");
    EXPECT_EQ(legend.columns[1].bottom, "Color");
    EXPECT_EQ(legend.columns[4].top, "X-Axis");
    ASSERT_TRUE(legend.rows[1][1].swatch.has_value());
    EXPECT_EQ(*legend.rows[1][1].swatch, (Rgb{0, 0, 255}));
}

TEST(GraphPageTexts, OverlayLegendNamesWhatIsDrawnAndReadoutsWhatExists) {
    // Both runs' Abs A share a row; a profile drawn on the right in the
    // ratio's slot is named by its unit, not "(AbsA/AbsB)", and its marks
    // have a row of their own.
    const GraphLegend drawn = {{"Abs A", "a.csv", {255, 0, 0}, false, false, 0},
                               {"Fluorescence", "a.csv", {0, 0, 0}, false, false, 0},
                               {"Abs A", "b.csv", {0, 0, 255}, true, false, 1},
                               {"Mark", "c.pks", {1, 2, 3}, true, true, 1},
                               {"detector units", "c.pks", {4, 5, 6}, true, false, 1}};
    const PageTable legend = overlayLegend(drawn);
    ASSERT_EQ(legend.rows.size(), 4U);
    EXPECT_EQ(legend.rows[0][0].text, "(Abs A)");
    EXPECT_EQ(*legend.rows[0][1].swatch, (Rgb{255, 0, 0}));
    EXPECT_EQ(*legend.rows[0][2].swatch, (Rgb{0, 0, 255}));
    EXPECT_EQ(legend.rows[1][0].text, "(Fluorescence)");
    EXPECT_FALSE(legend.rows[1][2].swatch.has_value());
    EXPECT_EQ(legend.rows[2][0].text, "(Mark)");
    EXPECT_FALSE(legend.rows[2][1].swatch.has_value());
    EXPECT_EQ(legend.rows[3][0].text, "(detector units)");
    EXPECT_EQ(*legend.rows[3][2].swatch, (Rgb{4, 5, 6}));
    // The legend's table: marks as a box, traces as their line.
    const PageTable table = legendTable(drawn);
    ASSERT_EQ(table.rows.size(), 5U);
    EXPECT_TRUE(table.rows[2][0].line && table.rows[2][0].dashed);
    EXPECT_FALSE(table.rows[3][0].line);
    EXPECT_EQ(table.rows[4][1].text, "c.pks");

    SampleRecord r;
    r.sampleA = 1200;
    r.sourceA = 3400;
    r.sampleB = 56;
    r.sourceB = 78;
    r.absorbanceA = 0.123456;
    r.absorbanceB = 1234.5;
    r.ratio = 0.0001;
    EXPECT_EQ(cursorReadout(12.345, XAxisType::Millimetres, r, false),
              (PageLines{"Cursor: 12.35 mm", "Sample A: 1200", "Source A: 3400", "Abs A: 0.123", "Sample B: 56",
                         "Source B: 78", "Abs B: 1.23E+03", "AbsA/AbsB: 0.0001"}));
    EXPECT_EQ(cursorReadout(250.4, XAxisType::SampleNumber, r, true)[6], "Fluorescence: 1.23E+03");
    EXPECT_EQ(cursorReadout(250.4, XAxisType::SampleNumber, std::nullopt, false), PageLines{"Cursor: 250"});

    // The folder and the name joined as the platform joins them.
    const std::string shown = (std::filesystem::path("runs") / "a.csv").string();
    EXPECT_EQ(runReadout("CURRENT:", "runs", "a.csv", r, 17, false),
              (PageLines{"CURRENT: " + shown, "Scan: 17", "Abs A: 0.123", "Abs B: 1.23E+03", "AbsA/AbsB: 0.0001"}));
#ifndef _WIN32
    EXPECT_EQ(shown, "runs/a.csv");
#endif
    EXPECT_EQ(runReadout("OVERLAY:", "", "b.csv", std::nullopt, 0, false), PageLines{"OVERLAY: b.csv"});
    // A profile has one channel: no "Abs B: nan", no ratio.
    r.absorbanceB = std::numeric_limits<double>::quiet_NaN();
    r.ratio = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(runReadout("CURRENT:", "", "p.pks", r, 3, false), (PageLines{"CURRENT: p.pks", "Scan: 3", "Abs A: 0.123"}));
}

TEST(GraphPageTexts, De1SettingsBoxListsWhatIsSet) {
    Em1Settings s;
    s.signalType = Em1Settings::kEventTriggered;
    s.delayType = Em1Settings::kOdSensingStart;
    s.wavelength = 280;
    s.samplesPerSec = 10;
    s.speed = 0.5;
    s.fractionDistance = 5;
    s.numberOfFractions = 8;
    s.totalDistance = 40;
    s.aufs = 2;
    RunInfo info;
    info.userName = "Bo";
    info.rotorModel = "TH-641";
    info.gradient = "Sucrose";
    info.gradientPercent1 = 10;
    info.gradientPercent2 = 50;
    info.gradientUnits = RunInfo::kWeightPerWeight;
    info.sampleVolume = "0.5";
    info.speed = "39";
    info.spinTime = "2:30";
    info.temperature = 4.0;
    EXPECT_EQ(de1SettingsBox(s, info, 0.05, PageFractionation::Standard),
              (PageLines{"Current Settings", "START MODE: OD Sensing", "User Name: Bo", "Rotor: TH-641",
                         "Solute: Sucrose", "End Points: 10-50% w/w", "Sample Vol: 0.5", "Rotor Speed: 39 kRPM",
                         "Run Time: 2:30", "Temperature: 4 C", "UV Wavelength: 280 nm", "Samples/sec: 10 Hz",
                         "Speed: 0.50 mm/sec", "Distance: 5.00 mm", "Number: 8", "Total Distance: 40.00 mm",
                         "AUFS: 0.05", "Fractionation: Standard"}));

    // Nothing typed, a manual start, no temperature, a fast piston and a
    // full scale from the fourth step on, no standard run.
    Em1Settings manual = s;
    manual.signalType = Em1Settings::kManualTriggered;
    manual.speed = 1.25;
    manual.aufs = 3;
    RunInfo bare;
    bare.temperature = 0.0;
    const PageLines box = de1SettingsBox(manual, bare, 0.1, PageFractionation::None);
    EXPECT_EQ(box, (PageLines{"Current Settings", "START MODE: Manual Triggered", "End Points: 0-0% w/v",
                              "Temperature: 0 ", "UV Wavelength: 280 nm", "Samples/sec: 10 Hz",
                              "Speed: 1.2 mm/sec", "Distance: 5.00 mm", "Number: 8", "Total Distance: 40.00 mm",
                              "AUFS: 0.1"}));
    Em1Settings delayed = s;
    delayed.delayType = Em1Settings::kEventWithDelay;
    EXPECT_EQ(de1SettingsBox(delayed, bare, 0.05, PageFractionation::AutoAndManual)[1],
              "START MODE: Event with Delay");
    EXPECT_EQ(de1SettingsBox(delayed, bare, 0.05, PageFractionation::AutoAndManual).back(),
              "Fractionation: Auto + Manual");
    delayed.delayType = Em1Settings::kNoDelay;
    EXPECT_EQ(de1SettingsBox(delayed, bare, 0.05, PageFractionation::None)[1], "START MODE: No Delay");
}

}  // namespace
}  // namespace corvane
