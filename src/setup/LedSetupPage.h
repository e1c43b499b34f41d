#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/Packets.h"
#include "setup/SetupPage.h"

namespace corvane {

class Prompter;
class SetupHost;
class SetupUnit;
struct SampleRecord;

// The LED SETUP page (CLEDSetupDlg): wavelengths, the live counts while the
// operator lines the source LEDs up by hand, gain and duty sent at once, and
// the scan speed and sampling rate.
//
// Threads: the fields are the window's; the device operations (open,
// confirmWavelengths, send..., applyScanSettings, zeroOd) run on the page's
// device worker one at a time, each with the link to itself.
class LedSetupPage {
public:
    static constexpr std::uint32_t kSaturatedCounts = 1040000;
    static constexpr double kMinRate = 5.0;
    static constexpr double kMaxRate = 17.0;
    static constexpr double kMaxSpeed = 1.5;
    static constexpr double kDefaultSpeed = 0.3;
    static constexpr double kSpinStep = 0.01;
    static constexpr const char* kImmerseTips = "Immerse the tips of the needles in water and press OK.";
    static constexpr const char* kImmersePure = "Immerse the needles in pure water and then press OK.";
    static constexpr const char* kAdjustText =
        "Manually adjust the position of the source LED for each channel to match the SAMPLE value as "
        "closely as possible. When finished press 'OK'. ";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        SetupHost& host;
        SetupUnit& unit;
        // The window's quick zero on the latest sample.
        std::function<void(const SampleRecord&)> quickZero;
    };

    explicit LedSetupPage(Env env);

    [[nodiscard]] static std::vector<std::string> dutyEntries();  // "10:90" ... "90:10"
    [[nodiscard]] static std::vector<std::string> pcEntries();    // "50" ... "350"
    // The unit's scan speed field as this page reads it: small values as
    // they are, larger ones with their two bytes swapped; mm/s.
    [[nodiscard]] static double speedFromField(std::int16_t raw);
    // A live count: blank on the off phase of the blink when saturated.
    [[nodiscard]] static bool saturated(std::uint32_t counts) { return counts >= kSaturatedCounts; }
    [[nodiscard]] static std::string countText(std::uint32_t counts, bool blankPhase);
    // trunc(1000 / rate) down to a multiple of 10 ms.
    [[nodiscard]] static std::uint16_t samplePeriodMs(double samplesPerSec);

    // --- Fields (the window's thread) ---
    std::string wavelengthA;
    std::string wavelengthB;
    std::string samplesPerSec;
    std::string speed;
    std::string samplesPerMm;
    int pcEntry = -1;
    int dutyEntry = -1;
    std::string instruction;
    [[nodiscard]] bool singleChannel() const { return singleChannel_; }
    [[nodiscard]] bool step2Unlocked() const { return step2Unlocked_; }

    // --- Device operations ---
    // Setup mode and the configuration into the fields; false after the message.
    bool open();
    // "REFRESH": the configuration again.
    bool refresh() { return open(); }
    // Step 1 "OK": wavelengths checked, sent when changed and kept, then the
    // needles in water and step 2 unlocked.
    bool confirmWavelengths();
    // A change of speed, samples/mm or the spin: samples/sec again; the
    // settings the unit should get now, when inside the limits.
    [[nodiscard]] std::optional<Cmd0Settings> recomputeRate();
    void spinSpeed(bool up);
    // The pC or duty list changed: the settings to send.
    [[nodiscard]] std::optional<Cmd0Settings> withPc(int entry);
    [[nodiscard]] std::optional<Cmd0Settings> withDuty(int entry);
    // Sends settings made above (live changes; no message on failure).
    bool sendLive(const Cmd0Settings& settings);
    // The second "OK" and every page button: the checks, "[scan]" and the
    // configuration; false after the message (the page stays).
    bool applyScanSettings();
    // "ZERO OD": the prompt, then the window's quick zero on counts read
    // after it.
    void zeroOd();

    [[nodiscard]] SetupUnit& unit() { return env_.unit; }
    // The configuration last read or sent.
    [[nodiscard]] std::optional<Cmd0> configuration() const;

private:
    void fillFrom(const Cmd0& config);
    // A modal prompt, never two at once on this page; false when one is up.
    bool promptOnce(const char* text);

    Env env_;
    mutable std::mutex configMutex_;
    std::optional<Cmd0> config_;
    bool singleChannel_ = false;
    bool step2Unlocked_ = false;
    std::mutex promptLock_;
};

}  // namespace corvane
