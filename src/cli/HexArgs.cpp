#include "cli/HexArgs.h"

#include <string_view>

namespace corvane::cli {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ':';
}

bool appendGroup(std::string_view group, std::vector<std::uint8_t>& out) {
    if (group.size() >= 2 && group[0] == '0' && (group[1] == 'x' || group[1] == 'X')) {
        group.remove_prefix(2);
    }
    if (group.empty() || group.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < group.size(); i += 2) {
        const int high = hexDigit(group[i]);
        const int low = hexDigit(group[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHexArgs(int argc, char** argv) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::size_t start = 0;
        while (start < arg.size()) {
            if (isSeparator(arg[start])) {
                ++start;
                continue;
            }
            std::size_t end = start;
            while (end < arg.size() && !isSeparator(arg[end])) {
                ++end;
            }
            if (!appendGroup(arg.substr(start, end - start), bytes)) {
                return std::nullopt;
            }
            start = end;
        }
    }
    return bytes;
}

}  // namespace corvane::cli
