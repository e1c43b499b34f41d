#include "app/ConfigFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <system_error>

#include "app/FileReplace.h"
#include "base/WriterLock.h"

namespace corvane {

namespace {

// A double is refused beyond these bounds, so its "%f" text stays short.
constexpr double kDoubleBound = 1e30;

constexpr bool isLineEnd(char c) { return c == '\n' || c == '\r'; }
constexpr bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Loads like the platform's text mode: a CR LF pair becomes LF. A lone CR
// stays and still ends a line.
std::string fromTextMode(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        text.push_back(raw[i]);
    }
    return text;
}

std::filesystem::path resolveOnce(const std::filesystem::path& path) {
    std::error_code error;
    auto resolved = std::filesystem::weakly_canonical(path, error);
    if (error) {
        resolved = std::filesystem::absolute(path, error).lexically_normal();
    }
    return resolved;
}

// Another process editing the file waits this long for our save at most.
constexpr int kOtherProcessWaitMs = 2000;

// The lock of one resolved path in this process: a recursive mutex for its
// threads and, while any store of the process holds it, the file's EditLock
// for other processes (two scripts setting keys at once lose none).
struct PathLock {
    std::recursive_mutex mutex;
    // Under mutex.
    int holders = 0;
    EditLock otherProcesses;
};

// One PathLock per resolved path, alive while some store holds it.
class PathLocks {
public:
    static std::shared_ptr<PathLock> forPath(const std::string& key) {
        static PathLocks registry;
        std::scoped_lock guard(registry.mutex_);
        for (auto it = registry.locks_.begin(); it != registry.locks_.end();) {
            it = it->second.expired() ? registry.locks_.erase(it) : std::next(it);
        }
        auto& slot = registry.locks_[key];
        auto lock = slot.lock();
        if (!lock) {
            lock = std::make_shared<PathLock>();
            slot = lock;
        }
        return lock;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<PathLock>> locks_;
};

// scanf's "%d" on one token: optional sign and digits after white space; a
// number too large for an int is held at the int's limits.
// Where scanf would start converting: after white space and a lone '+'.
const char* numberStart(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i < text.size() && text[i] == '+' && i + 1 < text.size() && text[i + 1] != '-') {
        ++i;
    }
    return text.data() + i;
}

std::optional<int> parseInt(std::string_view text) {
    long long value = 0;
    const auto* first = numberStart(text);
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (end == first) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range) {
        return *first == '-' ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

// scanf's "%lf", independent of the process's locale (files always use '.').
std::optional<double> parseDouble(std::string_view text) {
    double value = 0.0;
    const auto* first = numberStart(text);
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ptr == first) {
        return std::nullopt;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Too small rounds to zero, too large to infinity, as strtod does.
        const std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
        const auto exponent = number.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() &&
                          number[exponent + 1] == '-';
        const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        return *first == '-' ? -magnitude : magnitude;
    }
    return value;
}

std::string formatInt(int value) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return {text, result.ptr};
}

// "%lf": six decimals, whatever the process's locale.
std::string formatDouble(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return {text, result.ptr};
}

bool storable(double value) {
    return std::isfinite(value) && value <= kDoubleBound && value >= -kDoubleBound;
}

bool holdsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A "[" anywhere ends a section for the reader, so a key or value holding one
// would hide itself and every entry below it at the next load.
bool holdsSectionEnd(std::string_view text) { return text.find('[') != std::string_view::npos; }

// A section or key that would break the line structure, or a key that could
// never be found again, is not written.
bool validName(std::string_view section, std::string_view key) {
    return !section.empty() && !key.empty() && !holdsLineBreakOrNul(section) &&
           !holdsLineBreakOrNul(key) && key.find(' ') == std::string_view::npos &&
           !holdsSectionEnd(key);
}

}  // namespace

struct ConfigFile::Impl {
    std::filesystem::path path;
    std::shared_ptr<PathLock> pathLock;
    std::unique_lock<std::recursive_mutex> held;

    void lock() {
        held = std::unique_lock(pathLock->mutex);
        if (pathLock->holders++ == 0) {
            pathLock->otherProcesses = EditLock(path, kOtherProcessWaitMs);
        }
    }
    void unlock() {
        if (held.owns_lock()) {
            if (--pathLock->holders == 0) {
                pathLock->otherProcesses = EditLock();
            }
            held.unlock();
        }
    }
    std::string buffer;
    bool opened = false;
    bool closed = false;
    bool modified = false;

    struct Lookup {
        bool sectionFound = false;
        std::size_t headerEnd = 0;  // just behind the header's name
        std::optional<std::size_t> valuePos;  // the separating blank, or the buffer's end
    };

    [[nodiscard]] Lookup findKey(std::string_view section, std::string_view key) const;
    [[nodiscard]] std::string_view valueText(const Lookup& found) const;
    [[nodiscard]] std::string_view valueLine(std::string_view section, std::string_view key) const {
        return valueText(findKey(section, key));
    }
    bool setValue(std::string_view section, std::string_view key, std::string_view valuePart);
};

// The section header is the first place where the exact name stands alone on
// its line: at the buffer's start or after CR or LF, and followed by CR, LF or
// the end. Its entries run up to the first "[" after it, wherever that stands.
// A key counts only at a line start and followed by a blank or the buffer's end.
ConfigFile::Impl::Lookup ConfigFile::Impl::findKey(std::string_view section,
                                                    std::string_view key) const {
    const std::string_view text = buffer;
    Lookup result;
    std::size_t header = std::string_view::npos;
    for (std::size_t from = 0; from <= text.size();) {
        const auto at = text.find(section, from);
        if (at == std::string_view::npos) {
            break;
        }
        const auto after = at + section.size();
        const bool startsLine = at == 0 || isLineEnd(text[at - 1]);
        const bool endsLine = after == text.size() || isLineEnd(text[after]);
        if (startsLine && endsLine) {
            header = at;
            break;
        }
        from = at + 1;
    }
    if (header == std::string_view::npos) {
        return result;
    }
    result.sectionFound = true;
    result.headerEnd = header + section.size();

    auto sectionEnd = text.find('[', result.headerEnd);
    if (sectionEnd == std::string_view::npos) {
        sectionEnd = text.size();
    }
    for (std::size_t pos = result.headerEnd; pos < sectionEnd;) {
        const auto lineEnd = text.find_first_of("\r\n", pos);
        if (lineEnd == std::string_view::npos || lineEnd >= sectionEnd) {
            break;
        }
        const auto candidate = lineEnd + 1;
        const auto after = candidate + key.size();
        if (after <= sectionEnd && text.substr(candidate, key.size()) == key &&
            (after == text.size() || text[after] == ' ')) {
            result.valuePos = after;
            return result;
        }
        pos = candidate;
    }
    return result;
}

// The value's text: behind the separating blank up to the line's end. A value
// never reaches into the next line, and a NUL ends it as it ends a C string.
std::string_view ConfigFile::Impl::valueText(const Lookup& found) const {
    if (!found.valuePos || *found.valuePos >= buffer.size()) {
        return {};
    }
    const std::string_view rest = std::string_view(buffer).substr(*found.valuePos + 1);
    return rest.substr(0, rest.find_first_of(std::string_view("\r\n\0", 3)));
}

// valuePart is what stands behind the key, its leading blank included.
bool ConfigFile::Impl::setValue(std::string_view section, std::string_view key,
                                std::string_view valuePart) {
    if (!validName(section, key) ||
        buffer.size() + section.size() + key.size() + valuePart.size() + 3 > kMaxFileBytes) {
        return false;
    }
    const auto found = findKey(section, key);
    if (found.valuePos) {
        // The line keeps its place; only the value changes.
        const auto start = *found.valuePos;
        const auto lineEnd = buffer.find_first_of("\r\n", start);
        const auto end = lineEnd == std::string::npos ? buffer.size() : lineEnd + 1;
        buffer.replace(start, end - start, std::string(valuePart) + '\n');
        modified = true;
        return true;
    }
    // A last line without a line end gets one first, so that a new entry or
    // section never runs into it (the store's own files always end with one).
    if (!buffer.empty() && !isLineEnd(buffer.back())) {
        buffer.push_back('\n');
    }
    std::string entry(key);
    entry.append(valuePart).push_back('\n');
    if (found.sectionFound) {
        // First entry of the section, behind any blank lines under the header.
        auto at = found.headerEnd;
        while (at < buffer.size() && isLineEnd(buffer[at])) {
            ++at;
        }
        buffer.insert(at, entry);
    } else {
        // A new section goes behind the last line end: at the end of the
        // buffer, or at its start when the buffer is empty (for every type,
        // integers included).
        const auto lastEnd = buffer.find_last_of("\r\n");
        const auto at = lastEnd == std::string::npos ? 0 : lastEnd + 1;
        buffer.insert(at, std::string(section) + '\n' + entry);
    }
    modified = true;
    return true;
}

ConfigFile::ConfigFile(const std::filesystem::path& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = resolveOnce(path);
    impl_->pathLock = PathLocks::forPath(impl_->path.string());
    impl_->lock();
    if (auto raw = readWholeFile(impl_->path, kMaxFileBytes)) {
        impl_->buffer = fromTextMode(*raw);
        impl_->opened = true;
    }
}

ConfigFile::~ConfigFile() { save(); }

bool ConfigFile::isOpen() const { return impl_->opened && !impl_->closed; }

bool ConfigFile::heldElsewhere() const { return impl_->pathLock->otherProcesses.refused(); }

bool ConfigFile::readsAsText() const {
    const std::string_view text = impl_->buffer;
    // The byte order marks of UTF-16 and UTF-32, either order.
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
        text.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
        return false;
    }
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F;
    });
}

bool ConfigFile::hasSection(std::string_view section) const {
    return !section.empty() && impl_->findKey(section, {}).sectionFound;
}

int ConfigFile::getInt(std::string_view section, std::string_view key) const {
    return parseInt(impl_->valueLine(section, key)).value_or(0);
}

double ConfigFile::getDouble(std::string_view section, std::string_view key) const {
    return parseDouble(impl_->valueLine(section, key)).value_or(0.0);
}

namespace {

// Values are separated by white space; each token gives the number it starts
// with, and the first token that is no number ends the list.
template <class T, class Parse>
int readList(std::string_view line, std::span<T> out, Parse parse) {
    std::size_t count = 0;
    std::size_t pos = 0;
    while (count < out.size()) {
        while (pos < line.size() && isBlankOrControl(line[pos])) {
            ++pos;
        }
        auto end = pos;
        while (end < line.size() && !isBlankOrControl(line[end])) {
            ++end;
        }
        const auto value = parse(line.substr(pos, end - pos));
        if (pos == end || !value) {
            break;
        }
        out[count++] = *value;
        pos = end;
    }
    for (auto i = count; i < out.size(); ++i) {
        out[i] = T{};
    }
    return static_cast<int>(count);
}

template <class T, class Format>
std::string listValue(std::span<const T> values, Format format) {
    // An empty list still leaves "key " so the entry stays findable.
    std::string part = values.empty() ? " " : "";
    for (const auto value : values) {
        part.push_back(' ');
        part += format(value);
    }
    return part;
}

}  // namespace

int ConfigFile::getIntArray(std::string_view section, std::string_view key, std::span<int> out) const {
    return readList(impl_->valueLine(section, key), out, parseInt);
}

int ConfigFile::getDoubleArray(std::string_view section, std::string_view key,
                               std::span<double> out) const {
    return readList(impl_->valueLine(section, key), out, parseDouble);
}

std::optional<std::string> ConfigFile::getString(std::string_view section,
                                                 std::string_view key) const {
    const auto found = impl_->findKey(section, key);
    // A key at the very end of the buffer has no value at all, not an empty one.
    if (!found.valuePos || *found.valuePos >= impl_->buffer.size()) {
        return std::nullopt;
    }
    return std::string(impl_->valueText(found));
}

bool ConfigFile::setInt(std::string_view section, std::string_view key, int value) {
    return impl_->setValue(section, key, " " + formatInt(value));
}

bool ConfigFile::setDouble(std::string_view section, std::string_view key, double value) {
    return storable(value) && impl_->setValue(section, key, " " + formatDouble(value));
}

bool ConfigFile::setString(std::string_view section, std::string_view key, std::string_view value) {
    return !holdsLineBreakOrNul(value) && !holdsSectionEnd(value) &&
           impl_->setValue(section, key, " " + std::string(value));
}

bool ConfigFile::setIntArray(std::string_view section, std::string_view key,
                             std::span<const int> values) {
    return impl_->setValue(section, key, listValue(values, formatInt));
}

bool ConfigFile::setDoubleArray(std::string_view section, std::string_view key,
                                std::span<const double> values) {
    for (const auto value : values) {
        if (!storable(value)) {
            return false;
        }
    }
    return impl_->setValue(section, key, listValue(values, formatDouble));
}

void ConfigFile::removeKey(std::string_view section, std::string_view key) {
    const auto found = impl_->findKey(section, key);
    if (found.valuePos) {
        auto& buffer = impl_->buffer;
        const auto lineStart = buffer.find_last_of("\r\n", *found.valuePos);
        const auto start = lineStart == std::string::npos ? 0 : lineStart + 1;
        const auto lineEnd = buffer.find_first_of("\r\n", *found.valuePos);
        const auto end = lineEnd == std::string::npos ? buffer.size() : lineEnd + 1;
        buffer.erase(start, end - start);
    }
    // Marked even when there was nothing to remove: the file is rewritten as it is.
    impl_->modified = true;
}

int ConfigFile::save() {
    if (impl_->closed) {
        return 0;
    }
    impl_->closed = true;
    int written = 0;
    if (impl_->opened && impl_->modified) {
        // Never over a file another program holds: its change would be lost,
        // or ours would be written into a run being recorded.
        written = !heldElsewhere() && replaceFile(impl_->path, impl_->buffer)
                      ? static_cast<int>(impl_->buffer.size())
                      : -1;
    }
    impl_->unlock();
    return written;
}

}  // namespace corvane
