// corvane-cli config: read and edit settings files from the command line, with
// the program's own store, so scripts see exactly what the program sees.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "base/TextFormat.h"
#include "cli/Commands.h"
#include "runs/RunDataFile.h"

namespace corvane::cli {

namespace {

constexpr int kDone = 0;
constexpr int kNotThere = 1;
constexpr int kUsage = 2;
// A list longer than any settings line could hold is a typing error.
constexpr int kMaxListCount = 4096;

enum class ValueType { String, Int, Double, Ints, Doubles };

void configUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: corvane-cli config get FILE SECTION KEY "
                 "[--int|--double|--string|--ints N|--doubles N]\n"
                 "       corvane-cli config set FILE SECTION KEY VALUE [--int|--double|--string]\n"
                 "       corvane-cli config remove FILE SECTION KEY\n"
                 "SECTION is written as in the file, brackets included (\"[prefs]\").\n"
                 "A missing key prints nothing and exits 1.\n");
}

template <class T>
std::optional<T> parseWhole(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct Arguments {
    std::vector<std::string_view> positional;
    ValueType type = ValueType::String;
    int count = 0;
};

std::optional<Arguments> parseArguments(int argc, char** argv) {
    Arguments args;
    int typeOptions = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--int" || arg == "--double" || arg == "--string") {
            args.type = arg == "--int"      ? ValueType::Int
                        : arg == "--double" ? ValueType::Double
                                            : ValueType::String;
            ++typeOptions;
        } else if (arg == "--ints" || arg == "--doubles") {
            const auto count = i + 1 < argc ? parseWhole<int>(argv[i + 1]) : std::nullopt;
            if (!count || *count < 1 || *count > kMaxListCount) {
                return std::nullopt;
            }
            args.type = arg == "--ints" ? ValueType::Ints : ValueType::Doubles;
            args.count = *count;
            ++typeOptions;
            ++i;
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            args.positional.push_back(arg);
        }
    }
    if (typeOptions > 1) {
        return std::nullopt;
    }
    return args;
}

void printList(const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::printf(i == 0 ? "%s" : " %s", values[i].c_str());
    }
    std::printf("\n");
}

int runGet(const ConfigFile& file, std::string_view section, std::string_view key,
           const Arguments& args) {
    const auto text = file.getString(section, key);
    if (!text) {
        return kNotThere;
    }
    switch (args.type) {
        case ValueType::String:
            std::printf("%s\n", text->c_str());
            break;
        case ValueType::Int:
            std::printf("%d\n", file.getInt(section, key));
            break;
        case ValueType::Double:
            std::printf("%f\n", file.getDouble(section, key));
            break;
        case ValueType::Ints: {
            std::vector<int> values(static_cast<std::size_t>(args.count));
            values.resize(static_cast<std::size_t>(file.getIntArray(section, key, values)));
            std::vector<std::string> texts;
            for (const int v : values) {
                texts.push_back(std::to_string(v));
            }
            printList(texts);
            break;
        }
        case ValueType::Doubles: {
            std::vector<double> values(static_cast<std::size_t>(args.count));
            values.resize(static_cast<std::size_t>(file.getDoubleArray(section, key, values)));
            std::vector<std::string> texts;
            for (const double v : values) {
                char one[64];
                std::snprintf(one, sizeof one, "%f", v);
                texts.emplace_back(one);
            }
            printList(texts);
            break;
        }
    }
    return kDone;
}

int runSet(ConfigFile& file, std::string_view section, std::string_view key, std::string_view value,
           const Arguments& args) {
    bool stored = false;
    switch (args.type) {
        case ValueType::String:
            stored = file.setString(section, key, value);
            break;
        case ValueType::Int:
        case ValueType::Double: {
            const bool isInt = args.type == ValueType::Int;
            const auto integer = parseWhole<int>(value);
            const auto real = parseWhole<double>(value);
            if (isInt ? !integer : !real) {
                std::fprintf(stderr, "corvane-cli config: '%.*s' is not %s\n",
                             static_cast<int>(value.size()), value.data(),
                             isInt ? "an integer" : "a number");
                return kUsage;
            }
            stored = isInt ? file.setInt(section, key, *integer) : file.setDouble(section, key, *real);
            break;
        }
        case ValueType::Ints:
        case ValueType::Doubles:
            return kUsage;
    }
    if (!stored) {
        std::fprintf(stderr, "corvane-cli config: the value cannot be stored in this file\n");
        return kNotThere;
    }
    if (file.save() <= 0) {
        std::fprintf(stderr, "corvane-cli config: could not write the file\n");
        return kNotThere;
    }
    return kDone;
}

// What keeps set and remove from changing the file: it is held by another
// program, it is not a settings file (binary data, wide text, a run file:
// rewriting one would damage it), or the section is a bare name the file
// does not have (a new one must be written with its brackets: "[prefs]").
std::string changeProblem(const ConfigFile& file, const std::filesystem::path& path, std::string_view section) {
    if (file.heldElsewhere()) {
        return heldFileProblem(path);
    }
    RunDataFile run;
    const bool runFile = run.readHeader(path) == RunDataFile::ReadStatus::Ok || !run.header().fileTitle.empty();
    if (!file.readsAsText() || runFile) {
        return formatText("%s does not read as a settings file (%s); it was not changed", path.c_str(),
                          runFile ? "it is a run file" : "it holds binary data or wide text");
    }
    if (!section.starts_with('[') && !file.hasSection(section)) {
        return formatText("a section is written with its brackets (\"[%.*s]\"); %s has no section \"%.*s\"",
                          static_cast<int>(section.size()), section.data(), path.c_str(),
                          static_cast<int>(section.size()), section.data());
    }
    return {};
}

}  // namespace

int runConfig(int argc, char** argv) {
    const std::string_view verb = argc >= 2 ? argv[1] : "";
    const auto args = parseArguments(argc, argv);
    const std::size_t wanted = verb == "get" || verb == "remove" ? 3 : verb == "set" ? 4 : 0;
    const bool listType = args && (args->type == ValueType::Ints || args->type == ValueType::Doubles);
    const bool typed = args && args->type != ValueType::String;
    if (!args || wanted == 0 || args->positional.size() != wanted || (verb == "set" && listType) ||
        (verb == "remove" && typed)) {
        configUsage(stderr);
        return kUsage;
    }
    const std::filesystem::path path(std::string(args->positional[0]));
    const auto section = args->positional[1];
    const auto key = args->positional[2];
    if (verb != "get") {
        // A read-only file, a device or a link to nothing is refused before
        // anything is changed.
        if (const auto problem = replaceProblem(path); !problem.empty()) {
            std::fprintf(stderr, "corvane-cli config: %s\n", visibleText(problem).c_str());
            return kNotThere;
        }
    }
    const std::string shown = visibleText(path.string());
    std::error_code error;
    if (const auto size = std::filesystem::file_size(path, error); !error && size > ConfigFile::kMaxFileBytes) {
        std::fprintf(stderr, "corvane-cli config: %s is larger than %zu MiB, too large for a settings file\n",
                     shown.c_str(), ConfigFile::kMaxFileBytes >> 20);
        return kNotThere;
    }
    ConfigFile file(path);
    if (!file.isOpen()) {
        // The store never creates a settings file, and neither does this tool.
        const bool missing = !std::filesystem::exists(std::filesystem::symlink_status(path, error));
        std::fprintf(stderr, "corvane-cli config: %s %s\n", shown.c_str(),
                     missing ? "does not exist (a settings file is never created)"
                             : "cannot be read (only regular files are read)");
        return kNotThere;
    }
    if (verb == "get") {
        return runGet(file, section, key, *args);
    }
    if (const auto problem = changeProblem(file, path, section); !problem.empty()) {
        std::fprintf(stderr, "corvane-cli config: %s\n", visibleText(problem).c_str());
        return problem.starts_with("a section") ? kUsage : kNotThere;
    }
    if (verb == "set") {
        return runSet(file, section, key, args->positional[3], *args);
    }
    if (!file.getString(section, key)) {
        return kNotThere;
    }
    file.removeKey(section, key);
    if (file.save() <= 0) {
        std::fprintf(stderr, "corvane-cli config: could not write the file\n");
        return kNotThere;
    }
    return kDone;
}

}  // namespace corvane::cli
