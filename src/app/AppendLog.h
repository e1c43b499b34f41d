#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string_view>

namespace corvane {

// The local calendar time, as the log's timestamp line shows it.
[[nodiscard]] std::tm localCalendarNow();

// An append-only text log ("pressKeyLog.txt"): every append opens the file in
// append mode, writes one timestamp line "%d-%02d-%02d   %02d:%02d:%02d\n"
// and the text unchanged, and closes it again, so a crash never costs more
// than the entry in flight and another program may read the log at any time.
// Several threads may append at once; each entry reaches the file whole.
class AppendLog {
public:
    using CalendarNow = std::function<std::tm()>;

    explicit AppendLog(std::filesystem::path path, CalendarNow now = localCalendarNow);

    // False when the file could not be opened or written.
    bool append(std::string_view text);

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    CalendarNow now_;
};

}  // namespace corvane
