#include "sim/SimRig.h"

#include <utility>

namespace corvane {

SimRig::SimRig(Clock& clock, SimRigConfig config)
    : config_(std::move(config)),
      bridge_(std::make_unique<SimBridgeLibrary>(clock)),
      ports_(std::make_unique<SimSerialPortApi>(clock)) {
    if (config_.withKelvo) {
        kelvo_ = std::make_unique<SimKelvoUnit>(clock, config_.kelvo);
    }
    if (config_.withDe1) {
        de1_ = config_.de1Profile ? std::make_unique<SimDe1Box>(clock, config_.de1, *config_.de1Profile)
                                  : std::make_unique<SimDe1Box>(clock, config_.de1);
    }
    auto attachKelvo = [&] {
        if (kelvo_) {
            bridge_->addDevice(*kelvo_, config_.kelvoSerialNumber, config_.kelvoComPort);
        }
    };
    auto attachDe1 = [&] {
        if (de1_) {
            bridge_->addDevice(*de1_, config_.de1SerialNumber, config_.de1ComPort);
        }
    };
    if (config_.de1ListedFirst) {
        attachDe1();
        attachKelvo();
    } else {
        attachKelvo();
        attachDe1();
    }
    if (kelvo_) {
        ports_->addPort(config_.kelvoComPort, *kelvo_, "simulated Kelvo unit " + config_.kelvoSerialNumber);
    }
    if (de1_) {
        ports_->addPort(config_.de1ComPort, *de1_, "simulated DE-1 interface " + config_.de1SerialNumber);
    }
}

// The library and the ports refer to the devices: they go first.
SimRig::~SimRig() {
    ports_.reset();
    bridge_.reset();
}

}  // namespace corvane
