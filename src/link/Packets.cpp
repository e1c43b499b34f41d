#include "link/Packets.h"

#include <algorithm>
#include <cstring>

#include "link/Crc7.h"

namespace corvane {

namespace {

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t get32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

template <std::size_t N>
void seal(std::array<std::uint8_t, N>& bytes) {
    bytes[N - 1] = Crc7(bytes.data(), N - 1);
}

template <std::size_t N>
bool checkByteMatches(std::span<const std::uint8_t, N> bytes) {
    return bytes[N - 1] == Crc7(bytes.data(), N - 1);
}

// Windows are tried at every offset; the command bytes are compared first so
// that the check byte is computed only for the few windows that could pass.
template <class Packet, std::size_t N, class Check>
std::optional<PacketMatch<Packet>> findFirst(std::span<const std::uint8_t> bytes,
                                             std::size_t windowLength, Check check) {
    if (bytes.size() < windowLength) {
        return std::nullopt;
    }
    PacketMatch<Packet> match;
    for (std::size_t i = 0; i + windowLength <= bytes.size(); ++i) {
        if (check(std::span<const std::uint8_t, N>(bytes.data() + i, N), match.packet) ==
            PacketFault::None) {
            match.offset = i;
            return match;
        }
    }
    return std::nullopt;
}

}  // namespace

std::int16_t Cmd0::scanSpeed() const {
    std::uint8_t wire[2];
    std::memcpy(wire, &iScanSpeed, sizeof wire);
    return static_cast<std::int16_t>(get16(wire));
}

void Cmd0::setScanSpeed(std::int16_t value) {
    std::uint8_t wire[2];
    put16(wire, static_cast<std::uint16_t>(value));
    std::memcpy(&iScanSpeed, wire, sizeof wire);
}

PacketFault CheckCmd0(std::span<const std::uint8_t, kCmd0Size> b, Cmd0& out) {
    if (static_cast<std::uint8_t>(b[0] + b[1]) != 0xFF) {
        return PacketFault::CommandBytes;
    }
    if (!checkByteMatches(b)) {
        return PacketFault::CheckByte;
    }
    out.ucCommand = b[0];
    out.ucComplement = b[1];
    out.ucReserved2 = b[2];
    out.ucDutyCycleA = b[cmd0offset::kDutyCycleA];
    out.ucWavelenghtA = b[cmd0offset::kWavelenghtA];
    out.ucWavelenghtB = b[cmd0offset::kWavelenghtB];
    out.ucATODGain = b[cmd0offset::kATODGain];
    out.ucRotor = b[cmd0offset::kRotor];
    out.ucReserved8 = b[8];
    out.ucReserved9 = b[9];
    out.uiIntegrationTime = get16(&b[cmd0offset::kIntegrationTime]);
    // Stays in wire order: copied, not converted.
    std::memcpy(&out.iScanSpeed, &b[cmd0offset::kScanSpeed], sizeof out.iScanSpeed);
    out.uiScanDist = get16(&b[cmd0offset::kScanDist]);
    out.ulATODADataA0 = get32(&b[cmd0offset::kATODADataA0]);
    out.ulATODADataB0 = get32(&b[cmd0offset::kATODADataB0]);
    out.ulATODADataA1 = get32(&b[cmd0offset::kATODADataA1]);
    out.ulATODADataB1 = get32(&b[cmd0offset::kATODADataB1]);
    out.ucCmd0CntlInfo = b[cmd0offset::kCmd0CntlInfo];
    out.ucReserved33 = b[33];
    out.ucPotPosition = b[cmd0offset::kPotPosition];
    out.uiPistonPos = get16(&b[cmd0offset::kPistonPos]);
    out.iPistonSpeed = static_cast<std::int16_t>(get16(&b[cmd0offset::kPistonSpeed]));
    out.uiTubeTopPistonPos = get16(&b[cmd0offset::kTubeTopPistonPos]);
    out.uiTubeEndPistonPos = get16(&b[cmd0offset::kTubeEndPistonPos]);
    out.ucCheck = b[cmd0offset::kCheck];
    if (out.ucATODGain >= kAtodGainLimit) {
        return PacketFault::Gain;
    }
    for (const auto reading :
         {out.ulATODADataA0, out.ulATODADataB0, out.ulATODADataA1, out.ulATODADataB1}) {
        if (reading > kMaxAtodReading) {
            return PacketFault::Reading;
        }
    }
    return PacketFault::None;
}

PacketFault CheckCmd1(std::span<const std::uint8_t, kCmd1Size> b, Cmd1& out) {
    if (b[0] != kCmd1Command || b[1] != 0xFF - kCmd1Command) {
        return PacketFault::CommandBytes;
    }
    if (!checkByteMatches(b)) {
        return PacketFault::CheckByte;
    }
    out.ucUVKeyPressed = b[2];
    out.ucUVMenuStatus = b[3];
    out.ucUVMenuVersion = b[4];
    out.ucCntlInfo = b[5];
    out.ucReserved = {b[6], b[7], b[8]};
    out.ucCheck = b[9];
    return PacketFault::None;
}

PacketFault CheckCmd2(std::span<const std::uint8_t, kCmd2Size> b, Cmd2& out) {
    if (b[0] != kCmd2Command || b[1] != 0xFF - kCmd2Command) {
        return PacketFault::CommandBytes;
    }
    if (!checkByteMatches(b)) {
        return PacketFault::CheckByte;
    }
    out.ulATODADataSample = get32(&b[2]);
    out.ulATODADataSource = get32(&b[6]);
    out.ucCmd2CntlInfo = b[10];
    out.uiPistonPos = get16(&b[11]);
    out.iPistonSpeed = static_cast<std::int16_t>(get16(&b[13]));
    out.ucCheck = b[15];
    return PacketFault::None;
}

Cmd0Bytes EncodeCmd0(const Cmd0& p) {
    Cmd0Bytes b{};
    b[0] = p.ucCommand;
    b[1] = p.ucComplement;
    b[2] = p.ucReserved2;
    b[cmd0offset::kDutyCycleA] = p.ucDutyCycleA;
    b[cmd0offset::kWavelenghtA] = p.ucWavelenghtA;
    b[cmd0offset::kWavelenghtB] = p.ucWavelenghtB;
    b[cmd0offset::kATODGain] = p.ucATODGain;
    b[cmd0offset::kRotor] = p.ucRotor;
    b[8] = p.ucReserved8;
    b[9] = p.ucReserved9;
    put16(&b[cmd0offset::kIntegrationTime], p.uiIntegrationTime);
    // Already in wire order: copied back, never swapped a second time.
    std::memcpy(&b[cmd0offset::kScanSpeed], &p.iScanSpeed, sizeof p.iScanSpeed);
    put16(&b[cmd0offset::kScanDist], p.uiScanDist);
    put32(&b[cmd0offset::kATODADataA0], p.ulATODADataA0);
    put32(&b[cmd0offset::kATODADataB0], p.ulATODADataB0);
    put32(&b[cmd0offset::kATODADataA1], p.ulATODADataA1);
    put32(&b[cmd0offset::kATODADataB1], p.ulATODADataB1);
    b[cmd0offset::kCmd0CntlInfo] = p.ucCmd0CntlInfo;
    b[33] = p.ucReserved33;
    b[cmd0offset::kPotPosition] = p.ucPotPosition;
    put16(&b[cmd0offset::kPistonPos], p.uiPistonPos);
    put16(&b[cmd0offset::kPistonSpeed], static_cast<std::uint16_t>(p.iPistonSpeed));
    put16(&b[cmd0offset::kTubeTopPistonPos], p.uiTubeTopPistonPos);
    put16(&b[cmd0offset::kTubeEndPistonPos], p.uiTubeEndPistonPos);
    seal(b);
    return b;
}

Cmd1Bytes EncodeCmd1(const Cmd1& p) {
    Cmd1Bytes b{kCmd1Command, 0xFF - kCmd1Command, p.ucUVKeyPressed, p.ucUVMenuStatus,
                p.ucUVMenuVersion, p.ucCntlInfo, p.ucReserved[0], p.ucReserved[1], p.ucReserved[2],
                0};
    seal(b);
    return b;
}

Cmd2Bytes EncodeCmd2(const Cmd2& p) {
    Cmd2Bytes b{};
    b[0] = kCmd2Command;
    b[1] = 0xFF - kCmd2Command;
    put32(&b[2], p.ulATODADataSample);
    put32(&b[6], p.ulATODADataSource);
    b[10] = p.ucCmd2CntlInfo;
    put16(&b[11], p.uiPistonPos);
    put16(&b[13], static_cast<std::uint16_t>(p.iPistonSpeed));
    seal(b);
    return b;
}

Cmd1Bytes BuildCmd1(std::uint8_t key, std::uint8_t status, std::uint8_t version,
                    std::uint8_t control) {
    Cmd1 packet;
    packet.ucUVKeyPressed = key;
    packet.ucUVMenuStatus = status;
    packet.ucUVMenuVersion = version;
    packet.ucCntlInfo = control;
    return EncodeCmd1(packet);
}

Cmd1Bytes BuildHeartbeat() {
    return BuildCmd1(0, kModeNone, kMenuVersion, 0);
}

Cmd1Bytes BuildKeyPacket(std::uint8_t key, std::uint8_t lastMode) {
    return BuildCmd1(key, lastMode, kMenuVersion, 0);
}

void ApplySettings(Cmd0& packet, const Cmd0Settings& s) {
    packet.ucDutyCycleA = s.ucDutyCycleA;
    packet.ucWavelenghtA = s.ucWavelenghtA;
    packet.ucWavelenghtB = s.ucWavelenghtB;
    packet.ucATODGain = s.ucATODGain;
    packet.ucRotor = s.ucRotor;
    packet.uiIntegrationTime = s.uiIntegrationTime;
    packet.setScanSpeed(s.scanSpeed);
    packet.uiScanDist = s.uiScanDist;
    packet.uiTubeTopPistonPos = s.uiTubeTopPistonPos;
    packet.uiTubeEndPistonPos = s.uiTubeEndPistonPos;
}

Cmd0Bytes BuildCmd0(const Cmd0Settings& s) {
    Cmd0 packet;
    ApplySettings(packet, s);
    return EncodeCmd0(packet);
}

Cmd0Settings SettingsOf(const Cmd0& p) {
    return Cmd0Settings{p.ucDutyCycleA,      p.ucWavelenghtA, p.ucWavelenghtB,
                        p.ucATODGain,        p.ucRotor,       p.uiIntegrationTime,
                        p.scanSpeed(),       p.uiScanDist,    p.uiTubeTopPistonPos,
                        p.uiTubeEndPistonPos};
}

Cmd0Bytes BuildSettingsChange(const Cmd0& edited) {
    Cmd0Bytes b = EncodeCmd0(edited);
    std::memset(&b[cmd0offset::kClearedFirst], 0,
                cmd0offset::kClearedLast - cmd0offset::kClearedFirst + 1);
    seal(b);
    return b;
}

bool SettingsEchoMatches(const Cmd0Bytes& sent, const Cmd0& received) {
    const Cmd0Bytes back = EncodeCmd0(received);
    for (std::size_t i = cmd0offset::kDutyCycleA; i <= cmd0offset::kRotor; ++i) {
        if (sent[i] != back[i]) {
            return false;
        }
    }
    for (const std::size_t offset : {cmd0offset::kIntegrationTime, cmd0offset::kScanDist}) {
        if (sent[offset] != back[offset] || sent[offset + 1] != back[offset + 1]) {
            return false;
        }
    }
    return true;
}

std::optional<PacketMatch<Cmd0>> FindCmd0(std::span<const std::uint8_t> bytes) {
    return findFirst<Cmd0, kCmd0Size>(bytes, kCmd0Size, CheckCmd0);
}

std::optional<PacketMatch<Cmd1>> FindCmd1(std::span<const std::uint8_t> bytes) {
    return findFirst<Cmd1, kCmd1Size>(bytes, kCmd1Size, CheckCmd1);
}

std::optional<PacketMatch<Cmd2>> FindCmd2(std::span<const std::uint8_t> bytes) {
    return findFirst<Cmd2, kCmd2Size>(bytes, kCmd2Size, CheckCmd2);
}

std::size_t LeadingBytesOfNoPacket(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i + 1 < n) {
        const auto first = bytes[i];
        const auto second = bytes[i + 1];
        if (static_cast<std::uint8_t>(first + second) != 0xFF) {
            ++i;
            continue;
        }
        // Both packet kinds (and the heartbeat) begin with a byte pair that
        // sums to 255: such a byte goes only once every window it could
        // begin is whole and invalid.
        Cmd0 cmd0;
        if (i + kCmd0Size > n ||
            CheckCmd0(std::span<const std::uint8_t, kCmd0Size>(bytes.data() + i, kCmd0Size), cmd0) ==
                PacketFault::None) {
            break;
        }
        if (first == kCmd2Command) {
            Cmd2 cmd2;
            if (CheckCmd2(std::span<const std::uint8_t, kCmd2Size>(bytes.data() + i, kCmd2Size), cmd2) ==
                PacketFault::None) {
                break;
            }
        }
        Cmd1 beat;
        i += first == kCmd1Command &&
                     CheckCmd1(std::span<const std::uint8_t, kCmd1Size>(bytes.data() + i, kCmd1Size),
                               beat) == PacketFault::None
                 ? kCmd1Size
                 : 1;
    }
    return std::min(i, n);
}

}  // namespace corvane
