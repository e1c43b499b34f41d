#include "link/UvLink.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace corvane {

namespace {

// The unread bytes of one reader, straightened; the ring is small enough for
// the stack, and the search allocates nothing.
using RingWindow = std::array<std::uint8_t, ReceiveRing::kSize>;

// Once this much waits for the heartbeat reader, the heartbeat thread parses
// early: a fast stream would otherwise push unparsed heartbeats out of the ring.
constexpr std::size_t kHeartbeatBacklog = ReceiveRing::kSize / 2;

// A poll that found nothing waits this long before it looks again.
constexpr std::int64_t kPollMs = 2;

}  // namespace

UvLink::UvLink(const UvLinkSeams& seams, std::filesystem::path workingFolder, int comPort,
               std::uint32_t baudRate, std::uint32_t interByteDelayMs, SampleLock& sampleLock)
    : bridge_(seams.bridge),
      clock_(seams.clock),
      prompter_(seams.prompter),
      window_(seams.window),
      workingFolder_(std::move(workingFolder)),
      comPort_(comPort),
      interByteDelayMs_(interByteDelayMs),
      sampleLock_(sampleLock),
      log_(workingFolder_ / "pressKeyLog.txt"),
      ownsHeartbeatThread_(seams.startHeartbeatThread) {
    openDevice(baudRate);
    if (ownsHeartbeatThread_) {
        heartbeatThread_ = std::jthread([this] { heartbeatLoop(); });
    }
}

UvLink::~UvLink() {
    StopThread();
    {
        // Calls on other threads see the stop at their next wait; the poll
        // covers a call that leaves between our look and our wait.
        std::unique_lock lock(callsMutex_);
        while (activeCalls_.load() != 0) {
            callsDone_.wait_for(lock, std::chrono::milliseconds(5));
        }
    }
    if (handle_ != 0) {
        noteStatus(bridge_.setBitMode(handle_, kBitModeCloseMask, kBitModeCbus));
        noteStatus(bridge_.close(handle_));
        handle_ = 0;
    }
}

void UvLink::noteStatus(BridgeStatus status) {
    if (status != kBridgeOk) {
        bridgeFailures_.fetch_add(1);
    }
}

void UvLink::openDevice(std::uint32_t baudRate) {
    for (std::uint32_t index = 0;; ++index) {
        std::string serialNumber;
        if (bridge_.listDevice(index, kListByIndexSerialNumber, serialNumber) != kBridgeOk) {
            break;
        }
        BridgeHandle handle = 0;
        if (bridge_.open(serialNumber, kOpenBySerialNumber, handle) != kBridgeOk || handle == 0) {
            break;
        }
        std::int32_t port = 0;
        if (bridge_.getComPortNumber(handle, port) != kBridgeOk) {
            noteStatus(bridge_.close(handle));
            break;
        }
        if (port == comPort_) {
            handle_ = handle;
            break;
        }
        // Another bridge (the DE-1 box, a second instrument): leave it free.
        noteStatus(bridge_.close(handle));
    }
    if (handle_ == 0) {
        return;
    }
    noteStatus(bridge_.setBitMode(handle_, kBitModeOpenMask, kBitModeCbus));
    noteStatus(bridge_.setBaudRate(handle_, baudRate));
    noteStatus(bridge_.setDataCharacteristics(handle_, kBits8, kStopBits1, kParityNone));
    noteStatus(bridge_.setTimeouts(handle_, kOpenReadTimeoutMs, kWriteTimeoutMs));
    noteStatus(bridge_.setLatencyTimer(handle_, kLatencyTimerMs));
    noteStatus(bridge_.setFlowControl(handle_, 0, 0, 0));
    noteStatus(bridge_.purge(handle_, kPurgeRx | kPurgeTx));
}

void UvLink::StopThread() {
    stop_.request_stop();
    wake_.notify_all();
    if (heartbeatThread_.joinable() && std::this_thread::get_id() != heartbeatThread_.get_id()) {
        heartbeatThread_.join();
    }
}

bool UvLink::pause(std::int64_t ms) {
    return clock_.sleepMs(ms, stop_.get_token());
}

bool UvLink::yieldTurn() {
    return pause(kPollMs);
}

// --- Heartbeat thread ---

void UvLink::heartbeatLoop() {
    heartbeatThreadId_.store(std::this_thread::get_id());
    const auto stop = stop_.get_token();
    EnterSetupMode();
    std::optional<std::int64_t> lastBeatMs;
    while (!stop.stop_requested()) {
        sendQueuedSettings();
        for (;;) {
            const auto dueMs = lastBeatMs ? *lastBeatMs + kHeartbeatPeriodMs : clock_.nowMs();
            if (stop.stop_requested() || clock_.nowMs() >= dueMs) {
                break;
            }
            {
                std::unique_lock lock(wakeMutex_);
                clock_.waitUntil(lock, wake_, dueMs, stop,
                                 [&] { return queuedCmd0_.has_value() || heartbeatBacklog_.load(); });
            }
            sendQueuedSettings();
            if (heartbeatBacklog_.exchange(false)) {
                while (!stop.stop_requested() && ParseHeartbeat()) {
                }
            }
        }
        if (stop.stop_requested()) {
            break;
        }
        lastBeatMs = clock_.nowMs();
        if (SendHeartbeat()) {
            heartbeatsTransmitted_.fetch_add(1);
        }
        const Deadline parse(clock_, kHeartbeatParseMs);
        while (!ParseHeartbeat() && !parse.expired() && yieldTurn()) {
        }
        if (window_ != nullptr) {
            window_->post(UserMsg::LinkStats, 0, 0, stats());
        }
    }
}

bool UvLink::sendQueuedSettings() {
    std::optional<Cmd0Bytes> packet;
    {
        std::scoped_lock lock(wakeMutex_);
        packet = queuedCmd0_;
    }
    if (!packet) {
        return false;
    }
    // Whoever queued it waits for the unit's echo and sends again without one.
    (void)SendSettings(*packet);
    {
        std::scoped_lock lock(wakeMutex_);
        if (queuedCmd0_ == packet) {
            queuedCmd0_.reset();
        }
    }
    wake_.notify_all();
    return true;
}

void UvLink::QueueSettings(const Cmd0Bytes& packet) {
    {
        std::scoped_lock lock(wakeMutex_);
        queuedCmd0_ = packet;
    }
    wake_.notify_all();
}

bool UvLink::waitForQueuedSettings() {
    const auto stop = stop_.get_token();
    for (;;) {
        if (!ownsHeartbeatThread_) {
            // Nobody else would send it: the caller's thread does.
            sendQueuedSettings();
        }
        std::unique_lock lock(wakeMutex_);
        if (!queuedCmd0_) {
            return true;
        }
        if (stop.stop_requested()) {
            return false;
        }
        clock_.waitUntil(lock, wake_, clock_.nowMs() + kHeartbeatPeriodMs, stop,
                         [&] { return !queuedCmd0_.has_value(); });
    }
}

// --- Transport ---

std::ptrdiff_t UvLink::fillRing(std::size_t len) {
    // After a stall (a loaded machine, the program paused) the bridge holds a
    // backlog that a reader drains at once, faster than the heartbeat thread
    // is woken: the heartbeats must not be pushed out of the ring unparsed.
    // The bytes wait in the bridge until that thread has parsed. Its own
    // reads, and a closing link's, are not held back.
    if (ownsHeartbeatThread_ && !closing() &&
        std::this_thread::get_id() != heartbeatThreadId_.load()) {
        len = std::min(len, ring_.room(ReceiveRing::Reader::Heartbeat));
        if (len == 0) {
            askForHeartbeatParse();
            return 0;
        }
    }
    const auto got = ring_.fill(len, [&](std::span<std::uint8_t> part) -> std::ptrdiff_t {
        std::uint32_t n = 0;
        const auto status =
            bridge_.read(handle_, part.data(), static_cast<std::uint32_t>(part.size()), n);
        if (status != kBridgeOk) {
            noteStatus(status);
            return -1;
        }
        return static_cast<std::ptrdiff_t>(std::min<std::size_t>(n, part.size()));
    });
    if (got > 0) {
        traffic_.bytesReceived += static_cast<std::uint64_t>(got);
        if (ring_.count(ReceiveRing::Reader::Heartbeat) >= kHeartbeatBacklog) {
            askForHeartbeatParse();
        }
    }
    return got;
}

void UvLink::askForHeartbeatParse() {
    if (heartbeatBacklog_.load()) {
        return;
    }
    {
        std::scoped_lock lock(wakeMutex_);
        heartbeatBacklog_.store(true);
    }
    wake_.notify_all();
}

void UvLink::countSkipped(std::span<const std::uint8_t> skipped) {
    // Heartbeats sit between the packets of the stream; they are not garbage.
    while (!skipped.empty()) {
        const auto beat = FindCmd1(skipped);
        const std::size_t invalid = beat ? beat->offset : skipped.size();
        traffic_.invalidBytesSkipped += invalid;
        gapBytes_ += invalid;
        if (!beat) {
            return;
        }
        skipped = skipped.subspan(beat->offset + kCmd1Size);
    }
}

void UvLink::settleGap(std::size_t len) {
    // Where the unit changes from one stream to the other it leaves part of
    // a packet behind: that is no loss.
    if (len == lastPacketLen_) {
        traffic_.packetsLost += (gapBytes_ + len / 4) / len;
    }
    lastPacketLen_ = len;
    gapBytes_ = 0;
}

template <class Find>
auto UvLink::takePacket(std::size_t len, Find find, std::uint64_t LinkTraffic::*counter)
    -> decltype(find(std::span<const std::uint8_t>())) {
    if (handle_ == 0 || !clock_.tryLockFor(readLock_, kReadLockMs)) {
        return std::nullopt;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    // Searched even when the read brought nothing: a packet can wait in the
    // ring for the one after it (see judgeRunning).
    (void)fillRing(len);
    return takeFound(len, find, counter);
}

template <class Find>
auto UvLink::takeFound(std::size_t len, Find find, std::uint64_t LinkTraffic::*counter)
    -> decltype(find(std::span<const std::uint8_t>())) {
    RingWindow window;
    const auto n = ring_.copyUnread(ReceiveRing::Reader::Packet, window);
    const std::span<const std::uint8_t> unread(window.data(), n);
    auto match = find(unread);
    if (match) {
        countSkipped(unread.first(match->offset));
        ring_.consume(ReceiveRing::Reader::Packet, match->offset + len);
        if (counter != nullptr) {
            ++(traffic_.*counter);
            settleGap(len);
        }
    } else {
        // A unit that streams garbage must not grow the ring: what can begin
        // no packet of either stream goes now, counted. What might still
        // begin one stays, as the search would step over it anyway.
        const auto garbage = LeadingBytesOfNoPacket(unread);
        countSkipped(unread.first(garbage));
        ring_.consume(ReceiveRing::Reader::Packet, garbage);
    }
    return match;
}

template <class Packet, class Observer>
void UvLink::publish(const Packet& packet, std::optional<Packet>& last, Observer* const& observer,
                     void (Observer::*notify)(const Packet&)) {
    {
        std::scoped_lock state(stateMutex_);
        last = packet;
    }
    std::scoped_lock observers(observerMutex_);
    if (observer != nullptr) {
        (observer->*notify)(packet);
    }
}

bool UvLink::ReadCmd0(Cmd0& out) {
    const CallGuard guard(*this);
    if (shortPacketMode_.load()) {
        holdRunningPackets();
        return false;
    }
    const auto match = takePacket(kCmd0Size, FindCmd0, &LinkTraffic::cmd0Packets);
    if (!match) {
        return false;
    }
    out = match->packet;
    publish(out, lastCmd0_, cmd0Observer_, &Cmd0Observer::onCmd0);
    return true;
}

// The check byte misses about one damaged byte in 128. A running packet
// damaged that way with a piston position or speed far off would cost the
// rest of the run when it is closed (a row is kept only when its positions
// move on), and a reading beyond the A/D's range is no reading: such a packet
// cannot be the unit's, and its bytes count as invalid. A packet that cannot
// follow the last one taken is judged by the next running packet after it: a
// real jump (the piston started again after a move home, a reference taken
// long ago) is confirmed by it and costs nothing; two damaged packets never
// agree.
bool UvLink::RunningPoint::near(const Cmd2& packet, std::int64_t nowMs) const {
    const double movedMm = std::abs(pistonPositionHundredths(packet.uiPistonPos) - position) * 0.01;
    const double speedChange = std::abs(static_cast<std::int16_t>(packet.iPistonSpeed) - speed) * 0.1;
    const double seconds = static_cast<double>(nowMs - atMs) / 1000.0;
    return movedMm <= kPistonJumpMm + kPistonSpeedLimitMmPerS * seconds &&
           speedChange <= kPistonSpeedJumpMmPerS;
}

UvLink::RunningPoint UvLink::RunningPoint::of(const Cmd2& packet, std::int64_t atMs) {
    return {pistonPositionHundredths(packet.uiPistonPos), static_cast<std::int16_t>(packet.iPistonSpeed),
            atMs};
}

namespace {

bool readingInRange(const Cmd2& packet) {
    return packet.ulATODADataSample <= kMaxAtodReading && packet.ulATODADataSource <= kMaxAtodReading;
}

}  // namespace

UvLink::Verdict UvLink::judgeRunning(std::span<const std::uint8_t> bytes, const PacketMatch<Cmd2>& match) const {
    if (!readingInRange(match.packet)) {
        return Verdict::PassOver;
    }
    const auto now = clock_.nowMs();
    if (!lastRunning_ || lastRunning_->near(match.packet, now)) {
        return Verdict::Take;
    }
    const auto jump = RunningPoint::of(match.packet, now);
    for (std::size_t from = match.offset + 1; from + kCmd2Size <= bytes.size();) {
        const auto next = FindCmd2(bytes.subspan(from));
        if (!next) {
            break;
        }
        if (readingInRange(next->packet)) {
            return jump.near(next->packet, now) ? Verdict::Take : Verdict::PassOver;
        }
        from += next->offset + 1;
    }
    // No packet to judge by yet. Once the bytes after it could have held a
    // few packets and held none, nothing will confirm it.
    return bytes.size() - match.offset >= kJumpWaitBytes ? Verdict::PassOver : Verdict::Wait;
}

std::optional<PacketMatch<Cmd2>> UvLink::findRunningPacket(std::span<const std::uint8_t> bytes) {
    for (std::size_t from = 0; from + kCmd2Size <= bytes.size();) {
        auto match = FindCmd2(bytes.subspan(from));
        if (!match) {
            return std::nullopt;
        }
        match->offset += from;
        switch (judgeRunning(bytes, *match)) {
            case Verdict::Take: return match;
            case Verdict::Wait: return std::nullopt;
            case Verdict::PassOver: break;
        }
        from = match->offset + 1;
    }
    return std::nullopt;
}

// The unit streams running data while something else reads (a settings-sized
// read, a key's echo wait): the whole running packets it brought in are kept
// for the next ReadCmd2. Taking the whole 44-byte window instead would cut
// the packet after them and count its rest as damage on a clean line.
void UvLink::holdRunningPackets() {
    if (handle_ == 0 || !clock_.tryLockFor(readLock_, kReadLockMs)) {
        return;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    (void)fillRing(kCmd0Size);
    const auto find = [this](std::span<const std::uint8_t> bytes) { return findTakenRunning(bytes); };
    while (const auto match = takeFound(kCmd2Size, find, &LinkTraffic::cmd2Packets)) {
        // Kept for the acquisition: these are the run's samples.
        if (held_.size() == kMaxHeld) {
            held_.pop_front();
        }
        held_.push_back(match->packet);
    }
}

std::optional<PacketMatch<Cmd2>> UvLink::findTakenRunning(std::span<const std::uint8_t> bytes) {
    auto match = findRunningPacket(bytes);
    if (match) {
        lastRunning_ = RunningPoint::of(match->packet, clock_.nowMs());
        motion_.note(match->packet);
    }
    return match;
}

bool UvLink::takeHeld(Cmd2& out) {
    if (!clock_.tryLockFor(readLock_, kReadLockMs)) {
        return false;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    if (held_.empty()) {
        return false;
    }
    out = held_.front();
    held_.pop_front();
    return true;
}

bool UvLink::hasHeld() {
    if (!clock_.tryLockFor(readLock_, kReadLockMs)) {
        return false;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    return !held_.empty();
}

void UvLink::MotionSeen::note(const Cmd2& packet) {
    const bool now = packet.iPistonSpeed != 0;
    inARow = taken != 0 && now == moving ? inARow + 1 : 1;
    moving = now;
    ++taken;
}

std::uint64_t UvLink::runningTaken() {
    if (!clock_.tryLockFor(readLock_, kReadLockMs)) {
        return 0;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    return motion_.taken;
}

std::optional<bool> UvLink::motionSince(std::uint64_t mark) {
    if (!clock_.tryLockFor(readLock_, kReadLockMs)) {
        return std::nullopt;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    // Two in a row: a damaged packet that passed the check byte is not enough.
    if (std::min(motion_.inARow, motion_.taken - mark) < 2) {
        return std::nullopt;
    }
    return motion_.moving;
}

bool UvLink::ReadCmd2(Cmd2& out) {
    const CallGuard guard(*this);
    if (takeHeld(out)) {
        publish(out, lastCmd2_, cmd2Observer_, &Cmd2Observer::onCmd2);
        return true;
    }
    // Runs under the read lock; a packet found is taken.
    const auto find = [this](std::span<const std::uint8_t> bytes) { return findTakenRunning(bytes); };
    const auto match = takePacket(kCmd2Size, find, &LinkTraffic::cmd2Packets);
    if (!match) {
        return false;
    }
    out = match->packet;
    publish(out, lastCmd2_, cmd2Observer_, &Cmd2Observer::onCmd2);
    return true;
}

bool UvLink::ReadStreamedPacket() {
    const CallGuard guard(*this);
    if (!clock_.tryLockFor(sampleLock_, kSampleTurnLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    SetShortPacketMode(!InSetupMode(0));
    // Packets kept from the running stream go first, whatever the mode now.
    if (ShortPacketMode() || hasHeld()) {
        Cmd2 packet;
        return ReadCmd2(packet);
    }
    Cmd0 packet;
    return ReadCmd0(packet);
}

bool UvLink::ParseHeartbeat() {
    const CallGuard guard(*this);
    if (handle_ == 0 || !clock_.tryLockFor(readLock_, kReadLockMs)) {
        return false;
    }
    std::unique_lock lock(readLock_, std::adopt_lock);
    RingWindow window;
    const auto n = ring_.copyUnread(ReceiveRing::Reader::Heartbeat, window);
    if (n < kCmd1Size) {
        return false;
    }
    const auto match = FindCmd1(std::span<const std::uint8_t>(window.data(), n));
    if (!match) {
        // Everything before the last nine bytes is no heartbeat; those nine
        // may be the start of one.
        ring_.consume(ReceiveRing::Reader::Heartbeat, n - (kCmd1Size - 1));
        return false;
    }
    ring_.consume(ReceiveRing::Reader::Heartbeat, match->offset + kCmd1Size);
    ++traffic_.cmd1Packets;
    const Cmd1 beat = match->packet;
    {
        std::scoped_lock state(stateMutex_);
        lastCmd1_ = beat;
    }
    if (beat.ucUVKeyPressed != 0) {
        auto expected = beat.ucUVKeyPressed;
        pendingKey_.compare_exchange_strong(expected, std::uint8_t{0});
    }
    if (pendingKey_.load() != 0) {
        heartbeatsWithoutEcho_.fetch_add(1);
    }
    const auto received = heartbeatsReceived_.fetch_add(1) + 1;
    const bool warmedUp =
        received == kWarmupHeartbeats && window_ != nullptr && !recordingStarted_.load();
    bit0_.store((beat.ucCntlInfo & kCntlBit0) != 0 ? 1 : 0);
    upperLimit_.store((beat.ucCntlInfo & kCntlUpperLimitNoContact) != 0 ? 1 : 0);
    bit2_.store((beat.ucCntlInfo & kCntlBit2) != 0 ? 1 : 0);
    // The answers below may press a key and wait seconds for its echo: the
    // read lock is released first, so the acquisition loop keeps reading.
    lock.unlock();

    if (warmedUp) {
        window_->post(UserMsg::WarmedUp);
    }
    {
        std::scoped_lock observers(observerMutex_);
        if (cmd1Observer_ != nullptr) {
            cmd1Observer_->onCmd1(beat);
        }
    }
    answerKeyRequest(beat.ucCntlInfo);
    CheckFirmwareVersion(beat.ucUVMenuVersion);
    return true;
}

void UvLink::answerKeyRequest(std::uint8_t control) {
    if ((control & kCntlKeyRequest) == 0) {
        keyRequestLatch_.store(false);
    } else if (!keyRequestLatch_.exchange(true)) {
        PressKey(1, 0);
    }
}

void UvLink::CheckFirmwareVersion(std::uint8_t version) {
    if (version == kMenuVersion) {
        firmwareMismatches_.store(0);
        return;
    }
    if (firmwareMismatches_.fetch_add(1) + 1 >= kFirmwareMismatches &&
        !firmwareWarned_.exchange(true)) {
        // Raised inside heartbeat parsing: never modal here.
        prompter_.notify(version < kMenuVersion
                             ? "Warning: Tellmar software should be upgraded to match UV firmware!"
                             : "Warning: UV unit firmware should be upgraded to match Tellmar software!");
    }
}

void UvLink::FlushReceive() {
    const CallGuard guard(*this);
    if (handle_ == 0 || !clock_.tryLockFor(sampleLock_, kFlushLockMs)) {
        return;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    if (!clock_.tryLockFor(readLock_, kReadLockMs)) {
        return;
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    ring_.clear();
    held_.clear();  // kept packets are from before the flush too
    // What was flushed is unknown: no gap runs across a flush, and the rest
    // of a packet cut by it is no loss either.
    gapBytes_ = 0;
    lastPacketLen_ = 0;
    noteStatus(bridge_.purge(handle_, kPurgeRx | kPurgeTx));
}

std::size_t UvLink::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
    const auto stop = stop_.get_token();
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto startMs = clock_.nowMs();
        std::uint32_t written = 0;
        const auto status = bridge_.write(handle_, bytes + i, 1, written);
        if (status != kBridgeOk) {
            noteStatus(status);
            return total;
        }
        total += written;
        // Pace the unit's receiver: at least one turn, then until the delay
        // has passed since this byte began.
        std::int64_t leftMs = 0;
        do {
            if (!clock_.sleepMs(leftMs, stop)) {
                return total;
            }
            leftMs = startMs + interByteDelayMs_ - clock_.nowMs();
        } while (leftMs > 0);
    }
    return total;
}

bool UvLink::SendPacket10(const Cmd1Bytes& packet) {
    const CallGuard guard(*this);
    if (handle_ == 0) {
        return false;
    }
    const std::scoped_lock write(writeLock_);
    return WriteBytes(packet.data(), packet.size()) == packet.size();
}

bool UvLink::SendSettings(const Cmd0Bytes& packet) {
    const CallGuard guard(*this);
    if (handle_ == 0) {
        return false;
    }
    const std::scoped_lock write(writeLock_);
    if (!InSetupMode(0)) {
        EnterSetupMode();
    }
    return WriteBytes(packet.data(), packet.size()) == packet.size();
}

bool UvLink::SendHeartbeat() {
    const CallGuard guard(*this);
    if (handle_ == 0) {
        return false;
    }
    // Short reads from now on, so a reader returns soon when little is waiting.
    noteStatus(bridge_.setTimeouts(handle_, kReadTimeoutMs, kWriteTimeoutMs));
    const auto packet = BuildHeartbeat();
    const std::scoped_lock write(writeLock_);
    return WriteBytes(packet.data(), packet.size()) == packet.size();
}

// --- Messages and log ---

void UvLink::tell(const std::string& text) {
    const bool mustNotBlock = std::this_thread::get_id() == heartbeatThreadId_.load() ||
                              writeLock_.heldByCurrentThread() || readLock_.heldByCurrentThread();
    if (mustNotBlock) {
        prompter_.notify(text);
    } else {
        prompter_.message(text);
    }
}

void UvLink::log(std::string_view text) {
    log_.append(text);
}

// --- State ---

std::optional<Cmd0> UvLink::lastCmd0() const {
    std::scoped_lock state(stateMutex_);
    return lastCmd0_;
}

std::optional<Cmd1> UvLink::lastCmd1() const {
    std::scoped_lock state(stateMutex_);
    return lastCmd1_;
}

std::optional<Cmd2> UvLink::lastCmd2() const {
    std::scoped_lock state(stateMutex_);
    return lastCmd2_;
}

std::uint8_t UvLink::lastMode() const {
    std::scoped_lock state(stateMutex_);
    return lastCmd1_ ? lastCmd1_->ucUVMenuStatus : kModeNone;
}

LinkStats UvLink::stats() const {
    LinkStats stats;
    stats.lastCmd0 = lastCmd0();
    stats.heartbeatsTransmitted = heartbeatsTransmitted_.load();
    stats.heartbeatsReceived = heartbeatsReceived_.load();
    stats.upperLimit = upperLimit_.load();
    stats.bit0 = bit0_.load();
    stats.bit2 = bit2_.load();
    return stats;
}

LinkTraffic UvLink::traffic() {
    const CallGuard guard(*this);
    if (!clock_.tryLockFor(readLock_, kReadLockMs)) {
        return {};
    }
    const std::unique_lock lock(readLock_, std::adopt_lock);
    auto traffic = traffic_;
    traffic.droppedBytes = ring_.droppedBytes(ReceiveRing::Reader::Packet) +
                           ring_.droppedBytes(ReceiveRing::Reader::Heartbeat);
    traffic.bridgeFailures = bridgeFailures_.load();
    return traffic;
}

void UvLink::SetCmd0Observer(Cmd0Observer* observer) {
    std::scoped_lock observers(observerMutex_);
    cmd0Observer_ = observer;
}

void UvLink::SetCmd1Observer(Cmd1Observer* observer) {
    std::scoped_lock observers(observerMutex_);
    cmd1Observer_ = observer;
}

void UvLink::SetCmd2Observer(Cmd2Observer* observer) {
    std::scoped_lock observers(observerMutex_);
    cmd2Observer_ = observer;
}

}  // namespace corvane
