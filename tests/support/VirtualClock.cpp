#include "VirtualClock.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <set>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvane::test {
namespace {

// How long the pump waits before it looks at blocked threads again: short
// right after a change, longer while a thread works.
constexpr std::chrono::microseconds kFirstLook(50);
constexpr std::chrono::microseconds kLongestLook(2000);
// Between two looks at a thread seen blocked for the first time.
constexpr std::chrono::microseconds kSecondLook(100);

// Clocks still alive, so a thread ending after its clock does not reach it.
std::mutex gLiveMutex;
std::set<VirtualClock*>& liveClocks() {
    static std::set<VirtualClock*> clocks;
    return clocks;
}

// Tells the clocks a thread took part in that it has ended.
struct ExitNotice {
    std::vector<VirtualClock*> clocks;
    ~ExitNotice() {
        const std::scoped_lock lock(gLiveMutex);
        for (VirtualClock* clock : clocks) {
            if (liveClocks().contains(clock)) {
                clock->forget(std::this_thread::get_id());
            }
        }
    }
};
thread_local ExitNotice tExitNotice;

pid_t currentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// The start of a small /proc file; empty when it cannot be read.
std::string readProcFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    char buffer[512];
    const auto n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// A thread as the kernel sees it.
struct TaskLook {
    bool blocked = true;      // sleeping in the kernel, or gone
    std::uint64_t runNs = 0;  // how long it has run so far
};

TaskLook lookAt(pid_t tid) {
    const std::string task = "/proc/self/task/" + std::to_string(tid);
    const std::string stat = readProcFile(task + "/stat");
    if (stat.empty()) {
        return {};  // gone
    }
    // "tid (name) S ...": the name may hold anything; the state follows its last ')'.
    const auto close = stat.rfind(')');
    const char state = close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : 'R';
    TaskLook look;
    look.blocked = state == 'S' || state == 'D';
    look.runNs = std::strtoull(readProcFile(task + "/schedstat").c_str(), nullptr, 10);
    return look;
}

std::vector<pid_t> processThreads() {
    std::vector<pid_t> tids;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(tasks)) {
            const auto tid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
            if (tid > 0) {
                tids.push_back(tid);
            }
        }
        ::closedir(tasks);
    }
    return tids;
}

}  // namespace

VirtualClock::VirtualClock() {
    {
        const std::scoped_lock lock(gLiveMutex);
        liveClocks().insert(this);
    }
    pump_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

VirtualClock::~VirtualClock() {
    {
        const std::scoped_lock lock(gLiveMutex);
        liveClocks().erase(this);
    }
    pump_.request_stop();
    pump_.join();
}

std::int64_t VirtualClock::nowMs() const {
    const std::scoped_lock lock(mutex_);
    return now_;
}

VirtualClock::Participant& VirtualClock::self() {
    const auto id = std::this_thread::get_id();
    auto found = participants_.find(id);
    if (found == participants_.end()) {
        found = participants_.emplace(id, Participant{.tid = currentTid()}).first;
        auto& mine = tExitNotice.clocks;
        if (std::find(mine.begin(), mine.end(), this) == mine.end()) {
            mine.push_back(this);
        }
    }
    return found->second;
}

void VirtualClock::forget(std::thread::id id) {
    {
        const std::scoped_lock lock(mutex_);
        participants_.erase(id);
        ++generation_;
    }
    changed_.notify_all();
}

void VirtualClock::beginWait(Participant& p, std::int64_t deadlineMs,
                             std::condition_variable_any* cv) {
    p.waiting = true;
    p.wakePending = false;
    p.deadlineMs = deadlineMs;
    p.cv = cv;
    ++generation_;
    changed_.notify_all();
}

void VirtualClock::endWait(Participant& p) {
    p.waiting = false;
    p.wakePending = false;
    p.cv = nullptr;
    ++generation_;
    changed_.notify_all();
}

bool VirtualClock::sleepMs(std::int64_t ms, std::stop_token stop) {
    if (stop.stop_requested()) {
        return false;
    }
    if (ms <= 0) {
        return true;
    }
    // A stop request wakes this sleeper, which may not run at once: until it
    // has, time must stay (else a thread that then blocks, say in a join of
    // this one, lets time jump to the deadline and the sleep ends as if
    // uninterrupted). Registered outside mutex_: a request already made runs
    // the callback here, which takes mutex_.
    const auto id = std::this_thread::get_id();
    const std::stop_callback onStop(stop, [this, id] {
        const std::scoped_lock lock(mutex_);
        if (const auto it = participants_.find(id); it != participants_.end() && it->second.waiting) {
            it->second.wakePending = true;
            ++generation_;
            changed_.notify_all();
        }
    });
    std::unique_lock lock(mutex_);
    Participant& p = self();
    const std::int64_t deadline = now_ + ms;
    beginWait(p, deadline, nullptr);
    const bool reached = moved_.wait(lock, stop, [&] { return now_ >= deadline; });
    endWait(p);
    // Let go before the callback goes: its destruction waits for a callback
    // running on another thread, which may be waiting for mutex_.
    lock.unlock();
    return reached;
}

bool VirtualClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                             std::int64_t deadlineMs, std::stop_token stop,
                             const std::function<bool()>& pred) {
    if (pred()) {
        return true;
    }
    {
        const std::scoped_lock own(mutex_);
        beginWait(self(), deadlineMs, &cv);
    }
    // Woken by whoever changes pred's state, or by the pump (again and again
    // until this thread has woken) once the deadline has come.
    cv.wait(lock, stop, [&] { return pred() || nowMs() >= deadlineMs; });
    {
        const std::scoped_lock own(mutex_);
        endWait(self());
    }
    return pred();
}

void VirtualClock::run(std::stop_token stop) {
    pumpTid_ = currentTid();
    std::unique_lock lock(mutex_);
    auto pause = kFirstLook;
    while (!stop.stop_requested()) {
        if (mayAdvance(lock)) {
            advance();
            pause = kFirstLook;
            continue;
        }
        // A waiter whose time has come may have looked just before it did.
        for (const auto& [id, p] : participants_) {
            if (p.wakePending && p.cv != nullptr) {
                p.cv->notify_all();
            }
        }
        const auto seen = generation_;
        if (changed_.wait_for(lock, stop, pause, [&] { return generation_ != seen; })) {
            pause = kFirstLook;
        } else {
            pause = std::min(pause * 2, kLongestLook);
        }
    }
}

bool VirtualClock::mayAdvance(std::unique_lock<std::mutex>& lock) {
    bool anyWaiting = false;
    std::vector<pid_t> toLook;
    for (const auto& [id, p] : participants_) {
        if (p.wakePending) {
            return false;
        }
        anyWaiting = anyWaiting || p.waiting;
        // A sleeper waits for time alone; anyone else may be woken by others.
        if (!p.waiting || p.cv != nullptr) {
            toLook.push_back(p.tid);
        }
    }
    return anyWaiting && blockedInKernel(lock, toLook);
}

bool VirtualClock::blockedInKernel(std::unique_lock<std::mutex>& lock,
                                   const std::vector<pid_t>& participantsToLook) {
    std::set<pid_t> known{pumpTid_};
    for (const auto& [id, p] : participants_) {
        known.insert(p.tid);
    }
    const auto seen = generation_;
    lock.unlock();
    std::vector<pid_t> tids = participantsToLook;
    for (const pid_t tid : processThreads()) {
        if (!known.contains(tid)) {
            tids.push_back(tid);  // not a participant: it holds time while it runs
        }
    }
    // Blocked now, and no run time since it was last seen blocked: not
    // merely between two steps of its work. A thread seen blocked for the
    // first time gets a second look.
    std::vector<TaskLook> looks(tids.size());
    bool settled = true;
    bool firstSight = false;
    for (std::size_t i = 0; settled && i < tids.size(); ++i) {
        looks[i] = lookAt(tids[i]);
        const auto before = blockedRunNs_.find(tids[i]);
        settled = looks[i].blocked;
        firstSight = firstSight || before == blockedRunNs_.end() || before->second != looks[i].runNs;
    }
    if (settled && firstSight) {
        for (std::size_t i = 0; i < tids.size(); ++i) {
            blockedRunNs_[tids[i]] = looks[i].runNs;
        }
        std::this_thread::sleep_for(kSecondLook);
        for (std::size_t i = 0; settled && i < tids.size(); ++i) {
            const TaskLook again = lookAt(tids[i]);
            settled = again.blocked && again.runNs == looks[i].runNs;
        }
    }
    lock.lock();
    return settled && generation_ == seen;
}

void VirtualClock::advance() {
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    for (const auto& [id, p] : participants_) {
        if (p.waiting) {
            next = std::min(next, p.deadlineMs);
        }
    }
    if (next == std::numeric_limits<std::int64_t>::max()) {
        return;
    }
    now_ = std::max(now_, next);
    // Whoever the time reaches is at work again from this moment, before it
    // has even woken: time stays here until it has.
    for (auto& [id, p] : participants_) {
        if (p.waiting && p.deadlineMs <= now_) {
            p.waiting = false;
            p.wakePending = true;
            if (p.cv != nullptr) {
                p.cv->notify_all();
            }
        }
    }
    ++generation_;
    moved_.notify_all();
}

}  // namespace corvane::test
