#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// Reader and editor of the program's settings files: bracketed section
// headers and "key value" lines ("prefs.cfg", each user's "settings.txt",
// "rotors.txt", preset run files). The whole file is loaded at construction,
// edited in memory and written back whole by save() or the destructor, when
// something changed. Construct one on the stack for a few reads or writes.
//
// Section names are matched exactly as passed, brackets included where the
// file has them ("[prefs]"); the sections of "rotors.txt" are bare names.
//
// From construction to save the store holds a per-path lock, so two threads
// editing the same file never lose each other's keys. The lock is recursive:
// a nested store of the same file on the same thread does not deadlock (its
// save is then overwritten by the outer one, as with any two stores).
class ConfigFile {
public:
    // Settings files are a few kilobytes. Anything far bigger is not ours:
    // it is treated as unreadable (and so never rewritten), which keeps
    // every lookup on a hostile file quick.
    static constexpr std::size_t kMaxFileBytes = 16u << 20;

    // A relative path is resolved against the current directory once, here.
    explicit ConfigFile(const std::filesystem::path& path);
    virtual ~ConfigFile();
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    // False when the file was missing or could not be read: every get gives
    // its default and nothing is ever written.
    [[nodiscard]] bool isOpen() const;
    // Another program (a recording, another rewrite) kept the file locked
    // for the whole wait: it reads as usual, but save() writes nothing and
    // returns -1 (EditLock::refused).
    [[nodiscard]] bool heldElsewhere() const;
    // Whether the text loaded is plain text as settings files are: no NUL,
    // no control character but tab and line ends, no UTF-16 or UTF-32 byte
    // order mark. Binary junk and wide text are no settings file to rewrite.
    [[nodiscard]] bool readsAsText() const;
    // Whether a line of the file is exactly this section's header.
    [[nodiscard]] bool hasSection(std::string_view section) const;

    [[nodiscard]] int getInt(std::string_view section, std::string_view key) const;
    [[nodiscard]] double getDouble(std::string_view section, std::string_view key) const;
    // Read up to out.size() values; the rest of out is zeroed. Returns the count read.
    int getIntArray(std::string_view section, std::string_view key, std::span<int> out) const;
    int getDoubleArray(std::string_view section, std::string_view key, std::span<double> out) const;
    // The text after the separating blank up to the line end; nullopt when missing.
    [[nodiscard]] std::optional<std::string> getString(std::string_view section,
                                                       std::string_view key) const;

    // Each returns false, changing nothing, when the value cannot be stored
    // (a double beyond +-1e30, a string holding a line break, a NUL or a "[",
    // which the reader would take for the end of the section), or when the
    // key holds a blank, a line break or a "[".
    bool setInt(std::string_view section, std::string_view key, int value);
    bool setDouble(std::string_view section, std::string_view key, double value);
    bool setString(std::string_view section, std::string_view key, std::string_view value);
    bool setIntArray(std::string_view section, std::string_view key, std::span<const int> values);
    bool setDoubleArray(std::string_view section, std::string_view key,
                        std::span<const double> values);
    void removeKey(std::string_view section, std::string_view key);

    // Writes the file if modified and closes the store; returns the bytes
    // written, 0 when there was nothing to write and -1 when the write failed
    // (the old file stays). Later saves do nothing.
    int save();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvane
