#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "link/Packets.h"

namespace corvane {

class Prompter;
struct LinkStats;

// The single-window "Scan Setup" (CScanSetupDlg) that the main window opens
// beside the graph once the unit has warmed up: the whole scan
// configuration in one form, kept in "[scan]" and "[rotors]" and sent to
// the unit as one settings packet, with the piston's live state under it.
//
// Threads: the window's thread.
class ScanSettingsForm {
public:
    static constexpr int kMinRate = 5;
    static constexpr int kMaxRate = 17;
    static constexpr double kMaxSpeed = 1.5;
    // The shorter channel's share of a sample period must integrate for at
    // least this long, or its counts are noise.
    static constexpr double kMinIntegrationMs = 6.0;
    static constexpr const char* kGeneric = "generic";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
    };

    explicit ScanSettingsForm(Env env);

    // --- Fields ---
    std::string distance;
    std::string dutyCycle;
    std::string topDistance;
    std::string bottomDistance;
    std::string speed;
    std::string sampleRate;
    int pcEntry = -1;  // "50".."350": pot value - 1

    [[nodiscard]] static std::vector<std::string> pcEntries();
    // The rotor whose tube distances the form keeps; "generic" when none.
    [[nodiscard]] const std::string& rotorKey() const { return rotorKey_; }
    [[nodiscard]] std::string topLabel() const;
    [[nodiscard]] std::string bottomLabel() const;

    // Fills the fields from "[scan]" and the rotor's "[rotors]" line; a
    // "[scan]" key never stored takes the unit's value when it has reported.
    void open(const std::string& rotorModel, const std::optional<Cmd0>& unit = std::nullopt);
    // OK and Apply: the checks in order (false after the message), then the
    // keys written and the settings to send. rotorCode is kept as the unit has it.
    [[nodiscard]] std::optional<Cmd0Settings> apply(std::uint8_t rotorCode);
    // The highest whole rate (samples/s) a duty cycle with A's share allows.
    [[nodiscard]] static int maxRateFor(double shareA);

    // The piston's lines, from the heartbeat statistics (the last settings
    // packet) or, in the running modes, the streamed packet.
    struct Live {
        std::string position;
        std::string speed;
        std::string upper;
        std::string lower;
    };
    [[nodiscard]] static Live live(const LinkStats& stats, const std::optional<Cmd2>& streamed);

private:
    bool refuse(const std::string& text);

    Env env_;
    std::string rotorKey_ = kGeneric;
};

}  // namespace corvane
