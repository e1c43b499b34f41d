#include <gtest/gtest.h>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "app/Version.h"
#include "setup/CheckList.h"
#include "setup/IntroPage.h"
#include "setup/UserNames.h"

namespace corvane {
namespace {

using test::ScriptedPrompter;
using test::TempDir;

TEST(IntroPage, PromptDependsOnTheInstrumentAndTheUsersFolderIsMade) {
    TempDir dir;
    ScriptedPrompter prompter;
    IntroPage found(dir.path(), prompter, true);
    IntroPage plain(dir.path(), prompter, false);
    EXPECT_EQ(found.prompt(),
              "USB connection to the Corvane established. Please enter your user name and press return: ");
    EXPECT_EQ(plain.prompt(), "Please enter your user name and press return: ");
    EXPECT_EQ(found.title(), std::string("Corvane version ") + kVersionText);

    plain.loadNames();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Users"));
    EXPECT_TRUE(plain.names().empty());
}

TEST(IntroPage, NamesComeFromTheUserFoldersWithoutTheirLastExtension) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Users" / "Ben");
    std::filesystem::create_directories(dir / "Users" / "Ann.lab.old");
    std::filesystem::create_directories(dir / "Users" / ".hidden");
    dir.write("Users/Carl.txt", "[user_settings]\n");  // a file, not a user
    EXPECT_EQ(userNamesIn(dir / "Users"), (std::vector<std::string>{".hidden", "Ann.lab", "Ben"}));
}

TEST(IntroPage, OffersTheLastStartsUserWhenOkWouldTakeIt) {
    TempDir dir;
    ScriptedPrompter prompter;
    const IntroPage page(dir.path(), prompter, true);
    EXPECT_EQ(page.lastUser(), "");  // no settings yet
    dir.write("prefs.cfg", "[prefs]\ncomport 3\nlastuser Ann Lee\n");
    EXPECT_EQ(page.lastUser(), "Ann Lee");
    dir.write("prefs.cfg", "[prefs]\nlastuser ../x\n");
    EXPECT_EQ(page.lastUser(), "");
    EXPECT_TRUE(prompter.texts().empty());
}

TEST(IntroPage, RefusesNamesThatWouldLeaveTheUsersFolder) {
    TempDir dir;
    ScriptedPrompter prompter;
    IntroPage page(dir.path(), prompter, true);
    for (const char* name : {"../x", "a/b", "", " Ann"}) {
        EXPECT_FALSE(page.accept(name)) << name;
    }
    EXPECT_EQ(prompter.texts().size(), 4u);
    EXPECT_NE(prompter.texts()[0].find(".."), std::string::npos);
    EXPECT_TRUE(page.userName().empty());

    EXPECT_TRUE(page.accept("Ann Lee"));
    EXPECT_EQ(page.userName(), "Ann Lee");

    prompter.answerNo();
    prompter.answerYes();
    EXPECT_FALSE(page.confirmExit());
    EXPECT_TRUE(page.confirmExit());
    EXPECT_EQ(prompter.texts().back(), "Are you sure you wish to exit?");
}

TEST(CheckList, LabelsBeforeAColonAndSetupItems) {
    EXPECT_EQ(parseCheckListLine("g:  Check the DE-1 SETUP page.  "),
              (CheckListItem{"Check the DE-1 SETUP page.", true}));
    EXPECT_EQ(parseCheckListLine("Step G2: Set the speed"), (CheckListItem{"Set the speed", true}));
    EXPECT_EQ(parseCheckListLine("12: Rinse: twice"), (CheckListItem{"Rinse: twice", false}));
    EXPECT_EQ(parseCheckListLine(":colon first: kept"), (CheckListItem{":colon first: kept", false}));
    EXPECT_EQ(parseCheckListLine("no label at all"), (CheckListItem{"no label at all", false}));
}

TEST(CheckList, OneItemAtATimeWithinItsList) {
    TempDir dir;
    dir.write("short_checklist.txt", "1: First\r\n\r\ng: Second\r\n3: Third\r\n");
    dir.write("detailed_checklist.txt", "1: Only\n");
    ScriptedPrompter prompter;
    CheckList list(prompter);
    list.load(dir.path());
    ASSERT_EQ(list.items().size(), 3u);  // the blank line is no item
    EXPECT_EQ(list.current()->text, "First");
    EXPECT_FALSE(list.previous());
    EXPECT_TRUE(list.next());
    EXPECT_TRUE(list.current()->setupItem);
    EXPECT_TRUE(list.next());
    EXPECT_FALSE(list.next());
    EXPECT_EQ(list.current()->text, "Third");

    list.showDetailed(true);  // index 2 lies beyond the one item: the last is shown
    EXPECT_EQ(list.index(), 0);
    EXPECT_EQ(list.current()->text, "Only");
    EXPECT_TRUE(prompter.texts().empty());
}

TEST(CheckList, AMissingFileIsReportedAndLeavesItsListEmpty) {
    TempDir dir;
    dir.write("short_checklist.txt", "1: First\n");
    ScriptedPrompter prompter;
    CheckList list(prompter);
    list.load(dir.path());
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Error, unable to open file: " +
                                                          (dir / "detailed_checklist.txt").string()}));
    list.showDetailed(true);
    EXPECT_EQ(list.current(), nullptr);
    EXPECT_FALSE(list.next());
}

TEST(CheckList, HostileFilesStayBounded) {
    TempDir dir;
    std::string lines;
    for (std::size_t i = 0; i < CheckList::kMaxItems + 5; ++i) {
        lines += "x\n";
    }
    dir.write("short_checklist.txt", lines);
    dir.write("detailed_checklist.txt", std::string(100000, 'y') + std::string(3, '\0') + "\n");
    ScriptedPrompter prompter;
    CheckList list(prompter);
    list.load(dir.path());
    EXPECT_EQ(list.items().size(), CheckList::kMaxItems);
    list.showDetailed(true);
    ASSERT_EQ(list.items().size(), 1u);
    EXPECT_EQ(list.current()->text.size(), CheckList::kMaxItemBytes);
}

}  // namespace
}  // namespace corvane
