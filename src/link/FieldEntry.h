#pragma once

// The field entry rules of the packet debug windows, without the windows: how
// a typed field is read, and the order and messages of the checks before a
// hand-made packet is sent.

#include <cstdint>
#include <optional>
#include <string_view>

#include "link/Packets.h"

namespace corvane {

// The debug windows refresh their display at most this often.
inline constexpr int kDebugRefreshMs = 501;

inline constexpr std::string_view kCmd0SendFailed = "Error, unable to send CMD0 packet to uv unit.";
inline constexpr std::string_view kCmd1SendFailed = "Error, unable to send CMD1 packet to uv unit.";

// A typed field: lower-cased; read as hexadecimal when it contains an "x"
// ("0x1f", "1f x" and "x" alone behave as a hexadecimal scan would: optional
// white space, sign and "0x", then hex digits), otherwise as a decimal
// integer (optional white space and sign, then digits). Valid when one number
// could be read; what follows it is ignored. Values too large for 64 bits are
// clamped. The packet field takes the value's low bits, as a C cast would.
[[nodiscard]] std::optional<std::int64_t> ParseFieldEntry(std::string_view text);

// The typed fields of the CMD0 window, in the order they are checked.
struct Cmd0FieldTexts {
    std::string_view ucDutyCycleA;
    std::string_view ucWavelenghtA;
    std::string_view ucWavelenghtB;
    std::string_view ucATODGain;
    std::string_view ucRotor;
    std::string_view uiIntegrationTime;
    std::string_view iScanSpeed;  // host order, as the operator thinks of it
    std::string_view uiScanDist;
    std::string_view uiTubeTopPistonPos;
    std::string_view uiTubeEndPistonPos;
};

// The typed fields of the CMD1 window, in the order they are checked.
struct Cmd1FieldTexts {
    std::string_view ucCntlInfo;
    std::string_view ucUVMenuStatus;
    std::string_view ucUVMenuVersion;
    std::string_view ucUVKeyPressed;
};

// The packet to send, or the message of the first field that failed (then
// the window also shows kCmd0SendFailed / kCmd1SendFailed).
template <class Bytes>
struct FieldEntryResult {
    std::optional<Bytes> packet;
    std::string_view message;  // empty when packet is set
};

// Checks the fields in order: "Invalid duty cycle.", "Invalid wavelength for
// A", "Invalid wavelength for B", "Invalid A to D gain", "Invalid rotor
// value", "Invalid integration time.", "Invalid scan speed.", "Invalid scan
// distance.", "Invalid tube top position.", "Invalid tube end position.";
// then builds the settings packet from scratch (BuildCmd0).
[[nodiscard]] FieldEntryResult<Cmd0Bytes> Cmd0FromFieldTexts(const Cmd0FieldTexts& texts);

// Checks "Invalid Cntl Info.", "Invalid menu status", "Invalid menu version",
// "Invalid UV Key Pressed" in that order; then builds 0x41 0xBE key status
// version control with its check byte (BuildCmd1).
[[nodiscard]] FieldEntryResult<Cmd1Bytes> Cmd1FromFieldTexts(const Cmd1FieldTexts& texts);

}  // namespace corvane
