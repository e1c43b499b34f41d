#include "link/De1Reply.h"

namespace corvane {

std::size_t De1ReplySize(std::uint8_t headerByte0) {
    return kDe1HeaderSize + kDe1BlockSize * (headerByte0 & 7u) + 1;
}

bool De1CheckPasses(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = kDe1HeaderSize; i + 1 < bytes.size(); ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum) == bytes.back();
}

std::optional<De1Fields> DecodeDe1Reply(std::span<const std::uint8_t> reply) {
    // A reply without a block announces 17 bytes and carries no reading.
    if (reply.size() <= kDe1HeaderSize || reply.size() != De1ReplySize(reply[0]) ||
        reply.size() < kDe1HeaderSize + kDe1BlockSize + 1 || !De1CheckPasses(reply)) {
        return std::nullopt;
    }
    auto word = [&](std::size_t at) {
        return static_cast<std::uint16_t>(reply[at] << 8 | reply[at + 1]);
    };
    return De1Fields{word(16), word(18), word(20)};
}

}  // namespace corvane
