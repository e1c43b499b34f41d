#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>
#include <vector>

namespace corvane {

// Splits a file or a block of bytes into lines without their line ends (LF,
// CR LF, or a lone CR, as older desktop systems wrote), in one pass. Memory stays bounded
// whatever the input holds: a line longer than kMaxLine is handed out cut to
// its first kMaxLine bytes, marked overlong(), and the rest of it is skipped.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 1 << 20;

    // Reads the stream from its current position; the caller keeps it open.
    explicit LineReader(std::FILE* file);
    // Lines are views into bytes, which must outlive the reader.
    explicit LineReader(std::string_view bytes);

    // The next line; the view stays valid until the next call. False at the end.
    [[nodiscard]] bool next(std::string_view& line);
    // Whether the last line had its line end: a final line without one may be
    // a row cut off by a crash.
    [[nodiscard]] bool terminated() const { return terminated_; }
    [[nodiscard]] bool overlong() const { return overlong_; }
    // A read error of the stream ended the lines early.
    [[nodiscard]] bool failed() const { return failed_; }

private:
    bool fill();
    void skipRestOfLongLine();
    void skipLfAfterCr();

    std::FILE* file_ = nullptr;
    std::vector<char> storage_;
    const char* data_ = nullptr;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool terminated_ = true;
    bool overlong_ = false;
    bool skipping_ = false;
    bool afterCr_ = false;
    bool failed_ = false;
};

}  // namespace corvane
