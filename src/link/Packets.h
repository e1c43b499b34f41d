#pragma once

// The three binary packets exchanged with the Kelvo unit, their builders and
// validators, and the search for a valid packet in received bytes.
//
// Representation: on the wire a packet is a fixed-size byte array (Cmd0Bytes,
// Cmd1Bytes, Cmd2Bytes), big-endian fields at fixed offsets, no padding. In the
// program a received packet is a plain struct (Cmd0, Cmd1, Cmd2) whose members
// carry the wire names and hold host-order values, filled by the validators
// and turned back into bytes by the Encode... functions. Structs instead of
// packed overlays: members can be read and bound by reference without
// misaligned access, and each conversion is written down once, here.
//
// One deliberate quirk: Cmd0::iScanSpeed is kept in wire order (the two bytes
// of offsets 12 and 13 in memory order), because every stored settings packet
// has always kept it that way and the settings sent back to the unit are
// rebuilt from it. Read it only through Cmd0::scanSpeed() and change it only
// through Cmd0::setScanSpeed(), so the conversion happens exactly once.
//
// Nothing here allocates; validating a window costs a fixed number of steps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace corvane {

inline constexpr std::size_t kCmd0Size = 44;
inline constexpr std::size_t kCmd1Size = 10;
inline constexpr std::size_t kCmd2Size = 16;

using Cmd0Bytes = std::array<std::uint8_t, kCmd0Size>;
using Cmd1Bytes = std::array<std::uint8_t, kCmd1Size>;
using Cmd2Bytes = std::array<std::uint8_t, kCmd2Size>;

// Command bytes; byte 1 of a packet is always 255 minus byte 0.
inline constexpr std::uint8_t kCmd0Command = 0x40;
inline constexpr std::uint8_t kCmd1Command = 0x41;
inline constexpr std::uint8_t kCmd2Command = 0x42;

// The menu/protocol version this program speaks.
inline constexpr std::uint8_t kMenuVersion = 13;

// Largest A/D reading the unit can report; anything above is a damaged packet.
inline constexpr std::uint32_t kMaxAtodReading = 2000000;
// A received gain ("pC") of this value or more makes a settings packet invalid.
inline constexpr std::uint8_t kAtodGainLimit = 8;

// Mode codes (Cmd1::ucUVMenuStatus).
inline constexpr std::uint8_t kModeNone = 10;
inline constexpr std::uint8_t kModeSetup = 11;
inline constexpr std::uint8_t kModeManual = 12;
inline constexpr std::uint8_t kModeAuto = 13;
inline constexpr std::uint8_t kModeCalibration = 15;

// Bits of the unit's Cmd1::ucCntlInfo.
inline constexpr std::uint8_t kCntlBit0 = 0x01;
// Clear while the piston touches the upper limit switch, set otherwise.
inline constexpr std::uint8_t kCntlUpperLimitNoContact = 0x02;
inline constexpr std::uint8_t kCntlBit2 = 0x04;
// The unit asks the PC to press key 1.
inline constexpr std::uint8_t kCntlKeyRequest = 0x08;

// Bits of Cmd0::ucCmd0CntlInfo: which channels' positions the packet carries.
inline constexpr std::uint8_t kCmd0PositionA = 0x01;
inline constexpr std::uint8_t kCmd0PositionB = 0x02;

// Cmd2::ucCmd2CntlInfo value of a channel A reading (anything else is B).
inline constexpr std::uint8_t kCmd2ChannelA = 1;

// Byte offsets of the settings packet, for code that edits raw bytes.
namespace cmd0offset {
inline constexpr std::size_t kDutyCycleA = 3;
inline constexpr std::size_t kWavelenghtA = 4;
inline constexpr std::size_t kWavelenghtB = 5;
inline constexpr std::size_t kATODGain = 6;
inline constexpr std::size_t kRotor = 7;
inline constexpr std::size_t kIntegrationTime = 10;
inline constexpr std::size_t kScanSpeed = 12;
inline constexpr std::size_t kScanDist = 14;
inline constexpr std::size_t kATODADataA0 = 16;
inline constexpr std::size_t kATODADataB0 = 20;
inline constexpr std::size_t kATODADataA1 = 24;
inline constexpr std::size_t kATODADataB1 = 28;
inline constexpr std::size_t kCmd0CntlInfo = 32;
inline constexpr std::size_t kPotPosition = 34;
inline constexpr std::size_t kPistonPos = 35;
inline constexpr std::size_t kPistonSpeed = 37;
inline constexpr std::size_t kTubeTopPistonPos = 39;
inline constexpr std::size_t kTubeEndPistonPos = 41;
inline constexpr std::size_t kCheck = 43;
// A settings change sent back to the unit carries no data: these are zeroed.
inline constexpr std::size_t kClearedFirst = 16;
inline constexpr std::size_t kClearedLast = 42;
}  // namespace cmd0offset

// The piston position field (uiPistonPos of Cmd0 and Cmd2): it travels as
// unsigned but means a signed count of hundredths of a mm, so a piston above
// its zero reads below 0, never about 655 mm. The one decode of it.
[[nodiscard]] constexpr std::int16_t pistonPositionHundredths(std::uint16_t uiPistonPos) {
    return static_cast<std::int16_t>(uiPistonPos);
}
[[nodiscard]] constexpr double pistonPositionMm(std::uint16_t uiPistonPos) {
    return pistonPositionHundredths(uiPistonPos) / 100.0;
}

// Settings and A/D data (44 bytes), both directions. Host order, except
// iScanSpeed (see the top of this file).
struct Cmd0 {
    std::uint8_t ucCommand = kCmd0Command;
    std::uint8_t ucComplement = 0xFF - kCmd0Command;
    std::uint8_t ucReserved2 = 0;
    std::uint8_t ucDutyCycleA = 0;   // channel A share of the A:B duty cycle, percent
    std::uint8_t ucWavelenghtA = 0;  // LED wavelength code of channel A
    std::uint8_t ucWavelenghtB = 0;
    std::uint8_t ucATODGain = 0;     // the "pC" value 1 to 7
    std::uint8_t ucRotor = 0;
    std::uint8_t ucReserved8 = 0;
    std::uint8_t ucReserved9 = 0;
    std::uint16_t uiIntegrationTime = 0;  // ms
    std::int16_t iScanSpeed = 0;          // WIRE ORDER: use scanSpeed()/setScanSpeed()
    std::uint16_t uiScanDist = 0;         // hundredths of a mm
    std::uint32_t ulATODADataA0 = 0;      // channel A sample, counts
    std::uint32_t ulATODADataB0 = 0;      // channel B sample
    std::uint32_t ulATODADataA1 = 0;      // channel A source (reference)
    std::uint32_t ulATODADataB1 = 0;      // channel B source
    std::uint8_t ucCmd0CntlInfo = 0;      // kCmd0PositionA | kCmd0PositionB
    std::uint8_t ucReserved33 = 0;
    std::uint8_t ucPotPosition = 0;
    std::uint16_t uiPistonPos = 0;        // hundredths of a mm: read it through pistonMm()
    std::int16_t iPistonSpeed = 0;        // tenths of a mm/s
    std::uint16_t uiTubeTopPistonPos = 0; // hundredths of a mm from the upper limit switch
    std::uint16_t uiTubeEndPistonPos = 0;
    std::uint8_t ucCheck = 0;             // as received; Encode... recomputes it

    [[nodiscard]] double pistonMm() const { return pistonPositionMm(uiPistonPos); }
    // The scan speed in host order (tenths of a mm/s, signed).
    [[nodiscard]] std::int16_t scanSpeed() const;
    // Stores a host-order scan speed in the wire-order member.
    void setScanSpeed(std::int16_t value);

    friend bool operator==(const Cmd0&, const Cmd0&) = default;
};

// Heartbeat and key packet (10 bytes), both directions. No multi-byte fields.
struct Cmd1 {
    std::uint8_t ucUVKeyPressed = 0;   // key code 1..5, 0 = none; from the unit: the echo
    std::uint8_t ucUVMenuStatus = 0;   // mode code
    std::uint8_t ucUVMenuVersion = 0;  // menu/protocol version
    std::uint8_t ucCntlInfo = 0;       // kCntl... bits
    std::array<std::uint8_t, 3> ucReserved{};  // offsets 6 to 8
    std::uint8_t ucCheck = 0;

    friend bool operator==(const Cmd1&, const Cmd1&) = default;
};

// Running data (16 bytes), from the unit in manual, auto and calibration mode.
struct Cmd2 {
    std::uint32_t ulATODADataSample = 0;  // counts
    std::uint32_t ulATODADataSource = 0;  // counts
    std::uint8_t ucCmd2CntlInfo = 0;      // kCmd2ChannelA = channel A, else B
    std::uint16_t uiPistonPos = 0;        // hundredths of a mm: read it through pistonMm()
    std::int16_t iPistonSpeed = 0;        // tenths of a mm/s
    std::uint8_t ucCheck = 0;

    [[nodiscard]] double pistonMm() const { return pistonPositionMm(uiPistonPos); }

    friend bool operator==(const Cmd2&, const Cmd2&) = default;
};

// Why a window is not a packet.
enum class PacketFault {
    None,          // valid
    CommandBytes,  // byte 0 / byte 1 wrong (for Cmd0: their sum is not 255)
    CheckByte,     // last byte is not the Crc7 of the rest
    Gain,          // Cmd0 ucATODGain of kAtodGainLimit or more
    Reading,       // a Cmd0 A/D reading above kMaxAtodReading
};

// Validators: check the frame and the check byte, then convert to host order.
// Check... report why a window fails; `out` is filled whenever the frame and
// check byte are right (so also for Gain and Reading faults), else untouched.
[[nodiscard]] PacketFault CheckCmd0(std::span<const std::uint8_t, kCmd0Size> bytes, Cmd0& out);
[[nodiscard]] PacketFault CheckCmd1(std::span<const std::uint8_t, kCmd1Size> bytes, Cmd1& out);
[[nodiscard]] PacketFault CheckCmd2(std::span<const std::uint8_t, kCmd2Size> bytes, Cmd2& out);

// The same as booleans: true when the window is a valid packet of that kind.
[[nodiscard]] inline bool ValidateCmd0(std::span<const std::uint8_t, kCmd0Size> bytes, Cmd0& out) {
    return CheckCmd0(bytes, out) == PacketFault::None;
}
[[nodiscard]] inline bool ValidateCmd1(std::span<const std::uint8_t, kCmd1Size> bytes, Cmd1& out) {
    return CheckCmd1(bytes, out) == PacketFault::None;
}
[[nodiscard]] inline bool ValidateCmd2(std::span<const std::uint8_t, kCmd2Size> bytes, Cmd2& out) {
    return CheckCmd2(bytes, out) == PacketFault::None;
}

// Full encoders: every member goes to the wire as it stands (iScanSpeed
// unchanged, being wire order already) and the check byte is computed. The
// simulated unit builds its packets with these.
[[nodiscard]] Cmd0Bytes EncodeCmd0(const Cmd0& packet);
[[nodiscard]] Cmd1Bytes EncodeCmd1(const Cmd1& packet);
[[nodiscard]] Cmd2Bytes EncodeCmd2(const Cmd2& packet);

// The PC heartbeat: key 0, mode 10, version 13, control 0:
// 41 BE 00 0A 0D 00 00 00 00 24.
[[nodiscard]] Cmd1Bytes BuildHeartbeat();

// A key press: key code, the mode byte of the unit's last heartbeat (kModeNone
// when none has arrived yet), version 13, control 0.
[[nodiscard]] Cmd1Bytes BuildKeyPacket(std::uint8_t key, std::uint8_t lastMode = kModeNone);

// A heartbeat-kind packet with every field chosen (the CMD1 debug window):
// 0x41 0xBE key status version control, reserved 0, check byte.
[[nodiscard]] Cmd1Bytes BuildCmd1(std::uint8_t key, std::uint8_t status, std::uint8_t version,
                                  std::uint8_t control);

// The settings a PC fills when it builds a settings packet from scratch, all
// in host order (scanSpeed included).
struct Cmd0Settings {
    std::uint8_t ucDutyCycleA = 0;
    std::uint8_t ucWavelenghtA = 0;
    std::uint8_t ucWavelenghtB = 0;
    std::uint8_t ucATODGain = 0;
    std::uint8_t ucRotor = 0;
    std::uint16_t uiIntegrationTime = 0;
    std::int16_t scanSpeed = 0;
    std::uint16_t uiScanDist = 0;
    std::uint16_t uiTubeTopPistonPos = 0;
    std::uint16_t uiTubeEndPistonPos = 0;

    friend bool operator==(const Cmd0Settings&, const Cmd0Settings&) = default;
};

// A settings packet built from scratch: command 0x40 0xBF, the fields at
// offsets 3 to 7, 10, 12, 14, 39 and 41, everything else 0.
[[nodiscard]] Cmd0Bytes BuildCmd0(const Cmd0Settings& settings);

// The settings held by a received packet, scan speed converted to host order.
[[nodiscard]] Cmd0Settings SettingsOf(const Cmd0& packet);

// Writes the settings into a packet's setting fields (scan speed into its
// wire-order member); the other fields stay as they are.
void ApplySettings(Cmd0& packet, const Cmd0Settings& settings);

// A change of one setting: `edited` is a copy of the last received packet with
// that field changed. Back to wire order (iScanSpeed as it is: it never left
// wire order), offsets 16 to 42 cleared, new check byte. The command bytes
// and reserved bytes 2, 8 and 9 go back as the unit sent them.
[[nodiscard]] Cmd0Bytes BuildSettingsChange(const Cmd0& edited);

// True when the unit's settings packet echoes the one sent: bytes 3 to 7 and
// the 16-bit fields at offsets 10 and 14 equal (the received fields taken back
// to wire order). Nothing else is compared.
[[nodiscard]] bool SettingsEchoMatches(const Cmd0Bytes& sent, const Cmd0& received);

// A valid packet found in a run of received bytes, `offset` bytes in.
template <class Packet>
struct PacketMatch {
    std::size_t offset = 0;
    Packet packet{};
};

// The first window of `bytes` (offsets 0, 1, ... while a whole packet fits)
// that validates as that kind, converted. The receive ring hands in its
// unread bytes as one contiguous span (a straightened copy or a mirrored
// buffer); nothing is consumed here. Cost: linear in the span, the check byte
// being computed only for windows whose command bytes pass.
[[nodiscard]] std::optional<PacketMatch<Cmd0>> FindCmd0(std::span<const std::uint8_t> bytes);
[[nodiscard]] std::optional<PacketMatch<Cmd1>> FindCmd1(std::span<const std::uint8_t> bytes);
[[nodiscard]] std::optional<PacketMatch<Cmd2>> FindCmd2(std::span<const std::uint8_t> bytes);

// How many leading bytes of `bytes` can begin neither a settings nor a
// running-data packet, whichever of the two streams the unit sends: a byte
// whose sum with the next is not 255, or one whose whole windows of both
// sizes are no valid packet. A whole valid heartbeat there is passed over in
// one step (its own reader takes it). Stops at the first byte that might
// still begin a packet once more bytes come.
[[nodiscard]] std::size_t LeadingBytesOfNoPacket(std::span<const std::uint8_t> bytes);

}  // namespace corvane
