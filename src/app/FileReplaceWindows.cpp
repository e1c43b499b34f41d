// Whole-file rewrites on Windows. The new content goes to a work file beside
// the target, opened write-through and flushed; ReplaceFileW then swaps it in
// for an existing target (which keeps the old file's attributes, security
// and creation time, as the POSIX side keeps permissions and owner), or
// another way where open handles keep it from doing so (replaceExisting),
// and MoveFileExW with MOVEFILE_WRITE_THROUGH places it where there was none.
// After the swap the target is flushed once more, so the new name entry is
// on the disk before the call returns.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "app/FileReplace.h"
#include "app/FileReplaceRules.h"
#include "base/Win32Files.h"
#include "base/WriterLock.h"

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

// A fresh name beside file: prefix and kSiblingSuffixLength letters or
// digits, so that a work file is named as on POSIX and the clean-up knows it.
std::filesystem::path siblingName(const std::filesystem::path& file, const std::string& prefix) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(::GetCurrentProcessId()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = prefix;
    for (std::size_t i = 0; i < kSiblingSuffixLength; ++i) {
        name += kLetters[pick(random)];
    }
    return folderOf(file) / name;
}

bool createSibling(const std::filesystem::path& file, Sibling& sibling) {
    removeLeftoverSiblings(file);
    for (int attempt = 0; attempt < 100; ++attempt) {
        sibling.path = siblingName(file, siblingPrefix(file));
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

// Renames from over to through a handle of from, with POSIX semantics: a
// target that other handles hold open is replaced too. Windows 10 on NTFS;
// elsewhere it fails and nothing has changed.
bool renameOverHeldFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    // FileRenameInfoEx, which the headers declare only for later targets.
    constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    const auto handle = win32::openShared(from, DELETE | SYNCHRONIZE, OPEN_EXISTING);
    if (!handle.valid()) {
        return false;
    }
    const std::wstring name = std::filesystem::absolute(to).wstring();
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.c_str(), info->FileNameLength);
    return ::SetFileInformationByHandle(handle.get(), kRenameInfoEx, info, static_cast<DWORD>(buffer.size())) != 0;
}

// The last way, where the old file and the new one are both held open (a
// run going on in its rewritten file) and the system has no POSIX rename:
// the old file steps aside under a name no clean-up removes, the new one
// takes its name, and the old one goes once its last handle is closed. A
// crash between the two moves leaves the old content as ".NAME.replaced-XXXXXX".
bool replaceInSteps(const std::filesystem::path& from, const std::filesystem::path& target) {
    const auto aside = siblingName(target, "." + target.filename().string() + ".replaced-");
    if (::MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
        return false;
    }
    if (::MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
        const DWORD why = ::GetLastError();
        ::MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        ::SetLastError(why);
        return false;
    }
    ::DeleteFileW(aside.c_str());
    return true;
}

// Moves from over an existing target in the first way the system and the
// open handles allow: ReplaceFileW (which keeps the old file's attributes,
// security and creation time, but wants the new file closed), the POSIX
// rename, a plain move (which wants the old file closed), two moves.
bool replaceExisting(const std::filesystem::path& from, const std::filesystem::path& target) {
    // The old file is set aside under a work file's name and removed here;
    // one a reader still holds open goes when it is let go, or at a later
    // replacement's clean-up, never left under a name of its own.
    const auto old = siblingName(target, siblingPrefix(target));
    if (::ReplaceFileW(target.c_str(), from.c_str(), old.c_str(),
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr) != 0) {
        ::DeleteFileW(old.c_str());
        return true;
    }
    if (::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The old file went aside but the new one did not follow: the name is
        // free, or the old file goes back to it.
        if (::MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
            ::DeleteFileW(old.c_str());
            return true;
        }
        const DWORD why = ::GetLastError();
        ::MoveFileExW(old.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        ::SetLastError(why);
        return false;
    }
    return renameOverHeldFile(from, target) ||
           ::MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           replaceInSteps(from, target);
}

// Puts from in the place of target, existing or not, and flushes the result.
bool swapIn(const std::filesystem::path& from, const Target& target) {
    const bool moved = target.exists
                           ? replaceExisting(from, target.file)
                           : ::MoveFileExW(from.c_str(), target.file.c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

// The file's identity (volume serial number and file index), size and last
// write time (in 100 ns steps).
FileState stateOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || ::GetFileInformationByHandle(handle, &info) == 0) {
        return {};
    }
    const auto join = [](DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; };
    return {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
            static_cast<std::int64_t>(join(info.nFileSizeHigh, info.nFileSizeLow)),
            static_cast<std::int64_t>(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
}

}  // namespace

namespace replacing {

Refusal refusalOf(const std::filesystem::path& path) { return targetOf(path).refusal; }

// A work file is made as a plain file with the folder's inherited access
// list, which is what a new file gets here: nothing to change.
bool makeNewFile(const std::filesystem::path& /*work*/, std::error_code& error) {
    error.clear();
    return true;
}

}  // namespace replacing

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

FileState fileStateOf(std::FILE* file) {
    return stateOf(file != nullptr ? reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file))) : INVALID_HANDLE_VALUE);
}

bool removeIfUnchanged(const std::filesystem::path& path, const FileState& state) {
    // Under the rewrite lock, as on POSIX; the file is opened with the right
    // to delete and deleted through that handle, so the file removed is the
    // one compared, whatever is renamed in meanwhile. A link is opened as
    // itself, and is never the file that was read.
    const EditLock lock(path, 0);
    if (lock.refused()) {
        return false;
    }
    const auto handle = win32::openShared(path, GENERIC_READ | DELETE, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    if (!handle.valid() || !stateOf(handle.get()).sameAs(state)) {
        return false;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(handle.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
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
