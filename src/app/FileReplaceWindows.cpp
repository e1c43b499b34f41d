// Whole-file rewrites on Windows. The new content goes to a work file beside
// the target, opened write-through and flushed; ReplaceFileW then swaps it in
// for an existing target (which keeps the old file's attributes, security
// and creation time, as the POSIX side keeps permissions and owner), and
// MoveFileExW with MOVEFILE_WRITE_THROUGH places it where there was none.
// After the swap the target is flushed once more, so the new name entry is
// on the disk before the call returns.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

#include "app/FileReplace.h"
#include "app/FileReplaceRules.h"
#include "base/Win32Files.h"

namespace corvane {

using namespace replacing;
using win32::Handle;

namespace {

bool isBusy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_TOO_MANY_OPEN_FILES;
}

template <class Open>
Handle openRetryingWhileBusy(Open open) {
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        Handle handle = open();
        if (handle.valid() || !isBusy(::GetLastError())) {
            return handle;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
}

bool writeAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD wrote = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (::WriteFile(handle, bytes.data(), chunk, &wrote, nullptr) == 0 || wrote == 0) {
            win32::setErrnoFromLastError();
            return false;
        }
        bytes.remove_prefix(wrote);
    }
    return true;
}

struct Target {
    std::filesystem::path file;
    bool exists = false;
    Refusal refusal = Refusal::None;
};

Target targetOf(const std::filesystem::path& path) {
    Target target;
    target.file = path;
    std::error_code error;
    const auto link = std::filesystem::symlink_status(path, error);
    if (error || !std::filesystem::exists(link)) {
        if (error && error != std::errc::no_such_file_or_directory) {
            target.refusal = Refusal::Unreachable;
        }
        return target;
    }
    if (std::filesystem::is_symlink(link)) {
        target.file = std::filesystem::canonical(path, error);
        if (error) {
            target.refusal = Refusal::LinkToNothing;
            return target;
        }
    }
    // No access asked for: a device is looked at, never opened.
    const auto handle = win32::openShared(target.file, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.valid()) {
        target.refusal = Refusal::Unreachable;
        return target;
    }
    target.exists = true;
    if (!win32::isRegularFile(handle.get())) {
        target.refusal = Refusal::NotRegular;
    } else if (::GetFileInformationByHandle(handle.get(), &info) == 0 ||
               (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        target.refusal = Refusal::ReadOnly;
    }
    return target;
}

// A new work file beside file, written through to the disk and locked as
// being written (its name as on POSIX: the clean-up knows it by that).
struct Sibling {
    std::filesystem::path path;
    Handle handle;
};

// A fresh work file name beside file: its name as on POSIX, so the clean-up
// knows it by that.
std::filesystem::path siblingName(const std::filesystem::path& file) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(::GetCurrentProcessId()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = siblingPrefix(file);
    for (std::size_t i = 0; i < kSiblingSuffixLength; ++i) {
        name += kLetters[pick(random)];
    }
    return folderOf(file) / name;
}

bool createSibling(const std::filesystem::path& file, Sibling& sibling) {
    removeLeftoverSiblings(file);
    for (int attempt = 0; attempt < 100; ++attempt) {
        sibling.path = siblingName(file);
        sibling.handle = openRetryingWhileBusy([&] {
            return win32::openShared(sibling.path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
        });
        if (sibling.handle.valid()) {
            // Taken before anything is written: while it is held no clean-up
            // removes the file, and after the last write its fresh time protects it.
            (void)win32::claimForWriting(sibling.handle.get());
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// Puts from in the place of an existing target (ReplaceFileW), or at a free
// name (MoveFileExW), and flushes the result.
bool swapIn(const std::filesystem::path& from, const Target& target) {
    bool moved = false;
    if (target.exists) {
        // The old file is set aside under a work file's name and removed
        // here; one a reader still holds open goes when it is let go, or at
        // a later replacement's clean-up, never left under a name of its own.
        const auto old = siblingName(target.file);
        moved = ::ReplaceFileW(target.file.c_str(), from.c_str(), old.c_str(),
                               REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                               nullptr) != 0;
        if (moved) {
            ::DeleteFileW(old.c_str());
        }
    }
    if (!moved) {
        // No target, or a file system without ReplaceFileW: the target is
        // still as it was, and a plain write-through move replaces it.
        moved = ::MoveFileExW(from.c_str(), target.file.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!moved) {
        win32::setErrnoFromLastError();
        return false;
    }
    const auto placed = win32::openShared(target.file, GENERIC_WRITE, OPEN_EXISTING);
    if (placed.valid()) {
        ::FlushFileBuffers(placed.get());
    }
    return true;
}

bool copyAll(HANDLE from, HANDLE to) {
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(from, chunk, sizeof chunk, &got, nullptr) == 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!writeAll(to, {chunk, got})) {
            return false;
        }
    }
}

bool sameVolume(const std::filesystem::path& a, const std::filesystem::path& b) {
    wchar_t first[MAX_PATH + 1] = {};
    wchar_t second[MAX_PATH + 1] = {};
    return ::GetVolumePathNameW(std::filesystem::absolute(a).c_str(), first, MAX_PATH) != 0 &&
           ::GetVolumePathNameW(std::filesystem::absolute(b).c_str(), second, MAX_PATH) != 0 &&
           ::lstrcmpiW(first, second) == 0;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    const auto handle = openRetryingWhileBusy([&] { return win32::openShared(path, GENERIC_READ, OPEN_EXISTING); });
    if (!handle.valid() || !win32::isRegularFile(handle.get())) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(handle.get(), chunk, sizeof chunk, &got, nullptr) == 0) {
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        if (bytes.size() + got > maxBytes) {
            return std::nullopt;
        }
        bytes.append(chunk, got);
    }
}

std::string replaceProblem(const std::filesystem::path& path) { return refusalText(targetOf(path).refusal, path); }

bool replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    const Target target = targetOf(path);
    Sibling sibling;
    if (target.refusal != Refusal::None || !createSibling(target.file, sibling)) {
        return false;
    }
    const bool written = writeAll(sibling.handle.get(), bytes) && ::FlushFileBuffers(sibling.handle.get()) != 0;
    if (!sibling.handle.reset() || !written || !swapIn(sibling.path, target)) {
        ::DeleteFileW(sibling.path.c_str());
        return false;
    }
    return true;
}

bool replaceFileWith(const std::filesystem::path& path, const std::filesystem::path& replacement,
                     std::error_code& error) {
    const Target target = targetOf(path);
    error = errorFor(target.refusal);
    if (error) {
        return false;
    }
    {
        const auto from = win32::openShared(replacement, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        if (!from.valid() || ::FlushFileBuffers(from.get()) == 0) {
            error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
            return false;
        }
    }
    if (sameVolume(replacement, target.file)) {
        if (swapIn(replacement, target)) {
            return true;
        }
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    // Different volumes: a work file beside the target first, then the swap.
    const auto from = win32::openShared(replacement, GENERIC_READ, OPEN_EXISTING);
    Sibling sibling;
    if (!from.valid() || !createSibling(target.file, sibling)) {
        error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
        return false;
    }
    const bool written = copyAll(from.get(), sibling.handle.get()) && ::FlushFileBuffers(sibling.handle.get()) != 0;
    if (!sibling.handle.reset() || !written || !swapIn(sibling.path, target)) {
        error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
        ::DeleteFileW(sibling.path.c_str());
        return false;
    }
    ::DeleteFileW(replacement.c_str());
    return true;
}

Replacement createReplacement(const std::filesystem::path& path) {
    const Target target = targetOf(path);
    errno = 0;
    Sibling sibling;
    if (target.refusal != Refusal::None || !createSibling(target.file, sibling)) {
        return {};
    }
    // Text mode, as the POSIX side's "w": the platform's line ends.
    const int fd = win32::descriptorOf(std::move(sibling.handle), _O_WRONLY | _O_TEXT);
    FileHandle file(fd >= 0 ? ::_fdopen(fd, "wt") : nullptr);
    if (!file) {
        if (fd >= 0) {
            ::_close(fd);
        }
        ::DeleteFileW(sibling.path.c_str());
        return {};
    }
    return {sibling.path, std::move(file)};
}

bool placeNewFile(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
    error.clear();
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a name that exists,
    // in one step: nothing can appear between a look and the move.
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    const DWORD why = ::GetLastError();
    error = (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS)
                ? std::make_error_code(std::errc::file_exists)
                : std::error_code(win32::errnoFor(why), std::generic_category());
    return false;
}

}  // namespace corvane
