#pragma once

#include <cstdint>
#include <string>

#include "link/UvLink.h"
#include "recording/ReceiveThread.h"

namespace corvane::cli {

// The closing lines of `record`: what the wire cost the run.
[[nodiscard]] std::string linkAccount(const LinkTraffic& traffic);
[[nodiscard]] std::string damageLine(std::uint64_t packetsLost);
[[nodiscard]] std::string silencesLine(const ReceiveThread::Silences& silences);

}  // namespace corvane::cli
