#pragma once

#include "link/CPacketDebugDlg.h"

namespace corvane {

// "Debug Window (CMD0 Settings)".
class CCMD0DebugDlg : public CPacketDebugDlg {
public:
    CCMD0DebugDlg(Clock& clock, Prompter& prompter, QWidget* parent = nullptr)
        : CPacketDebugDlg(PacketDebugMonitor::Kind::Cmd0, clock, prompter, parent) {}
};

}  // namespace corvane
