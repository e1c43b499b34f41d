#include "cli/RecordClosingLines.h"

#include <cstdio>

#include "base/TextFormat.h"

namespace corvane::cli {

// What the link says of the wire, in one line.
std::string linkAccount(const LinkTraffic& traffic) {
    const auto packets = traffic.cmd0Packets + traffic.cmd2Packets;
    const auto lost = traffic.packetsLost;
    char text[320];
    std::snprintf(text, sizeof text,
                  "link: %llu packets received, about %llu lost to invalid bytes (%.1f %%); "
                  "%llu invalid bytes skipped, %llu bytes lost behind the reader, %llu failed "
                  "bridge calls",
                  static_cast<unsigned long long>(packets), static_cast<unsigned long long>(lost),
                  packets + lost > 0 ? 100.0 * static_cast<double>(lost) / static_cast<double>(packets + lost)
                                     : 0.0,
                  static_cast<unsigned long long>(traffic.invalidBytesSkipped),
                  static_cast<unsigned long long>(traffic.droppedBytes),
                  static_cast<unsigned long long>(traffic.bridgeFailures));
    return text;
}

// About one damaged running packet in this many passes every check of the
// link (check byte, command bytes, A/D range, piston jumps): 670 to 810 when
// 1 to 10 % of the bytes were damaged (tests/link/CheckByteEscapes.cpp).
constexpr double kDamagedPacketsPerPass = 700.0;

// Damaged values that passed cannot be told from real ones row by row; how
// many there may be is told instead, from the packets the line cost.
std::string damageLine(std::uint64_t packetsLost) {
    return formatText("corvane-cli record: the line damaged about %llu packets; about 1 in %.0f damaged packets "
                      "passes every check, so about %.1f values of this run may be wrong unseen",
                      static_cast<unsigned long long>(packetsLost), kDamagedPacketsPerPass,
                      static_cast<double>(packetsLost) / kDamagedPacketsPerPass);
}

// The closing line on pauses in the unit's stream: the rows of those
// moments are missing, and nothing else in the file shows it.
std::string silencesLine(const ReceiveThread::Silences& silences) {
    return formatText("corvane-cli record: the unit was silent %d time%s during the run, %.1f s in all "
                      "(the longest %.1f s, from %.1f s into the run); the samples of those moments "
                      "are missing from the run",
                      silences.count, silences.count == 1 ? "" : "s",
                      static_cast<double>(silences.totalMs) / 1000.0,
                      static_cast<double>(silences.longestMs) / 1000.0,
                      static_cast<double>(silences.longestAtMs) / 1000.0);
}

}  // namespace corvane::cli
