#pragma once

// The simulated Kelvo unit: its front-panel modes and keys, the heartbeat,
// the settings and running-data streams, the piston, the optics and the pot
// knob, as seen from the PC through the bytes it sends and receives.
//
// Behaviour (all times are clock ms):
// - Heartbeat: a Cmd1 every 1000 ms, the first heartbeatPhaseMs after power-on
//   (construction). Key byte: the key accepted since the previous heartbeat
//   (0 if none; a key is echoed once, in the next heartbeat only; with two
//   keys in between, the later one). Mode byte: the current mode. Version
//   byte: the menu version (13 unless configured or set otherwise). Control
//   bits: bit 0 and bit 2 as set by setStatusBits(); bit 1 clear while the
//   piston touches the upper limit switch (position 0) and set otherwise;
//   bit 3 set while a request for key 1 is open (requestKey1()) or while the
//   holdControlBit3 fault is on.
// - Keys: a Cmd1 from the PC whose key byte is 1 to 5 is accepted (unless the
//   ignoreKeys fault is on) and echoed; key 0 is a PC heartbeat and counted;
//   other key codes are ignored. What an accepted key does, by mode:
//     key 1: in any mode other than 11, 12, 13, 15: to setup (11), piston
//            stops; in every mode it answers an open request for key 1.
//     key 2: setup -> auto (13); in auto: piston up to the upper limit.
//     key 3: setup -> manual (12); in manual: piston up to the upper limit;
//            in auto: piston to the tube top (uiTubeTopPistonPos), up or down.
//     key 4: setup -> calibration (15); in manual and auto: start/stop of the
//            scan. Starting moves the piston down at the scan speed
//            (iScanSpeed tenths of a mm/s; nothing moves when it is 0 or
//            negative) until it has travelled the scan distance (uiScanDist)
//            from where the scan began; pressing key 4 while it moves stops it
//            (pause), and pressing it again resumes towards the same end.
//            A scan that reached its end, or a move up, ends the scan: the
//            next key 4 starts a new one.
//     key 5: manual, auto or calibration -> setup (11); the piston stops.
//   Every other combination is accepted and echoed but changes nothing.
// - Streams (binary mode): in setup mode a Cmd0 every integration time
//   (uiIntegrationTime ms, at least 20) with the current settings and both
//   channels' readings, ucCmd0CntlInfo = 3, the knob's ucPotPosition, the
//   piston position and speed. In manual, auto and calibration mode a Cmd2
//   for channel A then one for channel B in every integration period: A at
//   the end of A's duty share of the period, B at the end of the period
//   (ucCmd2CntlInfo 1 for A, 2 for B). Other modes stream nothing. Entering a
//   mode starts its stream one period later.
// - Settings: a valid Cmd0 from the PC in setup mode replaces the settings
//   (duty, wavelengths, gain, rotor, integration time, scan speed, scan
//   distance, tube top, tube end) and the stream echoes them from its next
//   packet on. It is ignored in other modes, and when its gain is not 1 to 7
//   or its duty is above 100. A tube top or tube end of 0 keeps the current
//   one: a change of one setting arrives with offsets 16 to 42 cleared.
// - Piston: position in mm below the upper limit switch (0 = touching it),
//   never below 0 nor beyond lowerLimitMm. Moves up at upSpeedMmPerS, to the
//   tube top at moveSpeedMmPerS, scans at the scan speed. In manual mode with
//   the piston otherwise still, a knob turned clockwise (above 128) jogs it
//   down at (knob - 128) / 127 x jogMaxSpeedMmPerS. Reported speeds are in
//   tenths of a mm/s, positive downwards.
// - Readings of channel X (share = ucDutyCycleA/100 for A, the rest for B,
//   T = integration time in ms, pC = ucATODGain):
//     source = sourceRateX x ledGain(LED position X) x T x share / pC
//     sample = sampleRateX x T x share / pC x 10^(-absorbance)
//   The source LED of each channel sits on a slide the operator moves by
//   hand (0..100, 50 = the nominal place): its light reaches the source
//   photodiode with a gain of 0.5 + position / 100.
//   each with gaussian noise (noiseFraction relative plus noiseCounts
//   absolute, from the seeded generator), rounded and clamped to 0..2000000.
//   Absorbance: airAbsorbance while the needles are above the meniscus
//   (piston position < meniscusMm), else the profile at depth
//   position - meniscusMm (channel A the 260 nm profile, B the 280 nm one);
//   see absorbanceAt() and setMedium(). A reading is taken at the time whose
//   piston position the PC will compute for it: the packet's time less half
//   the channel's share of the integration time less 10 ms.
// - Text-line mode (textLineMode): no packets; one line
//   "sampleA,sampleB,sourceA,sourceB,position\r\n" (position in hundredths of
//   a mm) every integration time, in manual mode with a scan started at
//   power-on; the ping byte 0 is answered with the byte 1.
// - Line speed: with baudRate non-zero the unit neither hears nor is heard
//   unless the PC's line speed equals it (see SimDevice::setLineBaudRate).

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/Packets.h"
#include "sim/SimDevice.h"
#include "sim/SimProfile.h"

namespace corvane {

// The light paths: counts per ms of integration at pC 1 (see the top).
struct SimOptics {
    double sampleRateA = 60000.0;
    double sourceRateA = 58000.0;
    double sampleRateB = 45000.0;
    double sourceRateB = 44000.0;
    double noiseFraction = 0.0005;
    double noiseCounts = 20.0;
    // What the needles read in air; below 0, so that entering the liquid
    // always lowers the sample counts.
    double airAbsorbance = -0.02;
};

// What the needles are in. Tube: air above the meniscus, the profile below.
// Water: absorbance 0 at every position (LED setup and zeroing). Air: the air
// absorbance at every position. Reference: the calibration liquid, 1.00 OD
// at 260 nm (channel A) and 0.23 OD at 280 nm (channel B).
enum class SimMedium { Tube, Water, Air, Reference };

// The reference liquid's absorbance of each channel.
inline constexpr double kSimReferenceOdA = 1.00;
inline constexpr double kSimReferenceOdB = 0.23;
// The source LED slide: its range and where the gain is 1.
inline constexpr double kSimLedMin = 0.0;
inline constexpr double kSimLedMax = 100.0;
inline constexpr double kSimLedNominal = 50.0;

// Packets of one kind the unit sent, and how many of them went out whole
// (no byte dropped, corrupted, or lost to silence or a full buffer).
struct SimPacketCount {
    std::uint64_t sent = 0;
    std::uint64_t whole = 0;
};

struct SimKelvoConfig {
    std::uint8_t powerOnMode = kModeNone;
    std::uint8_t menuVersion = kMenuVersion;
    // Line speed the unit runs at; 0 = any.
    std::uint32_t baudRate = 57600;
    bool textLineMode = false;
    // Settings at power-on: duty 50 %, wavelength codes 26 and 28, gain 4,
    // rotor 0, 100 ms, 1.0 mm/s, 80 mm scan, tube top 20 mm, tube end 110 mm.
    Cmd0Settings settings{50, 26, 28, 4, 0, 100, 10, 8000, 2000, 11000};
    // Command byte of the unit's Cmd0 (byte 1 is 255 minus it).
    std::uint8_t cmd0CommandByte = kCmd0Command;
    double pistonStartMm = 35.0;
    double meniscusMm = 23.5;
    double lowerLimitMm = 120.0;
    double upSpeedMmPerS = 6.0;
    double moveSpeedMmPerS = 4.0;
    double jogMaxSpeedMmPerS = 2.0;
    std::uint8_t knobPosition = 128;  // 128 = fully counter-clockwise
    std::int64_t heartbeatPhaseMs = 250;
    std::uint64_t seed = 1;
    SimOptics optics;
    SimMedium medium = SimMedium::Tube;
    double ledPositionA = kSimLedNominal;
    double ledPositionB = kSimLedNominal;
};

class SimKelvoUnit : public SimDevice {
public:
    // Powers on at the clock's current time, with the default profile or one
    // of one's own.
    explicit SimKelvoUnit(Clock& clock, SimKelvoConfig config = {});
    SimKelvoUnit(Clock& clock, SimKelvoConfig config, SimProfile profile);

    // Current mode code.
    [[nodiscard]] std::uint8_t mode();
    // Puts the unit in a mode at once, as its own front panel would (streams
    // restart; the piston stops).
    void setMode(std::uint8_t mode);

    // Piston position in mm below the upper limit switch, and speed in mm/s
    // (positive downwards), at the current clock time.
    [[nodiscard]] double pistonPositionMm();
    [[nodiscard]] double pistonSpeedMmPerS();
    [[nodiscard]] bool atUpperLimit();
    // Places the piston (for tests); any motion stops.
    void setPistonPositionMm(double mm);

    // The settings the unit holds (what its settings packets carry).
    [[nodiscard]] Cmd0Settings settings();
    void setSettings(const Cmd0Settings& settings);

    // The pot knob: 128 = fully counter-clockwise, above 128 clockwise.
    [[nodiscard]] std::uint8_t knobPosition();
    void setKnobPosition(std::uint8_t position);

    // The menu version byte of the heartbeats (another firmware).
    void setMenuVersion(std::uint8_t version);
    // Control bits 0 and 2 of the heartbeats.
    void setStatusBits(bool bit0, bool bit2);
    // Opens a request for key 1: control bit 3 is set until key 1 arrives.
    void requestKey1();

    void setMedium(SimMedium medium);
    [[nodiscard]] SimMedium medium();
    // Needles a helper held into a beaker for a prompt: they go back into the
    // tube's gradient when the unit next enters a mode that moves the piston
    // (manual or auto), as a bench assistant puts them back once the prompts
    // are done. setMedium() is the operator's own choice and stays.
    void lendNeedles(SimMedium medium);
    // The source LED slides (clamped to kSimLedMin..kSimLedMax).
    void setLedPosition(SimChannel channel, double position);
    [[nodiscard]] double ledPosition(SimChannel channel);
    // What a slide position does to the source light (a slide at 0 is off:
    // then neither beam has light).
    [[nodiscard]] static double ledGain(double position);

    // What the PC sent, for tests: accepted keys in order, PC heartbeats
    // (key 0) and settings packets taken over.
    [[nodiscard]] std::vector<std::uint8_t> acceptedKeys();
    [[nodiscard]] int pcHeartbeatsReceived();
    [[nodiscard]] int settingsReceived();
    // Pings answered in text-line mode.
    [[nodiscard]] int pingsAnswered();
    // Settings packets refused (the refuseSettings fault).
    [[nodiscard]] int settingsRefused();

    // What the unit sent, by kind: what a reader should have found.
    enum class PacketKind : std::size_t { Heartbeat, Settings, Running, TextLine, Count };
    [[nodiscard]] SimPacketCount packetsSent(PacketKind kind);

    [[nodiscard]] const SimProfile& profile() const { return profile_; }
    [[nodiscard]] const SimKelvoConfig& config() const { return config_; }

    // The noise-free absorbance the unit's readings are made from at a piston
    // position, with the current medium.
    [[nodiscard]] double absorbanceAt(SimChannel channel, double pistonMm);

protected:
    void advanceTo(std::int64_t nowMs) override;
    void receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) override;
    [[nodiscard]] std::optional<std::int64_t> nextEventMs() const override;

private:
    enum class Motion { None, Up, Scan, ToTubeTop };

    struct Reading {
        std::uint32_t sample = 0;
        std::uint32_t source = 0;
    };

    void acceptKey(std::uint8_t key, double atMs);
    void enterMode(std::uint8_t mode, double atMs);
    void startMotion(Motion motion, double atMs);
    void advancePiston(double tMs);
    [[nodiscard]] double velocityMmPerS() const;
    [[nodiscard]] double motionEndMm() const;
    [[nodiscard]] bool streaming() const;
    [[nodiscard]] double periodMs() const;
    [[nodiscard]] double shareOf(SimChannel channel) const;
    [[nodiscard]] double absorbanceLocked(SimChannel channel, double pistonMm) const;
    [[nodiscard]] Reading readingAt(SimChannel channel, double emitMs);
    [[nodiscard]] double positionAtMs(double tMs) const;
    [[nodiscard]] std::uint16_t positionField(double mm) const;
    [[nodiscard]] std::int16_t speedField() const;

    void sendHeartbeat(double atMs);
    void count(PacketKind kind, bool whole);
    void sendStreamPacket(double atMs);
    void sendCmd0(double atMs);
    void sendCmd2(SimChannel channel, double atMs);
    void sendTextLine(double atMs);
    void handleCmd1(const Cmd1& packet, std::int64_t nowMs);
    void handleCmd0(const Cmd0& packet, std::int64_t nowMs);

    const SimKelvoConfig config_;
    const SimProfile profile_;
    SimRandom noise_;

    std::uint8_t mode_;
    std::uint8_t menuVersion_;
    Cmd0Settings settings_;
    std::uint8_t knob_;
    SimMedium medium_;
    bool needlesLent_ = false;
    double ledA_;
    double ledB_;
    bool statusBit0_ = false;
    bool statusBit2_ = false;
    bool keyRequest_ = false;
    std::uint8_t echoKey_ = 0;

    // Piston, integrated up to pistonMs_.
    double pistonMs_ = 0.0;
    double pistonMm_ = 0.0;
    Motion motion_ = Motion::None;
    std::optional<double> scanEndMm_;

    // Schedule, in clock ms.
    double nextHeartbeatMs_ = 0.0;
    double cycleStartMs_ = 0.0;
    bool channelASent_ = false;

    // Bytes from the PC not yet forming a packet (the last 44 at most).
    std::array<std::uint8_t, kCmd0Size> inbox_{};
    std::size_t inboxCount_ = 0;

    std::vector<std::uint8_t> acceptedKeys_;
    int pcHeartbeats_ = 0;
    int settingsReceived_ = 0;
    int pings_ = 0;
    int settingsRefused_ = 0;
    std::array<SimPacketCount, static_cast<std::size_t>(PacketKind::Count)> sent_{};
};

}  // namespace corvane
