// corvane-cli link: open the instrument link, bring the unit to setup mode,
// read its stream for a while and say what came over the wire. The first
// thing to run when an instrument "does not talk".
#include <any>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/Clock.h"
#include "recording/Instruments.h"
#include "app/WindowPoster.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/WorkingFolder.h"
#include "link/UvLink.h"

namespace corvane::cli {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr std::uint32_t kInterByteDelayMs = 2;
constexpr std::int64_t kSetupWaitMs = 10000;
constexpr std::int64_t kReportEveryMs = 1000;

void linkUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: corvane-cli link (--simulate [--sim-faults LIST] | --port N) [--seconds S]\n"
                 "                        [--baud B] [--library PATH]\n"
                 "Opens the link to the Kelvo unit (the simulated one, or the bridge whose\n"
                 "serial port is COM N), brings the unit to setup mode, reads its stream for\n"
                 "S seconds (default 10) and prints heartbeats received and transmitted, the\n"
                 "unit's mode and menu version, packets per second by kind, the invalid bytes\n"
                 "skipped and the packets they cost, and the bytes and bridge calls lost.\n"
                 "--sim-faults gives the simulated unit faults: drop=F, corrupt=F, silent,\n"
                 "ignore-keys, hold-bit3, refuse-settings=N, lose-echoes=N, silence=S+D, unplug=S+D,\n"
                 "firmware=N\n"
                 "(comma-separated; S and D in seconds).\n"
                 "The bridge is reached through its device library when that is installed,\n"
                 "else through its serial port; --library names the library to load.\n"
                 "The baud rate defaults to \"baudrate\" in\n"
                 "prefs.cfg, else 57600. It works in the current folder, as record does: a\n"
                 "folder without prefs.cfg gets the default settings files first, and the key\n"
                 "presses are logged in its pressKeyLog.txt. Exits 1 when no heartbeat came,\n"
                 "and says what came instead.\n");
}

struct Options : InstrumentOptions {
    double seconds = 10.0;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto taken = options.take(argc, argv, i); taken != Options::Taken::No) {
            if (taken == Options::Taken::Bad) {
                return std::nullopt;
            }
        } else if (arg == "--seconds" && hasValue) {
            if (!parseNumber(argv[++i], options.seconds) || !(options.seconds > 0.0) ||
                options.seconds > 86400.0) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!options.complete()) {
        return std::nullopt;
    }
    return options;
}

const char* modeName(std::uint8_t mode) {
    switch (mode) {
    case kModeNone: return "none";
    case kModeSetup: return "setup";
    case kModeManual: return "manual";
    case kModeAuto: return "auto";
    case kModeCalibration: return "calibration";
    default: return "unknown";
    }
}

// The main window's part: only the warm-up is worth a line here.
class WarmUpPoster : public WindowPoster {
public:
    void post(UserMsg msg, std::int64_t, std::int64_t, std::any) override {
        if (msg == UserMsg::WarmedUp) {
            warmedUp_.store(true);
        }
    }
    [[nodiscard]] bool warmedUp() const { return warmedUp_.load(); }

private:
    std::atomic<bool> warmedUp_{false};
};

// Why a link heard no heartbeat, from what came over the wire instead.
std::string silenceReason(const LinkTraffic& traffic) {
    char text[256];
    if (traffic.bridgeFailures != 0 && traffic.bytesReceived == 0) {
        std::snprintf(text, sizeof text, "every read failed (%llu bridge call failures: the cable?)",
                      static_cast<unsigned long long>(traffic.bridgeFailures));
    } else if (traffic.bytesReceived == 0) {
        std::snprintf(text, sizeof text,
                      "nothing came over the wire (is the unit on, on this port?)");
    } else {
        std::snprintf(text, sizeof text,
                      "%llu bytes came, %llu of them invalid, and none formed a heartbeat (a wrong "
                      "line speed, or a damaged line?)",
                      static_cast<unsigned long long>(traffic.bytesReceived),
                      static_cast<unsigned long long>(traffic.invalidBytesSkipped));
    }
    return text;
}

int stream(UvLink& link, Clock& clock, double seconds) {
    // The link brings the unit to setup mode on its own thread; reading meanwhile
    // brings in the heartbeats that tell when it is there.
    std::printf("waiting for setup mode...\n");
    const Deadline setup(clock, kSetupWaitMs);
    while (!link.InSetupMode(0) && !setup.expired()) {
        if (!link.ReadStreamedPacket()) {
            clock.sleepMs(1);
        }
    }
    if (!link.InSetupMode(0)) {
        std::printf("the unit did not reach setup mode\n");
    }
    const auto start = link.traffic();
    const auto startMs = clock.nowMs();
    const Deadline end(clock, static_cast<std::int64_t>(seconds * 1000.0));
    auto nextReportMs = startMs + kReportEveryMs;
    while (!end.expired()) {
        if (!link.ReadStreamedPacket()) {
            clock.sleepMs(1);
        }
        if (clock.nowMs() >= nextReportMs) {
            nextReportMs += kReportEveryMs;
            const auto now = link.traffic();
            std::printf("%5.1f s  heartbeats received %d, transmitted %d  CMD0 %llu  CMD2 %llu\n",
                        static_cast<double>(clock.nowMs() - startMs) / 1000.0,
                        link.heartbeatsReceived(), link.heartbeatsTransmitted(),
                        static_cast<unsigned long long>(now.cmd0Packets - start.cmd0Packets),
                        static_cast<unsigned long long>(now.cmd2Packets - start.cmd2Packets));
        }
    }
    const auto finish = link.traffic();
    const double elapsed = static_cast<double>(clock.nowMs() - startMs) / 1000.0;
    auto rate = [&](std::uint64_t before, std::uint64_t after) {
        return static_cast<double>(after - before) / elapsed;
    };
    std::printf("heartbeats received: %d\n", link.heartbeatsReceived());
    std::printf("heartbeats transmitted: %d\n", link.heartbeatsTransmitted());
    if (const auto beat = link.lastCmd1()) {
        std::printf("unit mode: %d (%s)\n", beat->ucUVMenuStatus, modeName(beat->ucUVMenuStatus));
        std::printf("menu version: %d\n", beat->ucUVMenuVersion);
    } else {
        std::printf("unit mode: unknown (no heartbeat)\n");
        std::printf("menu version: unknown (no heartbeat)\n");
    }
    std::printf("packets per second: CMD0 %.1f  CMD1 %.1f  CMD2 %.1f\n",
                rate(start.cmd0Packets, finish.cmd0Packets), rate(start.cmd1Packets, finish.cmd1Packets),
                rate(start.cmd2Packets, finish.cmd2Packets));
    // The account covers the whole session: under garbage the wait for
    // setup mode is most of what there is to tell.
    std::printf("bytes received: %llu\n", static_cast<unsigned long long>(finish.bytesReceived));
    std::printf("invalid bytes skipped: %llu\n",
                static_cast<unsigned long long>(finish.invalidBytesSkipped));
    std::printf("packets lost to invalid bytes (estimated): %llu\n",
                static_cast<unsigned long long>(finish.packetsLost));
    if (finish.droppedBytes != 0 || finish.bridgeFailures != 0) {
        std::printf("bytes lost behind the readers: %llu  bridge call failures: %llu\n",
                    static_cast<unsigned long long>(finish.droppedBytes),
                    static_cast<unsigned long long>(finish.bridgeFailures));
    }
    if (link.heartbeatsReceived() > 0) {
        return kDone;
    }
    std::printf("no heartbeat came: %s\n", silenceReason(finish).c_str());
    return kFailed;
}

}  // namespace

int runLink(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        linkUsage(stderr);
        return kUsage;
    }
    // The key log goes beside the settings files, as for every instrument command.
    const auto prepared = prepareWorkingFolder("link");
    if (!prepared) {
        return kFailed;
    }
    const std::filesystem::path& folder = *prepared;
    const std::uint32_t baud = options->lineSpeed(folder);

    SteadyClock clock;
    ConsolePrompter prompter;
    WarmUpPoster poster;
    SampleLock sampleLock;
    InstrumentChoice choice = options->choice(baud);
    choice.simulateDe1Box = false;
    Instruments instruments(choice, clock, folder);
    BridgeLibrary* bridge = instruments.bridge();
    if (bridge == nullptr) {
        std::fprintf(stderr, "corvane-cli link: %s\n", instruments.reason().c_str());
        return kFailed;
    }
    const int port = options->comPort(instruments);

    int result = kFailed;
    {
        UvLink link({*bridge, clock, prompter, &poster, true}, folder, port, baud, kInterByteDelayMs,
                    sampleLock);
        if (!link.connected()) {
            std::fprintf(stderr, "corvane-cli link: no bridge device with serial port COM%d\n", port);
            return kFailed;
        }
        std::printf("link open on COM%d at %u baud\n", port, baud);
        result = stream(link, clock, options->seconds);
    }
    std::printf("warmed up: %s\n", poster.warmedUp() ? "yes" : "no");
    prompter.flush(stdout);
    return result;
}

}  // namespace corvane::cli
