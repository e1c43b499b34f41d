#pragma once

// Serves one simulated device on a pseudo-terminal, so that programs reach it
// through the kernel's serial path exactly as they would reach a real port.

#include <atomic>
#include <optional>
#include <string>

#include "app/Clock.h"
#include "sim/SimDevice.h"

namespace corvane {

class PtyServer {
public:
    // Opens a new pseudo-terminal in raw mode; nullopt (with errno set) when
    // the system refuses one.
    [[nodiscard]] static std::optional<PtyServer> open();

    PtyServer(PtyServer&& other) noexcept;
    PtyServer& operator=(PtyServer&&) = delete;
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;
    ~PtyServer();

    // The path programs open, e.g. "/dev/pts/7".
    [[nodiscard]] const std::string& path() const { return path_; }

    // Passes bytes both ways until `stop` is set. The device's bytes are
    // dropped when nobody reads the pty and its buffer is full, as a real
    // line would lose them.
    void serve(SimDevice& device, Clock& clock, const std::atomic<bool>& stop);

private:
    PtyServer(int master, int slave, std::string path);

    int master_ = -1;
    // Held open so the master never sees a hang-up between clients.
    int slave_ = -1;
    std::string path_;
};

}  // namespace corvane
