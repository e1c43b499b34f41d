// How often the running packet's check byte lets a damaged packet through,
// and what a plausibility rule on the readings would make of those that do.
//
// The simulated unit scans its profile once (manual mode, key 4) and every
// byte it sends is kept: the clean stream and its running packets, the truth.
// The stream is then sent again, many times over, by a device whose wire
// damages bytes with the simulator's own switch (corrupt=F), and read by the
// link as a run reads it. A packet the link takes that is no packet of the
// clean stream passed the check byte damaged.
//
// Not a test: it prints figures for the notes. Run:
//   build/tests/link/measure_check_byte_escapes [repeats]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "LinkTestSupport.h"
#include "TestClocks.h"
#include "sim/SimKelvoUnit.h"

namespace corvane::test {
namespace {

struct Stream {
    std::vector<std::uint8_t> bytes;
    std::vector<Cmd2> packets;
};

// One scan of the default profile, as the unit sends it.
Stream cleanScan() {
    ManualClock clock;
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeManual;
    LinkBench bench(clock, config);
    auto& link = bench.open(false);
    bench.hearUnit();
    (void)link.PressKey(4);
    auto& unit = *bench.rig.kelvo();
    Stream stream;
    std::vector<std::uint8_t> chunk(4096);
    // The scan: 80 mm at 1 mm/s.
    for (const Deadline scan(clock, 82000); !scan.expired(); clock.advance(20)) {
        const auto n = unit.readAvailable(chunk);
        stream.bytes.insert(stream.bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    std::span<const std::uint8_t> rest(stream.bytes);
    while (const auto match = FindCmd2(rest)) {
        stream.packets.push_back(match->packet);
        rest = rest.subspan(match->offset + kCmd2Size);
    }
    return stream;
}

struct Taken {
    Cmd2 packet;
    bool damaged = false;
    Cmd2 truth;  // the clean packet it stands for
};

bool sameChannel(const Cmd2& a, const Cmd2& b) {
    return (a.ucCmd2CntlInfo == kCmd2ChannelA) == (b.ucCmd2CntlInfo == kCmd2ChannelA);
}

// A reading of the packet far from the same reading of the packets of its
// channel before and after it (by more than fraction of each, on one side).
template <class Field>
bool farFromBoth(const std::vector<Taken>& taken, std::size_t i, double fraction, Field field) {
    const auto neighbour = [&](int step) -> const Cmd2* {
        for (auto k = static_cast<std::ptrdiff_t>(i) + step; k >= 0 && k < static_cast<std::ptrdiff_t>(taken.size());
             k += step) {
            if (sameChannel(taken[static_cast<std::size_t>(k)].packet, taken[i].packet)) {
                return &taken[static_cast<std::size_t>(k)].packet;
            }
        }
        return nullptr;
    };
    const Cmd2* before = neighbour(-1);
    const Cmd2* after = neighbour(1);
    if (before == nullptr || after == nullptr) {
        return false;
    }
    const double x = field(taken[i].packet);
    const double a = field(*before);
    const double b = field(*after);
    return (x > a * (1 + fraction) && x > b * (1 + fraction)) || (x < a * (1 - fraction) && x < b * (1 - fraction));
}

double absorbanceOf(const Cmd2& p) {
    return p.ulATODADataSource == 0 || p.ulATODADataSample == 0
               ? 0.0
               : -std::log10(static_cast<double>(p.ulATODADataSample) / static_cast<double>(p.ulATODADataSource));
}

// The absorbance of the packet above or below both neighbours' by more than od.
bool spike(const std::vector<Taken>& taken, std::size_t i, double od) {
    // farFromBoth on 1 + absorbance, with od as the fraction of a value near 1.
    const auto shifted = [](const Cmd2& p) { return 10.0 + absorbanceOf(p); };
    return farFromBoth(taken, i, od / 10.0, shifted);
}

void measure(const Stream& clean, double corrupt, int repeats) {
    ScriptedLink s;
    s.unit.setFaults(SimFaults{.corruptFraction = corrupt});
    std::vector<Taken> taken;
    std::size_t expected = 0;  // index into the clean packets, over every repeat
    const std::size_t n = clean.packets.size();
    const auto take = [&](const Cmd2& packet) {
            Taken t{packet, true, clean.packets[expected % n]};
            for (std::size_t k = expected; k < expected + 256; ++k) {
                if (clean.packets[k % n] == packet) {
                    t = {packet, false, packet};
                    expected = k + 1;
                    break;
                }
            }
            taken.push_back(t);
    };
    // As the link tests drain a unit: until it has nothing more and three
    // reads found nothing.
    const auto read = [&] {
        for (int idle = 0; idle < 3;) {
            Cmd2 packet;
            if (s.link->ReadCmd2(packet)) {
                take(packet);
                idle = 0;
            } else if (s.unit.pendingBytes() == 0) {
                ++idle;
            }
            s.link->ParseHeartbeat();
        }
    };
    for (int r = 0; r < repeats; ++r) {
        for (std::size_t at = 0; at < clean.bytes.size(); at += 256) {
            s.unit.inject(std::span(clean.bytes).subspan(at, std::min<std::size_t>(256, clean.bytes.size() - at)));
            read();
        }
    }
    for (int i = 0; i < 5; ++i) read();

    const auto sent = static_cast<double>(n) * repeats;
    std::size_t escapes = 0, inReadings = 0, inChannel = 0, inMotion = 0;
    std::size_t flaggedSource = 0, flaggedSample = 0, flaggedEither = 0, flaggedSpike = 0;
    std::size_t falseSource = 0, falseSample = 0, falseEither = 0, falseSpike = 0, cleanTaken = 0;
    std::vector<double> deviations;
    const auto source = [](const Cmd2& p) { return static_cast<double>(p.ulATODADataSource); };
    const auto sample = [](const Cmd2& p) { return static_cast<double>(p.ulATODADataSample); };
    for (std::size_t i = 0; i < taken.size(); ++i) {
        const auto& t = taken[i];
        const bool bySource = farFromBoth(taken, i, 0.01, source);
        const bool bySample = farFromBoth(taken, i, 0.01, sample);
        const bool bySpike = spike(taken, i, 0.01);
        if (!t.damaged) {
            ++cleanTaken;
            falseSpike += bySpike;
            falseSource += bySource;
            falseSample += bySample;
            falseEither += bySource || bySample;
            continue;
        }
        ++escapes;
        const bool readings = t.packet.ulATODADataSample != t.truth.ulATODADataSample ||
                              t.packet.ulATODADataSource != t.truth.ulATODADataSource;
        inReadings += readings;
        inChannel += !sameChannel(t.packet, t.truth);
        inMotion += t.packet.uiPistonPos != t.truth.uiPistonPos || t.packet.iPistonSpeed != t.truth.iPistonSpeed;
        if (readings) {
            // How far the absorbance moved: log10 of the sample/source ratio.
            const double was = std::log10(sample(t.truth) / source(t.truth));
            const double is = std::log10(sample(t.packet) / source(t.packet));
            deviations.push_back(std::fabs(is - was));
            flaggedSource += bySource;
            flaggedSample += bySample;
            flaggedEither += bySource || bySample;
            flaggedSpike += bySpike;
        }
    }
    std::sort(deviations.begin(), deviations.end());
    const auto at = [&](double q) {
        const auto last = static_cast<double>(deviations.size() - 1);
        return deviations.empty() ? 0.0 : deviations[static_cast<std::size_t>(q * last)];
    };
    std::printf("corrupt=%.2f  packets sent %.0f, taken %zu (%zu clean), damaged and taken %zu (%.4f %% of sent, "
                "1 in %.0f)\n",
                corrupt, sent, taken.size(), cleanTaken, escapes, 100.0 * static_cast<double>(escapes) / sent,
                escapes > 0 ? sent / static_cast<double>(escapes) : 0.0);
    std::printf("  damage in: readings %zu, channel %zu, position/speed %zu\n", inReadings, inChannel, inMotion);
    std::printf("  absorbance error of damaged readings (OD): median %.4f, 90 %% %.4f, max %.4f\n", at(0.5), at(0.9),
                at(1.0));
    std::printf("  far from both neighbours by 1 %%: source %zu, sample %zu, either %zu of %zu damaged readings; "
                "clean packets flagged: source %zu, sample %zu, either %zu of %zu\n",
                flaggedSource, flaggedSample, flaggedEither, inReadings, falseSource, falseSample, falseEither,
                cleanTaken);
    std::printf("  absorbance above or below both neighbours' by 0.01 OD: %zu of %zu damaged readings; clean packets "
                "flagged %zu of %zu\n",
                flaggedSpike, inReadings, falseSpike, cleanTaken);
    const auto traffic = s.link->traffic();
    std::printf("  link account: %llu packets lost, %llu invalid bytes skipped\n",
                static_cast<unsigned long long>(traffic.packetsLost),
                static_cast<unsigned long long>(traffic.invalidBytesSkipped));
}

}  // namespace
}  // namespace corvane::test

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 40;
    const auto clean = corvane::test::cleanScan();
    std::printf("one scan: %zu bytes, %zu running packets; repeated %d times\n", clean.bytes.size(),
                clean.packets.size(), repeats);
    for (const double corrupt : {0.01, 0.03, 0.10}) {
        corvane::test::measure(clean, corrupt, repeats);
    }
    return 0;
}
