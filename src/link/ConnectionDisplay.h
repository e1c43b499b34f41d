#pragma once

#include <string>

namespace corvane {

// "Corvane v%s" and, during the warm-up, "Corvane v%s  Warming up Kelvo...".
[[nodiscard]] std::string connectionTitle(bool warmingUp);

// The connection window as the connection steps drive it. The window
// (CConnectDlg) implements it; every call may come from any thread (the
// steps wait on the device off the window's thread) and is shown on the
// window's thread. The window reports "Continue"/"Retry", "Skip Hardware
// Check" and key presses back through its owner.
class ConnectionDisplay {
public:
    virtual ~ConnectionDisplay() = default;

    virtual void setTitle(const std::string& title) = 0;
    // The "Connection Message" line.
    virtual void setMessage(const std::string& text) = 0;
    // "Continue" or "Retry".
    virtual void setContinueCaption(const std::string& caption) = 0;
    virtual void enableButtons(bool continueEnabled, bool skipEnabled) = 0;
    // Closes the window: OK (connected, ready) or Cancel.
    virtual void finish(bool ok) = 0;
};

}  // namespace corvane
