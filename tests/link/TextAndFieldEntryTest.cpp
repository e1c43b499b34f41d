#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "link/FieldEntry.h"
#include "recording/SampleLine.h"

namespace corvane {
namespace {

std::span<const char> chars(std::string_view text) {
    return {text.data(), text.size()};
}

TEST(SampleLine, AcceptsExactlyFiveIntegers) {
    EXPECT_EQ(ParseSampleLine("10,20,30,40,50"), (SampleLine{10, 20, 30, 40, 50}));
    EXPECT_EQ(ParseSampleLine(" 1, -2,+3,4,5\r"), (SampleLine{1, -2, 3, 4, 5}));
    EXPECT_EQ(ParseSampleLine("1,2,3,4,5,"), (SampleLine{1, 2, 3, 4, 5}));
    EXPECT_EQ(ParseSampleLine("1,2,3,4,5 junk"), (SampleLine{1, 2, 3, 4, 5}));

    EXPECT_FALSE(ParseSampleLine("10,20,30,40"));
    EXPECT_FALSE(ParseSampleLine("10,20,30,40,50,60"));
    EXPECT_FALSE(ParseSampleLine("10 ,20,30,40,50"));  // the comma must follow the number
    EXPECT_FALSE(ParseSampleLine("10,20,x,40,50"));
    EXPECT_FALSE(ParseSampleLine(""));
    EXPECT_EQ(ParseSampleLine("99999999999,0,0,0,-99999999999")->sampleA, 2147483647);
}

TEST(TextLine, SplitsOnAnyRunOfCrAndLf) {
    const std::string_view text = "\n1,2,3,4,5\r\n\r\n6,7,8,9,10\r";
    const auto first = FindTextLine(chars(text));
    ASSERT_EQ(first.status, TextLine::Status::Complete);
    EXPECT_EQ(text.substr(first.start, first.length), "1,2,3,4,5");
    EXPECT_EQ(first.consumed, 14u);
    const auto second = FindTextLine(chars(text.substr(first.consumed)));
    ASSERT_EQ(second.status, TextLine::Status::Complete);
    EXPECT_EQ(text.substr(first.consumed + second.start, second.length), "6,7,8,9,10");
    EXPECT_EQ(first.consumed + second.consumed, text.size());

    const auto partial = FindTextLine(chars("\r\n1,2,3"));
    EXPECT_EQ(partial.status, TextLine::Status::Incomplete);
    EXPECT_EQ(partial.consumed, 0u);
}

TEST(TextLine, DropsTwoHundredFiftySixCharactersWithoutAnEnding) {
    const std::string longest(255, '7');
    EXPECT_EQ(FindTextLine(chars(longest + "\n")).status, TextLine::Status::Complete);

    const std::string noEnding(300, '7');
    const auto tooLong = FindTextLine(chars(noEnding));
    EXPECT_EQ(tooLong.status, TextLine::Status::TooLong);
    EXPECT_EQ(tooLong.consumed, 256u);
    EXPECT_EQ(FindTextLine(chars(std::string(256, '7'))).status, TextLine::Status::TooLong);
}

TEST(FieldEntry, ReadsHexWhenThereIsAnXAndDecimalOtherwise) {
    EXPECT_EQ(ParseFieldEntry("0x1F"), 31);
    EXPECT_EQ(ParseFieldEntry("0X1f"), 31);
    EXPECT_EQ(ParseFieldEntry("ff x"), 255);
    EXPECT_EQ(ParseFieldEntry("  42"), 42);
    EXPECT_EQ(ParseFieldEntry("-3"), -3);
    EXPECT_EQ(ParseFieldEntry("12abc"), 12);
    EXPECT_FALSE(ParseFieldEntry("ff"));  // no x: decimal, and not a number
    EXPECT_FALSE(ParseFieldEntry("x"));
    EXPECT_FALSE(ParseFieldEntry(""));
    EXPECT_FALSE(ParseFieldEntry("abc"));
}

TEST(FieldEntry, Cmd0FieldsAreCheckedInOrderAndBuildASettingsPacket) {
    Cmd0FieldTexts texts{"50", "26", "28", "4", "0", "100", "-2", "8000", "0x7d0", "11000"};
    const auto good = Cmd0FromFieldTexts(texts);
    ASSERT_TRUE(good.packet);
    EXPECT_TRUE(good.message.empty());
    EXPECT_EQ(*good.packet, BuildCmd0(Cmd0Settings{50, 26, 28, 4, 0, 100, -2, 8000, 2000, 11000}));

    texts.ucRotor = "r";
    texts.uiTubeEndPistonPos = "";
    EXPECT_EQ(Cmd0FromFieldTexts(texts).message, "Invalid rotor value");
    texts.ucRotor = "1";
    EXPECT_EQ(Cmd0FromFieldTexts(texts).message, "Invalid tube end position.");
    texts.ucDutyCycleA = "?";
    EXPECT_EQ(Cmd0FromFieldTexts(texts).message, "Invalid duty cycle.");
    EXPECT_FALSE(Cmd0FromFieldTexts(texts).packet);
}

TEST(FieldEntry, Cmd1FieldsAreCheckedControlFirstKeyLast) {
    Cmd1FieldTexts texts{"8", "11", "13", "5"};
    const auto good = Cmd1FromFieldTexts(texts);
    ASSERT_TRUE(good.packet);
    EXPECT_EQ(*good.packet, BuildCmd1(5, 11, 13, 8));

    texts.ucUVKeyPressed = "k";
    texts.ucUVMenuStatus = "s";
    EXPECT_EQ(Cmd1FromFieldTexts(texts).message, "Invalid menu status");
    texts.ucCntlInfo = "c";
    EXPECT_EQ(Cmd1FromFieldTexts(texts).message, "Invalid Cntl Info.");
    texts = {"0", "10", "13", "k"};
    EXPECT_EQ(Cmd1FromFieldTexts(texts).message, "Invalid UV Key Pressed");
}

}  // namespace
}  // namespace corvane
