#include "recording/Instruments.h"

#include "link/D2xxLibrary.h"
#include "link/SystemSerialPorts.h"
#include "link/TtyBridgeLibrary.h"
#include "sim/SimRig.h"

namespace corvane {

struct Instruments::Impl {
    std::unique_ptr<SimRig> rig;
    std::unique_ptr<SystemSerialPortApi> systemPorts;
    std::unique_ptr<BridgeLibrary> bridge;
    std::string reason;
};

Instruments::Instruments(const InstrumentChoice& choice, Clock& clock,
                         const std::filesystem::path& startupFolder)
    : impl_(std::make_unique<Impl>()) {
    if (choice.simulate) {
        SimRigConfig config;
        config.withKelvo = choice.simulateUnit;
        config.withDe1 = choice.simulateDe1Box;
        if (choice.simulatedBaudRate != 0) {
            config.kelvo.baudRate = choice.simulatedBaudRate;
        }
        impl_->rig = std::make_unique<SimRig>(clock, config);
        return;
    }
    impl_->systemPorts = std::make_unique<SystemSerialPortApi>(startupFolder);
    if (!choice.bridgeLibrary.empty()) {
        auto loaded = std::make_unique<D2xxLibrary>(choice.bridgeLibrary);
        if (loaded->available()) {
            impl_->bridge = std::move(loaded);
        } else {
            impl_->reason = loaded->reason();
        }
        return;
    }
    // The bridge vendor's library when it is installed, else the bridge's
    // serial device as the operating system shows it.
    auto vendor = std::make_unique<D2xxLibrary>();
    if (vendor->available()) {
        impl_->bridge = std::move(vendor);
    } else {
        impl_->bridge = std::make_unique<TtyBridgeLibrary>(*impl_->systemPorts);
    }
}

Instruments::~Instruments() = default;

bool Instruments::simulated() const { return impl_->rig != nullptr; }

SimRig* Instruments::rig() { return impl_->rig.get(); }

SerialPortApi& Instruments::ports() {
    if (impl_->rig) {
        return impl_->rig->ports();
    }
    return *impl_->systemPorts;
}

BridgeLibrary* Instruments::bridge() {
    return impl_->rig ? &impl_->rig->bridge() : impl_->bridge.get();
}

const std::string& Instruments::reason() const { return impl_->reason; }

}  // namespace corvane
