// The acquisition stream on the link: absorbances, positions, the ratio rule
// with its one-sample delay, and when rows reach the run file; the test file
// and the DE-1 source; what construction makes of the port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ReaderTestSupport.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::Pointwise;
using test::DataRows;

struct Counts {
    std::uint32_t sampleA = 1000;
    std::uint32_t sourceA = 500;
    std::uint32_t sampleB = 100;
    std::uint32_t sourceB = 500;
};

// A settings packet as the unit streams it: 100 ms, duty 50, both positions.
Cmd0 SetupPacket(Counts c, std::uint16_t piston = 1000, std::int16_t speed = 0,
                 std::uint8_t cntl = kCmd0PositionA | kCmd0PositionB) {
    Cmd0 p;
    p.ucDutyCycleA = 50;
    p.ucATODGain = 4;
    p.uiIntegrationTime = 100;
    p.ulATODADataA0 = c.sampleA;
    p.ulATODADataA1 = c.sourceA;
    p.ulATODADataB0 = c.sampleB;
    p.ulATODADataB1 = c.sourceB;
    p.ucCmd0CntlInfo = cntl;
    p.uiPistonPos = piston;
    p.iPistonSpeed = speed;
    return p;
}

constexpr std::uint8_t kChannelB = 2;

Cmd2 RunningPacket(std::uint8_t channel, std::uint32_t sample, std::uint32_t source,
                   std::uint16_t piston, std::int16_t speed = 10) {
    Cmd2 p;
    p.ucCmd2CntlInfo = channel;
    p.ulATODADataSample = sample;
    p.ulATODADataSource = source;
    p.uiPistonPos = piston;
    p.iPistonSpeed = speed;
    return p;
}

class LinkReader : public ::testing::Test, public test::ScriptedBench {
protected:
    void SetUp() override {
        open(config());
        ASSERT_TRUE(reader->link() && reader->link()->connected());
        ASSERT_TRUE(hearMode(kModeSetup));
    }
};

TEST(ChannelPosition, TakesTheMiddleOfTheChannelsShareLessTenMillisecondsOfTravel) {
    Cmd0 settings;
    settings.uiIntegrationTime = 200;
    settings.ucDutyCycleA = 30;
    // 12.34 mm at 2.5 mm/s: A's share is 60 ms, B's 140 ms.
    EXPECT_NEAR(ChannelPosition(settings, 1234, 25, SampleChannel::A, 0.0), 12.24, 1e-9);
    EXPECT_NEAR(ChannelPosition(settings, 1234, 25, SampleChannel::B, 0.0), 12.14, 1e-9);
    EXPECT_NEAR(ChannelPosition(settings, 1234, 25, SampleChannel::B, 1.5), 10.64, 1e-9);
    EXPECT_NEAR(ChannelPosition(settings, 1234, -25, SampleChannel::A, 0.0), 12.44, 1e-9);
    EXPECT_NEAR(ChannelPosition(settings, 1234, -25, SampleChannel::B, 0.0), 12.54, 1e-9);
    EXPECT_NEAR(ChannelPosition(settings, 0xFFF6, 0, SampleChannel::A, 0.0), -0.10, 1e-9)
        << "the piston position is signed";
}

TEST_F(LinkReader, AbsorbanceComesFromTheSourceFactorsOrTheCalibrationCurve) {
    ASSERT_EQ(sample(SetupPacket({})), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.absorbanceA, 0.0) << "sample 1000 is twice source 500";
    EXPECT_DOUBLE_EQ(record.absorbanceB, 1.0);

    ASSERT_TRUE(reader->SetSourceFactors(1.0, 0.2));
    ASSERT_EQ(sample(SetupPacket({})), SampleReader::kOk);
    EXPECT_NEAR(record.absorbanceA, -std::log10(2.0), 1e-12);
    EXPECT_DOUBLE_EQ(record.absorbanceB, 0.0);

    // A: r = 2, (2 x 0 + 0.5) x 2 = 1; B: r = 0.2, (0.2 x 1 + 0) x 0.2 = 0.04.
    ASSERT_TRUE(reader->SetCalibrationCurve({0.0, 0.5, 1.0, 0.0}));
    ASSERT_EQ(sample(SetupPacket({})), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.absorbanceA, 0.0);
    EXPECT_NEAR(record.absorbanceB, -std::log10(0.04), 1e-12);

    ASSERT_TRUE(reader->SetSourceFactors(2.0, 2.0));
    EXPECT_FALSE(reader->calibrationCurve()) << "new factors drop the curve";
    ASSERT_EQ(sample(SetupPacket({})), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.absorbanceB, 1.0);
}

TEST_F(LinkReader, SettingsPacketsPlaceOnlyTheChannelsTheirControlBitsName) {
    ASSERT_EQ(sample(SetupPacket({}, 1000)), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.positionA, 10.0);
    EXPECT_DOUBLE_EQ(record.positionB, 10.0);
    EXPECT_FALSE(reader->link()->ShortPacketMode());

    ASSERT_EQ(sample(SetupPacket({}, 2000, 0, 0)), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.positionA, 10.0);
    EXPECT_DOUBLE_EQ(record.positionB, 10.0);
    ASSERT_EQ(sample(SetupPacket({}, 2000, 0, kCmd0PositionA)), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.positionA, 20.0);
    EXPECT_DOUBLE_EQ(record.positionB, 10.0);
    ASSERT_EQ(sample(SetupPacket({}, 3000, 0, kCmd0PositionB)), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.positionA, 20.0);
    EXPECT_DOUBLE_EQ(record.positionB, 30.0);

    reader->link()->SetPositionOffset(2.5);
    ASSERT_EQ(sample(SetupPacket({}, 3000)), SampleReader::kOk);
    EXPECT_DOUBLE_EQ(record.positionA, 27.5);
}

TEST_F(LinkReader, RunningPacketsChangeOnlyTheirOwnChannel) {
    Cmd0 settings = SetupPacket({});
    settings.uiIntegrationTime = 200;
    settings.ucDutyCycleA = 30;
    ASSERT_EQ(sample(settings), SampleReader::kOk);
    ASSERT_TRUE(hearMode(kModeManual));
    reader->link()->SetPositionOffset(1.5);

    const SampleRecord before = record;
    ASSERT_EQ(sample(RunningPacket(kCmd2ChannelA, 100, 500, 1234, 25)), SampleReader::kOk);
    EXPECT_TRUE(reader->link()->ShortPacketMode());
    EXPECT_EQ(record.sampleA, 100u);
    EXPECT_EQ(record.sourceA, 500u);
    EXPECT_DOUBLE_EQ(record.absorbanceA, 1.0);
    EXPECT_NEAR(record.positionA, 10.74, 1e-9);
    EXPECT_EQ(record.sampleB, before.sampleB);
    EXPECT_EQ(record.sourceB, before.sourceB);
    EXPECT_EQ(record.absorbanceB, before.absorbanceB);
    EXPECT_EQ(record.positionB, before.positionB);

    const SampleRecord afterA = record;
    ASSERT_EQ(sample(RunningPacket(kChannelB, 10, 500, 1234, -25)), SampleReader::kOk);
    EXPECT_EQ(record.sampleB, 10u);
    EXPECT_DOUBLE_EQ(record.absorbanceB, 2.0);
    EXPECT_NEAR(record.positionB, 11.04, 1e-9) << "moving up: the reading lies below the piston";
    EXPECT_EQ(record.sampleA, afterA.sampleA);
    EXPECT_EQ(record.positionA, afterA.positionA);
}

TEST_F(LinkReader, RunningPacketsBeforeAnySettingsPacketSitAtZero) {
    ASSERT_TRUE(hearMode(kModeManual));
    reader->link()->SetPositionOffset(1.5);
    EXPECT_EQ(sample(RunningPacket(kCmd2ChannelA, 100, 500, 1234, 25)), SampleReader::kZeroSource)
        << "no B reading yet";
    EXPECT_EQ(record.positionA, 0.0);
    EXPECT_EQ(reader->currentRecord().sampleA, 100u) << "stored although not usable";
    EXPECT_EQ(reader->GetSample(record), SampleReader::kNoPacket);
}

TEST_F(LinkReader, ZeroSourceReadingsAreStoredButNotUsable) {
    ASSERT_EQ(sample(SetupPacket({.sourceB = 0})), SampleReader::kZeroSource);
    EXPECT_EQ(record.sourceB, 0u);
    EXPECT_EQ(reader->currentRecord().sourceB, 0u);
    ASSERT_EQ(sample(SetupPacket({})), SampleReader::kOk);
    EXPECT_EQ(reader->previousRecord().sourceB, 0u);
}

// Ratios from hand-picked counts (factor 2, source 5000): sample 10000, 1000,
// 100, 10 give absorbance 0, 1, 2, 3.
TEST_F(LinkReader, SettingsStreamRatiosAreCompletedByTheNextSample) {
    std::vector<double> ratios;
    for (const Counts c : {Counts{1000, 5000, 100, 5000},   // A 1, B 2: nothing to complete yet
                           Counts{10, 5000, 1000, 5000},    // (1 + 3) / 2 / 1
                           Counts{100, 5000, 100, 5000},    // (3 + 2) / 2 / 2
                           Counts{1000, 5000, 10000, 5000}, // B 0: the last ratio stands
                           Counts{1000, 5000, 1000, 5000}}) {  // (1 + 1) / 2 / 1
        ASSERT_EQ(sample(SetupPacket(c)), SampleReader::kOk);
        ratios.push_back(record.ratio);
    }
    EXPECT_TRUE(std::isnan(ratios[0]));
    EXPECT_THAT(std::vector(ratios.begin() + 1, ratios.end()),
                Pointwise(DoubleNear(1e-12), {2.0, 1.25, 1.25, 1.0}));
}

TEST_F(LinkReader, RunningStreamRatiosAverageTheAReadingsAroundEachBReading) {
    // A 0 and B 1 at 10 mm, standing.
    ASSERT_EQ(sample(SetupPacket({10000, 5000, 1000, 5000}, 1000)), SampleReader::kOk);
    ASSERT_TRUE(hearMode(kModeManual));
    // Moving down at 1 mm/s, each reading 35 mm/100 above the piston.
    std::vector<double> ratios;
    for (const Cmd2& p : {RunningPacket(kCmd2ChannelA, 1000, 5000, 1000),  // A 1 at 9.965
                          RunningPacket(kChannelB, 10, 5000, 1010),         // B 3 at 10.065
                          RunningPacket(kCmd2ChannelA, 10, 5000, 1020),     // A 3 at 10.165
                          RunningPacket(kChannelB, 1000, 5000, 1030),       // B 1 at 10.265
                          RunningPacket(kCmd2ChannelA, 100, 5000, 1040)}) { // A 2 at 10.365
        ASSERT_EQ(sample(p), SampleReader::kOk);
        ratios.push_back(record.ratio);
    }
    // Each record is completed by the next sample with that sample's B,
    // except the one whose B reading lies above its A reading (B was read
    // first): it keeps the ratio it was stored with.
    EXPECT_THAT(ratios, Pointwise(DoubleNear(1e-12), {0.5, 1.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0, 2.5}));
}

TEST_F(LinkReader, RowsAreWrittenAtEachPathsOwnMoment) {
    const auto run = folder / "TEMP" / "run.csv";
    ASSERT_TRUE(writer->OpenRunFile(run, {}));
    EXPECT_TRUE(writer->isRecording());
    ASSERT_EQ(sample(SetupPacket({1000, 5000, 100, 5000})), SampleReader::kOk);
    ASSERT_EQ(sample(SetupPacket({10, 5000, 1000, 5000}, 1050)), SampleReader::kOk);
    ASSERT_EQ(sample(SetupPacket({.sourceA = 0})), SampleReader::kZeroSource);  // not written
    ASSERT_TRUE(writer->SetPaused(true));
    ASSERT_EQ(sample(SetupPacket({})), SampleReader::kOk);  // not written
    ASSERT_TRUE(writer->SetPaused(false));

    ASSERT_TRUE(hearMode(kModeManual));
    // Written before the zero-source test.
    ASSERT_EQ(sample(RunningPacket(kCmd2ChannelA, 1000, 0, 1100, 0)), SampleReader::kZeroSource);
    ASSERT_EQ(sample(RunningPacket(kCmd2ChannelA, 1000, 500, 1100, 0)), SampleReader::kOk);

    const auto rows = DataRows(run);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1], "10, 5000, 1000, 5000, 10.50, 3.000000, 10.50, 1.000000, 10.50, 2.000000");
    EXPECT_EQ(rows[2].rfind("1000, 0, 100, 500, 11.00, -inf, 10.00, 1.000000, 10.00, ", 0), 0u)
        << rows[2];
    EXPECT_EQ(rows[3].rfind("1000, 500, 100, 500, 11.00, 0.000000, ", 0), 0u) << rows[3];

    ASSERT_TRUE(writer->close(false));
    EXPECT_FALSE(writer->isRecording());
    const auto kept = DataRows(run);
    ASSERT_EQ(sample(RunningPacket(kCmd2ChannelA, 1000, 500, 1100, 0)), SampleReader::kOk);
    EXPECT_EQ(DataRows(run), kept);
}

class TestFileReader : public ::testing::Test, public test::ScriptedBench {};

TEST_F(TestFileReader, ReadsSevenValueLinesPacedByTheClock) {
    folder.write("testFile.txt",
                 "1000,500,0.5,800,400,0.25,12.5\n"
                 "a line of something else\n"
                 "1,2,3\n"
                 "2000, 1000, 0.125, 900, 450, 0, 13.0\r\n");
    auto config = this->config();
    config.testFile = true;
    config.testFileRate = 20.0;
    open(config);
    EXPECT_EQ(ports.opens(5), 0) << "neither port nor link with the test file";
    EXPECT_EQ(reader->link(), nullptr);

    std::int64_t before = clock.nowMs();
    ASSERT_EQ(reader->GetSample(record), SampleReader::kOk);
    EXPECT_EQ(clock.nowMs() - before, 50);
    EXPECT_EQ(record.sampleA, 1000u);
    EXPECT_EQ(record.sourceA, 500u);
    EXPECT_EQ(record.sampleB, 800u);
    EXPECT_EQ(record.sourceB, 400u);
    EXPECT_EQ(record.absorbanceA, 0.5);
    EXPECT_EQ(record.absorbanceB, 0.25);
    EXPECT_EQ(record.positionA, 12.5);
    EXPECT_EQ(record.positionB, 12.5);
    EXPECT_EQ(record.ratio, 2.0);

    ASSERT_EQ(reader->GetSample(record), SampleReader::kOk);
    EXPECT_EQ(record.sampleA, 2000u);
    EXPECT_EQ(record.positionB, 13.0);
    EXPECT_TRUE(std::isnan(record.ratio));

    before = clock.nowMs();
    EXPECT_EQ(reader->GetSample(record), SampleReader::kNoPacket);
    EXPECT_EQ(clock.nowMs() - before, 50) << "a used-up file still paces its caller";
    EXPECT_TRUE(prompter.transcript().empty());
}

TEST_F(TestFileReader, AMissingFileIsToldAndLeavesNoSource) {
    auto config = this->config();
    config.testFile = true;
    open(config);
    EXPECT_THAT(prompter.transcript(), ElementsAre("message: Error, unable to open testFile.txt"));
    EXPECT_EQ(reader->GetSample(record), SampleReader::kNoSource);
}

TEST(De1Reader, TheDe1BoxGoesBeforeTheLinkAndItsRecordsBecomeDe1Rows) {
    test::ManualClock clock;
    SimRigConfig rigConfig;
    rigConfig.withDe1 = true;
    SimRig rig(clock, rigConfig);
    test::TempDir folder;
    test::ScriptedPrompter prompter;
    // The connection hands over the box's handle, opened and set up.
    BridgeHandle handle = 0;
    ASSERT_EQ(rig.bridge().open("DE1B0042", kOpenBySerialNumber, handle), kBridgeOk);
    ASSERT_EQ(rig.bridge().setTimeouts(handle, 100, 100), kBridgeOk);
    ASSERT_EQ(rig.bridge().setBaudRate(handle, 115200), kBridgeOk);
    SampleReaderConfig config;
    config.workingFolder = folder.path();
    config.comPort = 3;
    config.de1Parameter = handle;
    SampleReader reader({rig.ports(), rig.bridge(), clock, prompter, nullptr, nullptr, false},
                        config);
    ASSERT_TRUE(reader.hasDe1Source());
    ASSERT_NE(reader.link(), nullptr);
    RunWriter writer({prompter, clock, reader.sampleLock(), reader.link(),
                      RunFolders{folder.path(), folder.path()}, test::FixedCalendar});
    reader.setRecordSink(&writer);

    const auto run = folder / "de1.csv";
    RunDescription description;
    description.em1 = Em1RunWriter::Setup{};
    ASSERT_TRUE(writer.OpenRunFile(run, description));
    std::vector<SampleRecord> records;
    SampleRecord record;
    for (const auto end = clock.nowMs() + 3000; clock.nowMs() < end;) {
        if (reader.GetSample(record) == SampleReader::kOk) {
            records.push_back(record);
        }
    }
    ASSERT_GE(records.size(), 20u);
    EXPECT_EQ(reader.link()->traffic().bytesReceived, 0u) << "the unit is not read meanwhile";

    const auto rows = DataRows(run);
    ASSERT_EQ(rows.size(), records.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = records[i];
        const bool marked = r.sampleA > Em1RunWriter::kEventThreshold;
        EXPECT_EQ(rows[i].rfind(formatText("%.2f, %.6f, ", r.positionA, r.absorbanceA), 0), 0u)
            << rows[i];
        EXPECT_EQ(rows[i].ends_with(", , "), !marked) << rows[i];
    }
}

TEST_F(TestFileReader, ThePortIsProbedFirstAndDecidesWhatIsMade) {
    open(config(true));
    EXPECT_TRUE(reader->portOpened());
    EXPECT_EQ(ports.opens(5), 1);
    EXPECT_FALSE(reader->plainPortOpen()) << "closed again for the link";
    ASSERT_NE(reader->link(), nullptr);
    EXPECT_TRUE(reader->link()->connected());

    reader.reset();
    ports.setConfigureFails(5, true);
    open(config(true));
    EXPECT_NE(reader->link(), nullptr) << "the link does not need the port's settings";
    open(config(false));
    EXPECT_FALSE(reader->plainPortOpen());
    EXPECT_EQ(reader->GetSample(record), SampleReader::kNoSource);

    reader.reset();
    ports.setOpenFails(5, true);
    open(config(true));
    EXPECT_FALSE(reader->portOpened());
    EXPECT_EQ(reader->link(), nullptr) << "a port that cannot be opened sets up neither path";
    EXPECT_EQ(reader->GetSample(record), SampleReader::kNoSource);
}

}  // namespace
}  // namespace corvane
