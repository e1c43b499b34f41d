#pragma once

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "base/TextFormat.h"

namespace corvane::cli {

// One JSON object written as it goes: lower snake case keys, numbers in their
// shortest exact form, NaN and infinities as null, strings as UTF-8 with
// anything that is not valid UTF-8 replaced.
class Json {
public:
    explicit Json(std::FILE* out) : out_(out) {}

    void open(char bracket) {
        std::fputc(bracket, out_);
        first_ = true;
    }
    void close(char bracket) {
        std::fputc(bracket, out_);
        first_ = false;
    }
    void key(const char* name) {
        separate();
        quoted(name);
        std::fputc(':', out_);
        first_ = true;
    }
    void item() { separate(); first_ = true; }

    void number(double value) {
        separate();
        if (!std::isfinite(value)) {
            std::fputs("null", out_);
            return;
        }
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        std::fwrite(text, 1, static_cast<std::size_t>(end - text), out_);
    }
    void integer(long long value) {
        separate();
        std::fprintf(out_, "%lld", value);
    }
    void null() {
        separate();
        std::fputs("null", out_);
    }
    void boolean(bool value) {
        separate();
        std::fputs(value ? "true" : "false", out_);
    }
    void string(std::string_view text) {
        separate();
        quoted(text);
    }
    void field(const char* name, std::string_view text) { key(name), string(text); }
    void field(const char* name, double value) { key(name), number(value); }
    void integerField(const char* name, long long value) { key(name), integer(value); }

private:
    void quoted(std::string_view text) {
        std::fputc('"', out_);
        for (std::size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            const std::size_t length = utf8Length(text, i);
            if (length == 0) {
                std::fputs("\\ufffd", out_);
                ++i;
                continue;
            }
            if (c == '"' || c == '\\') {
                std::fputc('\\', out_);
                std::fputc(c, out_);
            } else if (c < 0x20) {
                std::fprintf(out_, "\\u%04x", c);
            } else {
                std::fwrite(text.data() + i, 1, length, out_);
            }
            i += length;
        }
        std::fputc('"', out_);
    }

    void separate() {
        if (!first_) std::fputc(',', out_);
        first_ = false;
    }

    std::FILE* out_;
    bool first_ = true;
};

}  // namespace corvane::cli
