#include "app/DesktopInstruments.h"

#include "link/D2xxLibrary.h"
#include "link/PosixSerialPortApi.h"
#include "link/TtyBridgeLibrary.h"
#include "sim/SimRig.h"

namespace corvane {

struct DesktopInstruments::Impl {
    std::unique_ptr<SimRig> rig;
    std::unique_ptr<PosixSerialPortApi> posix;
    std::unique_ptr<BridgeLibrary> bridge;
};

DesktopInstruments::DesktopInstruments(bool simulate, Clock& clock, const std::filesystem::path& prefsPath)
    : impl_(std::make_unique<Impl>()) {
    if (simulate) {
        SimRigConfig config;
        config.withDe1 = true;
        impl_->rig = std::make_unique<SimRig>(clock, config);
    } else {
        impl_->posix = std::make_unique<PosixSerialPortApi>(prefsPath);
        // The bridge vendor's library when it is installed, else the bridge's
        // serial device as the operating system shows it.
        auto vendor = std::make_unique<D2xxLibrary>();
        if (vendor->available()) {
            impl_->bridge = std::move(vendor);
        } else {
            impl_->bridge = std::make_unique<TtyBridgeLibrary>(*impl_->posix);
        }
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

BridgeLibrary* DesktopInstruments::bridge() {
    return impl_->rig ? &impl_->rig->bridge() : impl_->bridge.get();
}

}  // namespace corvane
