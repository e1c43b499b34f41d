#include "setup/SetupUnit.h"

#include "app/Clock.h"
#include "link/UvLink.h"
#include "recording/SampleReader.h"

namespace corvane {

SetupUnit::SetupUnit(Clock& clock, ReceiveHolds& holds, std::function<SampleReader*()> reader)
    : clock_(clock), holds_(holds), reader_(std::move(reader)) {}

SampleReader* SetupUnit::reader() const { return reader_ ? reader_() : nullptr; }

UvLink* SetupUnit::link() const {
    SampleReader* r = reader();
    return r != nullptr ? r->link() : nullptr;
}

SetupUnit::Exclusive::Exclusive(SetupUnit& unit)
    : hold_(unit.holds(), ReceiveHolds::Kind::Window, &unit.clock(), unit.reader()),
      page_(unit.pageLock()) {}

bool SetupUnit::enterSetupMode() {
    UvLink* l = link();
    return l != nullptr && l->EnterSetupMode();
}

std::optional<Cmd0> SetupUnit::readConfiguration() {
    if (!enterSetupMode()) {
        return std::nullopt;
    }
    return nextCmd0(kConfigurationMs);
}

bool SetupUnit::sendConfiguration(const Cmd0Settings& settings) {
    UvLink* l = link();
    if (l == nullptr || !l->EnterSetupMode()) {
        return false;
    }
    const auto packet = BuildCmd0(settings);
    return l->SendSettings(packet) && l->WaitForSettingsEcho(packet);
}

namespace {

// The next packet `read` brings within ms, heartbeats parsed meanwhile.
template <class Packet, class Read>
std::optional<Packet> nextPacket(UvLink* link, Clock& clock, std::int64_t ms, Read read) {
    if (link == nullptr) {
        return std::nullopt;
    }
    for (const Deadline limit(clock, ms); !limit.expired();) {
        Packet packet;
        if ((link->*read)(packet)) {
            return packet;
        }
        link->ParseHeartbeat();
        if (!clock.sleepMs(PageReader::kTurnPauseMs)) {
            break;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Cmd0> SetupUnit::nextCmd0(std::int64_t ms) {
    return nextPacket<Cmd0>(link(), clock_, ms, &UvLink::ReadCmd0);
}

std::optional<Cmd2> SetupUnit::nextCmd2(std::int64_t ms) {
    return nextPacket<Cmd2>(link(), clock_, ms, &UvLink::ReadCmd2);
}

std::optional<SampleRecord> SetupUnit::freshCounts(int samples) {
    if (!enterSetupMode()) {
        return std::nullopt;
    }
    std::optional<SampleRecord> counts;
    for (int i = 0; i < samples; ++i) {
        const auto packet = nextCmd0(kConfigurationMs);
        if (!packet) {
            break;
        }
        SampleRecord record;
        record.sampleA = packet->ulATODADataA0;
        record.sampleB = packet->ulATODADataB0;
        record.sourceA = packet->ulATODADataA1;
        record.sourceB = packet->ulATODADataB1;
        counts = record;
    }
    return counts;
}

PageReader::PageReader(SetupUnit& unit, Read read, Arrived arrived, int every)
    : unit_(unit),
      read_(std::move(read)),
      arrived_(std::move(arrived)),
      every_(every < 1 ? 1 : every),
      hold_(unit.holds(), ReceiveHolds::Kind::Window, &unit.clock(), unit.reader()),
      thread_([this](const std::stop_token& stop) { run(stop); }) {}

PageReader::~PageReader() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PageReader::run(const std::stop_token& stop) {
    int sinceTold = 0;
    while (!stop.stop_requested()) {
        bool came = false;
        {
            const std::scoped_lock page(unit_.pageLock());
            if (UvLink* l = unit_.link()) {
                came = read_(*l);
                l->ParseHeartbeat();
            }
        }
        if (came) {
            packets_.fetch_add(1);
            if (++sinceTold >= every_) {
                sinceTold = 0;
                if (arrived_) {
                    arrived_();
                }
            }
        }
        if (!unit_.clock().sleepMs(kTurnPauseMs, stop)) {
            break;
        }
    }
    finished_.store(true);
}

}  // namespace corvane
