#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace corvane {

// A file this program is writing (a run being recorded, a copy or a
// replacement on its way into place) carries an exclusive advisory lock held
// by its writer's descriptor. The system drops the lock with the descriptor,
// so a file left behind by a crash or a kill is unlocked: that is how a
// leftover is told from a file another process is writing right now.

// Takes the writer's lock on an open file; false when somebody holds it
// (errno EWOULDBLOCK) or the file system has no such locks. A writer goes on
// without the mark in the second case: it only protects, it never blocks.
[[nodiscard]] bool claimForWriting(int fd);
[[nodiscard]] bool claimForWriting(std::FILE* file);

// Whether a writer holds the lock on the file path names (ours included: the
// lock belongs to the descriptor, not to the process).
[[nodiscard]] bool isBeingWritten(const std::filesystem::path& path);

// A leftover is left alone for this long after its last write: a writer
// creates its file and takes the lock in two steps, and this covers the
// moment between them.
inline constexpr int kLeftoverAgeSeconds = 2;

// Removes path when it is a regular file (not a link) that no writer holds,
// that has not been written to for kLeftoverAgeSeconds, and that is empty or
// begins with expectedStart (what its writer puts first: a name alone may
// also be somebody's own file). True when removed.
bool removeIfAbandoned(const std::filesystem::path& path, std::string_view expectedStart = {});

// The lock of every whole-file rewrite (load, change, save whole), held from
// before the file is read until its new content is in place: the writer's
// lock above, so a run being recorded (whose recorder holds it for the whole
// run) is never rewritten under it, and two rewriters of one file take
// turns instead of losing each other's change. It is taken again on the new
// file when the old one was replaced by a rename meanwhile (a lock goes with
// the file, not with its name). It waits at most maxWaitMs for another
// holder; then refused() says so, and the rewrite must not go on (a hung
// process costs the others a refusal, never a hang). A missing file or one
// that is not regular gets no lock and no refusal: there is nothing to lose.
class EditLock {
public:
    // How long a rewrite waits for another holder before it is refused.
    static constexpr int kRewriteWaitMs = 2000;

    EditLock() = default;
    explicit EditLock(const std::filesystem::path& path, int maxWaitMs = kRewriteWaitMs);
    ~EditLock();
    EditLock(EditLock&& other) noexcept;
    EditLock& operator=(EditLock&& other) noexcept;
    EditLock(const EditLock&) = delete;
    EditLock& operator=(const EditLock&) = delete;

    [[nodiscard]] bool held() const { return fd_ >= 0; }
    // Another descriptor (a recording, another rewrite, in this process or
    // another) kept the file locked for the whole wait.
    [[nodiscard]] bool refused() const { return refused_; }

private:
    int fd_ = -1;
    bool refused_ = false;
};

}  // namespace corvane
