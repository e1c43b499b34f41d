#include <cstdio>
#include <span>
#include <string_view>

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

int refuse(const char* kind, std::span<const std::uint8_t> bytes, PacketFault fault,
           const Cmd0* decoded) {
    std::fprintf(stderr, "corvane-cli: not a valid %s packet: ", kind);
    const auto last = bytes.size() - 1;
    switch (fault) {
    case PacketFault::CommandBytes:
        if (decoded != nullptr) {
            std::fprintf(stderr, "command bytes %02X %02X do not sum to 255\n", bytes[0], bytes[1]);
        } else {
            std::fprintf(stderr, "command bytes are %02X %02X, not %02X %02X\n", bytes[0], bytes[1],
                         kind[3] == '1' ? kCmd1Command : kCmd2Command,
                         0xFF - (kind[3] == '1' ? kCmd1Command : kCmd2Command));
        }
        break;
    case PacketFault::CheckByte:
        std::fprintf(stderr, "check byte is %02X, expected %02X\n", bytes[last], Crc7(bytes.data(), last));
        break;
    case PacketFault::Gain:
        std::fprintf(stderr, "ucATODGain is %d (must be below %d)\n", decoded->ucATODGain, kAtodGainLimit);
        break;
    case PacketFault::Reading: {
        const struct {
            const char* name;
            std::uint32_t value;
        } readings[] = {{"ulATODADataA0", decoded->ulATODADataA0},
                        {"ulATODADataB0", decoded->ulATODADataB0},
                        {"ulATODADataA1", decoded->ulATODADataA1},
                        {"ulATODADataB1", decoded->ulATODADataB1}};
        for (const auto& reading : readings) {
            if (reading.value > kMaxAtodReading) {
                std::fprintf(stderr, "%s is %u (at most %u)\n", reading.name, reading.value, kMaxAtodReading);
                break;
            }
        }
        break;
    }
    case PacketFault::None:
        break;
    }
    return 1;
}

int decodeCmd0(std::span<const std::uint8_t, kCmd0Size> bytes) {
    Cmd0 p;
    const auto fault = CheckCmd0(bytes, p);
    if (fault != PacketFault::None) {
        return refuse("CMD0", bytes, fault, &p);
    }
    std::printf("kind=CMD0\n");
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
    return 0;
}

int decodeCmd1(std::span<const std::uint8_t, kCmd1Size> bytes) {
    Cmd1 p;
    const auto fault = CheckCmd1(bytes, p);
    if (fault != PacketFault::None) {
        return refuse("CMD1", bytes, fault, nullptr);
    }
    std::printf("kind=CMD1\n");
    field("ucUVKeyPressed", p.ucUVKeyPressed);
    field("ucUVMenuStatus", p.ucUVMenuStatus);
    field("ucUVMenuVersion", p.ucUVMenuVersion);
    field("ucCntlInfo", p.ucCntlInfo);
    field("check", p.ucCheck);
    return 0;
}

int decodeCmd2(std::span<const std::uint8_t, kCmd2Size> bytes) {
    Cmd2 p;
    const auto fault = CheckCmd2(bytes, p);
    if (fault != PacketFault::None) {
        return refuse("CMD2", bytes, fault, nullptr);
    }
    std::printf("kind=CMD2\n");
    field("ulATODADataSample", p.ulATODADataSample);
    field("ulATODADataSource", p.ulATODADataSource);
    field("ucCmd2CntlInfo", p.ucCmd2CntlInfo);
    field("uiPistonPos", p.uiPistonPos);
    field("iPistonSpeed", p.iPistonSpeed);
    field("check", p.ucCheck);
    return 0;
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
        return decodeCmd0(std::span<const std::uint8_t, kCmd0Size>(bytes->data(), kCmd0Size));
    case kCmd1Size:
        return decodeCmd1(std::span<const std::uint8_t, kCmd1Size>(bytes->data(), kCmd1Size));
    case kCmd2Size:
        return decodeCmd2(std::span<const std::uint8_t, kCmd2Size>(bytes->data(), kCmd2Size));
    default:
        std::fprintf(stderr, "corvane-cli: not a valid packet: %zu bytes (CMD1 has 10, CMD2 16, CMD0 44)\n",
                     bytes->size());
        return 1;
    }
}

}  // namespace corvane::cli
