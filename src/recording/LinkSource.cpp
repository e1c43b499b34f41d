#include "recording/LinkSource.h"

#include <utility>

#include "recording/SampleArithmetic.h"

namespace corvane {

LinkSource::LinkSource(std::unique_ptr<UvLink> link) : link_(std::move(link)) {}

LinkSource::~LinkSource() { link_->StopThread(); }

int LinkSource::read(const SampleRecord& carried, SourceReading& reading) {
    const bool setupMode = link_->InSetupMode(0);
    link_->SetShortPacketMode(!setupMode);
    return setupMode ? readSettingsPacket(carried, reading) : readRunningPacket(carried, reading);
}

int LinkSource::readSettingsPacket(const SampleRecord& carried, SourceReading& reading) {
    Cmd0 packet;
    if (!link_->ReadCmd0(packet)) {
        return kNoPacket;
    }
    SampleRecord next = carried;
    next.sampleA = packet.ulATODADataA0;
    next.sourceA = packet.ulATODADataA1;
    next.sampleB = packet.ulATODADataB0;
    next.sourceB = packet.ulATODADataB1;
    const double offset = link_->GetPositionOffset();
    if ((packet.ucCmd0CntlInfo & kCmd0PositionA) != 0) {
        next.positionA = ChannelPosition(packet, packet.uiPistonPos, packet.iPistonSpeed,
                                         SampleChannel::A, offset);
    }
    if ((packet.ucCmd0CntlInfo & kCmd0PositionB) != 0) {
        next.positionB = ChannelPosition(packet, packet.uiPistonPos, packet.iPistonSpeed,
                                         SampleChannel::B, offset);
    }
    reading = SourceReading{.record = next,
                            .arithmetic = SourceReading::Arithmetic::DelayedRatio,
                            .zeroSource = SourceReading::ZeroSource::NoRow};
    return kOk;
}

int LinkSource::readRunningPacket(const SampleRecord& carried, SourceReading& reading) {
    Cmd2 packet;
    if (!link_->ReadCmd2(packet)) {
        return kNoPacket;
    }
    SampleRecord next = carried;
    // Integration time and duty cycle come from the last settings packet;
    // without one there is no position to speak of.
    const auto settings = link_->lastCmd0();
    const auto position = [&](SampleChannel channel) {
        return settings ? ChannelPosition(*settings, packet.uiPistonPos, packet.iPistonSpeed,
                                          channel, link_->GetPositionOffset())
                        : 0.0;
    };
    if (packet.ucCmd2CntlInfo == kCmd2ChannelA) {
        next.sampleA = packet.ulATODADataSample;
        next.sourceA = packet.ulATODADataSource;
        next.positionA = position(SampleChannel::A);
    } else {
        next.sampleB = packet.ulATODADataSample;
        next.sourceB = packet.ulATODADataSource;
        next.positionB = position(SampleChannel::B);
    }
    // Running data is written whatever the source readings: the row shows
    // the unit's own zero.
    reading = SourceReading{.record = next,
                            .arithmetic = SourceReading::Arithmetic::DelayedRatio,
                            .zeroSource = SourceReading::ZeroSource::Written};
    return kOk;
}

}  // namespace corvane
