#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvane {

// Every byte received from the unit goes into one fixed ring, read by two
// independent readers: the packet reader (settings and running-data packets)
// and the heartbeat reader. Each reader sees the same stream and consumes it
// at its own pace, so its unread bytes are always the last `count` bytes
// before the write index; only the counts are kept.
//
// A unit that streams faster than a reader consumes must not corrupt the
// ring: a reader never holds more than kSize bytes, and room for a read is
// made before the read overwrites anything, so a reader that far behind
// loses its oldest bytes (counted in droppedBytes()) and keeps a clean tail.
//
// The ring does no locking: its owner holds the link's read lock around
// every call.
class ReceiveRing {
public:
    static constexpr std::size_t kSize = 1024;

    enum class Reader : std::size_t { Packet = 0, Heartbeat = 1 };

    ReceiveRing() = default;

    // Fills up to n bytes at the write index through read(span) -> got (a
    // negative got is a failed read). A fill that would pass the ring's end is
    // split: the part up to the end first and, only when that part came
    // whole, the rest at the start. Returns the bytes received, which are
    // added to both readers, or -1 when a read failed (nothing is added then).
    template <class ReadPart>
    std::ptrdiff_t fill(std::size_t n, ReadPart&& read) {
        if (n == 0 || n > kSize) {
            return 0;
        }
        makeRoom(n);
        const std::size_t first = n < kSize - write_ ? n : kSize - write_;
        std::ptrdiff_t got = read(std::span<std::uint8_t>(bytes_.data() + write_, first));
        if (got < 0) {
            return -1;
        }
        if (static_cast<std::size_t>(got) == first && first < n) {
            const std::ptrdiff_t rest = read(std::span<std::uint8_t>(bytes_.data(), n - first));
            if (rest < 0) {
                return -1;
            }
            got += rest;
        }
        commit(static_cast<std::size_t>(got));
        return got;
    }

    // Adds bytes as if they had been read (tests and the fill above).
    void append(std::span<const std::uint8_t> data);

    [[nodiscard]] std::size_t count(Reader reader) const { return counts_[index(reader)]; }
    // Where the reader's next unread byte is (0 to kSize - 1).
    [[nodiscard]] std::size_t readIndex(Reader reader) const;
    [[nodiscard]] std::size_t writeIndex() const { return write_; }

    // Copies the reader's unread bytes, oldest first and straightened across
    // the ring's end, up to out.size(); returns how many were copied.
    std::size_t copyUnread(Reader reader, std::span<std::uint8_t> out) const;

    // The reader is done with its n oldest unread bytes.
    void consume(Reader reader, std::size_t n);

    // Empties the ring for both readers and zeroes its bytes.
    void clear();

    // Bytes a reader lost because it fell a whole ring behind.
    [[nodiscard]] std::uint64_t droppedBytes(Reader reader) const { return dropped_[index(reader)]; }

private:
    static constexpr std::size_t index(Reader reader) { return static_cast<std::size_t>(reader); }
    // Before n bytes are written at the write index, no reader may still
    // count on the bytes they will overwrite.
    void makeRoom(std::size_t n);
    // n bytes were written at the write index.
    void commit(std::size_t n);

    std::array<std::uint8_t, kSize> bytes_{};
    std::size_t write_ = 0;
    std::array<std::size_t, 2> counts_{};
    std::array<std::uint64_t, 2> dropped_{};
};

}  // namespace corvane
