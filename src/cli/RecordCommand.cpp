// corvane-cli record: the program's main job without its window. Connects as
// the connection window does, warms the detector up, brings the piston to the
// upper limit, records a run, stops it as STOP RECORD does and saves it under
// the name given, through the same save path as the window.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>

#include "app/Clock.h"
#include "app/DialogFolders.h"
#include "recording/Instruments.h"
#include "recording/De1Source.h"
#include "runs/OverlayPlanRules.h"
#include "sim/SimRig.h"
#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "runs/Em1SettingsStore.h"
#include "app/WindowPoster.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/PeakArgs.h"
#include "cli/RunDescriptionArgs.h"
#include "cli/RecordClosingLines.h"
#include "cli/TerminalKeys.h"
#include "cli/WorkingFolder.h"
#include "recording/SampleReader.h"
#include "recording/AcquisitionSession.h"
#include "recording/RecordingController.h"
#include "setup/CollectionVolume.h"
#include "recording/RunWriter.h"
#include "runs/RunDataFile.h"
#include "recording/RunDisplay.h"
#include "runs/TempFolder.h"

namespace corvane::cli {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kSavedLinkLost = 3;
constexpr int kInterrupted = 130;
constexpr int kInterByteDelayMs = 2;
constexpr double kDefaultSeconds = 60.0;
constexpr std::int64_t kReportEveryMs = 1000;
constexpr std::int64_t kPollMs = 20;
constexpr std::int64_t kWatchMs = 100;
// "Continue" presses before giving up on a piston that does not reach the
// upper limit switch.
constexpr int kContinueAttempts = 3;
// --until-stop: the scan has ended once the piston, having moved, has stood
// still this long.
constexpr std::int64_t kScanEndStillMs = 3000;

constexpr const char* kSaveQuestion = "Do you wish to save this run?";
constexpr const char* kTempFullQuestion = "The TEMP folder is full.";

void recordUsage(std::FILE* out) {
    std::fprintf(
        out,
        "usage: corvane-cli record (--simulate | --port N) [--de1] [--seconds S | --until-stop]\n"
        "                          [--skip-warmup] [--auto-scan [--target MM]] [--name NAME]\n"
        "                          [--discard-oldest-temp | --unlimited-temp] [--baud B]\n"
        "                          [--library PATH] [--sim-speed K] [--sim-faults LIST]\n"
        "                          [--force] [--collect-peaks PEAK-OPTIONS [--delay-volume ML]]\n"
        "                          -o FILE\n"
        "Records one run in the current folder, as the desktop program does, and saves it\n"
        "as FILE. The steps: connect to the Kelvo unit (the simulated one, or the bridge\n"
        "whose serial port is COM N), warm up (15 heartbeats; --skip-warmup skips once the\n"
        "unit has sent its settings), bring the piston to the upper limit, record (a\n"
        "two-channel run, or a DE-1 run with --de1) for S seconds (default 60) or with\n"
        "--until-stop until the piston's scan ends (a DE-1 run: until its last fraction\n"
        "mark has gone out, or Ctrl+C), stop, bring the piston back and save.\n"
        "--auto-scan runs the scan in auto mode: the piston goes to the target position\n"
        "(--target, mm), the scan starts and the meniscus becomes position zero.\n"
        "Progress goes to standard error, one line a second. Ctrl+C stops and saves the\n"
        "run as STOP RECORD would; a second Ctrl+C leaves at once and the run stays in\n"
        "TEMP, where `corvane-cli rescue` saves it.\n"
        "A full TEMP folder (20 runs) needs --discard-oldest-temp (the oldest go, 19\n"
        "stay) or --unlimited-temp (the limit is switched off for good).\n"
        "--sim-speed runs the simulated instrument and every wait K times faster;\n"
        "--sim-faults gives it faults (see corvane-cli link).\n"
        "At the end the link's account: packets received and lost, bytes skipped.\n"
        "FILE is never replaced unless --force is given; it is checked, and so is the\n"
        "run name, before anything connects or moves.\n"
        "A folder without prefs.cfg gets the default settings files first.\n"
        "--collect-peaks (DE-1 runs) cuts the fractions where peaks start and end on the\n"
        "live signal, each change sent when the tubing's dead volume (or the measured\n"
        "--delay-volume) has passed; the options are those of `corvane-cli collect`:\n"
        "--start-level AU, --end-level AU, --start-slope AU/mm, --end-slope AU/mm,\n"
        "--min-width MM, --per-peak N, --between one|every:MM.\n"
        "Exit codes: 0 saved, 1 failed (the run, if any, stays in TEMP), 2 wrong\n"
        "arguments, 3 saved but the run ended because the unit went silent, 130\n"
        "interrupted twice.\n");
    std::fputs(runDescriptionUsage(), out);
}

struct Options : InstrumentOptions {
    bool de1 = false;
    std::optional<double> seconds;
    bool untilStop = false;
    bool skipWarmup = false;
    bool autoScan = false;
    std::optional<double> target;
    std::string name;
    std::string output;
    std::optional<bool> discardOldestTemp;
    double simSpeed = 1.0;
    bool force = false;
    RunDescriptionArgs description;
    bool collectPeaks = false;
    PeakCollection peaks;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    std::string problem;
    bool peakOptionGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto taken = o.take(argc, argv, i); taken != Options::Taken::No) {
            if (taken == Options::Taken::Bad) {
                return std::nullopt;
            }
        } else if (const auto described = o.description.take(argc, argv, i); described != Options::Taken::No) {
            if (described == Options::Taken::Bad) {
                return std::nullopt;
            }
        } else if (arg == "--de1") {
            o.de1 = true;
        } else if (arg == "--collect-peaks") {
            o.collectPeaks = true;
        } else if (const auto peak = takePeakOption(argc, argv, i, o.peaks, true, problem);
                   peak != PeakOption::NotMine) {
            if (peak == PeakOption::Bad) {
                std::fprintf(stderr, "corvane-cli record: %s\n", problem.c_str());
                return std::nullopt;
            }
            peakOptionGiven = true;
        } else if (arg == "--seconds" && hasValue) {
            double seconds = 0.0;
            if (!parseNumber(argv[++i], seconds) || !(seconds > 0.0) || seconds > 86400.0) {
                return std::nullopt;
            }
            o.seconds = seconds;
        } else if (arg == "--until-stop") {
            o.untilStop = true;
        } else if (arg == "--skip-warmup") {
            o.skipWarmup = true;
        } else if (arg == "--auto-scan") {
            o.autoScan = true;
        } else if (arg == "--target" && hasValue) {
            double mm = 0.0;
            if (!parseNumber(argv[++i], mm) || mm < 0.0 || mm > 300.0) {
                return std::nullopt;
            }
            o.target = mm;
        } else if (arg == "--name" && hasValue) {
            o.name = argv[++i];
        } else if (arg == "-o" && hasValue) {
            o.output = argv[++i];
        } else if (arg == "--force") {
            o.force = true;
        } else if (arg == "--discard-oldest-temp" && !o.discardOldestTemp) {
            o.discardOldestTemp = true;
        } else if (arg == "--unlimited-temp" && !o.discardOldestTemp) {
            o.discardOldestTemp = false;
        } else if (arg == "--sim-speed" && hasValue) {
            if (!parseNumber(argv[++i], o.simSpeed) || !(o.simSpeed >= 1.0) || o.simSpeed > 50.0) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!o.complete() || o.output.empty() || (o.seconds && o.untilStop) ||
        (o.target && !o.autoScan) || (o.simSpeed != 1.0 && !o.simulate) || (o.de1 && o.autoScan)) {
        return std::nullopt;
    }
    if (peakOptionGiven != o.collectPeaks || (o.collectPeaks && !o.de1)) {
        std::fprintf(stderr, "corvane-cli record: --collect-peaks goes with --de1 and its own options\n");
        return std::nullopt;
    }
    if (o.collectPeaks) {
        o.peaks.enabled = true;
        if (const auto wrong = peakCollectionProblem(o.peaks); !wrong.empty()) {
            std::fprintf(stderr, "corvane-cli record: %s\n", wrong.c_str());
            return std::nullopt;
        }
    }
    if (!o.seconds && !o.untilStop) {
        o.seconds = kDefaultSeconds;
    }
    return o;
}

// --- Ctrl+C ---
// A signal handler can reach nothing but statics: the count of interrupts,
// and the text the second one prints before it leaves.
std::atomic<int> gInterrupts{0};
char gLeaveText[4352] = "\ncorvane-cli record: interrupted again; nothing was recorded\n";
std::atomic<std::size_t> gLeaveLength{std::strlen(gLeaveText)};

extern "C" void onInterrupt(int signal) {
#ifdef _WIN32
    // The C runtime of Windows puts the default back before each call.
    std::signal(signal, onInterrupt);
#else
    (void)signal;
#endif
    if (gInterrupts.fetch_add(1) >= 1) {
        // Every row is in the file already: leaving now loses none of them.
        // (A standard error that is gone cannot be told either.)
        (void)!::write(STDERR_FILENO, gLeaveText, gLeaveLength.load());
        ::_exit(kInterrupted);
    }
}

void setLeaveText(const std::filesystem::path& tempFile) {
    const int n = std::snprintf(gLeaveText, sizeof gLeaveText,
                                "\ncorvane-cli record: interrupted again; the run stays in TEMP as %s\n",
                                tempFile.string().c_str());
    gLeaveLength.store(n > 0 ? std::min(static_cast<std::size_t>(n), sizeof gLeaveText - 1) : 0);
}

#ifdef _WIN32
// Ctrl+C and Ctrl+Break of the console.
class InterruptHandlers {
public:
    InterruptHandlers()
        : oldInt_(std::signal(SIGINT, onInterrupt)), oldBreak_(std::signal(SIGBREAK, onInterrupt)) {}
    ~InterruptHandlers() {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGBREAK, oldBreak_);
    }
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;

private:
    using Handler = void (*)(int);
    Handler oldInt_;
    Handler oldBreak_;
};
#else
class InterruptHandlers {
public:
    InterruptHandlers() {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~InterruptHandlers() {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};
#endif

[[nodiscard]] bool interrupted() { return gInterrupts.load() > 0; }

// --- What the window would show ---

// Standard error, one line at a time, from any thread.
class Console {
public:
    void line(const std::string& text) {
        const std::scoped_lock lock(mutex_);
        // Lines name files and repeat the unit's texts: nothing of theirs
        // reaches the terminal as a control sequence.
        std::fprintf(stderr, "%s\n", visibleLines(text).c_str());
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
};

// The controller's questions: the save question is answered Yes with FILE
// as the name (as long as no file has appeared there, unless --force); the
// TEMP question by its option; anything else No, said so.
class RecordPrompter : public Prompter {
public:
    RecordPrompter(Console& console, std::string saveAs, std::optional<bool> discardOldestTemp,
                   bool force = false)
        : console_(console),
          saveAs_(std::move(saveAs)),
          discardOldestTemp_(discardOldestTemp),
          force_(force) {}

    void message(const std::string& text, const std::string&) override { console_.line(text); }
    void notify(const std::string& text, const std::string&) override { console_.line(text); }
    bool askYesNo(const std::string& text, const std::string&) override {
        bool answer = false;
        if (text == kSaveQuestion) {
            answer = true;
        } else if (text.starts_with(kTempFullQuestion) && discardOldestTemp_) {
            answer = *discardOldestTemp_;
        } else {
            console_.line(text + " (no option answers this here: No)");
            return false;
        }
        console_.line(text + (answer ? " Yes" : " No"));
        return answer;
    }
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::vector<std::string> openFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override {
        // Checked before the run, and again now: a file may have appeared.
        if (const auto problem = outputFileProblem("record", saveAs_, force_); !problem.empty()) {
            console_.line(problem);
            return std::nullopt;
        }
        return saveAs_;
    }

private:
    Console& console_;
    std::string saveAs_;
    std::optional<bool> discardOldestTemp_;
    bool force_;
};

// The receive thread's messages to the window.
class RecordPoster : public WindowPoster {
public:
    void post(UserMsg msg, std::int64_t, std::int64_t, std::any) override {
        if (msg == UserMsg::LinkLost) {
            linkLost_.store(true);
        }
    }
    [[nodiscard]] bool linkLost() const { return linkLost_.load(); }

private:
    std::atomic<bool> linkLost_{false};
};

// Position and speed of the piston moves; the samples themselves are the
// controller's, read back for the progress lines.
class ProgressDisplay : public RunDisplay {
public:
    explicit ProgressDisplay(Console& console) : console_(console) {}

    void clearTraces() override {}
    void addSample(const SampleRecord&) override {}
    void redraw() override {}
    void setDe1Span(double mm) override {
        char text[96];
        std::snprintf(text, sizeof text, "DE-1 run span: %.2f mm", mm);
        console_.line(text);
    }
    void showPositionAndSpeed(double positionMm, double speedMmPerS) override {
        position_.store(positionMm);
        speed_.store(speedMmPerS);
    }
    [[nodiscard]] double position() const { return position_.load(); }
    [[nodiscard]] double speed() const { return speed_.load(); }

private:
    Console& console_;
    std::atomic<double> position_{0.0};
    std::atomic<double> speed_{0.0};
};

// The connection window's part: its message line as lines, its buttons
// pressed as the operator would.
class ConsoleConnection : public ConnectionDriver, public ConnectionDisplay {
public:
    ConsoleConnection(Console& console, Clock& clock, bool skipWarmup)
        : console_(console), clock_(clock), skipWarmup_(skipWarmup) {}

    ConnectionDisplay& display() override { return *this; }

    void drive(ConnectionFlow& flow) override {
        // Ctrl+C ends a warm-up; --skip-warmup presses a key for as long as
        // the warm-up runs (the flow drops keys until the unit has talked),
        // and so does a key on the terminal.
        std::jthread watcher([&](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (interrupted()) {
                    flow.abort();
                }
                const bool key = keys_.keyPressed();
                if ((skipWarmup_ || key) && flow.state() == ConnectionState::WarmingUp) {
                    flow.keyPressed();
                }
                clock_.sleepMs(kWatchMs, stop);
            }
        });
        flow.connect();
        if (flow.state() == ConnectionState::Failed) {
            console_.line("  on COM" + std::to_string(flow.comPort()) + ": " + flow.silenceReason());
        }
        for (int presses = 0; presses < kContinueAttempts && !interrupted(); ++presses) {
            if (flow.state() == ConnectionState::IntroPending) {
                flow.introClosed(IntroChoice{});
            }
            if (flow.state() != ConnectionState::Ready) {
                break;
            }
            flow.pressContinue();
        }
    }

    void setTitle(const std::string&) override {}
    void setMessage(const std::string& message) override {
        const std::string text = keys_.isTerminal() ? message : withoutKeyHint(message);
        const std::scoped_lock lock(mutex_);
        if (text != shown_) {
            shown_ = text;
            console_.line(text);
        }
    }
    void setContinueCaption(const std::string&) override {}
    void enableButtons(bool, bool) override {}
    void finish(bool) override {}

private:
    Console& console_;
    Clock& clock_;
    const bool skipWarmup_;
    const TerminalKeys keys_;
    std::mutex mutex_;
    std::string shown_;
};

// One progress line: samples, position, speed, absorbance A.
std::string progressLine(double seconds, const RecordingController& controller, SampleReader& reader,
                         const ProgressDisplay& display) {
    const auto latest = controller.latestSample();
    double position = latest ? latest->positionA : display.position();
    double speed = display.speed();
    if (const UvLink* link = reader.link()) {
        if (const auto packet = link->lastCmd2()) {
            position = packet->pistonMm();
            speed = packet->iPistonSpeed * 0.1;
        }
    }
    char text[256];
    std::snprintf(text, sizeof text, "%6.1f s  %s  Position %.2f mm  Speed %.2f mm/sec  Abs A %.6f",
                  seconds, controller.recordedText().c_str(), position, speed,
                  latest ? latest->absorbanceA : 0.0);
    return text;
}

enum class StopReason { Time, ScanEnded, FractionsSent, Interrupted, LinkLost, Closed };

const char* reasonText(StopReason reason) {
    switch (reason) {
    case StopReason::Time: return "time is up";
    case StopReason::ScanEnded: return "the scan has ended";
    case StopReason::FractionsSent: return "every fraction mark has been sent";
    case StopReason::Interrupted: return "interrupted";
    case StopReason::LinkLost: return "the unit has been silent for more than 10 s";
    case StopReason::Closed: return "the run file was closed";
    }
    return "";
}

// Records until the time is up, the scan has ended, Ctrl+C or a lost link.
StopReason recordUntilDone(const Options& o, Clock& clock, RecordingController& controller,
                           SampleReader& reader, const RunWriter& writer,
                           const ProgressDisplay& display, const RecordPoster& poster,
                           Console& console) {
    const auto startMs = clock.nowMs();
    auto nextReportMs = startMs + kReportEveryMs;
    bool moved = false;
    std::int64_t stillSinceMs = startMs;
    std::int64_t failedReported = 0;
    for (;;) {
        if (interrupted()) {
            return StopReason::Interrupted;
        }
        if (poster.linkLost()) {
            return StopReason::LinkLost;
        }
        if (!controller.isRecording()) {
            return StopReason::Closed;
        }
        const auto now = clock.nowMs();
        if (o.seconds && static_cast<double>(now - startMs) >= *o.seconds * 1000.0) {
            return StopReason::Time;
        }
        if (o.untilStop && reader.de1Source() != nullptr && reader.de1Source()->FractionsComplete()) {
            return StopReason::FractionsSent;
        }
        if (o.untilStop && reader.link() != nullptr) {
            const auto packet = reader.link()->lastCmd2();
            if (packet && packet->iPistonSpeed != 0) {
                moved = true;
                stillSinceMs = now;
            } else if (moved && now - stillSinceMs >= kScanEndStillMs) {
                return StopReason::ScanEnded;
            }
        }
        if (now >= nextReportMs) {
            nextReportMs += kReportEveryMs;
            // Rows that do not reach the file are gone: the operator hears of
            // it at once (a full disk can be cleared while the run goes on).
            if (const auto failed = writer.failedWrites(); failed > failedReported) {
                if (failedReported == 0) {
                    console.line("corvane-cli record: rows cannot be written to the run file (is "
                                 "the disk full?)");
                }
                failedReported = failed;
            }
            console.line(progressLine(static_cast<double>(now - startMs) / 1000.0, controller, reader,
                                      display));
        }
        clock.sleepMs(kPollMs);
    }
}

// The auto-scan start: the piston to the target, the scan started and
// followed on a worker while START RECORD searches the meniscus.
bool startAutoScanRun(RecordingController& controller, Clock& clock, std::jthread& scan) {
    if (!controller.moveToTargetPosition()) {
        return false;
    }
    // How the scan ended shows in the run: the recording loop watches the piston.
    scan = std::jthread([&controller] { (void)controller.startAutoScan(); });
    auto& autoScan = controller.autoScan();
    // The worker presses the start key first; the search needs the stream.
    for (const Deadline wait(clock, AutoScan::kPacketWaitMs * 5);
         !autoScan.scanRunning() && !wait.expired() && !interrupted();) {
        clock.sleepMs(kPollMs);
    }
    if (!autoScan.scanRunning()) {
        return false;
    }
    controller.startStop();
    return true;
}

}  // namespace

int runRecord(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        recordUsage(stderr);
        return kUsage;
    }
    Console console;
    std::error_code error;
    const auto folder = std::filesystem::current_path(error);
    const auto output = std::filesystem::absolute(options->output, error);
    {
        // Everything that would make the run fail at its end is checked
        // before anything connects or moves: the run name as the TEMP file
        // name it becomes, and the file to save.
        Console quiet;
        RecordPrompter prompter(quiet, {}, {});
        const TempFolder temp({folder, folder / "TEMP"}, prompter);
        if (const auto problem = temp.runNameProblem(options->name); !problem.empty()) {
            console.line("corvane-cli record: --name: " + visibleText(problem));
            return kUsage;
        }
        if (const auto problem = outputFileProblem("record", options->output, options->force);
            !problem.empty()) {
            console.line(problem);
            return kFailed;
        }
    }
    std::optional<FileState> replacing;
    if (options->force) {
        if (const auto existing = openRegularFile(output)) {
            replacing = fileStateOf(existing.get());
        }
    }
    // The run's description is made before anything connects, too: a user
    // name that cannot name a folder, or a preset that cannot be read, stops
    // the run here with nothing created.
    std::string described;
    if (!resolveRunSetup(options->description, folder, options->de1, localCalendarTime(), described)) {
        console.line("corvane-cli record: " + visibleText(described));
        return kUsage;
    }
    if (!prepareWorkingFolder("record")) {
        return kFailed;
    }
    // Again, now that the folder has its settings files (the DE-1 settings
    // and the rotors' volumes come from them).
    const auto runSetup =
        resolveRunSetup(options->description, folder, options->de1, localCalendarTime(), described);
    if (!runSetup) {
        console.line("corvane-cli record: " + visibleText(described));
        return kFailed;
    }
    for (const auto& note : runSetup->notes) {
        console.line("corvane-cli record: " + note);
    }
    // The run is written into TEMP from its first row: a folder where that
    // cannot happen is found out now, not after the piston has moved.
    std::filesystem::create_directories(folder / "TEMP", error);
    if (fileKindOf(folder / "TEMP") != FileKind::Folder || !canCreateFilesIn(folder / "TEMP")) {
        console.line("corvane-cli record: cannot write run files into " +
                     (folder / "TEMP").string());
        return kFailed;
    }

    // A full TEMP folder is a question the window would ask; here an option
    // answers it, or nothing is started.
    {
        Console quiet;
        RecordPrompter prompter(quiet, {}, {});
        const TempFolder temp({folder, folder / "TEMP"}, prompter);
        if (!options->discardOldestTemp && !temp.unlimitedAllowed() &&
            temp.countRuns() >= TempFolder::kLimit) {
            console.line("corvane-cli record: the TEMP folder is full (" +
                         std::to_string(temp.countRuns()) +
                         " runs); give --discard-oldest-temp to discard the oldest runs, or "
                         "--unlimited-temp to keep them all from now on");
            return kFailed;
        }
    }

    const std::uint32_t baud = options->lineSpeed(folder);

    const InterruptHandlers handlers;
    SteadyClock clock(options->simulate ? options->simSpeed : 1.0);
    InstrumentChoice choice = options->choice(baud);
    // A DE-1 run: the box alone, on the port after the unit's; the
    // connection finds it there and adopts that port.
    choice.simulateUnit = !options->de1;
    choice.simulateDe1Box = options->de1;
    choice.bridgeLibrary = options->library;
    auto de1Setup = runSetup->de1;
    if (!de1Setup && options->collectPeaks) {
        // The settings the run would take from prefs.cfg, now with the peaks.
        de1Setup.emplace();
        de1Setup->settings = loadEm1Settings(Preferences(folder).store());
    }
    if (de1Setup && options->collectPeaks) {
        de1Setup->settings.peaks = options->peaks;
        // The simulated box's piston runs at the run's speed, its collector behind the run's tubing.
        const double vpm = volumePerMmForRun(runSetup->info ? runSetup->info->volumePerMm : 0.0, 0.0);
        const double delayMl =
            options->peaks.delayVolumeMl > 0.0 ? options->peaks.delayVolumeMl : de1Setup->settings.deadVolume;
        choice.simulatedDe1SpeedMmPerS = de1Setup->settings.speed;
        choice.simulatedDe1Aufs = Em1RunWriter::aufsValue(de1Setup->settings.aufs);
        choice.simulatedDe1AdvancePulses = false;  // the run's own changes alone reach its collector
        choice.simulatedDe1CollectorDelayMm = vpm > 0.0 ? delayMl / vpm : 0.0;
    }
    Instruments instruments(choice, clock, folder);
    if (instruments.bridge() == nullptr) {
        console.line("corvane-cli record: " + instruments.reason());
        return kFailed;
    }
    const int port = options->comPort(instruments);
    RecordPrompter prompter(console, output.string(), options->discardOldestTemp, options->force);
    RecordPoster poster;
    ProgressDisplay display(console);
    ConsoleConnection connection(console, clock, options->skipWarmup);

    AcquisitionSession session({instruments.ports(), *instruments.bridge(), clock, prompter, poster,
                                nullptr},
                               folder);
    session.setDriver(&connection);
    session.setDisplay(&display);
    DialogFolders folders(folder, prompter);
    NextRun next;
    next.setRunInfo(runSetup->info);
    if (de1Setup) {
        next.setDe1Setup(de1Setup);
    }
    // A preset's zones are checked against the stored collection vessel.
    next.setCollection(loadCollectionVolume(folder, runSetup->info ? runSetup->info->userName : std::string()), 0);
    RecordingController controller({folder, prompter, folders, clock, display, session, next});
    controller.setRunName(options->name);
    controller.setAutoScan(options->autoScan);
    // The saved run never takes the place of a file that appeared while it
    // was recorded (another run saved under that name); --force replaces the
    // one file that was there when the command started.
    controller.setExistingFileRule(replacing ? ExistingTarget::Replace : ExistingTarget::Keep, replacing);
    controller.setTargetPosition(options->target.value_or(0.0));

    int result = kFailed;
    {
        std::jthread scan;
        session.connect(port, static_cast<int>(baud), kInterByteDelayMs);
        SampleReader* reader = session.reader();
        RunWriter* writer = session.runWriter();
        if (interrupted()) {
            console.line("corvane-cli record: interrupted before recording; nothing was recorded");
        } else if (session.connectResult() != true || reader == nullptr || writer == nullptr) {
            console.line("corvane-cli record: no instrument could be made ready on COM" +
                         std::to_string(session.comPort()));
        } else if (options->de1 != reader->hasDe1Source()) {
            console.line(options->de1 ? "corvane-cli record: no DE-1 interface box answered"
                                      : "corvane-cli record: a DE-1 interface box answered, not a "
                                        "Kelvo unit: give --de1 to record it");
        } else {
            if (options->autoScan) {
                (void)startAutoScanRun(controller, clock, scan);  // a run not started is told below
            } else {
                controller.startStop();
            }
            if (!controller.isRecording()) {
                console.line("corvane-cli record: the run did not start");
            } else {
                setLeaveText(controller.tempFile());
                console.line("recording to " + controller.tempFile().string());
                const auto reason =
                    recordUntilDone(*options, clock, controller, *reader, *writer, display, poster,
                                    console);
                console.line(std::string("stopping: ") + reasonText(reason));
                if (UvLink* link = reader->link()) {
                    console.line(linkAccount(link->traffic()));
                    if (const auto lost = link->traffic().packetsLost; lost > 0) {
                        console.line(damageLine(lost));
                    }
                }
                controller.stopRecording();
                if (const auto silences = session.runSilences(); silences.count > 0) {
                    console.line(silencesLine(silences));
                }
                if (const De1Source* source = reader->de1Source(); source && options->collectPeaks) {
                    const auto cut = source->CollectedFractions();
                    console.line("collected by peaks: " + std::to_string(cut.size()) + " fractions");
                    if (SimRig* rig = instruments.rig(); rig && rig->de1()) {
                        console.line("simulated collector: " + std::to_string(rig->de1()->collectorPulses()) +
                                     " tube changes");
                    }
                }
                if (const auto saved = controller.savedFile()) {
                    RunDataFile file;
                    const bool readable = file.read(*saved) == RunDataFile::ReadStatus::Ok;
                    std::printf("saved %s: %zu samples\n", visibleText(saved->string()).c_str(),
                                readable ? file.sampleCount() : std::size_t{0});
                    // Saved, but not the run that was asked for: a script must hear of it.
                    result = reason == StopReason::LinkLost ? kSavedLinkLost : kDone;
                } else if (writer->rowsWritten() == 0 && writer->failedWrites() == 0) {
                    console.line("corvane-cli record: no sample was recorded; nothing was saved");
                } else {
                    console.line("corvane-cli record: the run was not saved; it stays in TEMP as " +
                                 controller.tempFile().string());
                }
            }
        }
        controller.autoScan().requestAbort();
        session.stopLink();
    }
    session.destroyAcquisition();
    return result;
}

}  // namespace corvane::cli
