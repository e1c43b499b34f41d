#include "base/TextFormat.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>

namespace corvane {

std::string formatText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

}  // namespace corvane

namespace corvane {

std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) return 1;
    std::size_t length = 0;
    unsigned value = 0;
    if ((c & 0xE0) == 0xC0) length = 2, value = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) length = 3, value = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) length = 4, value = c & 0x07;
    else return 0;
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3F);
    }
    constexpr unsigned kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string visibleText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    const auto escape = [&shown](unsigned char byte) {
        constexpr char kHex[] = "0123456789abcdef";
        shown += "\\x";
        shown += kHex[byte >> 4];
        shown += kHex[byte & 0x0F];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = utf8Length(text, i);
        // U+0080 to U+009F are C2 80 to C2 9F: terminals obey some of them.
        const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length == 0 || c < 0x20 || c == 0x7F || c1) {
            for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
                escape(static_cast<unsigned char>(text[i + k]));
            }
            i += std::max<std::size_t>(length, 1);
            continue;
        }
        shown.append(text, i, length);
        i += length;
    }
    return shown;
}

std::string visibleLines(std::string_view text) {
    std::string shown;
    for (auto end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        shown += visibleText(text.substr(0, end));
        shown += '\n';
        text.remove_prefix(end + 1);
    }
    return shown + visibleText(text);
}

std::string oneLineText(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            line += "\\\\";
        } else if (c == '\n' || c == '\r') {
            line += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    return line;
}

std::string multiLineText(std::string_view text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            lines += text[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

}  // namespace corvane
