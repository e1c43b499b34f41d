#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace corvane {

inline constexpr std::string_view kSingleInstanceName = "SINGLE_INSTANCE_ZIDU_MUTEX";
inline constexpr std::string_view kAnotherInstanceText =
    "Another instance of Corvane is already running.";

// Makes sure only one copy of the program runs for a user. On POSIX the
// claim is an exclusive lock on a file named after kSingleInstanceName in
// the lock folder (the file itself stays; only the lock matters); on Windows
// it is a named mutex of the user's session, named after kSingleInstanceName
// and the lock folder. Either way the system lets go when the process ends
// in any way, so a crashed copy never blocks the next one.
class SingleInstanceGuard {
public:
    // nullopt when another living process holds the name, or when the lock
    // file cannot be made.
    [[nodiscard]] static std::optional<SingleInstanceGuard> claim(
        const std::filesystem::path& lockFolder = defaultLockFolder(),
        std::string_view name = kSingleInstanceName);

    // The user's runtime folder (/run/user/UID) when there is one, else the
    // system's temporary folder (the user's own on Windows); a lock file's
    // name carries the user id there.
    [[nodiscard]] static std::filesystem::path defaultLockFolder();

    SingleInstanceGuard(SingleInstanceGuard&& other) noexcept;
    SingleInstanceGuard& operator=(SingleInstanceGuard&& other) noexcept;
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;
    ~SingleInstanceGuard();

private:
#ifdef _WIN32
    explicit SingleInstanceGuard(void* mutex) : mutex_(mutex) {}
    void* mutex_ = nullptr;
#else
    explicit SingleInstanceGuard(int fd) : fd_(fd) {}
    int fd_ = -1;
#endif
};

}  // namespace corvane
