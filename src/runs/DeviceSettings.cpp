#include "runs/DeviceSettings.h"

#include "link/Packets.h"

namespace corvane {

DeviceSettings deviceSettingsFrom(const Cmd0& cmd0) {
    DeviceSettings settings;
    settings.potValue = cmd0.ucATODGain;
    settings.dutyCycleA = cmd0.ucDutyCycleA;
    settings.sampleIntervalMs = cmd0.uiIntegrationTime;
    settings.scanSpeed = cmd0.scanSpeed();  // the one field a stored packet keeps in wire order
    settings.scanDistance = cmd0.uiScanDist;
    return settings;
}

}  // namespace corvane
