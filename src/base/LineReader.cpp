#include "base/LineReader.h"

#include <algorithm>
#include <cstring>

namespace corvane {
namespace {

constexpr std::size_t kChunk = 256 * 1024;

// The first CR or LF in [from, to), or nothing.
const char* findLineEnd(const char* from, const char* to) {
    for (; from != to; ++from) {
        if (*from == '\n' || *from == '\r') {
            return from;
        }
    }
    return nullptr;
}

}  // namespace

LineReader::LineReader(std::FILE* file) : file_(file), storage_(kChunk) {
    data_ = storage_.data();
}

LineReader::LineReader(std::string_view bytes)
    : data_(bytes.data()), end_(bytes.size()), eof_(true) {}

bool LineReader::fill() {
    if (eof_ || file_ == nullptr) {
        return false;
    }
    if (begin_ > 0) {
        std::memmove(storage_.data(), storage_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == storage_.size()) {
        storage_.resize(std::min(storage_.size() * 2, kMaxLine + kChunk));
    }
    data_ = storage_.data();
    const std::size_t got = std::fread(storage_.data() + end_, 1, storage_.size() - end_, file_);
    end_ += got;
    if (got == 0) {
        eof_ = true;
        failed_ = std::ferror(file_) != 0;
        return false;
    }
    return true;
}

// Drops bytes up to and including the next line end of a line already handed out cut.
void LineReader::skipRestOfLongLine() {
    while (skipping_) {
        const char* lineEnd = findLineEnd(data_ + begin_, data_ + end_);
        if (lineEnd != nullptr) {
            begin_ = static_cast<std::size_t>(lineEnd - data_) + 1;
            afterCr_ = *lineEnd == '\r';
            skipping_ = false;
            return;
        }
        begin_ = end_;
        if (!fill()) {
            skipping_ = false;
            return;
        }
    }
}

// A line that ended in CR: an LF right behind it is the same line end (CR LF).
void LineReader::skipLfAfterCr() {
    if (!afterCr_) {
        return;
    }
    if (begin_ == end_) {
        (void)fill();
    }
    afterCr_ = false;
    if (begin_ < end_ && data_[begin_] == '\n') {
        ++begin_;
    }
}

bool LineReader::next(std::string_view& line) {
    skipRestOfLongLine();
    skipLfAfterCr();
    std::size_t searched = begin_;
    for (;;) {
        const char* lineEnd = findLineEnd(data_ + searched, data_ + end_);
        if (lineEnd != nullptr) {
            const auto length = static_cast<std::size_t>(lineEnd - (data_ + begin_));
            if (length > kMaxLine) {
                break;
            }
            line = {data_ + begin_, length};
            begin_ += length + 1;
            afterCr_ = *lineEnd == '\r';
            terminated_ = true;
            overlong_ = false;
            return true;
        }
        if (end_ - begin_ > kMaxLine) {
            break;
        }
        searched = end_;
        const std::size_t before = begin_;
        if (!fill()) {
            if (begin_ == end_) {
                return false;
            }
            line = {data_ + begin_, end_ - begin_};
            begin_ = end_;
            terminated_ = false;
            overlong_ = false;
            return true;
        }
        searched -= before - begin_;
    }
    // A line longer than the limit: hand out its head and skip the rest. The
    // bytes stay where they are until the next call, so the view holds.
    line = {data_ + begin_, kMaxLine};
    overlong_ = true;
    terminated_ = true;
    const char* lineEnd = findLineEnd(data_ + begin_ + kMaxLine, data_ + end_);
    if (lineEnd != nullptr) {
        begin_ = static_cast<std::size_t>(lineEnd - data_) + 1;
        afterCr_ = *lineEnd == '\r';
    } else {
        begin_ = end_;
        skipping_ = true;
    }
    return true;
}

}  // namespace corvane
