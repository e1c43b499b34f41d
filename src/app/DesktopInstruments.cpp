#include "app/DesktopInstruments.h"

#include "link/PosixSerialPortApi.h"
#include "sim/SimRig.h"

namespace corvane {

struct DesktopInstruments::Impl {
    std::unique_ptr<SimRig> rig;
    std::unique_ptr<PosixSerialPortApi> posix;
};

DesktopInstruments::DesktopInstruments(bool simulate, Clock& clock, const std::filesystem::path& prefsPath)
    : impl_(std::make_unique<Impl>()) {
    if (simulate) {
        SimRigConfig config;
        config.withDe1 = true;
        impl_->rig = std::make_unique<SimRig>(clock, config);
    } else {
        impl_->posix = std::make_unique<PosixSerialPortApi>(prefsPath);
    }
}

DesktopInstruments::~DesktopInstruments() = default;

bool DesktopInstruments::simulated() const { return impl_->rig != nullptr; }

SerialPortApi& DesktopInstruments::ports() {
    if (impl_->rig) {
        return impl_->rig->ports();
    }
    return *impl_->posix;
}

BridgeLibrary* DesktopInstruments::bridge() { return impl_->rig ? &impl_->rig->bridge() : nullptr; }

}  // namespace corvane
