#include "app/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace corvane {

namespace {

// Another program may hold the file for a moment; the attempts are spaced by
// 1 ms, so a file that stays busy is given up after about a second.
constexpr int kBusyAttempts = 1000;

bool isBusy(int error) {
    return error == EINTR || error == EAGAIN || error == EBUSY || error == ETXTBSY ||
           error == EMFILE || error == ENFILE;
}

template <class Open>
int openRetryingWhileBusy(Open open) {
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        const int fd = open();
        if (fd >= 0 || !isBusy(errno)) {
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (the last chance for
    // a deferred write error to show).
    bool reset() {
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    Descriptor fd(openRetryingWhileBusy([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[16384];
    for (;;) {
        const auto n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            return std::nullopt;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

bool replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    const auto folder = path.parent_path();
    auto pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    Descriptor fd(openRetryingWhileBusy([&] { return ::mkostemp(pattern.data(), O_CLOEXEC); }));
    if (!fd.valid()) {
        return false;
    }
    const std::string sibling = pattern;
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const bool written = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), bytes) &&
                         ::fsync(fd.get()) == 0;
    if (!fd.reset() || !written || ::rename(sibling.c_str(), path.c_str()) != 0) {
        ::unlink(sibling.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's own entry.
    Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
    return true;
}

}  // namespace corvane
