#include "link/ReceiveRing.h"

#include <algorithm>

namespace corvane {

void ReceiveRing::makeRoom(std::size_t n) {
    for (std::size_t r = 0; r < counts_.size(); ++r) {
        if (counts_[r] + n > kSize) {
            const std::size_t keep = kSize - n;
            dropped_[r] += counts_[r] - keep;
            counts_[r] = keep;
        }
    }
}

void ReceiveRing::commit(std::size_t n) {
    write_ = (write_ + n) % kSize;
    for (auto& count : counts_) {
        count += n;
    }
}

void ReceiveRing::append(std::span<const std::uint8_t> data) {
    // Whole rings at a time, so that an oversized append keeps its tail.
    while (!data.empty()) {
        const std::size_t chunk = std::min(data.size(), kSize);
        makeRoom(chunk);
        for (std::size_t i = 0; i < chunk; ++i) {
            bytes_[(write_ + i) % kSize] = data[i];
        }
        commit(chunk);
        data = data.subspan(chunk);
    }
}

std::size_t ReceiveRing::readIndex(Reader reader) const {
    return (write_ + kSize - count(reader)) % kSize;
}

std::size_t ReceiveRing::copyUnread(Reader reader, std::span<std::uint8_t> out) const {
    const std::size_t n = std::min(out.size(), count(reader));
    const std::size_t start = readIndex(reader);
    const std::size_t first = std::min(n, kSize - start);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), first, out.begin());
    std::copy_n(bytes_.begin(), n - first, out.begin() + static_cast<std::ptrdiff_t>(first));
    return n;
}

void ReceiveRing::consume(Reader reader, std::size_t n) {
    auto& count = counts_[index(reader)];
    count -= std::min(n, count);
}

void ReceiveRing::clear() {
    bytes_.fill(0);
    write_ = 0;
    counts_.fill(0);
}

}  // namespace corvane
