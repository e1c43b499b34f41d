#pragma once

#include "link/CPacketDebugDlg.h"

namespace corvane {

// "Debug Window (CMD2 Settings)".
class CCMD2DebugDlg : public CPacketDebugDlg {
public:
    CCMD2DebugDlg(Clock& clock, Prompter& prompter, QWidget* parent = nullptr)
        : CPacketDebugDlg(PacketDebugMonitor::Kind::Cmd2, clock, prompter, parent) {}
};

}  // namespace corvane
