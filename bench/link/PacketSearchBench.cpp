#include <benchmark/benchmark.h>

#include <vector>

#include "link/Crc7.h"
#include "link/Packets.h"
#include "sim/SimRandom.h"

namespace {

// A settings stream as the receive ring sees it: valid packets with random
// garbage between them making up about a tenth of the bytes.
std::vector<std::uint8_t> streamWithGarbage(std::size_t packets) {
    corvane::SimRandom random(42);
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < packets; ++i) {
        const auto garbage = 1 + random.next() % 8;  // mean 4.5: about 10 %
        for (std::size_t g = 0; g < garbage; ++g) {
            bytes.push_back(static_cast<std::uint8_t>(random.next()));
        }
        corvane::Cmd0 packet;
        packet.ucDutyCycleA = 50;
        packet.ucATODGain = 4;
        packet.uiIntegrationTime = 100;
        packet.ulATODADataA0 = static_cast<std::uint32_t>(random.next() % 2000000);
        packet.ulATODADataB0 = static_cast<std::uint32_t>(random.next() % 2000000);
        packet.ulATODADataA1 = static_cast<std::uint32_t>(random.next() % 2000000);
        packet.ulATODADataB1 = static_cast<std::uint32_t>(random.next() % 2000000);
        packet.uiPistonPos = static_cast<std::uint16_t>(i);
        const auto wire = corvane::EncodeCmd0(packet);
        bytes.insert(bytes.end(), wire.begin(), wire.end());
    }
    return bytes;
}

// The link's packet search over its unread bytes: find, consume, repeat.
void BM_Cmd0SearchTenPercentGarbage(benchmark::State& state) {
    const auto bytes = streamWithGarbage(20000);
    std::size_t found = 0;
    for (auto _ : state) {
        std::size_t offset = 0;
        found = 0;
        while (const auto match = corvane::FindCmd0(std::span(bytes).subspan(offset))) {
            offset += match->offset + corvane::kCmd0Size;
            ++found;
        }
        benchmark::DoNotOptimize(offset);
    }
    if (found != 20000) {
        state.SkipWithError("not every packet was found");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Cmd0SearchTenPercentGarbage);

void BM_Crc7OfASettingsPacket(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(43, 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvane::Crc7(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Crc7OfASettingsPacket);

}  // namespace
