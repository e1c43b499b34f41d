#include "RecordingBench.h"

#include <sstream>

#include "app/Clock.h"

namespace corvane::test {

void ShownDisplay::clearTraces() {
    const std::scoped_lock lock(mutex_);
    ++clears_;
}

void ShownDisplay::addSample(const SampleRecord&) {
    const std::scoped_lock lock(mutex_);
    ++samples_;
}

void ShownDisplay::redraw() {
    const std::scoped_lock lock(mutex_);
    ++redraws_;
}

void ShownDisplay::setDe1Span(double mm) {
    const std::scoped_lock lock(mutex_);
    de1Spans_.push_back(mm);
}

void ShownDisplay::showPositionAndSpeed(double, double) {}

int ShownDisplay::clears() const {
    const std::scoped_lock lock(mutex_);
    return clears_;
}

int ShownDisplay::samples() const {
    const std::scoped_lock lock(mutex_);
    return samples_;
}

std::vector<double> ShownDisplay::de1Spans() const {
    const std::scoped_lock lock(mutex_);
    return de1Spans_;
}

void PressingConnection::drive(ConnectionFlow& flow) {
    std::jthread keys;
    if (skipWarmup_) {
        keys = std::jthread([&](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (flow.state() == ConnectionState::WarmingUp) {
                    flow.keyPressed();
                }
                clock_.sleepMs(100, stop);
            }
        });
    }
    flow.connect();
    for (int presses = 0; presses < 3 && flow.state() == ConnectionState::Ready; ++presses) {
        flow.pressContinue();
    }
}

void PressingConnection::setMessage(const std::string& text) {
    const std::scoped_lock lock(mutex_);
    messages_.push_back(text);
}

std::vector<std::string> PressingConnection::messages() const {
    const std::scoped_lock lock(mutex_);
    return messages_;
}

SimRigConfig fastRig() {
    SimRigConfig config;
    auto& settings = config.kelvo.settings;
    settings.uiIntegrationTime = 50;
    settings.scanSpeed = 40;
    config.kelvo.optics.noiseFraction = 0.0;
    config.kelvo.optics.noiseCounts = 0.0;
    return config;
}

void writePrefs(const TempDir& folder, const std::string& extra) {
    folder.write("prefs.cfg", "[prefs]\nbaudrate 57600\ncomport 3\nallow_unlimited_tempfiles 0\n"
                              "lastuser \nlastdatafolder \n" +
                                  extra);
}

std::vector<std::string> dataRows(const std::filesystem::path& file) {
    return dataRowsOf(readFile(file));
}

std::vector<std::string> dataRowsOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> rows;
    bool data = false;
    for (std::string line; std::getline(in, line);) {
        if (data && !line.empty()) {
            rows.push_back(line);
        }
        if (line.starts_with("SampleA, SourceA") || line.starts_with("Distance(mm)")) {
            data = true;
        }
    }
    return rows;
}

RecordingBench::RecordingBench(SimRigConfig config)
    : prefsWritten((writePrefs(folder), true)),
      folders(folder.path(), prompter),
      rig(clock, std::move(config)),
      connection(clock),
      session({rig.ports(), rig.bridge(), clock, prompter, poster, nullptr}, folder.path()),
      controller({folder.path(), prompter, folders, clock, display, session, next}) {
    session.setDriver(&connection);
    session.setDisplay(&display);
}

RecordingBench::~RecordingBench() {
    session.stopLink();
    session.destroyAcquisition();
}

bool RecordingBench::connect(int comPort) {
    session.connect(comPort, 57600, 2);
    return session.connectResult() == true;
}

bool RecordingBench::waitFor(const std::function<bool()>& pred, std::int64_t limitMs) {
    for (const Deadline limit(clock, limitMs); !limit.expired();) {
        if (pred()) {
            return true;
        }
        clock.sleepMs(20);
    }
    return pred();
}

std::vector<std::filesystem::path> RecordingBench::tempRuns() const {
    return test::tempRuns(folder.path());
}

std::vector<std::filesystem::path> tempRuns(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> runs;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "TEMP", error)) {
        if (entry.path().extension() == ".csv") {
            runs.push_back(entry.path());
        }
    }
    return runs;
}

}  // namespace corvane::test
