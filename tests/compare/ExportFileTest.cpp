#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "app/FileReplace.h"
#include "base/FileHandle.h"
#include "base/WriterLock.h"
#include "compare/ExportFile.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

const std::filesystem::path kRuns = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs";

ExportSet set(std::string name, double offset, std::vector<double> absorbance) {
    ExportSet s;
    s.name = std::move(name);
    s.offset = offset;
    for (std::size_t i = 0; i < absorbance.size(); ++i) s.position.push_back(1.0 + 0.5 * static_cast<double>(i));
    s.absorbance = std::move(absorbance);
    return s;
}

std::string text(const std::vector<ExportSet>& sets) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    EXPECT_TRUE(writeExport(out, sets));
    std::fclose(out);
    std::string result(buffer, size);
    std::free(buffer);
    return result;
}

// The lines after the column headings.
std::vector<std::string> dataLines(const std::string& file) {
    std::vector<std::string> lines;
    const auto start = file.find("Distance(mm)");
    std::size_t at = file.find('\n', start) + 1;
    while (at < file.size()) {
        const auto end = file.find('\n', at);
        lines.push_back(file.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

TEST(ExportFile, LaysOutHeaderTableAndColumnsExactly) {
    auto a = set("run, one.csv", 0, {0.1, 0.2});
    a.parameters = {1.0, 2.5, 8, 2, 20.0, 85.0, 2, "2023-11-07", 0.0123, 1.0, 2.0};
    auto b = set("b.csv", 1, {0.3});
    b.parameters.startType = 5;
    b.parameters.yOffset = -0.5;
    EXPECT_EQ(text({a, b}),
              "Corvane Export File\n"
              "Corvane Files Exported: run, one.csv, b.csv\n"
              "Sample Offsets:\n"
              "run, one.csv: 0 samples\n"
              "b.csv: 1 samples\n"
              "\n"
              "Data collection parameters for each of the exported files follows:\n"
              "\n"
              ", run, one.csv, b.csv\n"
              "Piston Speed (mm/sec), 1.00, 0.00\n"
              "Distance per Fraction (mm), 2.50, 0.00\n"
              "Number of Fractions, 8, 0\n"
              "Type of Start, OD-sensing start, \n"
              "Samples per Second, 20, 0\n"
              "Total Distance, 85.00, 0.00\n"
              "Total Number Samples, 2, 0\n"
              "Run Date, 2023-11-07, \n"
              "Y-axis Offset (OD), 1.23E-02, -5.00E-01\n"
              "X-axis Gain, 1.000, 1.000\n"
              "Y-axis Gain, 2.00, 1.00\n"
              "\n"
              "Data Columns:\n"
              "Distance(mm), run, one.csv_Absorbance, b.csv_Absorbance\n"
              "1.00, 0.100000, \n"
              "1.50, 0.200000, 0.300000\n");
}

TEST(ExportFile, OffsetsShiftRowsAndEmptyCellsFillTheGaps) {
    // A later start: the second set's first value on the fourth line.
    const auto later = dataLines(text({set("a", 0, {1, 2, 3, 4, 5}), set("b", 3, {7, 8})}));
    ASSERT_EQ(later.size(), 5u);
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(later[r].ends_with(", ")) << later[r];
    EXPECT_EQ(later[3], "2.50, 4.000000, 7.000000");
    EXPECT_EQ(later[4], "3.00, 5.000000, 8.000000");

    // An earlier start: the reference's columns are empty until row 0.
    const auto earlier = dataLines(text({set("a", 0, {1, 2}), set("b", -2, {7, 8, 9, 10})}));
    EXPECT_EQ(earlier, (std::vector<std::string>{", , 7.000000", ", , 8.000000", "1.00, 1.000000, 9.000000",
                                                 "1.50, 2.000000, 10.000000"}));

    // A set that ends early leaves its column empty; a set outlasting the
    // reference keeps the distance column empty. The reference's own offset
    // counts as 0 and offsets go to the nearest whole sample, as the
    // compare window shows them (1.9 is 2, -0.9 is -1, 0.5 is 1).
    const auto uneven = dataLines(text({set("a", 7, {1, 2}), set("b", 1.9, {5}), set("c", -0.9, {6, 7, 8})}));
    EXPECT_EQ(uneven, (std::vector<std::string>{", , , 6.000000", "1.00, 1.000000, , 7.000000",
                                                "1.50, 2.000000, , 8.000000", ", , 5.000000, "}));
    const std::string halves = text({set("a", 0, {1}), set("b", 0.5, {2}), set("c", -2.5, {3})});
    EXPECT_NE(halves.find("b: 1 samples\nc: -3 samples\n"), std::string::npos) << halves;
    EXPECT_NE(text({set("a", 7, {1})}).find("a: 0 samples\n"), std::string::npos);

    // Values that are not numbers leave their cell empty; the cursor moves on.
    auto gaps = set("a", 0, {0.5, std::nan(""), 0.7});
    gaps.position[0] = std::nan("");
    EXPECT_EQ(dataLines(text({gaps})), (std::vector<std::string>{", 0.500000", "1.50, ", "2.00, 0.700000"}));
}

TEST(ExportFile, ReaderTakesBackWhatIsWrittenAndRunsGiveTheirParameters) {
    RunDataFile run;
    ASSERT_EQ(run.read(kRuns / "two_channel.csv"), RunDataFile::ReadStatus::Ok);
    SetPlacement placement;
    placement.xOffset = -1.0;
    placement.yGain = 3.0;
    const auto two = exportSetOf(run, kRuns / "two_channel.csv", placement);
    EXPECT_EQ(two.name, "two_channel.csv");
    EXPECT_DOUBLE_EQ(two.parameters.pistonSpeed, 1.0);
    EXPECT_DOUBLE_EQ(two.parameters.samplesPerSecond, 20.0);
    EXPECT_DOUBLE_EQ(two.parameters.totalDistance, 85.0);
    EXPECT_EQ(two.parameters.runDate, "2023-11-07");
    EXPECT_EQ(two.parameters.totalSamples, static_cast<long long>(run.sampleCount()));
    EXPECT_DOUBLE_EQ(two.parameters.yGain, 3.0);
    EXPECT_EQ(two.absorbance.size(), run.sampleCount());

    ASSERT_EQ(run.read(kRuns / "em1.csv"), RunDataFile::ReadStatus::Ok);
    const auto em1 = exportSetOf(run, kRuns / "em1.csv", SetPlacement{1.0, 1.0, 0.0, -1.0});
    EXPECT_DOUBLE_EQ(em1.parameters.pistonSpeed, 0.5);
    EXPECT_DOUBLE_EQ(em1.parameters.fractionDistance, 5.0);
    EXPECT_EQ(em1.parameters.numberOfFractions, 8);
    EXPECT_EQ(em1.parameters.startType, 1);
    EXPECT_EQ(em1.absorbance.size(), run.em1Samples().size());

    RunDataFile back;
    ASSERT_EQ(back.parse(text({two, em1})), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(back.exportedSets().size(), 2u);
    EXPECT_EQ(back.exportedSets()[0].samples.size(), two.absorbance.size());
    EXPECT_EQ(back.exportedSets()[1].name, "em1.csv");
    EXPECT_EQ(back.exportedSets()[1].offset, -1);
    // The "A" row has no absorbance: its cell stays empty and is not read back.
    EXPECT_EQ(back.exportedSets()[1].samples.size(),
              static_cast<std::size_t>(std::count_if(em1.absorbance.begin(), em1.absorbance.end(),
                                                     [](double v) { return std::isfinite(v); })));
    EXPECT_EQ(back.exportedSets()[1].samples.size(), em1.absorbance.size() - 1);
    EXPECT_EQ(exportedFileMessage(back, "x.csv"),
              "Error, x.csv is an exported Corvane file. It cannot be compared with other files.");

    ASSERT_EQ(back.read(kRuns / "older_export.csv"), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(exportedFileMessage(back, "old.csv"),
              "Error, old.csv is an exported Tellmar file. It cannot be compared with other files.");
    EXPECT_EQ(exportedFileMessage(run, "em1.csv"), "");
}

TEST(ExportFile, FileAppearsWholeOrNotAtAllAndIsNeverReplacedUnasked) {
    test::TempDir dir;
    const std::vector<ExportSet> sets{set("a", 0, {1, 2}), set("b", 1, {3})};
    const auto out = dir / "out.csv";
    ASSERT_EQ(exportToFile(out, sets, ExistingTarget::Keep), ExportResult::Ok);
    EXPECT_EQ(test::readFile(out), text(sets));

    dir.write("kept.csv", "mine\n");
    EXPECT_EQ(exportToFile(dir / "kept.csv", sets, ExistingTarget::Keep), ExportResult::TargetExists);
    EXPECT_EQ(dir.read("kept.csv"), "mine\n");
    EXPECT_EQ(exportToFile(dir / "kept.csv", sets, ExistingTarget::Replace), ExportResult::Ok);
    EXPECT_EQ(dir.read("kept.csv"), text(sets));
    // A run being recorded is not replaced, though the save dialog asked.
    const auto recording = dir.write("recording.csv", "rows\n");
    {
        const auto recorder = openFile(recording, "ab");
        ASSERT_TRUE(claimForWriting(recorder.get()));
        EXPECT_EQ(exportToFile(recording, sets, ExistingTarget::Replace), ExportResult::TargetBusy);
        EXPECT_EQ(exportResultMessage(ExportResult::TargetBusy, recording.string()), heldFileProblem(recording));
    }
    EXPECT_EQ(dir.read("recording.csv"), "rows\n");
    std::filesystem::remove(recording);

    EXPECT_EQ(exportToFile(dir / "none.csv", {}, ExistingTarget::Keep), ExportResult::NothingToExport);
    EXPECT_EQ(exportToFile(dir / "far.csv", {set("a", 0, {1}), set("b", 2e7, {1})}, ExistingTarget::Keep),
              ExportResult::OffsetTooLarge);
    EXPECT_EQ(exportToFile(dir / "missing" / "x.csv", sets, ExistingTarget::Keep), ExportResult::CannotCreate);
    if (::geteuid() != 0) {  // root writes anywhere
        std::filesystem::create_directory(dir / "locked");
        ::chmod((dir / "locked").c_str(), 0555);
        EXPECT_EQ(exportToFile(dir / "locked" / "x.csv", sets, ExistingTarget::Keep), ExportResult::CannotCreate);
        ::chmod((dir / "locked").c_str(), 0755);
    }
    // A partial file of an export that was killed goes; somebody's own ".part" stays.
    const auto killed = dir.write("out.csv.part", "Corvane Export File\nCorvane Files Exported: a\n");
    const auto theirs = dir.write("out.csv.part1", "my notes\n");
    for (const auto& old : {killed, theirs}) {
        std::filesystem::last_write_time(old, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5));
    }
    EXPECT_EQ(exportToFile(out, sets, ExistingTarget::Replace), ExportResult::Ok);
    EXPECT_FALSE(std::filesystem::exists(killed));
    EXPECT_TRUE(std::filesystem::exists(theirs));
    std::filesystem::remove(theirs);

    // Only the files placed whole: no partial copy left beside them.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"kept.csv", "out.csv"}));
    EXPECT_EQ(exportResultMessage(ExportResult::Ok, "p.csv"), "Data exported successfully to: p.csv");
    EXPECT_EQ(exportResultMessage(ExportResult::WriteFailed, "p.csv"), "Error exporting data to: p.csv");
}

}  // namespace
}  // namespace corvane
