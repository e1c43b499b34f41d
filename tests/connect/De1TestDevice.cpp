#include "De1TestDevice.h"

namespace corvane::test {

std::vector<std::uint8_t> De1ReplyBytes(std::uint16_t signal, std::uint16_t input2,
                                        std::uint16_t input3, int blocks) {
    std::vector<std::uint8_t> reply(16 + 16 * static_cast<std::size_t>(blocks) + 1, 0);
    reply[0] = static_cast<std::uint8_t>(0x80 | blocks);
    auto put = [&](std::size_t at, std::uint16_t v) {
        reply[at] = static_cast<std::uint8_t>(v >> 8);
        reply[at + 1] = static_cast<std::uint8_t>(v);
    };
    if (blocks > 0) {
        put(16, signal);
        put(18, input2);
        put(20, input3);
    }
    unsigned sum = 0;
    for (std::size_t i = 16; i + 1 < reply.size(); ++i) {
        sum += reply[i];
    }
    reply.back() = static_cast<std::uint8_t>(sum);
    return reply;
}

void ScriptedDe1Box::queue(std::vector<std::uint8_t> reply) {
    mutate([&] { replies_.push_back(std::move(reply)); });
}

void ScriptedDe1Box::queueInput2(std::initializer_list<std::uint16_t> values, std::uint16_t signal) {
    for (const auto v : values) {
        queue(De1ReplyBytes(signal, v));
    }
}

std::vector<std::uint8_t> ScriptedDe1Box::requests() {
    return inspect([&] { return requests_; });
}

void ScriptedDe1Box::receive(std::span<const std::uint8_t> bytes, std::int64_t) {
    for (const auto byte : bytes) {
        requests_.push_back(byte);
        if (!replies_.empty()) {
            emit(replies_.front());
            replies_.pop_front();
        }
    }
}

}  // namespace corvane::test
