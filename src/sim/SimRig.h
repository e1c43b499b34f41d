#pragma once

// A ready-made bench of simulated instruments: a Kelvo unit and/or a DE-1
// interface box, each attached to a SimBridgeLibrary (by serial number) and to
// a SimSerialPortApi (by COM number) at once, as one bridge chip is reachable
// both ways. The rig owns everything; destroy the link before the rig.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/Clock.h"
#include "sim/SimBridgeLibrary.h"
#include "sim/SimDe1Box.h"
#include "sim/SimKelvoUnit.h"
#include "sim/SimSerialPortApi.h"

namespace corvane {

struct SimRigConfig {
    bool withKelvo = true;
    std::int32_t kelvoComPort = 3;
    std::string kelvoSerialNumber = "KV000123";
    SimKelvoConfig kelvo;

    bool withDe1 = false;
    std::int32_t de1ComPort = 4;
    std::string de1SerialNumber = "DE1B0042";
    SimDe1Config de1;
    // The gradient the DE-1 box's monitor sees; the default one without.
    std::optional<SimProfile> de1Profile;

    // Bridge listing order: the Kelvo unit first unless this is set.
    bool de1ListedFirst = false;
};

class SimRig {
public:
    SimRig(Clock& clock, SimRigConfig config = {});
    ~SimRig();

    // Null when the rig has no such instrument.
    [[nodiscard]] SimKelvoUnit* kelvo() { return kelvo_.get(); }
    [[nodiscard]] SimDe1Box* de1() { return de1_.get(); }

    [[nodiscard]] SimBridgeLibrary& bridge() { return *bridge_; }
    [[nodiscard]] SimSerialPortApi& ports() { return *ports_; }
    [[nodiscard]] const SimRigConfig& config() const { return config_; }

private:
    SimRigConfig config_;
    std::unique_ptr<SimKelvoUnit> kelvo_;
    std::unique_ptr<SimDe1Box> de1_;
    std::unique_ptr<SimBridgeLibrary> bridge_;
    std::unique_ptr<SimSerialPortApi> ports_;
};

}  // namespace corvane
