#include <cstdio>
#include <span>
#include <string_view>
#include <type_traits>

#include "cli/Commands.h"
#include "cli/HexArgs.h"
#include "link/Crc7.h"
#include "link/Packets.h"

namespace corvane::cli {

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli packet decode HEX...\n"
                 "Decodes one CMD0 (44 bytes), CMD1 (10) or CMD2 (16) packet into name=value\n"
                 "lines (multi-byte fields converted from the wire's big-endian order); exits 1\n"
                 "with the reason when the bytes are not a valid packet.\n");
}

void field(const char* name, long long value) {
    std::printf("%s=%lld\n", name, value);
}

void printFields(const Cmd0& p) {
    field("command", p.ucCommand);
    field("complement", p.ucComplement);
    field("ucDutyCycleA", p.ucDutyCycleA);
    field("ucWavelenghtA", p.ucWavelenghtA);
    field("ucWavelenghtB", p.ucWavelenghtB);
    field("ucATODGain", p.ucATODGain);
    field("ucRotor", p.ucRotor);
    field("uiIntegrationTime", p.uiIntegrationTime);
    field("iScanSpeed", p.scanSpeed());
    field("uiScanDist", p.uiScanDist);
    field("ulATODADataA0", p.ulATODADataA0);
    field("ulATODADataB0", p.ulATODADataB0);
    field("ulATODADataA1", p.ulATODADataA1);
    field("ulATODADataB1", p.ulATODADataB1);
    field("ucCmd0CntlInfo", p.ucCmd0CntlInfo);
    field("ucPotPosition", p.ucPotPosition);
    field("uiPistonPos", p.uiPistonPos);
    field("iPistonSpeed", p.iPistonSpeed);
    field("uiTubeTopPistonPos", p.uiTubeTopPistonPos);
    field("uiTubeEndPistonPos", p.uiTubeEndPistonPos);
    field("check", p.ucCheck);
}

void printFields(const Cmd1& p) {
    field("ucUVKeyPressed", p.ucUVKeyPressed);
    field("ucUVMenuStatus", p.ucUVMenuStatus);
    field("ucUVMenuVersion", p.ucUVMenuVersion);
    field("ucCntlInfo", p.ucCntlInfo);
    field("check", p.ucCheck);
}

void printFields(const Cmd2& p) {
    field("ulATODADataSample", p.ulATODADataSample);
    field("ulATODADataSource", p.ulATODADataSource);
    field("ucCmd2CntlInfo", p.ucCmd2CntlInfo);
    field("uiPistonPos", p.uiPistonPos);
    field("iPistonSpeed", p.iPistonSpeed);
    field("check", p.ucCheck);
}

// Why a settings packet's values make it invalid (its frame being right).
void describeLimit(const Cmd0& p, PacketFault fault) {
    if (fault == PacketFault::Gain) {
        std::fprintf(stderr, "ucATODGain is %d (must be below %d)\n", p.ucATODGain, kAtodGainLimit);
        return;
    }
    const struct {
        const char* name;
        std::uint32_t value;
    } readings[] = {{"ulATODADataA0", p.ulATODADataA0},
                    {"ulATODADataB0", p.ulATODADataB0},
                    {"ulATODADataA1", p.ulATODADataA1},
                    {"ulATODADataB1", p.ulATODADataB1}};
    for (const auto& reading : readings) {
        if (reading.value > kMaxAtodReading) {
            std::fprintf(stderr, "%s is %u (at most %u)\n", reading.name, reading.value, kMaxAtodReading);
            return;
        }
    }
}

template <class Packet, std::size_t N>
int decode(const char* kind, std::uint8_t command, std::span<const std::uint8_t> all,
           PacketFault (*check)(std::span<const std::uint8_t, N>, Packet&)) {
    const std::span<const std::uint8_t, N> bytes(all.data(), N);
    Packet packet;
    const auto fault = check(bytes, packet);
    if (fault == PacketFault::None) {
        std::printf("kind=%s\n", kind);
        printFields(packet);
        return 0;
    }
    std::fprintf(stderr, "corvane-cli: not a valid %s packet: ", kind);
    if (fault == PacketFault::CheckByte) {
        std::fprintf(stderr, "check byte is %02X, expected %02X\n", bytes[N - 1], Crc7(bytes.data(), N - 1));
    } else if (fault == PacketFault::CommandBytes && std::is_same_v<Packet, Cmd0>) {
        std::fprintf(stderr, "command bytes %02X %02X do not sum to 255\n", bytes[0], bytes[1]);
    } else if (fault == PacketFault::CommandBytes) {
        std::fprintf(stderr, "command bytes are %02X %02X, not %02X %02X\n", bytes[0], bytes[1], command,
                     0xFF - command);
    } else if constexpr (std::is_same_v<Packet, Cmd0>) {
        describeLimit(packet, fault);
    }
    return 1;
}

}  // namespace

int runPacket(int argc, char** argv) {
    if (argc < 3 || std::string_view(argv[1]) != "decode") {
        usage();
        return 2;
    }
    const auto bytes = ParseHexArgs(argc - 2, argv + 2);
    if (!bytes || bytes->empty()) {
        usage();
        return 2;
    }
    switch (bytes->size()) {
    case kCmd0Size:
        return decode<Cmd0, kCmd0Size>("CMD0", kCmd0Command, *bytes, CheckCmd0);
    case kCmd1Size:
        return decode<Cmd1, kCmd1Size>("CMD1", kCmd1Command, *bytes, CheckCmd1);
    case kCmd2Size:
        return decode<Cmd2, kCmd2Size>("CMD2", kCmd2Command, *bytes, CheckCmd2);
    default:
        std::fprintf(stderr, "corvane-cli: not a valid packet: %zu bytes (CMD1 has 10, CMD2 16, CMD0 44)\n",
                     bytes->size());
        return 1;
    }
}

}  // namespace corvane::cli
