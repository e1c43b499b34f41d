#include "app/SingleInstanceGuard.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace corvane {

#ifdef _WIN32

std::filesystem::path SingleInstanceGuard::defaultLockFolder() {
    std::error_code error;
    return std::filesystem::temp_directory_path(error);
}

std::optional<SingleInstanceGuard> SingleInstanceGuard::claim(const std::filesystem::path& lockFolder,
                                                              std::string_view name) {
    std::error_code error;
    if (!std::filesystem::is_directory(lockFolder, error)) {
        return std::nullopt;
    }
    // "Local\\": the user's session. A mutex name takes no further backslash.
    std::wstring tail = std::filesystem::path(std::string(name)).wstring() + L"@" +
                        std::filesystem::absolute(lockFolder, error).wstring();
    std::replace(tail.begin(), tail.end(), L'\\', L'/');
    const std::wstring mutexName = L"Local\\" + tail;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName.c_str());
    if (mutex == nullptr) {
        return std::nullopt;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return std::nullopt;
    }
    return SingleInstanceGuard(static_cast<void*>(mutex));
}

SingleInstanceGuard::SingleInstanceGuard(SingleInstanceGuard&& other) noexcept
    : mutex_(std::exchange(other.mutex_, nullptr)) {}

SingleInstanceGuard& SingleInstanceGuard::operator=(SingleInstanceGuard&& other) noexcept {
    if (this != &other) {
        if (mutex_ != nullptr) {
            ::CloseHandle(static_cast<HANDLE>(mutex_));
        }
        mutex_ = std::exchange(other.mutex_, nullptr);
    }
    return *this;
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (mutex_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(mutex_));
    }
}

#else

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

#endif

}  // namespace corvane
