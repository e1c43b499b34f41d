#include "cli/CliArgs.h"

#include <cstdio>

#include "app/Preferences.h"
#include "sim/SimRig.h"

namespace corvane::cli {

InstrumentOptions::Taken InstrumentOptions::take(int argc, char** argv, int& i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--simulate") {
        simulate = true;
        return Taken::Yes;
    }
    if (arg == "--port" && hasValue) {
        int number = 0;
        if (!parseNumber(argv[++i], number) || number < 1) {
            return Taken::Bad;
        }
        port = number;
        return Taken::Yes;
    }
    if (arg == "--baud" && hasValue) {
        std::uint32_t speed = 0;
        if (!parseNumber(argv[++i], speed) || speed == 0) {
            return Taken::Bad;
        }
        baud = speed;
        return Taken::Yes;
    }
    if (arg == "--library" && hasValue) {
        library = argv[++i];
        return Taken::Yes;
    }
    if (arg == "--sim-faults" && hasValue) {
        SimFaultPlan plan = simFaults.value_or(SimFaultPlan{});
        if (const auto problem = parseSimFaults(argv[++i], plan); !problem.empty()) {
            std::fprintf(stderr, "--sim-faults: %s\n", problem.c_str());
            return Taken::Bad;
        }
        simFaults = plan;
        return Taken::Yes;
    }
    return Taken::No;
}

std::uint32_t InstrumentOptions::lineSpeed(const std::filesystem::path& startupFolder) const {
    if (baud) {
        return *baud;
    }
    if (const int configured = Preferences(startupFolder).baudRate(); configured > 0) {
        return static_cast<std::uint32_t>(configured);
    }
    return kDefaultBaud;
}

InstrumentChoice InstrumentOptions::choice(std::uint32_t speed) const {
    InstrumentChoice made;
    made.simulate = simulate;
    made.simulatedBaudRate = speed;
    made.bridgeLibrary = library;
    return made;
}

int InstrumentOptions::comPort(Instruments& instruments) const {
    if (SimRig* rig = instruments.rig()) {
        if (simFaults && rig->kelvo() != nullptr) {
            applySimFaults(*simFaults, *rig->kelvo());
        }
        if (simFaults && rig->de1() != nullptr) {
            rig->de1()->setFaults(simFaults->faults);
        }
        return rig->config().kelvoComPort;
    }
    return port.value_or(0);
}

}  // namespace corvane::cli
