#include "app/SingleInstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace corvane {

std::filesystem::path SingleInstanceGuard::defaultLockFolder() {
    std::error_code error;
    const std::filesystem::path runtime = "/run/user/" + std::to_string(::getuid());
    if (std::filesystem::is_directory(runtime, error) && ::access(runtime.c_str(), W_OK) == 0) {
        return runtime;
    }
    return std::filesystem::temp_directory_path(error);
}

std::optional<SingleInstanceGuard> SingleInstanceGuard::claim(const std::filesystem::path& lockFolder,
                                                              std::string_view name) {
    // A shared temporary folder holds the files of every user: the user id in
    // the name keeps them apart, O_NOFOLLOW keeps a planted link out.
    const auto file = lockFolder / (std::string(name) + "-" + std::to_string(::getuid()) + ".lock");
    int fd = -1;
    do {
        fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return std::nullopt;
    }
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return SingleInstanceGuard(fd);
}

SingleInstanceGuard::SingleInstanceGuard(SingleInstanceGuard&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

SingleInstanceGuard& SingleInstanceGuard::operator=(SingleInstanceGuard&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace corvane
