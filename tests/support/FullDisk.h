#pragma once

// A disk that fills while a file is written, for one scope: the size a file
// of this process may grow to is held at a limit (RLIMIT_FSIZE) and its
// signal ignored, so a write beyond it fails (EFBIG) as one on a full disk
// fails (ENOSPC). Process-wide: only for tests that write on one thread.

#include <sys/resource.h>

#include <csignal>

namespace corvane::test {

class FullDisk {
public:
    explicit FullDisk(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int) = nullptr;
};

}  // namespace corvane::test
