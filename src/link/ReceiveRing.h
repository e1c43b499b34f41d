#pragma once

#include <cstddef>
#include <cstdint>

#include "base/ByteRing.h"

namespace corvane {

// Every byte received from the unit goes into one fixed ring, read by two
// independent readers: the packet reader (settings and running-data packets)
// and the heartbeat reader. Each reader sees the same stream and consumes it
// at its own pace.
//
// A unit that streams faster than a reader consumes must not corrupt the
// ring: a reader never holds more than kSize bytes, and room for a read is
// made before the read overwrites anything, so a reader that far behind
// loses its oldest bytes (counted in droppedBytes()) and keeps a clean tail.
//
// The ring does no locking: its owner holds the link's read lock around
// every call.
enum class ReceiveReader : std::size_t { Packet = 0, Heartbeat = 1 };

using ReceiveRing = ByteRing<std::uint8_t, 1024, 2, ReceiveReader>;

}  // namespace corvane
