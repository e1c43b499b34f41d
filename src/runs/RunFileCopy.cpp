#include "runs/RunFileCopy.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/FileHandle.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

constexpr std::size_t kCopyChunk = 1 << 16;
constexpr int kSiblingAttempts = 100;

// Copies the rest of in to out byte for byte; makes sure the last line ends.
bool copyRest(std::FILE* in, std::FILE* out, char lastWritten) {
    std::vector<char> chunk(kCopyChunk);
    char last = lastWritten;
    for (;;) {
        const auto got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (got == 0) {
            break;
        }
        if (std::fwrite(chunk.data(), 1, got, out) != got) {
            return false;
        }
        last = chunk[got - 1];
    }
    if (std::ferror(in) != 0) {
        return false;
    }
    return last == '\n' || std::fputc('\n', out) != EOF;
}

// Skips the first line of in; tells whether it ended in CR LF.
bool skipFirstLine(std::FILE* in, bool& crlf) {
    int previous = 0;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') {
            crlf = previous == '\r';
            return true;
        }
        previous = c;
    }
    return std::ferror(in) == 0;
}

}  // namespace

FileHandle createNewFile(const std::filesystem::path& path, const char* mode) {
    // "x": created here or not at all, never someone's existing file.
    return openFile(path, std::string(mode).append("x").c_str());
}

CreatedFile createSiblingFile(const std::filesystem::path& path) {
    for (int i = 0; i < kSiblingAttempts; ++i) {
        auto candidate = path;
        candidate += i == 0 ? std::string(".part") : formatText(".part%d", i);
        if (auto file = createNewFile(candidate, "wb")) {
            return {candidate, std::move(file)};
        }
    }
    return {};
}

bool moveFileOver(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::error_code& error) {
    std::filesystem::rename(from, to, error);
    if (!error) {
        return true;
    }
    if (error != std::errc::cross_device_link) {
        return false;
    }
    auto created = createSiblingFile(to);
    if (created.path.empty()) {
        error = std::make_error_code(std::errc::permission_denied);
        return false;
    }
    created.file.reset();
    const auto& sibling = created.path;
    std::error_code ignored;
    if (!std::filesystem::copy_file(from, sibling, std::filesystem::copy_options::overwrite_existing,
                                    error)) {
        std::filesystem::remove(sibling, ignored);
        return false;
    }
    std::filesystem::rename(sibling, to, error);
    if (error) {
        std::filesystem::remove(sibling, ignored);
        return false;
    }
    std::filesystem::remove(from, ignored);
    return true;
}

CopyResult copyWithTitle(const std::filesystem::path& source, const std::filesystem::path& target) {
    auto in = openFile(source, "rb");
    if (!in) {
        return CopyResult::CannotOpenSource;
    }
    auto [partial, out] = createSiblingFile(target);
    if (partial.empty()) {
        return CopyResult::CannotCreateTarget;
    }
    std::error_code ignored;
    bool crlf = false;
    bool ok = out && skipFirstLine(in.get(), crlf);
    if (ok) {
        const auto title = formatText(kRunFileTitle, target.filename().string().c_str());
        ok = std::fputs(title.c_str(), out.get()) != EOF &&
             std::fputs(crlf ? "\r\n" : "\n", out.get()) != EOF && copyRest(in.get(), out.get(), '\n');
    }
    if (out) {
        ok = std::fflush(out.get()) == 0 && ok;
        ok = std::fclose(out.release()) == 0 && ok;
    }
    if (!ok) {
        std::filesystem::remove(partial, ignored);
        return CopyResult::WriteFailed;
    }
    in.reset();
    std::error_code error;
    if (!moveFileOver(partial, target, error)) {
        std::filesystem::remove(partial, ignored);
        return CopyResult::CannotCreateTarget;
    }
    return CopyResult::Ok;
}

}  // namespace corvane
