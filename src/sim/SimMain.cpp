// corvane-sim: a simulated Kelvo unit or DE-1 interface box served on a
// pseudo-terminal (POSIX), or on a serial port the system has (--port N: one
// end of a null-modem pair; the only way on Windows). Prints the terminal's
// or the port's name on the first line of stdout, then serves until
// interrupted or terminated.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <optional>
#include <string_view>
#include <utility>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>

#include "app/Clock.h"
#include "app/Version.h"
#include "link/SystemSerialPorts.h"
#include "sim/PortServer.h"
#ifndef _WIN32
#include "sim/PtyServer.h"
#endif
#include "sim/SimDe1Box.h"
#include "sim/SimFaultPlan.h"
#include "sim/SimKelvoUnit.h"

namespace {

std::atomic<bool> gStop{false};

void onSignal(int) {
    gStop.store(true);
}

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: corvane-sim [OPTIONS]\n"
                 "Serves a simulated instrument on a pseudo-terminal and prints its path.\n\n"
                 "  --port N             serve on the serial port COM N instead (one end of a\n"
                 "                       null-modem pair; the only way on Windows; on POSIX\n"
                 "                       the [ports] map of prefs.cfg in the current folder)\n"
                 "  --device kelvo|de1   the instrument (default kelvo)\n"
                 "  --text               Kelvo unit in text-line mode (five integers a line)\n"
                 "  --mode N             Kelvo power-on mode code (default 10)\n"
                 "  --firmware N         menu version in the heartbeats (default 13)\n"
                 "  --knob N             pot knob position (default 128, fully CCW)\n"
                 "  --medium M           what the needles are in: air, water, reference\n"
                 "                       (1.00/0.23 OD) or tube (default)\n"
                 "  --led-a N, --led-b N source LED slide of channel A or B (0..100, default 50; 0 is off)\n"
                 "  --drop F             drop this fraction (0..1) of the bytes sent\n"
                 "  --corrupt F          corrupt this fraction (0..1) of the bytes sent\n"
                 "  --silent             send nothing\n"
                 "  --ignore-keys        neither act on nor echo keys\n"
                 "  --hold-bit3          keep control bit 3 set\n"
                 "  --refuse-settings N  refuse the next N settings packets (-1: all)\n"
                 "  --lose-echoes N      act on the next N keys but lose their echoes (-1: all)\n"
                 "  --silence S+D        send nothing for D seconds from S seconds on\n"
                 "  --unplug S+D         the cable pulled for D seconds from S seconds on\n"
                 "  --seed N             noise and fault generator seed (default 1)\n"
                 "  --link PATH          also make PATH a symbolic link to the terminal (an\n"
                 "                       existing PATH is refused, except a link into /dev/pts\n"
                 "                       that leads nowhere, left by a run that was killed)\n"
                 "  --version            print the program version\n");
}

// The fault options: whether each takes a value; nothing for other options.
std::optional<bool> faultOption(std::string_view arg) {
    for (const auto& [name, takesValue] :
         {std::pair<std::string_view, bool>{"--drop", true}, {"--corrupt", true}, {"--silent", false},
          {"--ignore-keys", false}, {"--hold-bit3", false}, {"--refuse-settings", true},
          {"--lose-echoes", true}, {"--silence", true}, {"--unplug", true}}) {
        if (arg == name) {
            return takesValue;
        }
    }
    return std::nullopt;
}

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

#ifndef _WIN32
// The --link name: a symbolic link to the terminal for as long as the
// simulator serves. It never takes the place of anything a user may need:
// an existing name is refused, except a link into /dev/pts that leads
// nowhere (what a killed run leaves), and at the end the name is removed
// only while it is still our link.
class TerminalLink {
public:
    TerminalLink(std::string path, std::string target)
        : path_(std::move(path)), target_(std::move(target)) {}
    ~TerminalLink() {
        if (made_ && linkTarget() == target_) {
            ::unlink(path_.c_str());
        }
    }
    TerminalLink(const TerminalLink&) = delete;
    TerminalLink& operator=(const TerminalLink&) = delete;

    // An empty text when made, else why not.
    std::string make() {
        if (::symlink(target_.c_str(), path_.c_str()) == 0) {
            made_ = true;
            return {};
        }
        if (errno != EEXIST) {
            return std::strerror(errno);
        }
        struct stat info {};
        const bool stale = ::lstat(path_.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
                           linkTarget().starts_with("/dev/pts/") && ::stat(path_.c_str(), &info) != 0;
        if (!stale) {
            return "it exists and is not a stale link to a terminal; not replaced";
        }
        // Swapped in one step, so the name never points elsewhere meanwhile.
        const auto fresh = path_ + ".new" + std::to_string(::getpid());
        if (::symlink(target_.c_str(), fresh.c_str()) != 0) {
            return std::strerror(errno);
        }
        if (::rename(fresh.c_str(), path_.c_str()) != 0) {
            const std::string why = std::strerror(errno);
            ::unlink(fresh.c_str());
            return why;
        }
        made_ = true;
        return {};
    }

private:
    std::string linkTarget() const {
        char text[4096];
        const auto n = ::readlink(path_.c_str(), text, sizeof text - 1);
        return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
    }

    std::string path_;
    std::string target_;
    bool made_ = false;
};
#endif

// Serves the device on COM port until stopped; the exit code.
int serveOnPort(int port, corvane::SimDevice& device, corvane::Clock& clock) {
    std::error_code error;
    corvane::SystemSerialPortApi ports(std::filesystem::current_path(error));
    auto opened = ports.open(port);
    if (!opened) {
        std::fprintf(stderr, "corvane-sim: cannot open COM%d\n", port);
        return 1;
    }
    const auto name = ports.describe(port);
    std::printf("COM%d%s%s\n", port, name.empty() ? "" : " ", name.c_str());
    std::fflush(stdout);
    if (!corvane::servePort(*opened, device, clock, gStop)) {
        std::fprintf(stderr, "corvane-sim: COM%d failed (error %u)\n", port, opened->lastError());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    corvane::SimKelvoConfig kelvo;
    kelvo.baudRate = 0;  // a pty has no line speed worth checking
    corvane::SimDe1Config de1;
    de1.baudRate = 0;
    corvane::SimFaultPlan faults;
    bool useDe1 = false;
    std::string linkPath;
    int port = 0;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0.0;
        auto numeric = [&](double low, double high) {
            if (!hasValue || !parseNumber(argv[i + 1], number) || number < low || number > high) {
                std::fprintf(stderr, "corvane-sim: %s needs a number from %g to %g\n", argv[i], low, high);
                std::exit(2);
            }
            ++i;
            return number;
        };
        if (arg == "-h" || arg == "--help") {
            usage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("corvane-sim (Corvane) %s\n", corvane::kVersionText);
            return 0;
        } else if (arg == "--device" && hasValue) {
            const std::string_view device = argv[++i];
            if (device != "kelvo" && device != "de1") {
                std::fprintf(stderr, "corvane-sim: unknown device '%s'\n", argv[i]);
                return 2;
            }
            useDe1 = device == "de1";
        } else if (arg == "--text") {
            kelvo.textLineMode = true;
        } else if (arg == "--mode") {
            kelvo.powerOnMode = static_cast<std::uint8_t>(numeric(0, 255));
        } else if (arg == "--firmware") {
            kelvo.menuVersion = static_cast<std::uint8_t>(numeric(0, 255));
        } else if (arg == "--knob") {
            kelvo.knobPosition = static_cast<std::uint8_t>(numeric(0, 255));
        } else if (arg == "--medium" && hasValue) {
            const std::string_view medium = argv[++i];
            if (medium == "air") {
                kelvo.medium = corvane::SimMedium::Air;
            } else if (medium == "water") {
                kelvo.medium = corvane::SimMedium::Water;
            } else if (medium == "reference") {
                kelvo.medium = corvane::SimMedium::Reference;
            } else if (medium == "tube") {
                kelvo.medium = corvane::SimMedium::Tube;
            } else {
                std::fprintf(stderr, "corvane-sim: unknown medium '%s'\n", argv[i]);
                return 2;
            }
        } else if (arg == "--led-a") {
            kelvo.ledPositionA = numeric(corvane::kSimLedMin, corvane::kSimLedMax);
        } else if (arg == "--led-b") {
            kelvo.ledPositionB = numeric(corvane::kSimLedMin, corvane::kSimLedMax);
        } else if (const auto takes = faultOption(arg)) {
            // Written as the fault list corvane-cli takes, and read by the same reader.
            std::string item(arg.substr(2));
            if (*takes) {
                if (!hasValue) {
                    std::fprintf(stderr, "corvane-sim: %s needs a value\n", argv[i]);
                    return 2;
                }
                item += "=" + std::string(argv[++i]);
            }
            if (const auto problem = corvane::parseSimFaults(item, faults); !problem.empty()) {
                std::fprintf(stderr, "corvane-sim: %s\n", problem.c_str());
                return 2;
            }
        } else if (arg == "--seed") {
            kelvo.seed = static_cast<std::uint64_t>(numeric(0, 9007199254740992.0));
            de1.seed = kelvo.seed + 1;
        } else if (arg == "--link" && hasValue) {
            linkPath = argv[++i];
        } else if (arg == "--port") {
            port = static_cast<int>(numeric(1, 256));
        } else {
            std::fprintf(stderr, "corvane-sim: unknown option '%s'\n\n", argv[i]);
            usage(stderr);
            return 2;
        }
    }

    corvane::SteadyClock clock;
    std::unique_ptr<corvane::SimDevice> device;
    if (useDe1) {
        device = std::make_unique<corvane::SimDe1Box>(clock, de1);
    } else {
        device = std::make_unique<corvane::SimKelvoUnit>(clock, kelvo);
    }
    device->setFaults(faults.faults);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (port != 0) {
        if (!linkPath.empty()) {
            std::fputs("corvane-sim: --link names a pseudo-terminal; a port served with --port has its own name\n",
                       stderr);
            return 2;
        }
        return serveOnPort(port, *device, clock);
    }
#ifdef _WIN32
    std::fputs("corvane-sim: Windows has no pseudo-terminals; serve on one end of a null-modem pair "
               "with --port N\n",
               stderr);
    return 2;
#else
    auto server = corvane::PtyServer::open();
    if (!server) {
        std::fprintf(stderr, "corvane-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    std::optional<TerminalLink> link;
    if (!linkPath.empty()) {
        link.emplace(linkPath, server->path());
        if (const auto why = link->make(); !why.empty()) {
            std::fprintf(stderr, "corvane-sim: cannot link %s: %s\n", linkPath.c_str(), why.c_str());
            return 1;
        }
    }

    std::printf("%s\n", server->path().c_str());
    std::fflush(stdout);

    server->serve(*device, clock, gStop);
    return 0;
#endif
}
