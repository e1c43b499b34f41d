// The STANDARD RUN window without its window: zones made and dragged, their
// numbers of fractions, and DONE with its questions and the saved file.

#include <gtest/gtest.h>

#include <string>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/FileReplace.h"
#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "base/WriterLock.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/RunDataFile.h"
#include "setup/OverlayPlanEditor.h"

namespace corvane {
namespace {

// A run 0 to 40 mm in 0.5 mm steps with a volume per mm of 0.143.
std::string runText() {
    std::string text =
        "Corvane Text Data File: liver.csv\nVersion: 1\n\nUser: Ann\nVolume per mm: 0.143 ml/mm\n\n"
        "Data Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i <= 80; ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.100000, %.2f, 1.000000\n", i * 0.5,
                           0.1 + i * 0.01, i * 0.5, i * 0.5);
    }
    return text;
}

class PlanEditor : public ::testing::Test {
protected:
    PlanEditor() {
        source = dir.write("data/liver.csv", runText());
        EXPECT_EQ(run.read(source), RunDataFile::ReadStatus::Ok);
    }
    OverlayPlanEditor editor(double limit = 5.0, OverlayPlan plan = {}) {
        return OverlayPlanEditor({dir.path(), prompter, 0.143, limit}, source, run, std::move(plan));
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    std::filesystem::path source;
    RunDataFile run;
};

TEST_F(PlanEditor, ZonesFollowOnAndBoundariesStayBetweenTheirNeighbours) {
    auto e = editor();
    EXPECT_EQ(e.xMax(), 40.0);
    EXPECT_EQ(e.endMarkerText(), "Xmax\n40.00 mm");
    EXPECT_EQ(e.createZone(),
              "Grab the cursor-line at the right end of Zone 1 and drag it to the desired end position for\nZone 1.");
    e.moveBoundary(0, 12.0);
    (void)e.createZone();
    e.moveBoundary(1, 25.0);
    (void)e.createZone();
    EXPECT_EQ(e.plan().zones, (std::vector<OverlayZone>{{0, 12, 1}, {12, 25, 1}, {25, 40, 1}}));

    // Zone 2's boundary moves zone 3's start with it, never past zone 3's
    // end nor before zone 2's start; the last one stops at the run's end.
    e.moveBoundary(1, 30.0);
    EXPECT_EQ(e.plan().zones[2].start, 30.0);
    e.moveBoundary(1, 99.0);
    EXPECT_EQ(e.plan().zones[1].end, 40.0);
    e.moveBoundary(1, -5.0);
    EXPECT_EQ(e.plan().zones[1].end, 12.0);
    EXPECT_EQ(e.plan().zones[2].start, 12.0);
    e.moveBoundary(2, 50.0);
    EXPECT_EQ(e.plan().zones[2].end, 40.0);

    EXPECT_EQ(OverlayPlanEditor::fractionsPrompt(1), "Enter number of fractions in Zone 2:");
    EXPECT_EQ(e.setFractions(0, "100"), "Number of fractions must be 99 or less.");
    EXPECT_EQ(e.plan().zones[0].fractions, 1);
    EXPECT_EQ(e.setFractions(0, "4"), "");
    EXPECT_EQ(e.plan().zones[0].fractions, 4);
    // The hover read-out: zone 1 is 12 mm in 4, 3 mm and 0.429 ml a fraction.
    const auto fraction = e.fractionAt(5.0);
    ASSERT_TRUE(fraction.has_value());
    EXPECT_DOUBLE_EQ(fraction->first, 3.0);
    EXPECT_NEAR(fraction->second, 0.429, 1e-9);
}

TEST_F(PlanEditor, DoneSavesAStandardRunUnderStandardRuns) {
    auto e = editor(5.0, {{{0, 10, 2}, {10, 30, 4}}, 0});
    // Not made beforehand: the editor makes it for the dialog to open in.
    const auto target = dir / "STANDARD RUNS" / "SR-liver.csv";
    prompter.scriptFile(target.string());
    ASSERT_EQ(e.done(), OverlayPlanEditor::Done::Saved);
    const auto requests = prompter.fileRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].title, "Please select a new filename for the STANDARD RUN");
    EXPECT_EQ(requests[0].filter, "SR CSV Text Files (sr*.csv)|sr*.csv|All Files (*.*)|*.*||");
    EXPECT_EQ(requests[0].defaultName, "SR-.csv");
    EXPECT_EQ(std::filesystem::path(requests[0].initialFolder).filename(), "STANDARD RUNS");
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{OverlayPlanEditor::kSaveTitle});  // no question

    const std::string saved = test::readFile(target);
    EXPECT_TRUE(saved.starts_with("Corvane Text Data File: SR-liver.csv\n"));
    EXPECT_EQ(readOverlayPlan(saved).plan, e.plan());
    EXPECT_EQ(test::readFile(source), runText());  // the source is left alone
}

TEST_F(PlanEditor, DoneStaysOpenWhileThePlanDoesNotFitOrTheNameIsRefused) {
    // 10 mm in 2 fractions needs 0.715 ml: no save dialog at all.
    auto tight = editor(0.5, {{{0, 10, 2}}, 0});
    EXPECT_EQ(tight.done(), OverlayPlanEditor::Done::Stay);
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{
                                    "The collection limit of 0.50 ml was exceeded in the following zones:\n"
                                    "Zone 1 requires 0.71 ml per fraction.\n"}));
    EXPECT_TRUE(prompter.fileRequests().empty());

    // A name without "SR": the warning, and No saves nothing.
    prompter.clear();
    auto e = editor(5.0, {{{0, 10, 2}}, 0});
    prompter.scriptFile((dir / "liver-plan.csv").string());
    prompter.answerNo();
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Stay);
    EXPECT_EQ(prompter.texts().back(), OverlayPlanEditor::kSrNameWarning);
    EXPECT_FALSE(dir.exists("liver-plan.csv"));
    // Yes keeps the name; a lower-case "sr" needs no question.
    prompter.scriptFile((dir / "liver-plan.csv").string());
    prompter.answerYes();
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Saved);
    prompter.clear();
    prompter.scriptFile((dir / "sr-b.csv").string());
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Saved);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{OverlayPlanEditor::kSaveTitle});
    // Saving the same file again leaves one block.
    prompter.scriptFile((dir / "sr-b.csv").string());
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Saved);
    const std::string again = test::readFile(dir / "sr-b.csv");
    EXPECT_EQ(again.find("[overlay plan]"), again.rfind("[overlay plan]"));
    EXPECT_EQ(prompter.unscripted(), 0);
}

TEST_F(PlanEditor, WithoutZonesDoneOffersAPlainResave) {
    auto e = editor();
    prompter.answerNo();  // "No" to add zones
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Stay);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{OverlayPlanEditor::kNoZonesQuestion});
    EXPECT_TRUE(prompter.fileRequests().empty());

    prompter.answerYes();
    prompter.scriptFile((dir / "again.csv").string());
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Resaved);
    EXPECT_EQ(prompter.fileRequests().back().filter,
              "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    const std::string copy = test::readFile(dir / "again.csv");
    EXPECT_TRUE(copy.starts_with("Corvane Text Data File: again.csv\n"));
    EXPECT_EQ(copy.find("[overlay plan]"), std::string::npos);
}

// A run being recorded (its recorder holds the writer's lock) is never the
// target of a save, though the save dialog asked: the plan and the plain copy
// are refused, said so, and the run is left as it is.
TEST_F(PlanEditor, NeitherSaveReplacesARunBeingRecorded) {
    const auto recorded = dir.write("sr-running.csv", "Corvane Text Data File: sr-running.csv\n");
    const auto recorder = openFile(recorded, "ab");
    ASSERT_TRUE(claimForWriting(recorder.get()));

    auto e = editor(5.0, {{{0, 10, 2}}, 0});
    prompter.scriptFile(recorded.string());
    EXPECT_EQ(e.done(), OverlayPlanEditor::Done::Stay);
    EXPECT_EQ(prompter.texts().back(), heldFileProblem(recorded));

    auto plain = editor();
    prompter.answerYes();
    prompter.scriptFile(recorded.string());
    EXPECT_EQ(plain.done(), OverlayPlanEditor::Done::Stay);
    EXPECT_EQ(prompter.texts().back(), heldFileProblem(recorded));
    EXPECT_EQ(test::readFile(recorded), "Corvane Text Data File: sr-running.csv\n");
}

}  // namespace
}  // namespace corvane
