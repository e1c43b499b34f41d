#include "UnitWire.h"

#include <array>
#include <cmath>

namespace corvane::test {

UnitWire::UnitWire(ManualClock& clock, SimDevice& device, std::uint32_t baud)
    : clock_(clock), device_(device) {
    device_.setLineBaudRate(baud);
}

void UnitWire::send(std::span<const std::uint8_t> bytes) {
    readAndSplit();
    device_.write(bytes);
}

void UnitWire::pressKey(std::uint8_t key) {
    const auto packet = BuildKeyPacket(key, lastMode_);
    send(packet);
}

void UnitWire::run(std::int64_t ms, std::int64_t stepMs) {
    for (std::int64_t done = 0; done < ms; done += stepMs) {
        clock_.advance(std::min(stepMs, ms - done));
        readAndSplit();
    }
}

std::optional<UnitPacket> UnitWire::runUntil(const std::function<bool(const UnitPacket&)>& match,
                                             std::int64_t limitMs, std::int64_t stepMs) {
    readAndSplit();
    std::size_t seen = packets_.size();
    for (std::int64_t done = 0; done < limitMs; done += stepMs) {
        clock_.advance(stepMs);
        readAndSplit();
        for (; seen < packets_.size(); ++seen) {
            if (match(packets_[seen])) {
                return packets_[seen];
            }
        }
    }
    return std::nullopt;
}

std::optional<Cmd1> UnitWire::nextHeartbeat() {
    const auto hb = runUntil([](const UnitPacket& p) { return p.kind == UnitPacket::Kind::Cmd1; },
                             1100);
    if (!hb) {
        return std::nullopt;
    }
    return hb->cmd1;
}

std::optional<Cmd1> UnitWire::pressAndWait(std::uint8_t key) {
    pressKey(key);
    return nextHeartbeat();
}

void UnitWire::clear() {
    packets_.clear();
    bytesRead_.clear();
    junk_ = 0;
}

std::vector<UnitPacket> UnitWire::ofKind(UnitPacket::Kind kind) const {
    std::vector<UnitPacket> out;
    for (const auto& p : packets_) {
        if (p.kind == kind) {
            out.push_back(p);
        }
    }
    return out;
}

void UnitWire::readAndSplit() {
    std::array<std::uint8_t, 512> buffer{};
    for (;;) {
        const auto n = device_.readAvailable(buffer);
        if (n == 0) {
            break;
        }
        pending_.insert(pending_.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
        bytesRead_.insert(bytesRead_.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
    }
    // Each kind is told by its first two bytes; a window that does not
    // validate costs one byte, as in the program's own search.
    std::size_t i = 0;
    while (pending_.size() - i >= 2) {
        const std::uint8_t b0 = pending_[i];
        if ((b0 + pending_[i + 1]) % 256 != 255) {
            ++junk_;
            ++i;
            continue;
        }
        const std::size_t need = b0 == kCmd1Command ? kCmd1Size : b0 == kCmd2Command ? kCmd2Size : kCmd0Size;
        if (pending_.size() - i < need) {
            break;
        }
        UnitPacket p;
        p.atMs = clock_.nowMs();
        bool valid = false;
        const std::uint8_t* at = pending_.data() + i;
        if (need == kCmd1Size) {
            p.kind = UnitPacket::Kind::Cmd1;
            valid = ValidateCmd1(std::span<const std::uint8_t, kCmd1Size>(at, kCmd1Size), p.cmd1);
            if (valid) {
                lastMode_ = p.cmd1.ucUVMenuStatus;
            }
        } else if (need == kCmd2Size) {
            p.kind = UnitPacket::Kind::Cmd2;
            valid = ValidateCmd2(std::span<const std::uint8_t, kCmd2Size>(at, kCmd2Size), p.cmd2);
        } else {
            p.kind = UnitPacket::Kind::Cmd0;
            std::copy(at, at + kCmd0Size, p.raw0.begin());
            valid = ValidateCmd0(std::span<const std::uint8_t, kCmd0Size>(at, kCmd0Size), p.cmd0);
        }
        if (valid) {
            packets_.push_back(p);
            i += need;
        } else {
            ++junk_;
            ++i;
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(i));
}

double AbsorbanceOf(double sample, double source, double k) {
    return -std::log10(sample / (source * k));
}

double ReadingPositionMm(const Cmd2& packet, std::uint16_t integrationMs, std::uint8_t dutyA) {
    const double t = integrationMs / 1000.0;
    const double share = packet.ucCmd2CntlInfo == kCmd2ChannelA ? dutyA / 100.0 : 1.0 - dutyA / 100.0;
    const double p = static_cast<std::int16_t>(packet.uiPistonPos) / 100.0;
    const double v = packet.iPistonSpeed / 10.0;
    return p - (t * share / 2.0) * v - 0.01 * v;
}

}  // namespace corvane::test
