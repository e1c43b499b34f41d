#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RecordingPoster.h"
#include "ScriptedPrompter.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;

TEST(ScriptedPrompter, TranscriptShowsTextsAndAnswersInOrder) {
    test::ScriptedPrompter prompter;
    prompter.answerNo();
    prompter.scriptFile("/data/run1.csv");

    Prompter& seam = prompter;
    seam.message("Error, could not start recording.");
    EXPECT_FALSE(seam.askYesNo("Do you wish to save this run?"));
    EXPECT_EQ(seam.saveFile({"Save Run", "CSV (*.csv)|*.csv||", "/data", "", "csv"}),
              "/data/run1.csv");
    seam.notify("firmware warning");

    EXPECT_THAT(prompter.transcript(),
                ElementsAre("message: Error, could not start recording.",
                            "question: Do you wish to save this run? -> No",
                            "save: Save Run -> /data/run1.csv", "notify: firmware warning"));
    EXPECT_EQ(prompter.unscripted(), 0);
}

TEST(ScriptedPrompter, UnscriptedQuestionsAreAnsweredNoAndCounted) {
    test::ScriptedPrompter prompter;
    EXPECT_FALSE(prompter.askYesNo("Are you sure you wish to exit?"));
    EXPECT_EQ(prompter.openFile({"Open", "", "", "", ""}), std::nullopt);
    EXPECT_TRUE(prompter.openFiles({"Open", "", "", "", ""}).empty());
    EXPECT_EQ(prompter.unscripted(), 3);
}

TEST(RecordingPoster, CountsAndCarriesPayloadsByValue) {
    test::RecordingPoster poster;
    struct Block {
        int heartbeats;
    };
    Block block{7};
    poster.post(UserMsg::LinkStats, 0, 0, block);
    block.heartbeats = 8;
    poster.post(UserMsg::WarmedUp);

    EXPECT_TRUE(poster.waitFor(UserMsg::WarmedUp));
    EXPECT_EQ(poster.count(UserMsg::LinkStats), 1);
    const auto messages = poster.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(std::any_cast<Block>(messages[0].payload).heartbeats, 7);
}

}  // namespace
}  // namespace corvane
