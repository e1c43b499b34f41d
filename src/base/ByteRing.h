#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvane {

// A fixed ring of received bytes with one writer and one or more readers.
// Each reader consumes the same stream at its own pace, so its unread bytes
// are always the last `count` bytes before the write index: only the counts
// are kept, never a read index.
//
// Whatever arrives, a reader never holds more than Size bytes: room for a
// write is made before the write overwrites anything, so a reader a whole
// ring behind loses its oldest bytes (counted in droppedBytes()) and keeps a
// clean tail. A user that must lose nothing writes no more than room() of
// its slowest reader.
//
// No locking: the owner serialises every call.
template <class Byte, std::size_t Size, std::size_t Readers = 1, class ReaderKey = std::size_t>
class ByteRing {
    static_assert(sizeof(Byte) == 1, "a ring of bytes");
    static_assert(Size > 0 && Readers > 0);

public:
    static constexpr std::size_t kSize = Size;
    using Reader = ReaderKey;

    // Fills up to n bytes at the write index through read(span) -> got (a
    // negative got is a failed read). A fill that would pass the ring's end is
    // split: the part up to the end first and, only when that part came
    // whole, the rest at the start (a short first part means the source has
    // nothing more now; asking again would only wait). Returns the bytes
    // received, added for every reader, or -1 when a read failed (nothing is
    // added then).
    template <class ReadPart>
    std::ptrdiff_t fill(std::size_t n, ReadPart&& read) {
        if (n == 0 || n > Size) {
            return 0;
        }
        makeRoom(n);
        const std::size_t first = std::min(n, Size - write_);
        std::ptrdiff_t got = read(std::span<Byte>(bytes_.data() + write_, first));
        if (got < 0) {
            return -1;
        }
        if (static_cast<std::size_t>(got) == first && first < n) {
            const std::ptrdiff_t rest = read(std::span<Byte>(bytes_.data(), n - first));
            if (rest < 0) {
                return -1;
            }
            got += rest;
        }
        commit(static_cast<std::size_t>(got));
        return got;
    }

    // Adds bytes as if they had been read. More than a ring at once keeps
    // the newest Size bytes.
    void append(std::span<const Byte> data) {
        while (!data.empty()) {
            const std::size_t chunk = std::min(data.size(), Size);
            makeRoom(chunk);
            for (std::size_t i = 0; i < chunk; ++i) {
                bytes_[(write_ + i) % Size] = data[i];
            }
            commit(chunk);
            data = data.subspan(chunk);
        }
    }

    [[nodiscard]] std::size_t count(Reader reader = Reader{}) const { return counts_[index(reader)]; }
    // Bytes that may still come before this reader loses any.
    [[nodiscard]] std::size_t room(Reader reader = Reader{}) const { return Size - count(reader); }
    // Where the reader's next unread byte is (0 to Size - 1).
    [[nodiscard]] std::size_t readIndex(Reader reader = Reader{}) const {
        return (write_ + Size - count(reader)) % Size;
    }
    [[nodiscard]] std::size_t writeIndex() const { return write_; }

    // Copies the reader's unread bytes, oldest first and straightened across
    // the ring's end, up to out.size(); returns how many were copied.
    std::size_t copyUnread(Reader reader, std::span<Byte> out) const {
        const std::size_t n = std::min(out.size(), count(reader));
        const std::size_t start = readIndex(reader);
        const std::size_t first = std::min(n, Size - start);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), first, out.begin());
        std::copy_n(bytes_.begin(), n - first, out.begin() + static_cast<std::ptrdiff_t>(first));
        return n;
    }

    // The reader is done with its n oldest unread bytes (at most all of them).
    void consume(Reader reader, std::size_t n) {
        auto& count = counts_[index(reader)];
        count -= std::min(n, count);
    }

    // Empties the ring for every reader and zeroes its bytes.
    void clear() {
        bytes_.fill(Byte{});
        write_ = 0;
        counts_.fill(0);
    }

    // Bytes the reader lost because it fell a whole ring behind.
    [[nodiscard]] std::uint64_t droppedBytes(Reader reader = Reader{}) const {
        return dropped_[index(reader)];
    }

private:
    static constexpr std::size_t index(Reader reader) { return static_cast<std::size_t>(reader); }

    // Before n bytes are written at the write index, no reader may still
    // count on the bytes they will overwrite.
    void makeRoom(std::size_t n) {
        for (std::size_t r = 0; r < Readers; ++r) {
            if (counts_[r] + n > Size) {
                const std::size_t keep = Size - n;
                dropped_[r] += counts_[r] - keep;
                counts_[r] = keep;
            }
        }
    }

    // n bytes were written at the write index.
    void commit(std::size_t n) {
        write_ = (write_ + n) % Size;
        for (auto& count : counts_) {
            count += n;
        }
    }

    std::array<Byte, Size> bytes_{};
    std::size_t write_ = 0;
    std::array<std::size_t, Readers> counts_{};
    std::array<std::uint64_t, Readers> dropped_{};
};

}  // namespace corvane
