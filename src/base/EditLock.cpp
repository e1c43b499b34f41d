#include <chrono>
#include <thread>

#include "base/WriterLock.h"
#include "base/WriterLockSteps.h"

namespace corvane {

using writerlock::Attempt;

EditLock::EditLock(const std::filesystem::path& path, int maxWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    for (;;) {
        switch (writerlock::tryLock(path, fd_)) {
            case Attempt::Locked:
            case Attempt::NothingToLock: return;
            case Attempt::Replaced: continue;
            case Attempt::HeldElsewhere: break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            refused_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

EditLock::~EditLock() {
    if (fd_ >= 0) writerlock::closeDescriptor(fd_);
}

EditLock::EditLock(EditLock&& other) noexcept : fd_(other.fd_), refused_(other.refused_) {
    other.fd_ = -1;
    other.refused_ = false;
}

EditLock& EditLock::operator=(EditLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) writerlock::closeDescriptor(fd_);
        fd_ = other.fd_;
        refused_ = other.refused_;
        other.fd_ = -1;
        other.refused_ = false;
    }
    return *this;
}

}  // namespace corvane
