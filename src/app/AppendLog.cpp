#include "app/AppendLog.h"

#include <cerrno>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include "base/Win32Files.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace corvane {

namespace {

#ifdef _WIN32
// FILE_APPEND_DATA alone: each write lands whole at the end of the file, as
// with O_APPEND, so concurrent entries never interleave.
bool appendEntry(const std::filesystem::path& path, std::string_view entry) {
    const auto handle = win32::openShared(path, FILE_APPEND_DATA, OPEN_ALWAYS);
    DWORD wrote = 0;
    return handle.valid() &&
           ::WriteFile(handle.get(), entry.data(), static_cast<DWORD>(entry.size()), &wrote, nullptr) != 0 &&
           wrote == entry.size();
}
#else
bool appendEntry(const std::filesystem::path& path, std::string_view entry) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // One write per entry: with O_APPEND the kernel keeps concurrent entries apart.
    std::string_view rest = entry;
    bool ok = true;
    while (!rest.empty()) {
        const auto n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::close(fd) == 0 && ok;
}
#endif

}  // namespace

std::tm localCalendarNow() {
    const std::time_t now = std::time(nullptr);
    std::tm calendar{};
#ifdef _WIN32
    localtime_s(&calendar, &now);
#else
    localtime_r(&now, &calendar);
#endif
    return calendar;
}

AppendLog::AppendLog(std::filesystem::path path, CalendarNow now)
    : path_(std::filesystem::absolute(path)), now_(std::move(now)) {}

bool AppendLog::append(std::string_view text) {
    const std::tm at = now_();
    char stamp[96];
    const int length = std::snprintf(stamp, sizeof stamp, "%d-%02d-%02d   %02d:%02d:%02d\n",
                                     at.tm_year + 1900, at.tm_mon + 1, at.tm_mday, at.tm_hour,
                                     at.tm_min, at.tm_sec);
    std::string entry(stamp, static_cast<std::size_t>(length > 0 ? length : 0));
    entry.append(text);

    return appendEntry(path_, entry);
}

}  // namespace corvane
