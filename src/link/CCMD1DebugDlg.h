#pragma once

#include "link/CPacketDebugDlg.h"

namespace corvane {

// "Debug Window (CMD1 Settings)".
class CCMD1DebugDlg : public CPacketDebugDlg {
public:
    CCMD1DebugDlg(Clock& clock, Prompter& prompter, QWidget* parent = nullptr)
        : CPacketDebugDlg(PacketDebugMonitor::Kind::Cmd1, clock, prompter, parent) {}
};

}  // namespace corvane
