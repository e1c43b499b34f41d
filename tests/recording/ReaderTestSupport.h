#pragma once

// What the acquisition tests share: the reader's seams over simulated ports
// and bridges with a run writer fed by it, a receive loop like the main
// window's, and the rows of a run file as text.

#include <atomic>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "recording/RunWriter.h"
#include "recording/SampleReader.h"
#include "sim/SimSerialPortApi.h"

namespace corvane::test {

inline CalendarTime FixedCalendar() {
    return {2024, 5, 17, 9, 30, 0};
}

// The data rows of a run file, as written.
inline std::vector<std::string> DataRows(const std::filesystem::path& path) {
    std::istringstream in(readFile(path));
    std::vector<std::string> rows;
    std::string line;
    bool data = false;
    while (std::getline(in, line)) {
        if (data) {
            rows.push_back(line);
        } else if (line == "Data Columns:") {
            std::getline(in, line);  // the column header
            data = true;
        }
    }
    return rows;
}

// A reader on a unit that sends exactly what the test scripts, reachable as
// COM 5 both through the bridge library and as a plain port. Time moves only
// when something waits.
struct ScriptedBench {
    ScriptedBench() : unit(clock), bridge(clock), ports(clock) {
        bridge.addDevice(unit, "SCRIPT01", 5);
        ports.addPort(5, unit);
        std::filesystem::create_directory(folder / "TEMP");
    }
    ~ScriptedBench() {
        reader.reset();
        writer.reset();
    }

    [[nodiscard]] SampleReaderConfig config(bool useLink = true) const {
        SampleReaderConfig c;
        c.workingFolder = folder.path();
        c.comPort = 5;
        c.useLink = useLink;
        return c;
    }
    SampleReader& open(const SampleReaderConfig& c) {
        reader.reset();  // the old one lets go of the port first
        writer.reset();
        reader = std::make_unique<SampleReader>(
            SampleReaderSeams{ports, bridge, clock, prompter, &poster, nullptr, false}, c);
        writer = std::make_unique<RunWriter>(
            RunWriterSeams{prompter, clock, reader->sampleLock(), reader->link(),
                           RunFolders{folder.path(), folder / "TEMP"}, FixedCalendar});
        reader->setRecordSink(writer.get());
        return *reader;
    }
    void send(std::string_view text) {
        unit.inject(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    // The link learns the unit's mode from one heartbeat.
    bool hearMode(std::uint8_t mode) {
        unit.inject(EncodeCmd1(UnitBeat(mode)));
        Cmd2 ignored;
        (void)reader->link()->ReadCmd2(ignored);
        return reader->link()->ParseHeartbeat();
    }
    int sample(const Cmd0& packet) {
        unit.inject(EncodeCmd0(packet));
        return reader->GetSample(record);
    }
    int sample(const Cmd2& packet) {
        unit.inject(EncodeCmd2(packet));
        return reader->GetSample(record);
    }

    ManualClock clock;
    ScriptedUnit unit;
    SimBridgeLibrary bridge;
    SimSerialPortApi ports;
    TempDir folder;
    ScriptedPrompter prompter;
    RecordingPoster poster;
    std::unique_ptr<SampleReader> reader;
    std::unique_ptr<RunWriter> writer;
    // The receive loop's record, handed to every call.
    SampleRecord record;
};

// The main window's receive loop: one GetSample per turn under the sample
// lock, every new record kept.
class ReceiveLoop {
public:
    ReceiveLoop(SampleReader& reader, Clock& clock)
        : reader_(reader), clock_(clock), thread_([this](std::stop_token stop) { run(stop); }) {}
    ~ReceiveLoop() { thread_.request_stop(); }
    ReceiveLoop(const ReceiveLoop&) = delete;
    ReceiveLoop& operator=(const ReceiveLoop&) = delete;

    [[nodiscard]] std::vector<SampleRecord> records() const {
        const std::scoped_lock lock(mutex_);
        return records_;
    }
    void clear() {
        const std::scoped_lock lock(mutex_);
        records_.clear();
    }
    [[nodiscard]] int turns() const { return turns_.load(); }

private:
    void run(std::stop_token stop) {
        SampleRecord record;
        while (!stop.stop_requested()) {
            if (clock_.tryLockFor(reader_.sampleLock(), UvLink::kSampleTurnLockMs)) {
                const std::unique_lock<SampleLock> held(reader_.sampleLock(), std::adopt_lock);
                if (reader_.GetSample(record) == SampleReader::kOk) {
                    const std::scoped_lock lock(mutex_);
                    records_.push_back(record);
                }
                turns_.fetch_add(1);
            }
            clock_.sleepMs(1, stop);
        }
    }

    SampleReader& reader_;
    Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<SampleRecord> records_;
    std::atomic<int> turns_{0};
    std::jthread thread_;
};

}  // namespace corvane::test
